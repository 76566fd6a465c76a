// The document font dialog: face, size, style and effects as the standard
// font dialog offers them, plus the font colour it lacks.
#pragma once

#include <QDialog>

#include "model/FontDesc.h"

class QFontDialog;
class QPushButton;

class TFontDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TFontDialog(QWidget* parent);

  const TFontDesc& Font() const { return font_; }
  void SetFont(const TFontDesc& font) { font_ = font; }
  // Shows the dialog; the font changes only when the user confirms.
  bool Execute();

  QFontDialog* FontChooser;
  QPushButton* ColorBtn;

 private:
  void ChooseColor();
  void ShowColor();
  void NameFontLists();

  TFontDesc font_;
  std::uint32_t chosenColor_ = kWindowTextColor;
};
