// Painting a document as the editor shows it, for the commands that need
// the picture. Only this part of the command-line companion knows Qt.
#pragma once

#include <string>

#include "docfile/DocFile.h"

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

struct TPictureSize {
  int Width = 0;
  int Height = 0;
};

// Paints with the font and margin as the editor takes them over from the
// file, leaving the layout fields of the tree as that paint left them. A
// document without formula paints as the empty one the editor makes of it.
// With a non-empty `pngPath` the picture is saved there.
bool PaintAsEditor(TDocument& document, TEntryCursor* cursor, const std::string& pngPath,
                   TPictureSize& size, std::string& error);
