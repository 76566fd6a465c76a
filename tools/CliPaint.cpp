#include "tools/CliPaint.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <new>

#include "render/Paint.h"
#include "render/QImageCanvas.h"

struct TGuiSession::TImpl {
  int argc = 1;
  char name[16] = "quillmora-cli";
  char* argv[2] = {name, nullptr};
  QGuiApplication app{argc, argv};
};

namespace {

// Qt's own warnings (a missing runtime folder, a font it substitutes) mean
// nothing to the user of a command: the command says what went wrong itself.
void SilenceQt(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

// Qt gets only the program name: the command's own arguments are not its options.
TGuiSession::TGuiSession() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler(SilenceQt);
  impl_ = new TImpl;
}

TGuiSession::~TGuiSession() { delete impl_; }

TPicture PaintAsEditor(TDocument& document, TEntryCursor* cursor) {
  TQImageCanvas canvas;
  return PaintAsEditor(canvas, document, cursor);
}

TPicture PaintAsEditor(TQImageCanvas& canvas, TDocument& document, TEntryCursor* cursor) {
  std::unique_ptr<TFormulaLine, void (*)(TFormulaLine*)> emptyLine(nullptr, freetheline);
  if (document.Root == nullptr) emptyLine.reset(CreateLine(cursor));
  if (document.Root == nullptr && emptyLine == nullptr) throw std::bad_alloc();
  TPaintInput input;
  input.Root = document.Root != nullptr ? document.Root : emptyLine.get();
  input.Font = FontFromStored(document.Font);
  input.Margin = MarginFromStored(document.Margin);
  input.Background = document.Background;
  TPicture picture = PaintPicture(canvas, input);
  picture.Text = PictureTextOf(input.Root);
  return picture;
}
