#include "ui/FixedDialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <limits>

#include "ui/FocusRing.h"

QFont TFixedDialog::InterfaceFont() {
  QFont font("DejaVu Sans Condensed");
  font.setPointSize(8);
  return font;
}

TFixedDialog::TFixedDialog(const QString& caption, QSize clientSize) : QDialog(nullptr) {
  // Made with the application already; this only makes sure the ring is
  // linked into every program that has these dialogs.
  InstallFocusRing();
  setWindowTitle(caption);
  setFont(InterfaceFont());
  setFixedSize(clientSize);
  // No resize grip and no help button: the dialogs have a fixed dialog border.
  setSizeGripEnabled(false);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void TFixedDialog::keyPressEvent(QKeyEvent* event) {
  // QDialog would reject() on Escape and so close the dialog; here Escape is
  // the dialog's cancel action, which never closes it.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    EscapePressed();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TFixedDialog::closeEvent(QCloseEvent* event) {
  // The close box ends the dialog like its OK button: every change stays.
  done(QDialog::Accepted);
  event->accept();
}

void TFixedDialog::showEvent(QShowEvent* event) {
  // The whole window, frame included, goes to the middle of the screen.
  if (const QScreen* shown = screen(); shown != nullptr) {
    const QRect area = shown->availableGeometry();
    const QSize frame = frameGeometry().size();
    move(area.topLeft() +
         QPoint((area.width() - frame.width()) / 2, (area.height() - frame.height()) / 2));
  }
  QDialog::showEvent(event);
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, const QRect& geometry,
                        TButtonPicture picture) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(geometry);
  button->setIcon(ButtonIcon(picture, kPanelPictureSize));
  button->setIconSize(QSize(kPanelPictureSize, kPanelPictureSize));
  return button;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QPoint position) {
  auto* label = new QLabel(text, parent);
  label->move(position);
  label->adjustSize();
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const QRect& geometry) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(geometry);
  edit->setMaxLength(std::numeric_limits<int>::max());
  return edit;
}

QString Shortened(QString words, qsizetype most) {
  if (words.size() <= most) return words;
  const qsizetype blank = words.lastIndexOf(' ', most);
  words.truncate(blank > 0 ? blank : most);
  return words + " …";
}
