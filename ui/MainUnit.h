// The main window: the owner of the open document (formula, font, margin,
// background colour, file name and changed flag), its picture and the
// document commands.
#pragma once

#include <QAbstractButton>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QString>
#include <QStyle>
#include <exception>
#include <functional>

#include "docfile/DocFile.h"
#include "export/Export.h"
#include "history/UndoHistory.h"
#include "model/FormulaTree.h"
#include "render/Paint.h"
#include "render/QImageCanvas.h"
#include "render/RecordingCanvas.h"
#include "ui/EditorContext.h"
#include "ui/FontDialog.h"
#include "ui/PictureParts.h"

class QAction;
class QCheckBox;
class QColorDialog;
class QComboBox;
class TEditForm;
class TAboutBox;

// The surface that shows the picture: the bitmap, or on a high-density
// screen the same picture drawn at the screen's pixels. `draw` paints the
// whole formula into the bitmap and sizes this box to it; every repaint of
// the windowing layer runs it before the picture is copied.
//
// With the focus, the arrow keys move a highlight from part to part of the
// formula (TPictureParts), and Enter or Space open the part as a
// double-click on it does. The focus frame and the highlight are drawn over
// what is shown, never into the bitmap.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  TPaintBox(const TQImageCanvas& bitmap, std::function<void()> draw, QWidget* parent);
  // Shows the picture that `draw` has just painted, without painting it again.
  void ShowDrawn();

  // Shown instead of the bitmap while it is the bitmap's picture: an image
  // whose device pixel ratio times its size in logical pixels is its pixel
  // size. A null image: the bitmap only.
  void SetDeviceImage(QImage image);
  const QImage& DeviceImage() const { return deviceImage_; }

  // The parts the keyboard steps through; the window's, set once.
  void SetParts(TPictureParts* parts) { parts_ = parts; }
  // The picture's background, which the highlight has to stand out from.
  void SetBackground(const QColor& background) { background_ = background; }
  TPictureParts* Parts() const { return parts_; }
  // The highlighted part; the whole formula while none is. After the
  // formula changed, the same place or the innermost part around it.
  int CurrentPart() const;
  // Moves the highlight there and tells of it: PartChosen, and the focus
  // of assistive technology while the box has the focus.
  void ChoosePart(int part);
  void OpenCurrentPart();

 signals:
  // Positions in the picture's pixels.
  void MouseMove(int x, int y);
  void DblClick(int x, int y);
  void MouseLeave();
  // What the highlight is on now, and where in the picture's pixels.
  void PartChosen(const THit& hit, const QRect& place);
  // Enter on the highlighted part: what a double-click there would hit.
  void PartOpened(const THit& hit);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // ChoosePart without telling assistive technology; false for no part.
  bool MoveHighlight(int part);
  void TellFocusedPart();
  void DrawFocus(QPainter& painter);
  void KeyPress(QKeyEvent* event);
  template <class Work>
  void Guarded(Work&& work) noexcept;

  const TQImageCanvas& bitmap_;
  QImage deviceImage_;
  std::function<void()> draw_;
  bool drawn_ = false;
  TPictureParts* parts_ = nullptr;
  QColor background_ = Qt::white;
  // Where the highlight is, as a place in the tree: it outlives the parts.
  THit current_;
};

// A rectangle in the background colour with a black outline, pressed as a
// button: any mouse button, or Space and Enter while it has the focus.
class TColorSwatch : public QAbstractButton {
  Q_OBJECT
 public:
  explicit TColorSwatch(QWidget* parent);
  std::uint32_t Color() const { return color_; }
  void SetColor(std::uint32_t color);

 signals:
  void MouseDown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::uint32_t color_ = kWhite;
};

// Whole numbers 0 to 1000 by the spin buttons; typed numbers take effect as
// typed and are brought into range when the field loses the focus.
class TSpinEdit : public QSpinBox {
  Q_OBJECT
  // Assistive technology reads the range from these properties. They stand
  // for the range the field keeps to, while the box itself takes any whole
  // number typed, so that it takes effect as typed.
  Q_PROPERTY(int minimum READ ReportedMinimum)
  Q_PROPERTY(int maximum READ ReportedMaximum)

 public:
  explicit TSpinEdit(QWidget* parent);
  // The value the text stands for; text that is no number counts as 0.
  int Value() const;
  QLineEdit* Field() const { return lineEdit(); }
  int ReportedMinimum() const;
  int ReportedMaximum() const;

 signals:
  // The text differs from what it was before: typed, stepped or set.
  void TextChange();

 protected:
  // Strg+Z and Strg+Y belong to the document's undo, not to the field's own.
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
  void stepBy(int steps) override;
  StepEnabled stepEnabled() const override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void NoteText();

