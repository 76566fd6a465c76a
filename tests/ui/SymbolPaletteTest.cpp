// The symbol palette as both dialogs host it: where a click lands, what it
// inserts, and what the grid looks like.
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <vector>

#include "render/QtFont.h"
#include "tests/ui/DialogDriver.h"
#include "ui/SymbolPalette.h"

using namespace DialogDriver;

namespace {

QPoint CellCentre(int row, int column) {
  return QPoint(column * SymbolPalette::kPitch + 11, row * SymbolPalette::kPitch + 11);
}

QString Symbol(int codePoint) { return QString(QChar(codePoint)); }

QRgb Workspace() { return ColorFromValue(0x8000000Cu).rgb(); }
QRgb Black() { return QColor(Qt::black).rgb(); }
QRgb White() { return QColor(Qt::white).rgb(); }

}  // namespace

class SymbolPaletteTest : public QObject {
  Q_OBJECT

 private slots:
  void insertsAtTheCaret_data();
  void insertsAtTheCaret();
  void hitTestFollowsThePitch_data();
  void hitTestFollowsThePitch();
  void clickLeavesTheFocusWhereItWas();
  void gridIsDrawnInTheDocumentFont();
  void termEditorShowsTheWholeGrid();
  void keyboardReachesAndUsesThePalette();
};

void SymbolPaletteTest::insertsAtTheCaret_data() {
  QTest::addColumn<bool>("inTermEditor");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("caret");
  QTest::addColumn<int>("selectionLength");
  QTest::addColumn<QPoint>("at");
  QTest::addColumn<Qt::MouseButton>("button");
  QTest::addColumn<QString>("expected");
  QTest::addColumn<int>("expectedCaret");

  const QString forAll = Symbol(0x2200);
  const QString sum = Symbol(0x2211);
  const QString lessEqual = Symbol(0x2264);
  QTest::newRow("first cell into an empty field")
      << true << "" << 0 << 0 << CellCentre(0, 0) << Qt::LeftButton << forAll << 1;
  QTest::newRow("sum between a and +")
      << true << "a+b" << 1 << 0 << CellCentre(0, 17) << Qt::LeftButton << "a" + sum + "+b" << 2;
  QTest::newRow("less-or-equal behind the last character")
      << true << "x" << 1 << 0 << CellCentre(5, 0) << Qt::LeftButton << "x" + lessEqual << 2;
  QTest::newRow("a selection stays and the symbol goes before it")
      << true << "abcd" << 0 << 3 << CellCentre(0, 0) << Qt::LeftButton << forAll + "abcd" << 1;
  QTest::newRow("a selection made leftwards counts from its start")
      << true << "abcd" << 3 << -2 << CellCentre(0, 0) << Qt::LeftButton << "a" + forAll + "bcd"
      << 2;
  QTest::newRow("right click inserts like a left click")
      << true << "x" << 1 << 0 << CellCentre(5, 0) << Qt::RightButton << "x" + lessEqual << 2;
  QTest::newRow("entry list editor: sum into the middle")
      << false << "a+b" << 1 << 0 << CellCentre(0, 17) << Qt::LeftButton << "a" + sum + "+b" << 2;
  QTest::newRow("entry list editor: middle button")
      << false << "" << 0 << 0 << CellCentre(1, 6) << Qt::MiddleButton << Symbol(0x221A) << 1;
}

void SymbolPaletteTest::insertsAtTheCaret() {
  QFETCH(bool, inTermEditor);
  QFETCH(QString, text);
  QFETCH(int, caret);
  QFETCH(int, selectionLength);
  QFETCH(QPoint, at);
  QFETCH(Qt::MouseButton, button);
  QFETCH(QString, expected);
  QFETCH(int, expectedCaret);

  TTestDocument document;
  TEditForm listEditor(document.Context());
  QLineEdit* field = inTermEditor ? document.TermEditor.Edit1 : listEditor.Edit1;
  QWidget* surface = inTermEditor ? static_cast<QWidget*>(document.TermEditor.PaintBox1)
                                  : static_cast<QWidget*>(listEditor.PaintBox1);
  field->setText(text);
  if (selectionLength != 0) {
    field->setSelection(caret, selectionLength);
  } else {
    field->setCursorPosition(caret);
  }

  QTest::mouseClick(surface, button, Qt::NoModifier, at);

  QCOMPARE(field->text(), expected);
  QCOMPARE(field->cursorPosition(), expectedCaret);
  QVERIFY(!field->hasSelectedText());
}

