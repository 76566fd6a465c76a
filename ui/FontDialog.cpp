#include "ui/FontDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

#include "render/QtFont.h"

TFontDialog::TFontDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Schriftart");
  FontChooser = new QFontDialog(this);
  // Embedded as a plain widget: the dialog's own buttons do the confirming.
  FontChooser->setWindowFlags(Qt::Widget);
  FontChooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  NameFontLists();
  ColorBtn = new QPushButton("Farbe...", this);
  connect(ColorBtn, &QPushButton::clicked, this, &TFontDialog::ChooseColor);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("OK");
  buttons->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(ColorBtn);
  bottom->addStretch();
  bottom->addWidget(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FontChooser);
  layout->addLayout(bottom);
}

// Qt's font chooser names its fields, not the lists under them (family,
// style, size, in the order it makes them).
void TFontDialog::NameFontLists() {
  const QStringList names = {"Schriftart", "Schriftschnitt", "Schriftgrad"};
  const QList<QListView*> lists = FontChooser->findChildren<QListView*>();
  for (qsizetype i = 0; i < lists.size() && i < names.size(); ++i) {
    lists[i]->setAccessibleName(names[i]);
  }
}

bool TFontDialog::Execute() {
  const std::int32_t points = PointSizeFromHeight(font_.Height, kScreenPixelsPerInch);
  QFont shown = QFontFromDesc(font_, 0);
  if (points > 0) shown.setPointSize(points);
  FontChooser->setCurrentFont(shown);
  chosenColor_ = font_.Color;
  ShowColor();
  if (exec() != QDialog::Accepted) return false;
  const QFont chosen = FontChooser->currentFont();
  const std::int32_t height = chosen.pointSize() > 0
                                  ? HeightFromPointSize(chosen.pointSize(), kScreenPixelsPerInch)
                                  : font_.Height;
  TFontDesc result = DescFromQFont(chosen, chosenColor_, height);
  result.Charset = font_.Charset;
  font_ = result;
  return true;
}

void TFontDialog::ChooseColor() {
  QColorDialog dialog(ColorFromValue(chosenColor_), this);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  dialog.setWindowTitle("Farbe");
  if (dialog.exec() != QDialog::Accepted) return;
  chosenColor_ = ValueFromColor(dialog.selectedColor());
  ShowColor();
}

void TFontDialog::ShowColor() {
  QPixmap swatch(16, 16);
  swatch.fill(ColorFromValue(chosenColor_));
  ColorBtn->setIcon(QIcon(swatch));
}
