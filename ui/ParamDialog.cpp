#include "ui/ParamDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <string>
#include <vector>

#include "ui/Announce.h"
#include "ui/EditFUnit.h"
#include "ui/EditTermFUnit.h"

TSequenceButtons OptionalSecondButtons(int x, int top) {
  return {{"Nenner bearbeiten", ButtonAt(x, top)},
          {"Zähler bearbeiten...", ButtonAt(x, top + 32)},
          {"Zähler entfernen", ButtonAt(x, top + 64)},
          true};
}

TParamLayout BoundsLayout(std::uint32_t kind, const char* caption, const char* lowerLabel,
                          const char* upperLabel) {
  return {.Caption = caption,
          .Kind = kind,
          .Client = {472, 196},
          .Field1 = {lowerLabel, {8, 8}, EditAt(8, 24), ButtonAt(160, 24, 129, 25)},
          .Field2 = {upperLabel, {8, 48}, EditAt(8, 64), ButtonAt(160, 64, 129, 25)},
          .Sequences = OptionalSecondButtons(8, 96),
          .BackBtn = ButtonAt(320, 8, 145, 81)};
}

TParamDialog::TParamDialog(const TEditorContext& context, const TParamLayout& layout)
    : TFixedDialog(QString::fromUtf8(layout.Caption), layout.Client),
      context_(context),
      kind_(layout.Kind) {
  BuildTextField(layout.Field1, Label1, Edit1, BitBtnXP3);
  BuildTextField(layout.Field2, Label2, Edit2, BitBtnXP4);
  EditBtn = BuildButton(layout.Sequences.EditBtn, TButtonPicture::CycleArrows);
  BitBtnXP1 = BuildButton(layout.Sequences.BitBtnXP1, TButtonPicture::CycleArrows);
  BitBtnXP2 = BuildButton(layout.Sequences.BitBtnXP2, TButtonPicture::Cross);
  BackBtn = MakeButton(this, "Zurück/Ende...", layout.BackBtn, TButtonPicture::CheckMark);
  BackBtn->setDefault(true);
  if (layout.Sequences.CaptionsMisname) DescribeMisnamedButtons();

  const auto wire = [this](QPushButton* button, void (TParamDialog::*handler)()) {
    if (button != nullptr) connect(button, &QPushButton::clicked, this, handler);
  };
  wire(EditBtn, &TParamDialog::EditBtnClick);
  wire(BitBtnXP1, &TParamDialog::BitBtnXP1Click);
  wire(BitBtnXP2, &TParamDialog::BitBtnXP2Click);
  wire(BitBtnXP3, &TParamDialog::BitBtnXP3Click);
  wire(BitBtnXP4, &TParamDialog::BitBtnXP4Click);
  connect(BackBtn, &QPushButton::clicked, this, &QDialog::accept);
  ChainFocus();
}

void TParamDialog::BuildTextField(const TTextFieldLayout& layout, QLabel*& label, QLineEdit*& edit,
                                  QPushButton*& termButton) {
  if (layout.Label == nullptr) return;
  label = MakeLabel(this, QString::fromUtf8(layout.Label), layout.LabelAt);
  edit = MakeEdit(this, layout.Edit);
  label->setBuddy(edit);
  if (!layout.TermButton.isEmpty()) {
    termButton =
        MakeButton(this, "Term bearbeiten...", layout.TermButton, TButtonPicture::CycleArrows);
    // Two of these buttons may stand in one dialog: the field tells them apart.
    termButton->setAccessibleDescription(label->text());
  }
}

// The captions stay as users know them; what a button really opens or
// removes goes where a screen reader reads it after the caption.
void TParamDialog::DescribeMisnamedButtons() {
  const QString first = SequenceWords(kind_, TSequencePart::First);
  const QString second = SequenceWords(kind_, TSequencePart::Second);
  if (EditBtn != nullptr) EditBtn->setAccessibleDescription("Bearbeitet: " + first);
  if (BitBtnXP1 != nullptr) BitBtnXP1->setAccessibleDescription("Bearbeitet: " + second);
  if (BitBtnXP2 != nullptr) BitBtnXP2->setAccessibleDescription("Entfernt: " + second);
}

QPushButton* TParamDialog::BuildButton(const TButtonLayout& layout, TButtonPicture picture) {
  if (layout.Caption == nullptr) return nullptr;
  return MakeButton(this, QString::fromUtf8(layout.Caption), layout.Geometry, picture);
}

