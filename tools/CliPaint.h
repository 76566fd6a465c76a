// Painting a document as the editor shows it, for the commands that need
// the picture. Only this part of the command-line companion knows Qt.
#pragma once

#include "docfile/DocFile.h"
#include "export/Export.h"
#include "render/QImageCanvas.h"

// A QGuiApplication on the offscreen platform for as long as it lives:
// painting needs fonts, but no display.
class TGuiSession {
 public:
  TGuiSession();
  ~TGuiSession();
  TGuiSession(const TGuiSession&) = delete;
  TGuiSession& operator=(const TGuiSession&) = delete;

 private:
  struct TImpl;
  TImpl* impl_;
};

// Paints with the font and margin as the editor takes them over from the
// file, leaving the layout fields of the tree as that paint left them. A
// document without formula paints as the empty one the editor makes of it.
// The picture's Document stays empty; its Text speaks the formula.
TPicture PaintAsEditor(TDocument& document, TEntryCursor* cursor);
// The same on `canvas`, kept by a thread that paints many pictures.
TPicture PaintAsEditor(TQImageCanvas& canvas, TDocument& document, TEntryCursor* cursor);
