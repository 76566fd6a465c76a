// The keyboard focus as a ring of its own: at least 2 pixels wide, in a
// colour that stands out at least 3:1 from the window, the fields and the
// buttons around it, drawn over the edge of whichever control has the focus
// (buttons, fields, lists, drop-down lists, check boxes alike). The style's
// own look stays as it is; the ring only adds to it.
#pragma once

#include <QColor>

class QPalette;
class QWidget;

inline constexpr int kFocusRingWidth = 2;
// A widget with this property set true draws its focus itself and gets no ring.
inline constexpr const char* kDrawsOwnFocus = "qm_draws_own_focus";
// Asked of the ring against each colour around it; the accessibility rules
// ask for 3:1 of a focus indicator.
inline constexpr double kFocusRingContrast = 4.5;

// The contrast ratio of two colours as the accessibility rules define it,
// from 1 (equal) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// The palette's highlight, darkened on a light palette and lightened on a
// dark one until it reaches kFocusRingContrast against the window, base and
// button colours; black or white where no shade of it does.
QColor FocusRingColor(const QPalette& palette);

// Makes the application draw the ring. It runs by itself when the
// application object is made, in the program and in every test that links
// the windows; calling it again does nothing.
void InstallFocusRing();

// The widget that draws the ring now, for tests; nullptr before any focus.
QWidget* FocusRingWidget();
