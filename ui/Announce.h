// Results a screen reader has to speak when they appear: status messages,
// a text's error, the name of an undone step. Sighted users see them in a
// label or the status bar; without this they pass in silence.
#pragma once

#include <QString>

class QWidget;

// Has `text` spoken once, as coming from `source`'s window: it appears there
// as a notification that assistive technology speaks when it is shown (the
// screen reader decides whether it waits for what it is saying). Costs next
// to nothing while no assistive technology listens. Never throws.
void Announce(QWidget* source, const QString& text) noexcept;
