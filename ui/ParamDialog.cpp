#include "ui/ParamDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>
#include <string>
#include <vector>

#include "ui/EditFUnit.h"
#include "ui/EditTermFUnit.h"

TSequenceButtons OptionalSecondButtons(int x, int top) {
  return {{"Nenner bearbeiten", ButtonAt(x, top)},
          {"Zähler bearbeiten...", ButtonAt(x, top + 32)},
          {"Zähler entfernen", ButtonAt(x, top + 64)}};
}

TParamLayout BoundsLayout(const char* caption, const char* lowerLabel, const char* upperLabel) {
  return {.Caption = caption,
          .Client = {472, 196},
          .Field1 = {lowerLabel, {8, 8}, EditAt(8, 24), ButtonAt(160, 24, 129, 25)},
          .Field2 = {upperLabel, {8, 48}, EditAt(8, 64), ButtonAt(160, 64, 129, 25)},
          .Sequences = OptionalSecondButtons(8, 96),
          .BackBtn = ButtonAt(320, 8, 145, 81)};
}

TParamDialog::TParamDialog(const TEditorContext& context, const TParamLayout& layout)
    : TFixedDialog(QString::fromUtf8(layout.Caption), layout.Client), context_(context) {
  BuildTextField(layout.Field1, Label1, Edit1, BitBtnXP3);
  BuildTextField(layout.Field2, Label2, Edit2, BitBtnXP4);
  EditBtn = BuildButton(layout.Sequences.EditBtn, TButtonPicture::CycleArrows);
  BitBtnXP1 = BuildButton(layout.Sequences.BitBtnXP1, TButtonPicture::CycleArrows);
  BitBtnXP2 = BuildButton(layout.Sequences.BitBtnXP2, TButtonPicture::Cross);
  BackBtn = MakeButton(this, "Zurück/Ende...", layout.BackBtn, TButtonPicture::CheckMark);
  BackBtn->setDefault(true);

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

void TParamDialog::EditBtnClick() { EditSequence(FirstRef); }

void TParamDialog::BitBtnXP1Click() { EditSequence(SecondRef); }

void TParamDialog::BitBtnXP2Click() {
  if (SecondRef == nullptr || *SecondRef == nullptr) return;
  removedSecond_ = TakeSnapshot(*SecondRef, TFontDesc{}, 0, 0);
  redoable_ = false;
  RemoveSecond(*SecondRef);
  context_.NotifyChanged();
}

// A text field takes these keys for its own text first; they reach the
// dialog from its buttons.
void TParamDialog::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Undo)) return BringBackSecond();
  if (event->matches(QKeySequence::Redo) ||
      (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
    if (redoable_) BitBtnXP2Click();
    return;
  }
  TFixedDialog::keyPressEvent(event);
}

void TParamDialog::BringBackSecond() {
  if (!removedSecond_ || SecondRef == nullptr || *SecondRef != nullptr) return;
  TRestoredDocument restored;
  std::string error;
  if (!RestoreSnapshot(*removedSecond_, context_.CurrentEntry, restored, error)) return;
  *SecondRef = restored.Root;
  removedSecond_.reset();
  redoable_ = true;
  context_.NotifyChanged();
}

void TParamDialog::BitBtnXP3Click() { EditInTermEditor(Edit1); }

void TParamDialog::BitBtnXP4Click() { EditInTermEditor(Edit2); }

void TParamDialog::EscapePressed() {
  if (BitBtnXP2 != nullptr) BitBtnXP2Click();
}

void TParamDialog::EditSequence(TFormulaLine** field) {
  if (field == nullptr) return;
  // The entry keeps the new sequence even if nothing is added to it.
  if (*field == nullptr) {
    *field = CreateLine(context_.CurrentEntry);
    if (*field == nullptr) return;  // told as an allocation failure
    context_.NotifyChanged();  // the bar of the new lower part shows at once
  }
  TEditForm editor(context_);
  editor.OpenOn(field);
}

void TParamDialog::EditInTermEditor(QLineEdit* field) {
  // The term editor made at start serves every parameter dialog.
  TTermEditForm* editor = context_.TermEditor();
  if (field == nullptr || editor == nullptr) return;
  editor->Edit1->setText(field->text());
  editor->exec();
  field->setText(editor->Edit1->text());
}
