// "Formel als Text...": the whole formula as LaTeX in an editable field,
// with a preview that the renderer paints in the document's font as the user
// types, and the reader's message under the field.
#pragma once

#include <QDialog>
#include <QString>

#include "render/Paint.h"
#include "render/QImageCanvas.h"
#include "textio/FormulaText.h"

class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTimer;

class TFormelTextForm : public QDialog {
  Q_OBJECT
 public:
  // `look` gives the font, margin and background of the preview; the
  // formula read from the field is bound to `cursor`.
  TFormelTextForm(const QString& latex, const TPaintInput& look, TEntryCursor* cursor,
                  QWidget* parent = nullptr);

  // After OK: the formula of the field; null when the field was left as it was.
  TOwnedLine TakeFormula() { return std::move(formula_); }

  QPlainTextEdit* Edit1;
  QLabel* ErrorLabel;
  QLabel* Preview;
  // Holds the preview; takes the focus, so that a large picture can be
  // scrolled and a screen reader reads the formula.
  QScrollArea* PreviewArea;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  // Enter in the field confirms the dialog as in any other; Shift+Enter
  // breaks the line.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void Edit1Change();
  void OKBtnClick();

 private:
  // Reads the field; shows the message and marks its place when it cannot.
  bool ReadField(TOwnedLine& formula);
  void ShowProblem(const TTextError& error);
  void ShowPreview(TFormulaLine* formula);
  // The message under the field becomes the field's description once the
  // typing pauses; with `again`, it is spoken even when it did not change.
  void TellProblem(bool again);

  QString initial_;
  TPaintInput look_;
  TEntryCursor* cursor_;
  TQImageCanvas canvas_;
  TOwnedLine formula_;
  TTextError problem_;
  QTimer* tellLater_;
};
