// Drawing a recorded paint again on any Qt paint device: a larger bitmap, an
// SVG or a PDF page. Nothing is laid out again; the screen picture's geometry
// is scaled as it stands.
#pragma once

#include <QPointF>
#include <string>
#include <vector>

#include "render/RecordingCanvas.h"

class QPainter;

// Where the replay put a text as glyphs: what a vector file's text layer
// must give back for them.
struct TDrawnText {
  std::u16string Text;  // as recorded, spaces included
  QPointF Origin;       // the start of its baseline, in device pixels
  qreal Width = 0;      // its whole advance, spaces included
};

struct TReplayOptions {
  int Scale = 1;
  // Leaves out the fills in the recording's background colour, so the
  // device's own (transparent) ground shows through.
  bool Transparent = false;
  // Gets every text drawn as glyphs, in drawing order, when not null.
  std::vector<TDrawnText>* Drawn = nullptr;
};

// Every position and size of the recording times Scale: text stays text, in
// the screen's font at Scale times its pixel size; lines are Scale times as
// wide. The painter's own state is as it was afterwards.
void ReplayRecording(QPainter& painter, const TRecording& recording, const TReplayOptions& options);
