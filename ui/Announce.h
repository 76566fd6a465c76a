// Results a screen reader has to speak when they appear: status messages,
// a text's error, the name of an undone step. Sighted users see them in a
// label or the status bar; without this they pass in silence.
#pragma once

#include <QString>

class QWidget;

// Has `text` spoken once, politely (after what is being spoken now), as
// coming from `source`. Does nothing while no assistive technology listens.
// Never throws.
void Announce(QWidget* source, const QString& text) noexcept;
