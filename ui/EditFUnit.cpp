#include "ui/EditFUnit.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QFocusEvent>
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
#include <algorithm>
#include <memory>

#include "textio/FormulaText.h"
#include "ui/Announce.h"
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

const char* const kColumns[] = {"Typ", "Term", "Parameter"};

// A whole formula in words is no help in one row: a long one is cut at a
// word, and the picture's parts tell the rest.
constexpr qsizetype kMaxSpokenRow = 240;

// A screen reader reads a row cell by cell and leaves the column headers
// out, so each cell says its header; the type cell of a function says what
// the function holds, which no column shows.
void NameCells(QTreeWidgetItem& row, const TFormulaEntry& entry) {
  for (int column = 0; column < static_cast<int>(std::size(kColumns)); ++column) {
    const QString text = column == 0 ? SpokenEntry(entry) : row.text(column);
    row.setData(column, Qt::AccessibleTextRole,
                text.isEmpty() ? QString() : QString::fromUtf8(kColumns[column]) + ": " + text);
  }
}

QString Spoken(const TFormulaEntry& entry) { return ToQString(SpeechFromEntry(entry)); }

}  // namespace

QString SpokenEntry(const TFormulaEntry& entry) {
  QString type = TypeCaption(entry);
  if (entry.IsFunction != 1 || type.isEmpty()) return type;
  return type + ", " + Shortened(Spoken(entry), kMaxSpokenRow);
}

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
  // Qt gives a screen reader the chosen kind only as the box's name, which
  // the reader replaces by the label, and its change as a change of that
  // name, which the reader leaves unspoken. The description is read with
  // the box; a choice made with the arrow keys is announced.
  connect(ComboBox1, &QComboBox::currentTextChanged, this, [this](const QString& kind) {
    ComboBox1->setAccessibleDescription(kind);
    if (ComboBox1->hasFocus() && !ComboBox1->view()->isVisible()) Announce(ComboBox1, kind);
  });
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
  ListView1->setHeaderLabels({kColumns[0], kColumns[1], kColumns[2]});
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

void TEditForm::OpenOn(TFormulaLine** line, int selectedRow, const QStringList& place) {
  LineRef = line;
  NamePlace(place);
  // Rows selected in an earlier showing mean nothing now.
  ListView1->clear();
  Filllist();
  if (selectedRow >= 0) SelectOnlyRow(selectedRow);
  ComboBox1->setCurrentIndex(0);
  exec();
}

TFormulaLine* TEditForm::Line() const { return LineRef != nullptr ? *LineRef : nullptr; }

// The window title stays the same at every depth; the name a screen reader
// reads says which part this list is.
void TEditForm::NamePlace(const QStringList& place) {
  place_ = place;
  if (place.isEmpty()) {
    setAccessibleName(QString());
    setAccessibleDescription(QString());
    return;
  }
  setAccessibleName(windowTitle() + ": " + place.last());
  QStringList outer = place.mid(0, place.size() - 1);
  std::reverse(outer.begin(), outer.end());
  setAccessibleDescription(outer.isEmpty() ? QString() : "Innerhalb: " + outer.join(", "));
}

// The rows are made anew from the sequence; the selection stays on the same
// rows, so that the keyboard user is still where the command was given.
void TEditForm::Filllist() {
  const QList<int> selected = SelectedRows();
  QTreeWidgetItem* currentItem = ListView1->currentItem();
  const int current = currentItem != nullptr ? ListView1->indexOfTopLevelItem(currentItem) : -1;
  ListView1->setUpdatesEnabled(false);
  ListView1->clear();
  if (const TFormulaLine* line = Line(); line != nullptr) {
    for (std::uint32_t i = 0; i < line->Count(); ++i) {
      const TFormulaEntry& entry = *EntryAt(*line, i);
      auto* row = new QTreeWidgetItem(
          ListView1,
          {TypeCaption(entry), ToQString(TextOf(entry.Text1)), ToQString(TextOf(entry.Text2))});
      NameCells(*row, entry);
    }
  }
  KeepSelection(selected, current);
  ListView1->setUpdatesEnabled(true);
}

