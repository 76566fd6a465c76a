// Double-clicks into the picture of the real main window: each opens the
// dialog for what lies there, answered from a timer, and the edit is one
// undo step. The status bar names what a double-click would open.
#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTest>

#include "tests/ui/DialogDriver.h"
#include "tests/ui/Program.h"
#include "ui/FormulaHits.h"
#include "ui/IntegralEFUnit.h"

using namespace DialogDriver;

namespace {

// The first point of the picture, row by row, whose description is `text`.
// Not (0, 0): the mouse functions of the test library take it for the centre.
QPoint PointNamed(TMainForm& main, const QString& text) {
  const QImage picture = SettledPicture(main);
  for (int y = 1; y < picture.height(); ++y) {
    for (int x = 1; x < picture.width(); ++x) {
      if (DescribeHit(&main.RootLine, main.PlacedEntries.HitAt(x, y)) == text) return {x, y};
    }
  }
  return {-1, -1};
}

// The mouse moved over the picture, without a button down.
void MoveMouse(TMainForm& main, QPoint point) {
  QMouseEvent move(QEvent::MouseMove, point, main.PaintBox1->mapToGlobal(point), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(main.PaintBox1, &move);
}

// The title of a dialog and, in an editor, its rows with the selected one marked.
QStringList Shown(const QDialog* dialog) {
  QStringList rows = {dialog->windowTitle()};
  const auto* editor = qobject_cast<const TEditForm*>(dialog);
  for (int i = 0; editor != nullptr && i < editor->ListView1->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = editor->ListView1->topLevelItem(i);
    rows << (item->isSelected() ? "> " : "  ") + item->text(0) + " '" + item->text(1) + "'";
  }
  return rows;
}

}  // namespace

class DoubleClickTest : public TProgramTest {
  Q_OBJECT

 private slots:
  void init() { StartProgram(); }
  void cleanup() { EndProgram(); }

  void eachPlaceOpensWhatLiesThere_data() {
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("rows");
    const QString editor = "Formel editieren";
    QTest::newRow("a term: its row in the root editor")
        << "Term „+ 3 * “"
        << QStringList{editor, "  Term '12 * 3 / 2 *'", "  Integral Funktion '1'",
                       "> Term '+ 3 * '", "  Integral Funktion '1'"};
    QTest::newRow("the sum's lower part, off its term")
        << "Unterer Teil der Summe" << QStringList{editor, "  Term '5'"};
    QTest::newRow("a term deep inside: the sum's lower part")
        << "Term „5“" << QStringList{editor, "> Term '5'"};
    QTest::newRow("the margin: the whole formula")
        << "Ganze Formel"
        << QStringList{editor, "  Term '12 * 3 / 2 *'", "  Integral Funktion '1'",
                       "  Term '+ 3 * '", "  Integral Funktion '1'"};
    QTest::newRow("the fraction bar: its dialog") << "Bruch" << QStringList{"Bruch bearbeiten"};
  }

  void eachPlaceOpensWhatLiesThere() {
    QFETCH(QString, status);
    QFETCH(QStringList, rows);
    TMainForm& main = Main();
    const QPoint point = PointNamed(main, status);
    QVERIFY2(point.x() >= 0, qPrintable("nowhere named " + status));
    MoveMouse(main, point);
    QCOMPARE(main.statusBar()->currentMessage(), status);

    auto seen = std::make_shared<QStringList>();
    Answer<QDialog>([seen](QDialog* dialog) {
      *seen = Shown(dialog);
      dialog->close();
    });
    QTest::mouseDClick(main.PaintBox1, Qt::LeftButton, {}, point);
    QCOMPARE(*seen, rows);
    QVERIFY(!main.UndoAction->isEnabled());  // nothing changed, no step
  }

  void theIntegralSignOpensItsDialogAndTheEditIsOneStep() {
    TMainForm& main = Main();
    const QPoint sign = PointNamed(main, "Integral von 1 bis 10");
    QVERIFY(sign.x() >= 0);
    const QImage before = SettledPicture(main);
    Answer<TIntegralEForm>([](TIntegralEForm* integral) {
      QCOMPARE(integral->Edit1->text(), QString("1"));
      QCOMPARE(integral->Edit2->text(), QString("10"));
      integral->Edit2->selectAll();
      QTest::keyClicks(integral->Edit2, "20");
      Click(integral->BackBtn);
    });
    QTest::mouseDClick(main.PaintBox1, Qt::LeftButton, {}, sign);

    QCOMPARE(ToQString(TextOf(EntryAt(*main.RootLine, 1)->Text2)), QString("20"));
    QVERIFY(main.windowTitle().contains('*'));
    QVERIFY(SettledPicture(main) != before);
    QCOMPARE(main.UndoAction->text(), QString("&Rückgängig: Formel bearbeiten"));
    main.UndoAction->trigger();
    QCOMPARE(ToQString(TextOf(EntryAt(*main.RootLine, 1)->Text2)), QString("10"));
    QVERIFY(PointNamed(main, "Integral von 1 bis 10").x() >= 0);
  }
};

QTEST_MAIN(DoubleClickTest)
#include "DoubleClickTest.moc"