  QString lastText_;
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // The start-up instances of the editor and the information dialog.
  void SetDialogs(TEditForm* editForm, TAboutBox* aboutBox);
  const TEditorContext& EditorContext() const { return context_; }
  void SetTermEditor(TTermEditForm* termEditor) { termEditor_ = termEditor; }

  // Document state.
  TFormulaLine* RootLine = nullptr;
  TEntryCursor CurrentEntry = nullptr;
  TQImageCanvas FormulaBitmap;
  // What the last complete paint drew: pictures at other scales and as
  // vectors are drawn from it.
  TRecording LastRecording;
  // Where the last complete paint placed each entry: what a double-click opens.
  THitMap PlacedEntries;
  // The same as parts to step through, renewed with every paint.
  TPictureParts PictureParts{&RootLine, PlacedEntries};
  // The size the last paint asked for when it is beyond the picture limit.
  TSize PictureTooLarge;
  bool Changed = false;
  QString BaseCaption;
  QString FileName;

  // Controls.
  QPushButton* NewBtn;
  QPushButton* OpenBtn;
  QPushButton* SaveQMTBtn;
  QPushButton* SaveAsBtn;
  QPushButton* CopyBtn;
  QPushButton* EditBtn;
  QPushButton* FontBtn;
  QPushButton* SaveBtn;
  QPushButton* AboutBtn;
  QPushButton* EndeBtn;
  QLabel* Label1;
  TSpinEdit* RandEd;
  QLabel* Label2;
  TColorSwatch* bkcolor;
  QScrollArea* ScrollBox1;
  TPaintBox* PaintBox1;
  TFontDialog* FontDialog1;
  QColorDialog* ColorDialog1;
  QFileDialog* OpenDialog1;
  QFileDialog* SaveDialog2;
  QFileDialog* PictureDialog;
  // The picture options that go with PictureDialog, kept while the program runs.
  QComboBox* ScaleBox;
  QCheckBox* TransparentBox;
  // "Bearbeiten": "Rückgängig" and "Wiederherstellen", then the formula as
  // text: the two ways out to the clipboard, "Einfügen" and "Formel als Text...".
  QMenu* EditMenu;
  QAction* UndoAction;
  QAction* RedoAction;
  QAction* CopyLatexAction;
  QAction* CopyMathMLAction;
  QAction* PasteAction;
  QAction* FormulaTextAction;

  // Methods of the document.
  void FormCreate();
  void FormDestroy();
  void NewItNow();
  void SetChanged();
  void SetUnChanged();
  bool SaveFile();
  bool OpenFile();
  bool SaveTheFile();
  bool OpenFileWithName(const QString& name);
  void PaintBox1Paint();
  TPaintInput PaintInput() const;
  TDocument DocumentView() const;
  std::vector<std::uint8_t> DocumentBytes() const;
  // The picture as last painted, with its recording and the document.
  TPicture CurrentPicture() const;
  // Opens a file named from outside (the command line, a drop) as
  // "Öffnen..." would, save prompt first, once the events under way are done.
  void OpenFromOutside(const QString& path);

  // The one way a command makes its change undoable. Call it once at the end
  // of every command that may have changed the document (tree, font, margin
  // or colour), after repainting and SetChanged (DocumentChangedBy does all
  // three): it records the document as it now is as one step, shown as
  // "Rückgängig: <name>" ("Formel bearbeiten", "Schriftart"...). Everything the command did is that
  // one step, and a command that changed nothing records nothing. With `merge`, the step joins the
  // step of the same name just before, as typing in the margin field does until the field is left.
  void RecordStep(const QString& name, bool merge = false);
  // The document as a snapshot would hold it now.
  TDocumentState CurrentState() const;
  const TUndoHistory& History() const { return history_; }

