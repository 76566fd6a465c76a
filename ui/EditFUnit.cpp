#include "ui/EditFUnit.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <memory>

#include "ui/BetragEFUnit.h"
#include "ui/BruchEFUnit.h"
#include "ui/EditTermFUnit.h"
#include "ui/IntegralEFUnit.h"
#include "ui/PotenzEFUnit.h"
#include "ui/SummeEFUnit.h"
#include "ui/UserEFUinit.h"
#include "ui/WurzelEFUnit.h"

namespace {

using TDialogFactory = std::unique_ptr<TParamDialog> (*)(const TEditorContext&);

template <class TDialog>
std::unique_ptr<TParamDialog> MakeDialog(const TEditorContext& context) {
  return std::make_unique<TDialog>(context);
}

// Everything that depends on a function's kind, indexed by its TFunctionKind code.
struct TKindInfo {
  const char* SelectorItem;
  const char* ListCaption;
  TDialogFactory Dialog;
};

const TKindInfo kKinds[kFunctionKindCount] = {
    {"Bruch", "Bruch Funktion", MakeDialog<TBruchEForm>},
    {"Wurzel", "Wurzel Funktion", MakeDialog<TWurzelEForm>},
    {"Summenfunktion", "Summen Funktion", MakeDialog<TSummeEForm>},
    {"Potenz", "Potenz Funktion", MakeDialog<TPotenzEForm>},
    {"Betrag", "Betrags Funktion", MakeDialog<TBetragEForm>},
    {"Integral Funktion", "Integral Funktion", MakeDialog<TIntegralEForm>},
    {"Beliebige Funktion", "Andere Funktion", MakeDialog<TUserEForm>},
};

const TKindInfo* KindOf(const TFormulaEntry& entry) {
  if (entry.IsFunction != 1 || entry.Kind >= kFunctionKindCount) return nullptr;
  return &kKinds[entry.Kind];
}

QString TypeCaption(const TFormulaEntry& entry) {
  if (entry.IsFunction == 0) return "Term";
  const TKindInfo* kind = KindOf(entry);
  return kind != nullptr ? QString::fromUtf8(kind->ListCaption) : QString();
}

constexpr int kWheelNotch = 120;
constexpr int kPixelsPerNotch = 10;

}  // namespace

TEditForm::TEditForm(const TEditorContext& context)
    : TFixedDialog("Formel editieren", QSize(685, 447)), context_(context) {
  BuildPanel();
  BuildList();
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 428, 685, 19);

  setTabOrder(Edit1, AddTerm);
  setTabOrder(AddTerm, ComboBox1);
  setTabOrder(ComboBox1, AddFunc);
  setTabOrder(AddFunc, DelBtn);
  setTabOrder(DelBtn, EditBtn);
  setTabOrder(EditBtn, BackBtn);
  setTabOrder(BackBtn, ListView1);
  Edit1->setFocus();

  // The wheel scrolls the palette wherever the mouse stands in the dialog.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void TEditForm::BuildPanel() {
  Panel1 = new QFrame(this);
  Panel1->setGeometry(0, 0, 685, 201);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);

  Label1 = MakeLabel(Panel1, "Term:", QPoint(8, 8));
  Edit1 = MakeEdit(Panel1, QRect(64, 8, 201, 21));
  Label1->setBuddy(Edit1);
  AddTerm = MakeButton(Panel1, "Term hinzufügen...", ButtonAt(272, 8), TButtonPicture::CheckMark);
  AddTerm->setDefault(true);

  HostPalette(*this, Panel1, QRect(8, 40, 505, 81));

  Label2 = MakeLabel(Panel1, "Funktion:", QPoint(8, 128));
  ComboBox1 = new QComboBox(Panel1);
  ComboBox1->setGeometry(64, 128, 201, 21);
  Label2->setBuddy(ComboBox1);
  for (const TKindInfo& kind : kKinds) ComboBox1->addItem(QString::fromUtf8(kind.SelectorItem));
  ComboBox1->setCurrentIndex(-1);
  AddFunc =
      MakeButton(Panel1, "Funktion hinzufügen....", ButtonAt(272, 128), TButtonPicture::CheckMark);
  DelBtn = MakeButton(Panel1, "Eintrag löschen....", ButtonAt(8, 168), TButtonPicture::Cross);
  EditBtn =
      MakeButton(Panel1, "Eintrag bearbeiten...", ButtonAt(160, 168), TButtonPicture::CycleArrows);
  BackBtn =
      MakeButton(Panel1, "Zurück/Ende...", ButtonAt(520, 8, 145, 81), TButtonPicture::CheckMark);

  connect(AddTerm, &QPushButton::clicked, this, &TEditForm::AddTermClick);
  connect(AddFunc, &QPushButton::clicked, this, &TEditForm::AddFuncClick);
  connect(DelBtn, &QPushButton::clicked, this, &TEditForm::DelBtnClick);
  connect(EditBtn, &QPushButton::clicked, this, &TEditForm::EditBtnClick);
  connect(BackBtn, &QPushButton::clicked, this, &QDialog::accept);
}

