// The term editor: one UTF-16 text with the symbol palette under it. The
// caller fills Edit1, shows the dialog modally and takes Edit1's text back,
// however the dialog was closed.
#pragma once

// The controls are public so that openers and tests can drive them.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>

#include "ui/EditorContext.h"
#include "ui/FixedDialog.h"
#include "ui/SymbolPalette.h"

class TTermEditForm : public TFixedDialog {
  Q_OBJECT
 public:
  explicit TTermEditForm(const TEditorContext& context);

  void PaintBox1Paint(QPainter& canvas);
  void PaintBox1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

  QLabel* Label1;
  QLineEdit* Edit1;
  QScrollArea* ScrollBox1;
  TPaletteBox* PaintBox1;
  QFrame* Bevel1;
  QPushButton* BitBtn1;

 private:
  TEditorContext context_;
};