 public slots:
  void Neu1Click();
  void ffnen1Click();
  void Speichern1Click();
  void Speichernunter1Click();
  void EndeBtnClick();
  void Beenden1Click();
  void FontBtnClick();
  void RandEdChange();
  void bkcolorMouseDown();
  void EditBtnClick();
  void AboutBtnClick();
  void ber1Click();
  void SaveBtnClick();
  void CopyBtnClick();
  void Rueckgaengig1Click();
  void Wiederherstellen1Click();
  // A double-click opens what lies there: a term's sequence, a function's
  // dialog, or the whole formula; moving the mouse names it in the status bar.
  void PaintBox1DblClick(int x, int y);
  void PaintBox1MouseMove(int x, int y);
  // The keyboard's highlight names its part in the status bar, as the mouse
  // does, and Enter on it opens what a double-click there opens.
  void PaintBox1PartChosen(const THit& hit, const QRect& place);
  void PaintBox1PartOpened(const THit& hit);
  void AlsLaTeXkopieren1Click();
  void AlsMathMLkopieren1Click();
  void Einfuegen1Click();
  void FormelalsText1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void BuildButtons();
  void BuildFormatControls();
  void BuildPictureArea();
  void BuildMenus();
  void BuildEditMenu();
  void BuildTextMenu();
  // The end of a command that changed the document: repaint, "*", one step.
  void DocumentChangedBy(const QString& step, bool merge = false);
  // Moves the entries of `formula` to the end of the open one as one step;
  // std::bad_alloc when memory runs out on the way.
  void AppendFormula(TFormulaLine* formula, const QString& step);
  void BuildFileDialogs();
  void AddPictureOptions();
  QPushButton* AddButton(const QString& caption, QStyle::StandardPixmap picture, QRect place,
                         void (TMainForm::*handler)());
  // The question before losing changes; true when the command may go on.
  bool SavePrompt(const QString& question);
  bool FormCloseQuery();
  void ComposeCaption();
  // Appends the formula a LaTeX text describes, as one step; a German
  // message where it cannot be read.
  void AppendLatex(const QString& text);
  // Tells a screen reader what the picture shows: the formula as LaTeX.
  void DescribePicture();
  // Gives the paint box the last complete paint drawn again at its device
  // pixel ratio, rounded up (none at a ratio of 1), unless it has that
  // picture, the same as the `previous` one, at that ratio already.
  void ShowDevicePicture(const TRecording& previous);
  // Steps of a paint up to the copy: the whole formula into FormulaBitmap,
  // the paint box sized to it.
  void DrawPicture();
  void ShowPictureLimit(TSize size);
  void ShowOutcome(const QString& done);
  // A message in the status bar (for `millis`, 0: until the next) that a
  // screen reader speaks as it appears.
  void ShowStatus(const QString& text, int millis = 0);
  bool WriteDocumentTo(const QString& path);
  void ShowError(const QString& text);
  QString ChooseFile(QFileDialog* dialog);
  // Makes the given formula and formatting the open document and repaints.
  void TakeOverDocument(TFormulaLine* root, const TFontDesc& font, std::uint32_t background,
                        std::int32_t margin);
  using THistoryMove = const TDocumentState* (TUndoHistory::*)();
  // True when the document took the step; `told` ("Rückgängig: Rand") is
  // then spoken.
  bool MoveInHistory(THistoryMove move, THistoryMove back, const QString& told);
  // The open document becomes the only state of a new history, as saved.
  void StartHistory(TDocumentState state);
  // The caption's "*" and the two menu entries after the history moved.
  void ShowHistoryState();
  // Opens the dialog for what `hit` lies on and records the edit as one step.
  void EditFormulaAt(const THit& hit);
  // The double-click's and Enter's way in: not while a dialog is open.
  void OpenPictureHit(const THit& hit);
  void OpenDialogFor(const THit& hit);
  void OpenEditorOn(TFormulaLine** line, int selectedRow, const QStringList& place);

  QWidget* ButtonPanel() const { return panel_; }

  // A handler run as a command: inside the boundary of RunCommand.
  std::function<void()> Command(void (TMainForm::*handler)());
  // Runs a command of the window. Whatever fails in it ends the command, not
  // the program: the user gets the memory message (or the failure's own) and
  // the document is the one the history last recorded. Taken by reference,
  // so that nothing is allocated before the boundary stands.
  template <class Work>
  void RunCommand(Work&& command) {
    const TCommandStart start{history_.CurrentSerial(), Changed};
    try {
      command();
    } catch (...) {
      EndFailedCommand(std::current_exception(), start);
    }
  }
  // The history's state and the changed flag when a command began.
  struct TCommandStart {
    std::uint64_t Serial;
    bool Changed;
  };
  void EndFailedCommand(const std::exception_ptr& failure, TCommandStart start) noexcept;
  void BackToRecordedState(TCommandStart start);
  // Runs a paint; a failed one leaves the document alone and is told once.
  template <class Work>
  void Painting(Work&& paint) {
    try {
      paint();
      paintFailed_ = false;
    } catch (...) {
      EndFailedPaint(std::current_exception());
    }
  }
  void EndFailedPaint(const std::exception_ptr& failure) noexcept;
  // A new line, or std::bad_alloc for the boundary: the window never holds
  // a missing formula.
  static TFormulaLine* NewLine(TEntryCursor* cursor);
  void TakeDrop(QDropEvent* event);

  QWidget* panel_ = nullptr;
  TTermEditForm* termEditor_ = nullptr;
  TEditorContext context_;
  TEditForm* editForm_ = nullptr;
  TAboutBox* aboutBox_ = nullptr;
  TUndoHistory history_;
  // Set while a document is taken over: the fields it sets make no step.
  bool takingOver_ = false;
  // The last paint failed and the user has been told.
  bool paintFailed_ = false;
};