void TEditForm::KeepSelection(const QList<int>& selected, int current) {
  const int count = ListView1->topLevelItemCount();
  if (count == 0) return;
  QItemSelectionModel* model = ListView1->selectionModel();
  if (current >= 0) {
    model->setCurrentIndex(ListView1->model()->index(std::min(current, count - 1), 0),
                           QItemSelectionModel::NoUpdate);
  }
  bool kept = false;
  for (int row : selected) {
    if (row >= count) continue;
    ListView1->topLevelItem(row)->setSelected(true);
    kept = true;
  }
  if (!selected.isEmpty() && !kept) ListView1->topLevelItem(count - 1)->setSelected(true);
}

QList<int> TEditForm::SelectedRows() const {
  QList<int> rows;
  for (int row = 0; row < ListView1->topLevelItemCount(); ++row) {
    if (ListView1->topLevelItem(row)->isSelected()) rows << row;
  }
  return rows;
}

int TEditForm::TopSelectedRow() const {
  const QList<int> rows = SelectedRows();
  return rows.isEmpty() ? -1 : rows.first();
}

void TEditForm::SelectOnKeyboardFocus(const QFocusEvent& event) {
  if (event.reason() == Qt::MouseFocusReason || ListView1->topLevelItemCount() == 0) return;
  if (ListView1->selectedItems().isEmpty()) {
    QTreeWidgetItem* current = ListView1->currentItem();
    SelectOnlyRow(current != nullptr ? ListView1->indexOfTopLevelItem(current) : 0);
  }
  // Qt tells a screen reader of the current row only when it changes; the
  // list has just taken the focus with its own handler still to come.
  QMetaObject::invokeMethod(this, &TEditForm::TellCurrentRow, Qt::QueuedConnection);
}

void TEditForm::TellCurrentRow() {
  QTreeWidgetItem* current = ListView1->currentItem();
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ListView1);
  if (!QAccessible::isActive() || !ListView1->hasFocus() || current == nullptr || list == nullptr ||
      list->tableInterface() == nullptr) {
    return;
  }
  QAccessibleInterface* cell =
      list->tableInterface()->cellAt(ListView1->indexOfTopLevelItem(current), 0);
  if (cell == nullptr) return;
  QAccessibleEvent focus(ListView1, QAccessible::Focus);
  focus.setChild(list->indexOfChild(cell));
  QAccessible::updateAccessibility(&focus);
}

