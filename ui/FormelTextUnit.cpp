#include "ui/FormelTextUnit.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include "render/PictureLimit.h"
#include "ui/Announce.h"
#include "ui/FixedDialog.h"

namespace {

// Every keystroke may change the message (its column at least); a screen
// reader hears it when the typing pauses, not after each key.
constexpr int kTellAfterMs = 700;
// The preview's description is sent to the screen reader at each change.
constexpr qsizetype kMaxSpokenPreview = 4000;

}  // namespace

TFormelTextForm::TFormelTextForm(const QString& latex, const TPaintInput& look,
                                 TEntryCursor* cursor, QWidget* parent)
    : QDialog(parent), initial_(latex), look_(look), cursor_(cursor) {
  setWindowTitle("Formel als Text");
  setFont(TFixedDialog::InterfaceFont());
  auto* label = new QLabel("&LaTeX:", this);
  Edit1 = new QPlainTextEdit(latex, this);
  Edit1->setTabChangesFocus(true);
  Edit1->installEventFilter(this);
  Edit1->setFixedHeight(Edit1->fontMetrics().lineSpacing() * 5 + 12);
  label->setBuddy(Edit1);
  ErrorLabel = new QLabel(this);
  ErrorLabel->setWordWrap(true);
  ErrorLabel->setStyleSheet("color: #b00000");
  ErrorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Preview = new QLabel(this);
  Preview->setAccessibleName("Vorschau");
  PreviewArea = new QScrollArea(this);
  PreviewArea->setWidget(Preview);
  PreviewArea->setWidgetResizable(false);
  PreviewArea->setMinimumHeight(160);
  PreviewArea->setFocusPolicy(Qt::StrongFocus);
  PreviewArea->setAccessibleName("Vorschau");
  auto* previewLabel = new QLabel("Vorschau:", this);
  previewLabel->setBuddy(PreviewArea);
  tellLater_ = new QTimer(this);
  tellLater_->setSingleShot(true);
  tellLater_->setInterval(kTellAfterMs);
  connect(tellLater_, &QTimer::timeout, this, [this] { TellProblem(false); });
  auto* buttons = new QDialogButtonBox(this);
  OKBtn = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
  CancelBtn = buttons->addButton("Abbrechen", QDialogButtonBox::RejectRole);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &TFormelTextForm::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(Edit1, &QPlainTextEdit::textChanged, this, &TFormelTextForm::Edit1Change);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(Edit1);
  layout->addWidget(ErrorLabel);
  layout->addWidget(previewLabel);
  layout->addWidget(PreviewArea, 1);
  layout->addWidget(buttons);
  resize(640, 420);
  Edit1Change();
  TellProblem(false);
}

bool TFormelTextForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit1 && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && !(key->modifiers() & Qt::ShiftModifier)) {
      OKBtnClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// Every change is read and painted at once; the last formula that could be
// read stays in the preview while the text has a mistake.
void TFormelTextForm::Edit1Change() {
  TOwnedLine formula;
  if (ReadField(formula)) ShowPreview(formula.get());
  tellLater_->start();
}

// The field's description holds the message, where a screen reader finds
// it with the field; the reader does not speak a changed description, so a
// new message, or one a failed confirmation asks for again, is announced.
void TFormelTextForm::TellProblem(bool again) {
  tellLater_->stop();
  const QString problem = ErrorLabel->text();
  const bool changed = Edit1->accessibleDescription() != problem;
  if (changed) Edit1->setAccessibleDescription(problem);
  if (!problem.isEmpty() && (again || changed)) Announce(Edit1, problem);
}

bool TFormelTextForm::ReadField(TOwnedLine& formula) {
  TTextError error;
  if (FormulaFromLatex(Edit1->toPlainText().toStdU16String(), cursor_, formula, error)) {
    ErrorLabel->clear();
    Edit1->setExtraSelections({});
    return true;
  }
  ShowProblem(error);
  return false;
}

// The message under the field, and the place it names underlined in red.
void TFormelTextForm::ShowProblem(const TTextError& error) {
  problem_ = error;
  ErrorLabel->setText(QString::fromStdString(error.Describe()));
  QTextEdit::ExtraSelection mark;
  mark.cursor = QTextCursor(Edit1->document());
  mark.cursor.setPosition(static_cast<int>(error.Offset));
  mark.cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
  mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
  mark.format.setUnderlineColor(QColor(0xb0, 0, 0));
  mark.format.setBackground(QColor(0xff, 0xe0, 0xe0));
  Edit1->setExtraSelections({mark});
}

void TFormelTextForm::ShowPreview(TFormulaLine* formula) {
  TPaintInput input = look_;
  input.Root = formula;
  const TSize size = PaintComplete(canvas_, input);
  if (!PictureFits(size)) {
    Preview->clear();
    Preview->resize(0, 0);
    PreviewArea->setAccessibleDescription(QString());
    ErrorLabel->setText(QString::fromStdString(PictureTooLargeText(size)));
    return;
  }
  Preview->setPixmap(QPixmap::fromImage(canvas_.Image()));
  Preview->resize(Preview->pixmap().size());
  // What the picture shows, in words.
  PreviewArea->setAccessibleDescription(
      Shortened(ToQString(SpeechFromFormula(formula)), kMaxSpokenPreview));
}

// A text with a mistake is not taken: the caret goes to the mistake. An
// untouched text changes nothing.
void TFormelTextForm::OKBtnClick() {
  if (Edit1->toPlainText() == initial_) return reject();
  TOwnedLine formula;
  if (!ReadField(formula)) {
    QTextCursor caret = Edit1->textCursor();
    caret.setPosition(static_cast<int>(problem_.Offset));
    Edit1->setTextCursor(caret);
    Edit1->setFocus();
    TellProblem(true);
    return;
  }
  formula_ = std::move(formula);
  accept();
}
