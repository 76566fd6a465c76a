// The document font dialog: face, size, style and effects as the standard
// font dialog offers them, plus the font colour it lacks.
#pragma once

#include <QDialog>
#include <QFont>

#include "model/FontDesc.h"

class QFontDialog;
class QPushButton;

class TFontDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TFontDialog(QWidget* parent);

  const TFontDesc& Font() const { return font_; }
  void SetFont(const TFontDesc& font) { font_ = font; }
  // Shows the dialog on the current font; the font changes only when the
  // user confirms, and then only in what the user changed.
  bool Execute();

  QFontDialog* FontChooser;
  QPushButton* ColorBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ChooseColor();
  void ShowColor();
  void NameFontLists();

  TFontDesc font_;
  std::uint32_t chosenColor_ = kWindowTextColor;
};

// What the chooser shows for a document font: the stored face, or the face
// it resolves to when it is not installed; the installed style nearest to
// the stored bold and italic bits; the size in whole points.
QFont ShownFont(const TFontDesc& font);
// The document font after the user confirmed `chosen` in a chooser that
// showed `shown`: what the user left alone stays exactly as stored.
TFontDesc ConfirmedFont(TFontDesc font, const QFont& shown, const QFont& chosen);
