#include "ui/FontDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>
#include <limits>

#include "docfile/DocFile.h"
#include "model/Ansi.h"
#include "render/QtFont.h"

namespace {

// How far an installed style is from the wanted bold and italic bits: a
// wrong weight class or slant first, then a condensed or expanded width,
// then the distance from the usual regular or bold weight.
int StyleDistance(const QString& family, const QString& style, bool bold, bool italic) {
  const QFont font = QFontDatabase::font(family, style, 10);
  const int weight = QFontDatabase::weight(family, style);
  int distance = 0;
  if (QFontDatabase::bold(family, style) != bold) distance += 100000;
  // Oblique counts as italic, as the document's italic bit draws either.
  if ((font.style() != QFont::StyleNormal) != italic) distance += 100000;
  if (font.stretch() != QFont::AnyStretch) distance += 100 * std::abs(font.stretch() - 100);
  if (style.contains("Condensed", Qt::CaseInsensitive)) distance += 1000;
  return distance + std::abs(weight - (bold ? QFont::Bold : QFont::Normal));
}

QString NearestStyle(const QString& family, bool bold, bool italic) {
  QString nearest;
  int best = std::numeric_limits<int>::max();
  for (const QString& style : QFontDatabase::styles(family)) {
    const int distance = StyleDistance(family, style, bold, italic);
    if (distance < best) {
      best = distance;
      nearest = style;
    }
  }
  return nearest;
}

void SetStyleBit(std::uint8_t& style, std::uint8_t bit, bool on) {
  style = static_cast<std::uint8_t>(on ? style | bit : style & ~bit);
}

}  // namespace

QFont ShownFont(const TFontDesc& font) {
  const QString family = QFontInfo(QFontFromDesc(font, 0)).family();
  const QString style = NearestStyle(family, font.Style & fsBold, font.Style & fsItalic);
  const std::int32_t points = PointSizeFromHeight(font.Height, kScreenPixelsPerInch);
  QFont shown = QFontDatabase::font(family, style, points > 0 ? points : 10);
  // The chooser selects the style by this name; without it, it takes the
  // family's first style.
  shown.setStyleName(style);
  shown.setUnderline(font.Style & fsUnderline);
  shown.setStrikeOut(font.Style & fsStrikeOut);
  return shown;
}

TFontDesc ConfirmedFont(TFontDesc font, const QFont& shown, const QFont& chosen) {
  if (chosen.family() != shown.family()) {
    font.Name = Utf16ToAnsi(chosen.family().toStdU16String()).substr(0, kMaxFaceNameBytes);
    font.Pitch = QFontDatabase::isFixedPitch(chosen.family()) ? 2 : 0;
  }
  if (chosen.weight() != shown.weight() || chosen.style() != shown.style()) {
    SetStyleBit(font.Style, fsBold, chosen.bold());
    SetStyleBit(font.Style, fsItalic, chosen.style() != QFont::StyleNormal);
  }
  // The size shows in whole points; a height between two of them is kept
  // unless another size is chosen.
  if (chosen.pointSize() != shown.pointSize() && chosen.pointSize() > 0) {
    font.Height = HeightFromPointSize(chosen.pointSize(), kScreenPixelsPerInch);
  }
  SetStyleBit(font.Style, fsUnderline, chosen.underline());
  SetStyleBit(font.Style, fsStrikeOut, chosen.strikeOut());
  return font;
}

TFontDialog::TFontDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Schriftart");
  FontChooser = new QFontDialog(this);
  // Embedded as a plain widget: the dialog's own buttons do the confirming.
  FontChooser->setWindowFlags(Qt::Widget);
  FontChooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  NameFontLists();
  // The chooser would close itself, not this dialog, on Enter and Escape.
  FontChooser->installEventFilter(this);
  for (QWidget* part : FontChooser->findChildren<QWidget*>()) part->installEventFilter(this);
  connect(FontChooser, &QDialog::accepted, this, &QDialog::accept);
  connect(FontChooser, &QDialog::rejected, this, &QDialog::reject);
  ColorBtn = new QPushButton("Farbe...", this);
  connect(ColorBtn, &QPushButton::clicked, this, &TFontDialog::ChooseColor);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  OKBtn = buttons->button(QDialogButtonBox::Ok);
  OKBtn->setText("OK");
  CancelBtn = buttons->button(QDialogButtonBox::Cancel);
  CancelBtn->setText("Abbrechen");
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

// Qt's font chooser links its labels to the family and style lists and to
// the size field, but names neither the lists nor the family and style
// fields above them, which show the choice and pass their focus to the lists
// (family, style, size, in the order it makes them).
void TFontDialog::NameFontLists() {
  const QStringList names = {"Schriftart", "Schriftschnitt", "Schriftgrad"};
  const QList<QListView*> lists = FontChooser->findChildren<QListView*>();
  for (qsizetype i = 0; i < lists.size() && i < names.size(); ++i) {
    lists[i]->setAccessibleName(names[i]);
  }
  for (QLineEdit* field : FontChooser->findChildren<QLineEdit*>()) {
    if (const auto* list = qobject_cast<QListView*>(field->focusProxy())) {
      field->setAccessibleName(list->accessibleName());
    }
  }
}

bool TFontDialog::Execute() {
  FontChooser->setCurrentFont(ShownFont(font_));
  FontChooser->setVisible(true);
  const QFont shown = FontChooser->currentFont();
  chosenColor_ = font_.Color;
  ShowColor();
  if (exec() != QDialog::Accepted) return false;
  font_ = ConfirmedFont(font_, shown, FontChooser->currentFont());
  font_.Color = chosenColor_;
  return true;
}

// Enter confirms and Escape cancels the whole dialog, wherever in the
// chooser the focus is.
bool TFontDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      accept();
      return true;
    }
    if (plain && key->key() == Qt::Key_Escape) {
      reject();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
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
