// What the seven function dialogs share. Each kind's unit only supplies its
// layout table; editing the sub-sequences in nested entry list editors,
// removing Second, the term editor buttons and the keys live here.
#pragma once

// The controls are public so that openers and tests can drive them.
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "history/UndoHistory.h"
#include "model/FormulaTree.h"
#include "ui/EditorContext.h"
#include "ui/FixedDialog.h"
#include "ui/FormulaHits.h"

// The usual sizes of a button and of a text field in these dialogs.
constexpr QRect ButtonAt(int x, int y, int width = 145, int height = 25) {
  return QRect(x, y, width, height);
}
constexpr QRect EditAt(int x, int y) { return QRect(x, y, 145, 21); }

struct TButtonLayout {
  const char* Caption = nullptr;  // nullptr: the dialog has no such button
  QRect Geometry;
};

// One text parameter: its label above its field and, where the dialog has
// one, the "Term bearbeiten..." button beside it.
struct TTextFieldLayout {
  const char* Label = nullptr;  // nullptr: the dialog has no such field
  QPoint LabelAt;
  QRect Edit;
  QRect TermButton;  // empty: no term editor button
};

// The buttons for the sub-sequences, top to bottom.
struct TSequenceButtons {
  TButtonLayout EditBtn;    // edits First
  TButtonLayout BitBtnXP1;  // edits Second
  TButtonLayout BitBtnXP2;  // removes Second; also the dialog's Escape
  // The captions name parts the buttons do not edit; a screen reader is
  // told the real part in each button's description.
  bool CaptionsMisname = false;
};

struct TParamLayout {
  const char* Caption = "";
  std::uint32_t Kind = fkBruch;  // names the parts the buttons edit
  QSize Client;
  TTextFieldLayout Field1;  // Label1, Edit1, BitBtnXP3
  TTextFieldLayout Field2;  // Label2, Edit2, BitBtnXP4
  TSequenceButtons Sequences;
  QRect BackBtn;
};

// The column of the five kinds whose Second is optional, starting at (x, top).
// "Nenner" edits First and "Zähler" edits Second there, the other way round
// from the fraction's captions: the captions stay as users know them.
TSequenceButtons OptionalSecondButtons(int x, int top);
// The sum and integral dialogs: two bounds with their term editor buttons
// above the sub-sequence column.
TParamLayout BoundsLayout(std::uint32_t kind, const char* caption, const char* lowerLabel,
                          const char* upperLabel);

class TParamDialog : public TFixedDialog {
  Q_OBJECT
 public:
  // The entry's First and Second fields, set by the opener before showing.
  TFormulaLine** FirstRef = nullptr;
  TFormulaLine** SecondRef = nullptr;

  // Text1 into Edit1 and Text2 into Edit2, as far as the dialog has the fields.
  void LoadTexts(const TFormulaEntry& entry);
  void StoreTexts(TFormulaEntry& entry) const;
  // Every change of a text field goes into `entry` at once and the picture
  // behind the dialogs follows it; the entry outlives the open dialog.
  void FollowTexts(TFormulaEntry* entry);
  // The entry whose parts the buttons open, and the parts of the formula it
  // stands in, outermost first: a nested list is named after its part.
  void SetPlace(const TFormulaEntry* entry, const QStringList& within);

  void EditBtnClick();
  void BitBtnXP1Click();
  void BitBtnXP2Click();
  void BitBtnXP3Click();
  void BitBtnXP4Click();

  // Controls the kind does not have stay nullptr.
  QPushButton* EditBtn = nullptr;
  QPushButton* BitBtnXP1 = nullptr;
  QPushButton* BitBtnXP2 = nullptr;
  QPushButton* BitBtnXP3 = nullptr;
  QPushButton* BitBtnXP4 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QPushButton* BackBtn = nullptr;

 protected:
  TParamDialog(const TEditorContext& context, const TParamLayout& layout);
  void EscapePressed() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildTextField(const TTextFieldLayout& layout, QLabel*& label, QLineEdit*& edit,
                      QPushButton*& termButton);
  QPushButton* BuildButton(const TButtonLayout& layout, TButtonPicture picture);
  void ChainFocus();
  void DescribeMisnamedButtons();
  // A new entry list editor on the sequence in `field`, created first when absent.
  void EditSequence(TFormulaLine** field, TSequencePart part);
  void EditInTermEditor(QLineEdit* field);
  // Strg+Z brings a lower part removed here back, Strg+Y removes it again;
  // in a text field the keys work on its text.
  void BringBackSecond();
  QString SecondWords() const;

  TEditorContext context_;
  std::uint32_t kind_;
  const TFormulaEntry* entry_ = nullptr;
  QStringList within_;
  std::optional<TDocumentState> removedSecond_;
  bool redoable_ = false;  // the part brought back may be removed again by Strg+Y
};