// The left column from top to bottom, then "Zurück/Ende...". A fresh dialog
// starts in its first text field, or on its default button when it has none,
// so that Enter closes it either way.
void TParamDialog::ChainFocus() {
  std::vector<QWidget*> column;
  for (QWidget* widget : std::initializer_list<QWidget*>{Edit1, BitBtnXP3, Edit2, BitBtnXP4,
                                                         EditBtn, BitBtnXP1, BitBtnXP2}) {
    if (widget != nullptr) column.push_back(widget);
  }
  std::stable_sort(column.begin(), column.end(), [](const QWidget* a, const QWidget* b) {
    return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
  });
  column.push_back(BackBtn);
  for (std::size_t i = 1; i < column.size(); ++i) setTabOrder(column[i - 1], column[i]);
  if (Edit1 != nullptr) {
    Edit1->setFocus();
  } else {
    BackBtn->setFocus();
  }
}

void TParamDialog::LoadTexts(const TFormulaEntry& entry) {
  if (Edit1 != nullptr) Edit1->setText(ToQString(TextOf(entry.Text1)));
  if (Edit2 != nullptr) Edit2->setText(ToQString(TextOf(entry.Text2)));
}

void TParamDialog::StoreTexts(TFormulaEntry& entry) const {
  if (Edit1 != nullptr) SetText(entry.Text1, ToU16(Edit1->text()));
  if (Edit2 != nullptr) SetText(entry.Text2, ToU16(Edit2->text()));
}

void TParamDialog::FollowTexts(TFormulaEntry* entry) {
  for (QLineEdit* field : {Edit1, Edit2}) {
    if (field == nullptr) continue;
    connect(field, &QLineEdit::textChanged, this, [this, entry] {
      StoreTexts(*entry);
      context_.NotifyChanged();
    });
  }
}

void TParamDialog::SetPlace(const TFormulaEntry* entry, const QStringList& within) {
  entry_ = entry;
  within_ = within;
}

void TParamDialog::EditBtnClick() { EditSequence(FirstRef, TSequencePart::First); }

void TParamDialog::BitBtnXP1Click() { EditSequence(SecondRef, TSequencePart::Second); }

QString TParamDialog::SecondWords() const { return SequenceWords(kind_, TSequencePart::Second); }

// Removing is silent on screen, and Escape does it too: the result is spoken.
void TParamDialog::BitBtnXP2Click() {
  if (SecondRef == nullptr || *SecondRef == nullptr) {
    Announce(this, SecondWords() + ": nichts zu entfernen.");
    return;
  }
  removedSecond_ = TakeSnapshot(*SecondRef, TFontDesc{}, 0, 0);
  redoable_ = false;
  RemoveSecond(*SecondRef);
  context_.NotifyChanged();
  Announce(this, SecondWords() + " entfernt.");
}

// A text field takes these keys for its own text first; they reach the
// dialog from its buttons.
void TParamDialog::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Undo)) return BringBackSecond();
  if (event->matches(QKeySequence::Redo) ||
      (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
    if (!redoable_) return Announce(this, "Nichts wiederherzustellen.");
    BitBtnXP2Click();
    return;
  }
  TFixedDialog::keyPressEvent(event);
}

void TParamDialog::BringBackSecond() {
  if (!removedSecond_ || SecondRef == nullptr || *SecondRef != nullptr) {
    return Announce(this, "Nichts rückgängig zu machen.");
  }
  TRestoredDocument restored;
  std::string error;
  if (!RestoreSnapshot(*removedSecond_, context_.CurrentEntry, restored, error)) return;
  *SecondRef = restored.Root;
  removedSecond_.reset();
  redoable_ = true;
  context_.NotifyChanged();
  Announce(this, "Rückgängig: " + SecondWords() + " ist wieder da.");
}

void TParamDialog::BitBtnXP3Click() { EditInTermEditor(Edit1); }

void TParamDialog::BitBtnXP4Click() { EditInTermEditor(Edit2); }

void TParamDialog::EscapePressed() {
  if (BitBtnXP2 != nullptr) BitBtnXP2Click();
}

void TParamDialog::EditSequence(TFormulaLine** field, TSequencePart part) {
  if (field == nullptr) return;
  // The entry keeps the new sequence even if nothing is added to it.
  if (*field == nullptr) {
    *field = CreateLine(context_.CurrentEntry);
    if (*field == nullptr) return;  // told as an allocation failure
    context_.NotifyChanged();       // the bar of the new lower part shows at once
  }
  TEditForm editor(context_);
  const QString words =
      entry_ != nullptr ? DescribeSequence(*entry_, part) : SequenceWords(kind_, part);
  editor.OpenOn(field, -1, within_ + QStringList{words});
}

void TParamDialog::EditInTermEditor(QLineEdit* field) {
  // The term editor made at start serves every parameter dialog.
  TTermEditForm* editor = context_.TermEditor();
  if (field == nullptr || editor == nullptr) return;
  editor->Edit1->setText(field->text());
  editor->exec();
  field->setText(editor->Edit1->text());
}
