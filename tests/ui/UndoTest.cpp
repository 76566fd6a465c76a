// Undo and redo in the main window, driven by the keys a user presses: one
// row per kind of step, the caption after undoing back to the saved state,
// and commands that change nothing leave no step.
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "tests/ui/DialogDriver.h"
#include "tests/ui/Program.h"
#include "ui/FontDialog.h"

using namespace DialogDriver;

namespace {

using TStep = std::function<void(TMainForm&)>;

void Undo(TMainForm& main) { PressKeys(main, Qt::Key_Z, Qt::ControlModifier); }
void Redo(TMainForm& main) { PressKeys(main, Qt::Key_Y, Qt::ControlModifier); }
void RedoShifted(TMainForm& main) {
  PressKeys(main, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
}

void TypeMargin(TMainForm& main, const QString& text) {
  main.RandEd->setFocus();
  main.RandEd->Field()->selectAll();
  QTest::keyClicks(main.RandEd->Field(), text);
}

}  // namespace

Q_DECLARE_METATYPE(TStep)

class UndoTest : public TProgramTest {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private slots:
  void init() { StartProgram(); }
  void cleanup() { EndProgram(); }

  void eachStepIsUndoneAndRedone_data() {
    QTest::addColumn<TStep>("step");
    QTest::addColumn<QString>("name");
    QTest::newRow("a term added in the editor") << TStep([](TMainForm& main) {
      Answer<TEditForm>([](TEditForm* root) {
        AddTerm(root, "7");
        Click(root->BackBtn);
      });
      Click(main.EditBtn);
    }) << "Formel bearbeiten";
    QTest::newRow("a font chosen") << TStep([](TMainForm& main) {
      Answer<TFontDialog>([](TFontDialog* dialog) {
        QFont serif("DejaVu Serif");
        serif.setPointSize(14);
        dialog->FontChooser->setCurrentFont(serif);
        dialog->accept();
      });
      Click(main.FontBtn);
    }) << "Schriftart";
    QTest::newRow("125 typed into the margin field")
        << TStep([](TMainForm& main) { TypeMargin(main, "125"); }) << "Rand";
    QTest::newRow("a colour chosen") << TStep([](TMainForm& main) {
      Answer<QColorDialog>([](QColorDialog* dialog) {
        dialog->setCurrentColor(QColor(0, 0, 255));
        dialog->accept();
      });
      QTest::mouseClick(main.bkcolor, Qt::LeftButton);
    }) << "Hintergrundfarbe";
    QTest::newRow("Neu") << TStep([](TMainForm& main) { Click(main.NewBtn); }) << "Neu";
  }

  void eachStepIsUndoneAndRedone() {
    QFETCH(TStep, step);
    QFETCH(QString, name);
    TMainForm& main = Main();
    const TDocumentState before = main.CurrentState();
    QVERIFY(!main.UndoAction->isEnabled());
    QCOMPARE(main.UndoAction->text(), QString("&Rückgängig"));

    step(main);
    const TDocumentState after = main.CurrentState();
    QVERIFY(!(after == before));
    QCOMPARE(main.History().StepCount(), std::size_t{1});
    QCOMPARE(main.UndoAction->text(), "&Rückgängig: " + name);

    Undo(main);
    QVERIFY(main.CurrentState() == before);
    QVERIFY(!main.UndoAction->isEnabled());
    QCOMPARE(main.RedoAction->text(), "&Wiederherstellen: " + name);
    QVERIFY(!main.windowTitle().contains('*'));

    Redo(main);
    QVERIFY(main.CurrentState() == after);
    QVERIFY(!main.RedoAction->isEnabled());
    QVERIFY(main.windowTitle().contains('*'));
    Undo(main);
    RedoShifted(main);
    QVERIFY(main.CurrentState() == after);
    // The picture shows the document that undo and redo bring back.
    TQImageCanvas expected;
    PaintComplete(expected, main.PaintInput());
    QCOMPARE(SettledPicture(main).size(), expected.Image().size());
  }

  // Leaving the margin field ends its step; undo back to the saved state
  // drops the "*".
  void undoBackToTheSavedStateDropsTheStar() {
    TMainForm& main = Main();
    main.FileName = dir_.filePath("Kreis.qmt");
    QVERIFY(main.SaveFile());
    TypeMargin(main, "30");
    main.FontBtn->setFocus();
    TypeMargin(main, "33");
    QCOMPARE(main.History().StepCount(), std::size_t{2});
    QCOMPARE(main.windowTitle(), QString("Quillmora Editor 1.0 - [Kreis.qmt*]"));
    Undo(main);
    QCOMPARE(main.RandEd->Value(), 30);
    QCOMPARE(main.windowTitle(), QString("Quillmora Editor 1.0 - [Kreis.qmt*]"));
    Undo(main);
    QCOMPARE(main.RandEd->Value(), 20);
    QCOMPARE(main.windowTitle(), QString("Quillmora Editor 1.0 - [Kreis.qmt]"));
    Redo(main);
    QCOMPARE(main.windowTitle(), QString("Quillmora Editor 1.0 - [Kreis.qmt*]"));

    // An opened document starts a history of its own.
    QVERIFY(main.OpenFileWithName(main.FileName));
    QVERIFY(!main.UndoAction->isEnabled());
    QVERIFY(!main.RedoAction->isEnabled());
  }

  void commandsThatChangeNothingLeaveNoStep() {
    TMainForm& main = Main();
    Answer<TEditForm>([](TEditForm* root) { root->close(); });
    Click(main.EditBtn);
    QVERIFY(main.windowTitle().contains('*'));  // closing the editor marks it all the same
    Answer<TFontDialog>([](TFontDialog* dialog) { dialog->reject(); });
    Click(main.FontBtn);
    QCOMPARE(main.History().StepCount(), std::size_t{0});
    QVERIFY(!main.UndoAction->isEnabled());
  }
};

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
