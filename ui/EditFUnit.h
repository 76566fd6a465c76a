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
#include <QToolButton>
#include <QTreeWidget>
#include <vector>

#include "history/UndoHistory.h"
#include "model/FormulaTree.h"
#include "ui/EditorContext.h"
#include "ui/FixedDialog.h"
#include "ui/SymbolPalette.h"

// Opens the parameter dialog of a function entry of the open tree and writes
// its texts back into the entry when it closes. Nothing for another entry.
void EditFunctionEntry(const TEditorContext& context, TFormulaEntry& entry);

class TEditForm : public TFixedDialog {
  Q_OBJECT
 public:
  explicit TEditForm(const TEditorContext& context);

  // The caller's protocol: edit the sequence held in *line until the dialog
  // closes, with row `selectedRow` selected at first (none when -1).
  void OpenOn(TFormulaLine** line, int selectedRow = -1);
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
  void MoveEntry(int from, int to);
  void EditTerm(TFormulaEntry& entry);
  void ScrollPalette(int pixels);
  void TakeWheel(QWheelEvent* event);
  bool MoveByKey(const QKeyEvent& key);
  // Undo and redo of this list's own changes while it is open.
  bool UndoByKey(QEvent* event);
  void RememberLine();
  void ForgetIfUnchanged();
  void BringBack(std::vector<TDocumentState>& from, std::vector<TDocumentState>& to);

  TEditorContext context_;
  std::vector<TDocumentState> undo_;
  std::vector<TDocumentState> redo_;
  int wheelRemainder_ = 0;
};