// Whatever modifier keys are held: Strg+Pfeil moves a row and must not add
// the moved row to the selection.
void TEditForm::SelectOnlyRow(int row) {
  if (row < 0 || row >= ListView1->topLevelItemCount()) return;
  ListView1->selectionModel()->setCurrentIndex(
      ListView1->model()->index(row, 0),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TEditForm::AddTermClick() {
  TFormulaLine* line = Line();
  if (line == nullptr) return;
  RememberLine("Term hinzugefügt");
  const TFormulaEntry* entry = AppendTermEntry(line, ToU16(Edit1->text()));
  context_.NotifyChanged();
  Edit1->clear();
  Filllist();
  // The row is added out of sight of the field: the result is spoken.
  if (entry != nullptr) Announce(this, "Term hinzugefügt: " + Spoken(*entry));
}

void TEditForm::AddFuncClick() {
  TFormulaLine* line = Line();
  const int kind = ComboBox1->currentIndex();
  if (line == nullptr || kind < 0) return;
  RememberLine("Funktion hinzugefügt");
  const bool added = AppendFunctionEntry(line, static_cast<std::uint32_t>(kind)) != nullptr;
  Filllist();
  if (!added) return;
  context_.NotifyChanged();
  const int row = static_cast<int>(line->Count()) - 1;
  SelectOnlyRow(row);
  EditBtnClick();
  // The next term is typed at once: left on the button, the focus would let
  // each blank typed press it again.
  Edit1->setFocus();
  if (static_cast<std::uint32_t>(row) < Line()->Count()) {
    Announce(this, "Hinzugefügt: " + SpokenEntry(*EntryAt(*Line(), row)));
  }
}

void TEditForm::EditBtnClick() {
  TFormulaLine* line = Line();
  const int row = TopSelectedRow();
  if (line == nullptr || row < 0 || static_cast<std::uint32_t>(row) >= line->Count()) return;
  // Held by address: the dialogs opened below move the shared cursor, but
  // nothing can change this sequence while they are open.
  RememberLine("Eintrag bearbeitet");
  TFormulaEntry& entry = *AsEntry(line->Select(row));
  if (entry.IsFunction == 0) {
    EditTerm(entry);
  } else {
    EditFunctionEntry(context_, entry, place_);
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

void EditFunctionEntry(const TEditorContext& context, TFormulaEntry& entry,
                       const QStringList& within) {
  const TKindInfo* kind = KindOf(entry);
  if (kind == nullptr) return;
  const std::unique_ptr<TParamDialog> dialog = kind->Dialog(context);
  dialog->FirstRef = &entry.First;
  dialog->SecondRef = &entry.Second;
  dialog->SetPlace(&entry, within);
  dialog->LoadTexts(entry);
  dialog->FollowTexts(&entry);
  dialog->exec();
  dialog->StoreTexts(entry);
}

// Escape deletes too, so what went is always spoken. The row that took the
// place of the first one deleted is selected then, as the next to work on.
void TEditForm::DelBtnClick() {
  TFormulaLine* line = Line();
  const QList<int> selected = SelectedRows();
  if (line == nullptr || selected.isEmpty()) {
    Filllist();
    return Announce(this, "Kein Eintrag ausgewählt, nichts gelöscht.");
  }
  const bool one = selected.size() == 1;
  const QString step =
      one ? QString("Eintrag gelöscht") : QString("%1 Einträge gelöscht").arg(selected.size());
  const QString spoken = one && static_cast<std::uint32_t>(selected.first()) < line->Count()
                             ? "Gelöscht: " + SpokenEntry(*EntryAt(*line, selected.first()))
                             : step + ".";
  RememberLine(step);
  // Bottom up, so that the rows still to come keep their indices.
  for (auto row = selected.crbegin(); row != selected.crend(); ++row) DeleteEntry(line, *row);
  ForgetIfUnchanged();
  context_.NotifyChanged();
  ListView1->clear();
  Filllist();
  SelectOnlyRow(std::min(selected.first(), ListView1->topLevelItemCount() - 1));
  Announce(this, spoken);
}

void TEditForm::MoveEntry(int from, int to) {
  RememberLine("Eintrag verschoben");
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
void TEditForm::RememberLine(const QString& step) {
  undo_.push_back({TakeSnapshot(Line(), TFontDesc{}, 0, 0), step});
  redo_.clear();
}

// A change that came to nothing (an entry edited back, no row selected to
// delete) is nothing to take back.
void TEditForm::ForgetIfUnchanged() {
  if (!undo_.empty() && undo_.back().State == TakeSnapshot(Line(), TFontDesc{}, 0, 0)) {
    undo_.pop_back();
  }
}

// Only this list is replaced: the dialogs that opened it hold the field it
// stands in, not the list itself, and none is open above it. The step is
// spoken, since the list may be out of sight of the focus.
void TEditForm::BringBack(std::vector<TListStep>& from, std::vector<TListStep>& to,
                          const QString& done) {
  if (LineRef == nullptr) return;
  if (from.empty()) {
    return Announce(this, &from == &undo_ ? QString("Nichts rückgängig zu machen.")
                                          : QString("Nichts wiederherzustellen."));
  }
  TRestoredDocument restored;
  std::string error;
  if (!RestoreSnapshot(from.back().State, context_.CurrentEntry, restored, error)) return;
  const QString step = from.back().Name;
  to.push_back({TakeSnapshot(Line(), TFontDesc{}, 0, 0), step});
  from.pop_back();
  freetheline(*LineRef);
  *LineRef = restored.Root;
  context_.NotifyChanged();
  Filllist();
  Announce(this, done + ": " + step);
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
  if (event->type() == QEvent::KeyPress) {
    undo ? BringBack(undo_, redo_, "Rückgängig") : BringBack(redo_, undo_, "Wiederhergestellt");
  }
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
  if (watched == ListView1 && event->type() == QEvent::FocusIn) {
    SelectOnKeyboardFocus(*static_cast<QFocusEvent*>(event));
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
