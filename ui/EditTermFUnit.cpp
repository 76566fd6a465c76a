#include "ui/EditTermFUnit.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>

TTermEditForm::TTermEditForm(const TEditorContext& context)
    : TFixedDialog("Term bearbeiten", QSize(521, 440)), context_(context) {
  Label1 = MakeLabel(this, "Term:", QPoint(8, 8));
  Edit1 = MakeEdit(this, QRect(8, 24, 329, 21));
  Label1->setBuddy(Edit1);
  // 321 pixels show the whole 312-pixel grid without scrolling.
  HostPalette(*this, this, QRect(8, 56, 505, 321));

  Bevel1 = new QFrame(this);
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(0, 389, 521, 3);

  BitBtn1 = MakeButton(this, "OK", QRect(223, 400, 75, 25), TButtonPicture::CheckMark);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

  setTabOrder(Edit1, BitBtn1);
  Edit1->setFocus();
}

void TTermEditForm::PaintBox1Paint(QPainter& canvas) {
  SymbolPalette::Paint(canvas, context_.DocumentFont);
}

void TTermEditForm::PaintBox1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
  SymbolPalette::ClickAt(*Edit1, x, y);
}
