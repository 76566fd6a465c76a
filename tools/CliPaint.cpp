#include "tools/CliPaint.h"

#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <memory>

#include "render/Paint.h"
#include "render/QImageCanvas.h"

struct TGuiSession::TImpl {
  int argc = 1;
  char name[16] = "quillmora-cli";
  char* argv[2] = {name, nullptr};
  QGuiApplication app{argc, argv};
};

// Qt gets only the program name: the command's own arguments are not its options.
TGuiSession::TGuiSession() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  impl_ = new TImpl;
}

TGuiSession::~TGuiSession() { delete impl_; }

bool PaintAsEditor(TDocument& document, TEntryCursor* cursor, const std::string& pngPath,
                   TPictureSize& size, std::string& error) {
  std::unique_ptr<TFormulaLine, void (*)(TFormulaLine*)> emptyLine(nullptr, freetheline);
  if (document.Root == nullptr) emptyLine.reset(CreateLine(cursor));
  TPaintInput input;
  input.Root = document.Root != nullptr ? document.Root : emptyLine.get();
  input.Font = FontFromStored(document.Font);
  input.Margin = MarginFromStored(document.Margin);
  input.Background = document.Background;

  TQImageCanvas canvas;
  const TSize painted = PaintComplete(canvas, input);
  size = {painted.cx, painted.cy};
  if (pngPath.empty()) return true;
  const std::string dimensions = std::to_string(size.Width) + " × " + std::to_string(size.Height);
  if (size.Width <= 0 || size.Height <= 0) {
    error = "Das Bild hat keine Fläche (" + dimensions + " Pixel) und wird nicht gespeichert.";
  } else if (canvas.Image().isNull()) {
    error = "Das Bild (" + dimensions + " Pixel) konnte nicht angelegt werden.";
  } else if (!canvas.Image().save(QString::fromStdString(pngPath), "PNG")) {
    error = "Das Bild konnte nicht gespeichert werden.";
  } else {
    return true;
  }
  return false;
}