void SymbolPaletteTest::hitTestFollowsThePitch_data() {
  QTest::addColumn<QPoint>("at");
  QTest::addColumn<QString>("expected");  // empty: nothing is inserted

  QTest::newRow("x = 23 is still column 0") << QPoint(23, 5) << Symbol(0x2200);
  QTest::newRow("x = 24 is column 1") << QPoint(24, 5) << Symbol(0x2201);
  QTest::newRow("the gap under a cell belongs to it") << QPoint(5, 23) << Symbol(0x2200);
  QTest::newRow("x = 479 is column 19") << QPoint(479, 5) << Symbol(0x2213);
  QTest::newRow("x = 480 is right of the grid") << QPoint(480, 5) << QString();
  QTest::newRow("the last cell, row 12 column 15") << QPoint(383, 12 * 24 + 5) << Symbol(0x22FF);
  QTest::newRow("row 12 after column 15") << QPoint(384, 12 * 24 + 5) << QString();
  QTest::newRow("row 12, far right") << QPoint(470, 12 * 24 + 5) << QString();
  QTest::newRow("row 9 column 17, the dot operator") << CellCentre(9, 17) << Symbol(0x22C5);
  QTest::newRow("row 4 column 16, not equal") << CellCentre(4, 16) << Symbol(0x2260);
}

void SymbolPaletteTest::hitTestFollowsThePitch() {
  QFETCH(QPoint, at);
  QFETCH(QString, expected);

  TTestDocument document;
  TTermEditForm& editor = document.TermEditor;
  editor.Edit1->setText("");
  editor.show();
  QVERIFY(QTest::qWaitForWindowExposed(&editor));
  QVERIFY(editor.PaintBox1->width() > at.x());

  QTest::mouseClick(editor.PaintBox1, Qt::LeftButton, Qt::NoModifier, at);

  QCOMPARE(editor.Edit1->text(), expected);
  editor.hide();
}

void SymbolPaletteTest::clickLeavesTheFocusWhereItWas() {
  TTestDocument document;
  TTermEditForm& editor = document.TermEditor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  editor.BitBtn1->setFocus();
  QCOMPARE(QApplication::focusWidget(), editor.BitBtn1);

  QTest::mouseClick(editor.PaintBox1, Qt::LeftButton, Qt::NoModifier, CellCentre(2, 3));

  QCOMPARE(editor.Edit1->text(), Symbol(0x222B));
  QCOMPARE(QApplication::focusWidget(), editor.BitBtn1);
  editor.hide();
}

void SymbolPaletteTest::gridIsDrawnInTheDocumentFont() {
  TTestDocument document;
  document.Font.Name = "DejaVu Serif";
  document.Font.Color = 0x000000FFu;  // red, with red in the lowest byte
  TTermEditForm& editor = document.TermEditor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowExposed(&editor));
  const QImage serif = editor.ScrollBox1->viewport()->grab().toImage();
  SaveArtefact(serif, "palette-term-editor-serif-red");

  QCOMPARE(serif.pixel(0, 0), Black());                            // cell outline
  QCOMPARE(serif.pixel(22, 22), Black());                          // its far corner
  QCOMPARE(serif.pixel(1, 21), White());                           // inside, below the glyph
  QCOMPARE(serif.pixel(23, 10), Workspace());                      // the gap between cells
  QCOMPARE(serif.pixel(10, 23), Workspace());                      // the gap under a row
  QCOMPARE(serif.pixel(490, 10), Workspace());                     // right of the grid
  QCOMPARE(serif.pixel(16 * 24 + 10, 12 * 24 + 10), Workspace());  // after the last cell
  bool redInk = false;
  for (int y = 3; y < 22 && !redInk; ++y) {
    for (int x = 3; x < 22 && !redInk; ++x) {
      const QColor c = serif.pixelColor(x, y);
      redInk = c.red() > 150 && c.green() < 100 && c.blue() < 100;
    }
  }
  QVERIFY2(redInk, "the first character is drawn in the document font's colour");

  document.Font.Name = "DejaVu Sans Mono";
  document.Font.Color = 0;
  editor.PaintBox1->repaint();
  const QImage mono = editor.ScrollBox1->viewport()->grab().toImage();
  SaveArtefact(mono, "palette-term-editor-mono-black");
  QVERIFY2(mono.copy(0, 0, 480, 312) != serif.copy(0, 0, 480, 312),
           "another document font changes the palette");
  editor.hide();
}