void TEditForm::BuildList() {
  ListView1 = new QTreeWidget(this);
  ListView1->setGeometry(0, 201, 648, 227);
  ListView1->setAccessibleName("Einträge");
  ListView1->setRootIsDecorated(false);
  ListView1->setItemsExpandable(false);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setHeaderLabels({"Typ", "Term", "Parameter"});
  ListView1->setColumnWidth(0, 200);
  ListView1->setColumnWidth(1, 250);
  ListView1->setColumnWidth(2, 200);
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &TEditForm::ListView1DblClick);

  Panel2 = new QFrame(this);
  Panel2->setGeometry(648, 201, 37, 227);
  const auto moveButton = [this](TButtonPicture picture, int top, const char* hint) {
    auto* button = new QToolButton(Panel2);
    button->setGeometry(8, top, 23, 22);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(ButtonIcon(picture, kMovePictureSize));
    button->setIconSize(QSize(kMovePictureSize, kMovePictureSize));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    return button;
  };
  UpBtn = moveButton(TButtonPicture::ArrowUp, 8, "Term nach oben verschieben");
  DownBtn = moveButton(TButtonPicture::ArrowDown, 32, "Term nach unten verschieben");
  connect(UpBtn, &QToolButton::clicked, this, &TEditForm::UpBtnClick);
  connect(DownBtn, &QToolButton::clicked, this, &TEditForm::DownBtnClick);
}

void TEditForm::OpenOn(TFormulaLine** line, int selectedRow) {
  LineRef = line;
  Filllist();
  if (selectedRow >= 0) SelectOnlyRow(selectedRow);
  ComboBox1->setCurrentIndex(0);
  exec();
}

TFormulaLine* TEditForm::Line() const { return LineRef != nullptr ? *LineRef : nullptr; }

void TEditForm::Filllist() {
  ListView1->setUpdatesEnabled(false);
  ListView1->clear();
  if (const TFormulaLine* line = Line(); line != nullptr) {
    for (std::uint32_t i = 0; i < line->Count(); ++i) {
      const TFormulaEntry& entry = *EntryAt(*line, i);
      new QTreeWidgetItem(ListView1, {TypeCaption(entry), ToQString(TextOf(entry.Text1)),
                                      ToQString(TextOf(entry.Text2))});
    }
  }
  ListView1->setUpdatesEnabled(true);
}

int TEditForm::TopSelectedRow() const {
  for (int row = 0; row < ListView1->topLevelItemCount(); ++row) {
    if (ListView1->topLevelItem(row)->isSelected()) return row;
  }
  return -1;
}

void TEditForm::SelectOnlyRow(int row) {
  if (QTreeWidgetItem* item = ListView1->topLevelItem(row); item != nullptr) {
    ListView1->setCurrentItem(item);
  }
}

void TEditForm::AddTermClick() {
  TFormulaLine* line = Line();
  if (line == nullptr) return;
  RememberLine();
  AppendTermEntry(line, ToU16(Edit1->text()));
  context_.NotifyChanged();
  Edit1->clear();
  Filllist();
}

void TEditForm::AddFuncClick() {
  TFormulaLine* line = Line();
  const int kind = ComboBox1->currentIndex();
  if (line == nullptr || kind < 0) return;
  RememberLine();
  const bool added = AppendFunctionEntry(line, static_cast<std::uint32_t>(kind)) != nullptr;
  Filllist();
  if (!added) return;
  context_.NotifyChanged();
  SelectOnlyRow(static_cast<int>(line->Count()) - 1);
  EditBtnClick();
  // The next term is typed at once: left on the button, the focus would let
  // each blank typed press it again.
  Edit1->setFocus();
}

void TEditForm::EditBtnClick() {
  TFormulaLine* line = Line();
  const int row = TopSelectedRow();
  if (line == nullptr || row < 0 || static_cast<std::uint32_t>(row) >= line->Count()) return;
  // Held by address: the dialogs opened below move the shared cursor, but
  // nothing can change this sequence while they are open.
  RememberLine();
  TFormulaEntry& entry = *AsEntry(line->Select(row));
  if (entry.IsFunction == 0) {
    EditTerm(entry);
  } else {
    EditFunctionEntry(context_, entry);
  }
  ForgetIfUnchanged();
  context_.NotifyChanged();
  Filllist();
}

void TEditForm::ListView1DblClick() { EditBtnClick(); }

void TEditForm::EditTerm(TFormulaEntry& entry) {
  TTermEditForm editor(context_);
  editor.Edit1->setText(ToQString(TextOf(entry.Text1)));
  editor.exec();
  SetText(entry.Text1, ToU16(editor.Edit1->text()));
}

void EditFunctionEntry(const TEditorContext& context, TFormulaEntry& entry) {
  const TKindInfo* kind = KindOf(entry);
  if (kind == nullptr) return;
  const std::unique_ptr<TParamDialog> dialog = kind->Dialog(context);
  dialog->FirstRef = &entry.First;
  dialog->SecondRef = &entry.Second;
  dialog->LoadTexts(entry);
  dialog->FollowTexts(&entry);
  dialog->exec();
  dialog->StoreTexts(entry);
}

