// The entry list editor: one entry sequence of the formula, one row per
// entry. Every command works on the sequence at once and the list is then
// rebuilt from it; there is no working copy and nothing is handed back.
#pragma once

// The controls are public so that openers and tests can drive them.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QStringList>
#include <QToolButton>
#include <QTreeWidget>
#include <vector>

#include "history/UndoHistory.h"
#include "model/FormulaTree.h"
#include "ui/EditorContext.h"
#include "ui/FixedDialog.h"
#include "ui/SymbolPalette.h"

class QFocusEvent;

// Opens the parameter dialog of a function entry of the open tree and writes
// its texts back into the entry when it closes. Nothing for another entry.
// `within` names the parts of the formula the entry stands in, outermost
// first ("Inhalt des Integrals"), for the lists the dialog opens.
void EditFunctionEntry(const TEditorContext& context, TFormulaEntry& entry,
                       const QStringList& within = {});

// What a screen reader says for an entry's row before its texts: the kind,
// and for a function what it holds ("Bruch Funktion, a durch b").
QString SpokenEntry(const TFormulaEntry& entry);

class TEditForm : public TFixedDialog {
  Q_OBJECT
 public:
  explicit TEditForm(const TEditorContext& context);

  // The caller's protocol: edit the sequence held in *line until the dialog
  // closes, with row `selectedRow` selected at first (none when -1). `place`
  // names the part of the formula the sequence is, with the parts it stands
  // in before it ("Inhalt des Integrals", "Zähler des Bruchs"); empty for the
  // whole formula. A screen reader reads it as the window's name.
  void OpenOn(TFormulaLine** line, int selectedRow = -1, const QStringList& place = {});
  void Filllist();

  void AddTermClick();
  void AddFuncClick();
  void EditBtnClick();
  void ListView1DblClick();
  void DelBtnClick();
  void UpBtnClick();
  void DownBtnClick();
  void FormMouseWheelDown();
  void FormMouseWheelUp();
  void PaintBox1Paint(QPainter& canvas);
  void PaintBox1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

  // The caller's variable that holds the sequence; read each time it is needed.
  TFormulaLine** LineRef = nullptr;

  QFrame* Panel1;
  QLabel* Label1;
  QLineEdit* Edit1;
  QPushButton* AddTerm;
  QScrollArea* ScrollBox1;
  TPaletteBox* PaintBox1;
  QLabel* Label2;
  QComboBox* ComboBox1;
  QPushButton* AddFunc;
  QPushButton* DelBtn;
  QPushButton* EditBtn;
  QPushButton* BackBtn;
  QTreeWidget* ListView1;
  QFrame* Panel2;
  QToolButton* UpBtn;
  QToolButton* DownBtn;
  QStatusBar* StatusBar1;

 protected:
  void EscapePressed() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void BuildPanel();
  void BuildList();
  TFormulaLine* Line() const;
  // The lowest selected row, or -1.
  int TopSelectedRow() const;
  void SelectOnlyRow(int row);
  QList<int> SelectedRows() const;
  // After a rebuild: the rows selected before, as far as they still exist,
  // else the last row; the current row likewise.
  void KeepSelection(const QList<int>& selected, int current);
  // The list reached by the keyboard selects its current row, so that the
  // row commands work without a mouse.
  void SelectOnKeyboardFocus(const QFocusEvent& event);
  void TellCurrentRow();
  void NamePlace(const QStringList& place);
  void MoveEntry(int from, int to);
  void EditTerm(TFormulaEntry& entry);
  void ScrollPalette(int pixels);
  void TakeWheel(QWheelEvent* event);
  bool MoveByKey(const QKeyEvent& key);
  // Undo and redo of this list's own changes while it is open.
  struct TListStep {
    TDocumentState State;  // the list as it was before the step
    QString Name;          // what the step did, as it is spoken when undone
  };
  bool UndoByKey(QEvent* event);
  void RememberLine(const QString& step);
  void ForgetIfUnchanged();
  void BringBack(std::vector<TListStep>& from, std::vector<TListStep>& to, const QString& done);

  TEditorContext context_;
  QStringList place_;
  std::vector<TListStep> undo_;
  std::vector<TListStep> redo_;
  int wheelRemainder_ = 0;
};