void SymbolPaletteTest::termEditorShowsTheWholeGrid() {
  TTestDocument document;
  TEditForm listEditor(document.Context());
  document.TermEditor.show();
  listEditor.show();
  QVERIFY(QTest::qWaitForWindowExposed(&listEditor));

  QCOMPARE(document.TermEditor.PaintBox1->height(), SymbolPalette::kSurfaceHeight);
  QCOMPARE(document.TermEditor.ScrollBox1->verticalScrollBar()->maximum(), 0);
  QCOMPARE(listEditor.PaintBox1->height(), SymbolPalette::kSurfaceHeight);
  QVERIFY(listEditor.ScrollBox1->verticalScrollBar()->maximum() > 200);
  QCOMPARE(listEditor.PaintBox1->width(), listEditor.ScrollBox1->viewport()->width());
  SaveArtefact(listEditor.grab().toImage(), "entry-list-editor");
  SaveArtefact(document.TermEditor.grab().toImage(), "term-editor");
  listEditor.hide();
  document.TermEditor.hide();
}

// Tab reaches the palette; the arrows, Page Up and Down, Home and End move
// the mark; Enter and Space insert the marked symbol as a click does.
void SymbolPaletteTest::keyboardReachesAndUsesThePalette() {
  const struct {
    const char* what;
    std::vector<Qt::Key> moves;
    Qt::Key insert;
    int symbol;
  } rows[] = {
      {"Enter on the first symbol", {}, Qt::Key_Return, 0x2200},
      {"right, then down a row, Space", {Qt::Key_Right, Qt::Key_Down}, Qt::Key_Space, 0x2215},
      {"up and left at the first symbol stay there", {Qt::Key_Up, Qt::Key_Left}, Qt::Key_Return,
       0x2200},
      {"End marks the last symbol, down stays there", {Qt::Key_End, Qt::Key_Down}, Qt::Key_Return,
       0x22FF},
      {"a page down and up again comes back", {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_PageUp},
       Qt::Key_Return, 0x2201},
  };
  for (const auto& row : rows) {
    TTestDocument document;
    TTermEditForm& editor = document.TermEditor;
    editor.Edit1->setText("");
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    editor.Edit1->setFocus();
    for (int tab = 0; tab < 10 && QApplication::focusWidget() != editor.PaintBox1; ++tab) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QVERIFY2(QApplication::focusWidget() == editor.PaintBox1, row.what);
    for (Qt::Key key : row.moves) QTest::keyClick(editor.PaintBox1, key);
    const QImage marked = editor.PaintBox1->grab().toImage();
    QTest::keyClick(editor.PaintBox1, row.insert);
    QVERIFY2(editor.Edit1->text() == Symbol(row.symbol), row.what);
    QVERIFY2(editor.isVisible(), row.what);  // Enter inserts; it does not end the dialog
    const int cell = row.symbol - 0x2200;
    const QPoint ring((cell % SymbolPalette::kColumns) * SymbolPalette::kPitch + 1,
                      (cell / SymbolPalette::kColumns) * SymbolPalette::kPitch + 11);
    QVERIFY2(QColor(marked.pixel(ring)) == editor.PaintBox1->palette().color(QPalette::Highlight),
             row.what);
    editor.hide();
  }
}

QTEST_MAIN(SymbolPaletteTest)
#include "SymbolPaletteTest.moc"
