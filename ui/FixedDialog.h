// What every editing dialog shares: a fixed client area centred on the
// screen, one interface font, and the split between Escape (the dialog's own
// cancel action, which may leave it open) and the close box (always closes).
#pragma once

#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>

#include "ui/ButtonPictures.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TFixedDialog : public QDialog {
  Q_OBJECT
 public:
  // Small enough that every caption fits beside its picture on a 145-pixel button.
  static QFont InterfaceFont();

 protected:
  TFixedDialog(const QString& caption, QSize clientSize);

  // What Escape does in this dialog; by default nothing. Escape never closes.
  virtual void EscapePressed() {}

  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
};

// The controls as the dialogs place them, at fixed client coordinates.
QPushButton* MakeButton(QWidget* parent, const QString& caption, const QRect& geometry,
                        TButtonPicture picture);
QLabel* MakeLabel(QWidget* parent, const QString& text, QPoint position);
// A text field that takes texts of any length: a term read from a document is
// handed back whole, not cut at the toolkit's default limit.
QLineEdit* MakeEdit(QWidget* parent, const QRect& geometry);

// Formula texts are UTF-16 like the toolkit's strings; these copy code units unchanged.
inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}
inline std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

// Words for a screen reader cut after at most `most` characters, at a blank,
// with "…" where they were cut: a whole large formula helps nobody in a
// name or a description.
QString Shortened(QString words, qsizetype most);