void TEditForm::DelBtnClick() {
  TFormulaLine* line = Line();
  if (line != nullptr) {
    RememberLine();
    // Bottom up, so that the rows still to come keep their indices.
    for (int row = ListView1->topLevelItemCount() - 1; row >= 0; --row) {
      if (ListView1->topLevelItem(row)->isSelected()) DeleteEntry(line, row);
    }
    ForgetIfUnchanged();
    context_.NotifyChanged();
  }
  Filllist();
}

void TEditForm::MoveEntry(int from, int to) {
  RememberLine();
  Line()->Swap(from, to);
  context_.NotifyChanged();
  Filllist();
  SelectOnlyRow(to);
}

void TEditForm::UpBtnClick() {
  const int row = TopSelectedRow();
  if (Line() == nullptr || row <= 0) return;
  MoveEntry(row, row - 1);
}

void TEditForm::DownBtnClick() {
  const TFormulaLine* line = Line();
  const int row = TopSelectedRow();
  if (line == nullptr || row < 0 || row + 1 >= static_cast<int>(line->Count())) return;
  MoveEntry(row, row + 1);
}

void TEditForm::EscapePressed() { DelBtnClick(); }

void TEditForm::ScrollPalette(int pixels) {
  QScrollBar* bar = ScrollBox1->verticalScrollBar();
  bar->setValue(bar->value() + pixels);
}

void TEditForm::FormMouseWheelDown() { ScrollPalette(kPixelsPerNotch); }

void TEditForm::FormMouseWheelUp() { ScrollPalette(-kPixelsPerNotch); }

// Whole notches scroll; the fine steps of a touchpad add up to notches.
void TEditForm::TakeWheel(QWheelEvent* event) {
  wheelRemainder_ += event->angleDelta().y();
  for (; wheelRemainder_ >= kWheelNotch; wheelRemainder_ -= kWheelNotch) FormMouseWheelUp();
  for (; wheelRemainder_ <= -kWheelNotch; wheelRemainder_ += kWheelNotch) FormMouseWheelDown();
  event->accept();
}

// The move buttons take no focus; in the list, Strg+Pfeil moves the
// selected term as they do.
bool TEditForm::MoveByKey(const QKeyEvent& key) {
  if (key.modifiers() != Qt::ControlModifier) return false;
  if (key.key() == Qt::Key_Up)
    UpBtnClick();
  else if (key.key() == Qt::Key_Down)
    DownBtnClick();
  else
    return false;
  return true;
}

// The list as it was before a change of its own, for Strg+Z while the list
// is open; the main window's history still takes the whole session as one step.
void TEditForm::RememberLine() {
  undo_.push_back(TakeSnapshot(Line(), TFontDesc{}, 0, 0));
  redo_.clear();
}

// A change that came to nothing (an entry edited back, no row selected to
// delete) is nothing to take back.
void TEditForm::ForgetIfUnchanged() {
  if (!undo_.empty() && undo_.back() == TakeSnapshot(Line(), TFontDesc{}, 0, 0)) undo_.pop_back();
}

// Only this list is replaced: the dialogs that opened it hold the field it
// stands in, not the list itself, and none is open above it.
void TEditForm::BringBack(std::vector<TDocumentState>& from, std::vector<TDocumentState>& to) {
  if (from.empty() || LineRef == nullptr) return;
  TRestoredDocument restored;
  std::string error;
  if (!RestoreSnapshot(from.back(), context_.CurrentEntry, restored, error)) return;
  to.push_back(TakeSnapshot(Line(), TFontDesc{}, 0, 0));
  from.pop_back();
  freetheline(*LineRef);
  *LineRef = restored.Root;
  context_.NotifyChanged();
  Filllist();
}

// Strg+Z and Strg+Y (or Strg+Umschalt+Z) anywhere in the dialog, the text
// field included, take back and repeat the list's own changes.
bool TEditForm::UndoByKey(QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool undo = key->matches(QKeySequence::Undo);
  const bool redo = key->matches(QKeySequence::Redo) ||
                    (key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier);
  if (!undo && !redo) return false;
  if (event->type() == QEvent::KeyPress) undo ? BringBack(undo_, redo_) : BringBack(redo_, undo_);
  event->accept();
  return true;
}

bool TEditForm::eventFilter(QObject* watched, QEvent* event) {
  if (UndoByKey(event)) return true;
  if (event->type() == QEvent::Wheel) {
    TakeWheel(static_cast<QWheelEvent*>(event));
    return true;
  }
  if (watched == ListView1 && event->type() == QEvent::KeyPress &&
      MoveByKey(*static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return TFixedDialog::eventFilter(watched, event);
}

void TEditForm::wheelEvent(QWheelEvent* event) { TakeWheel(event); }

void TEditForm::PaintBox1Paint(QPainter& canvas) {
  SymbolPalette::Paint(canvas, context_.DocumentFont);
}

void TEditForm::PaintBox1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
  SymbolPalette::ClickAt(*Edit1, x, y);
}
