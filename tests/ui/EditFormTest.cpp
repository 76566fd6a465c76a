// The entry list editor: the rows it shows, what its buttons do to the
// sequence, the wheel, and the subtrees it releases.
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "tests/ui/DialogDriver.h"

using namespace DialogDriver;

namespace {

QStringList Column(const QTreeWidget* list, int column) {
  QStringList cells;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    cells << list->topLevelItem(row)->text(column);
  }
  return cells;
}

void Select(QTreeWidget* list, const QList<int>& rows) {
  list->clearSelection();
  for (int row : rows) list->topLevelItem(row)->setSelected(true);
}

void SendWheel(QWidget* target, int angle) {
  const QPointF at(5, 5);
  QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &wheel);
}

// Live zero-filled blocks of every sequence in the tree, counted to see what a
// deletion releases.
int gLiveBlocks = 0;
void* CountingAllocate(std::size_t bytes) {
  ++gLiveBlocks;
  return std::calloc(1, bytes);
}
void CountingRelease(void* block) {
  --gLiveBlocks;
  std::free(block);
}

}  // namespace

class EditFormTest : public QObject {
  Q_OBJECT

 private slots:
  void listShowsKindAndTexts_data();
  void listShowsKindAndTexts();
  void addTermStoresTheFieldAsTyped_data();
  void addTermStoresTheFieldAsTyped();
  void deleteRemovesEverySelectedEntry_data();
  void deleteRemovesEverySelectedEntry();
  void moveButtonsMoveOneEntry_data();
  void moveButtonsMoveOneEntry();
  void editOpensTheTopmostSelectedTerm();
  void doubleClickEditsTheRow();
  void longTermSurvivesTheTermEditor();
  void wheelScrollsThePaletteAnywhere_data();
  void wheelScrollsThePaletteAnywhere();
  void deletingAFunctionReleasesItsSubtree();
  void startUpEditorKeepsItsFieldAndPalette();
  void typingAfterAddingAFunctionGoesIntoTheTermField();
  void undoAndRedoInsideTheList();
};

void EditFormTest::listShowsKindAndTexts_data() {
  QTest::addColumn<quint32>("isFunction");
  QTest::addColumn<quint32>("kind");
  QTest::addColumn<QString>("type");

  QTest::newRow("term") << 0u << 0u << "Term";
  QTest::newRow("fraction") << 1u << quint32{fkBruch} << "Bruch Funktion";
  QTest::newRow("root") << 1u << quint32{fkWurzel} << "Wurzel Funktion";
  QTest::newRow("sum") << 1u << quint32{fkSumme} << "Summen Funktion";
  QTest::newRow("power") << 1u << quint32{fkPotenz} << "Potenz Funktion";
  QTest::newRow("absolute value") << 1u << quint32{fkBetrag} << "Betrags Funktion";
  QTest::newRow("integral") << 1u << quint32{fkIntegral} << "Integral Funktion";
  QTest::newRow("user function") << 1u << quint32{fkUser} << "Andere Funktion";
  QTest::newRow("kind beyond the seven") << 1u << 7u << "";
  QTest::newRow("neither term nor function") << 2u << 0u << "";
}

void EditFormTest::listShowsKindAndTexts() {
  QFETCH(quint32, isFunction);
  QFETCH(quint32, kind);
  QFETCH(QString, type);

  TTestDocument document;
  TFormulaEntry* entry = AppendTermEntry(document.RootLine, u"x=1");
  SetText(entry->Text2, u"3");
  entry->IsFunction = isFunction;
  entry->Kind = kind;
  TEditForm editor(document.Context());
  editor.LineRef = &document.RootLine;
  editor.Filllist();

  QCOMPARE(Column(editor.ListView1, 0), QStringList{type});
  QCOMPARE(Column(editor.ListView1, 1), QStringList{"x=1"});
  QCOMPARE(Column(editor.ListView1, 2), QStringList{"3"});
  QVERIFY(SelectedRows(editor.ListView1).isEmpty());
  // The entry is made by hand; keep the release from walking into sub-sequences it never had.
  entry->IsFunction = 0;
}

void EditFormTest::addTermStoresTheFieldAsTyped_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("byEnter");

  QTest::newRow("operators and blanks as they stand") << "12 * 3 / 2 *" << false;
  QTest::newRow("an empty field gives an empty term") << "" << false;
  QTest::newRow("leading and trailing blanks stay") << " x + 5 " << false;
  QTest::newRow("Enter in the field adds the term") << "( 4x ) * " << true;
}

void EditFormTest::addTermStoresTheFieldAsTyped() {
  QFETCH(QString, typed);
  QFETCH(bool, byEnter);

  TRootEditor fixture({u"first"});
  TTestDocument& document = fixture.Document;
  TEditForm& editor = fixture.Editor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  Select(editor.ListView1, {0});  // a selection does not decide where a term goes

  QTest::keyClicks(editor.Edit1, typed);
  if (byEnter) {
    QTest::keyClick(editor.Edit1, Qt::Key_Return);
  } else {
    Click(editor.AddTerm);
  }

  QCOMPARE(TermTexts(document.RootLine), (QStringList{"first", typed}));
  QCOMPARE(Column(editor.ListView1, 0), (QStringList{"Term", "Term"}));
  QCOMPARE(Column(editor.ListView1, 1), (QStringList{"first", typed}));
  QCOMPARE(editor.Edit1->text(), QString());
  QVERIFY(editor.isVisible());
}

void EditFormTest::deleteRemovesEverySelectedEntry_data() {
  QTest::addColumn<QList<int>>("selected");
  QTest::addColumn<bool>("byEscape");
  QTest::addColumn<QStringList>("left");
  // The entry that took the place of the first one deleted, or the new last.
  QTest::addColumn<QList<int>>("selectedAfter");

  QTest::newRow("second and fourth of five")
      << QList<int>{1, 3} << false << QStringList{"a", "c", "e"} << QList<int>{1};
  QTest::newRow("first and last")
      << QList<int>{0, 4} << false << QStringList{"b", "c", "d"} << QList<int>{0};
  QTest::newRow("the last two")
      << QList<int>{3, 4} << false << QStringList{"a", "b", "c"} << QList<int>{2};
  QTest::newRow("all five") << QList<int>{0, 1, 2, 3, 4} << false << QStringList{} << QList<int>{};
  QTest::newRow("nothing selected")
      << QList<int>{} << false << QStringList{"a", "b", "c", "d", "e"} << QList<int>{};
  QTest::newRow("Escape deletes like the button")
      << QList<int>{1, 3} << true << QStringList{"a", "c", "e"} << QList<int>{1};
  QTest::newRow("Escape with nothing selected")
      << QList<int>{} << true << QStringList{"a", "b", "c", "d", "e"} << QList<int>{};
}

void EditFormTest::deleteRemovesEverySelectedEntry() {
  QFETCH(QList<int>, selected);
  QFETCH(bool, byEscape);
  QFETCH(QStringList, left);
  QFETCH(QList<int>, selectedAfter);

  TRootEditor fixture({u"a", u"b", u"c", u"d", u"e"});
  TTestDocument& document = fixture.Document;
  TEditForm& editor = fixture.Editor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  Select(editor.ListView1, selected);

  if (byEscape) {
    QTest::keyClick(editor.ListView1, Qt::Key_Escape);
  } else {
    Click(editor.DelBtn);
  }

  QCOMPARE(TermTexts(document.RootLine), left);
  QCOMPARE(Column(editor.ListView1, 1), left);
  QCOMPARE(SelectedRows(editor.ListView1), selectedAfter);
  QVERIFY(editor.isVisible());
}

void EditFormTest::moveButtonsMoveOneEntry_data() {
  QTest::addColumn<QList<int>>("selected");
  QTest::addColumn<QString>("presses");  // U = up, D = down
  QTest::addColumn<QStringList>("order");
  QTest::addColumn<QList<int>>("selectedAfter");

  const QStringList unchanged{"a", "b", "c", "d"};
  QTest::newRow("up on the first row") << QList<int>{0} << "U" << unchanged << QList<int>{0};
  QTest::newRow("down on the last row") << QList<int>{3} << "D" << unchanged << QList<int>{3};
  QTest::newRow("up with nothing selected") << QList<int>{} << "U" << unchanged << QList<int>{};
  QTest::newRow("down with nothing selected") << QList<int>{} << "D" << unchanged << QList<int>{};
  QTest::newRow("up with second and fourth selected moves the second only")
      << QList<int>{1, 3} << "U" << QStringList{"b", "a", "c", "d"} << QList<int>{0};
  QTest::newRow("down from the third to the last")
      << QList<int>{2} << "D" << QStringList{"a", "b", "d", "c"} << QList<int>{3};
  QTest::newRow("repeated presses keep moving the same entry")
      << QList<int>{0} << "DDD" << QStringList{"b", "c", "d", "a"} << QList<int>{3};
  QTest::newRow("down and up again") << QList<int>{1} << "DU" << unchanged << QList<int>{1};
  QTest::newRow("keys: down twice, up once")
      << QList<int>{0} << "ddu" << QStringList{"b", "a", "c", "d"} << QList<int>{1};
}

void EditFormTest::moveButtonsMoveOneEntry() {
  QFETCH(QList<int>, selected);
  QFETCH(QString, presses);
  QFETCH(QStringList, order);
  QFETCH(QList<int>, selectedAfter);

  TRootEditor fixture({u"a", u"b", u"c", u"d"});
  TTestDocument& document = fixture.Document;
  TEditForm& editor = fixture.Editor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  Select(editor.ListView1, selected);

  // Capitals click a button; "u" and "d" are Strg+Pfeil with the focus in the list.
  for (QChar press : presses) {
    if (press.isUpper())
      Click(press == 'U' ? editor.UpBtn : editor.DownBtn);
    else
      QTest::keyClick(editor.ListView1, press == 'u' ? Qt::Key_Up : Qt::Key_Down,
                      Qt::ControlModifier);
  }

  QCOMPARE(TermTexts(document.RootLine), order);
  QCOMPARE(Column(editor.ListView1, 1), order);
  QCOMPARE(SelectedRows(editor.ListView1), selectedAfter);
}

void EditFormTest::editOpensTheTopmostSelectedTerm() {
  TRootEditor fixture({u"a", u"b", u"c", u"d"});
  TTestDocument& document = fixture.Document;
  TEditForm& editor = fixture.Editor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  Select(editor.ListView1, {3, 1});

  QString shown;
  Answer<TTermEditForm>([&shown](TTermEditForm* termEditor) {
    shown = termEditor->Edit1->text();
    termEditor->Edit1->clear();
    QTest::keyClicks(termEditor->Edit1, "b2");
    termEditor->close();  // the close box keeps the text too
  });
  Click(editor.EditBtn);

  QVERIFY2(Problems().isEmpty(), qPrintable(Problems().join("; ")));
  QCOMPARE(shown, QString("b"));
  QCOMPARE(TermTexts(document.RootLine), (QStringList{"a", "b2", "c", "d"}));
  QCOMPARE(Column(editor.ListView1, 1), (QStringList{"a", "b2", "c", "d"}));
  // The selection stays where the command was given.
  QCOMPARE(SelectedRows(editor.ListView1), (QList<int>{1, 3}));
}

void EditFormTest::doubleClickEditsTheRow() {
  TRootEditor fixture({u"a", u"b", u"c"});
  TTestDocument& document = fixture.Document;
  TEditForm& editor = fixture.Editor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  const QRect row = editor.ListView1->visualItemRect(editor.ListView1->topLevelItem(2));

  Answer<TTermEditForm>([](TTermEditForm* termEditor) {
    termEditor->Edit1->setText("");  // emptied: the entry stays a term with no text
    Click(termEditor->BitBtn1);
  });
  QTest::mouseClick(editor.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  QTest::mouseDClick(editor.ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());

  QVERIFY2(Problems().isEmpty(), qPrintable(Problems().join("; ")));
  QCOMPARE(TermTexts(document.RootLine), (QStringList{"a", "b", ""}));
  QCOMPARE(EntryAt(*document.RootLine, 2)->IsFunction, 0u);
  QCOMPARE(Column(editor.ListView1, 0), (QStringList{"Term", "Term", "Term"}));
}

void EditFormTest::longTermSurvivesTheTermEditor() {
  const std::u16string longText(40000, u'x');
  TRootEditor fixture({longText.c_str()});
  TTestDocument& document = fixture.Document;
  TEditForm& editor = fixture.Editor;
  Select(editor.ListView1, {0});

  int shownLength = 0;
  Answer<TTermEditForm>([&shownLength](TTermEditForm* termEditor) {
    shownLength = static_cast<int>(termEditor->Edit1->text().size());
    termEditor->close();
  });
  editor.EditBtnClick();

  QVERIFY2(Problems().isEmpty(), qPrintable(Problems().join("; ")));
  QCOMPARE(shownLength, 40000);
  QCOMPARE(TextOf(EntryAt(*document.RootLine, 0)->Text1).size(), longText.size());
}

void EditFormTest::wheelScrollsThePaletteAnywhere_data() {
  QTest::addColumn<QString>("target");
  QTest::addColumn<QList<int>>("angles");
  QTest::addColumn<int>("position");

  QTest::newRow("one notch down over the palette") << "PaintBox1" << QList<int>{-120} << 10;
  QTest::newRow("three notches down over the list") << "ListView1" << QList<int>{-360} << 30;
  QTest::newRow("down twice then up once over the field")
      << "Edit1" << QList<int>{-120, -120, 120} << 10;
  QTest::newRow("up at the top stays at the top") << "ComboBox1" << QList<int>{120} << 0;
  QTest::newRow("half notches add up") << "AddTerm" << QList<int>{-60, -60, -60} << 10;
  QTest::newRow("far down stops at the end") << "BackBtn" << QList<int>{-120 * 100} << -1;
}

void EditFormTest::wheelScrollsThePaletteAnywhere() {
  QFETCH(QString, target);
  QFETCH(QList<int>, angles);
  QFETCH(int, position);

  TTestDocument document;
  TEditForm editor(document.Context());
  editor.show();
  QVERIFY(QTest::qWaitForWindowExposed(&editor));
  const std::map<QString, QWidget*> targets{
      {"PaintBox1", editor.PaintBox1}, {"ListView1", editor.ListView1->viewport()},
      {"Edit1", editor.Edit1},         {"ComboBox1", editor.ComboBox1},
      {"AddTerm", editor.AddTerm},     {"BackBtn", editor.BackBtn}};
  const int comboBefore = editor.ComboBox1->currentIndex();

  for (int angle : angles) SendWheel(targets.at(target), angle);

  QScrollBar* bar = editor.ScrollBox1->verticalScrollBar();
  QCOMPARE(bar->value(), position < 0 ? bar->maximum() : position);
  QCOMPARE(editor.ComboBox1->currentIndex(), comboBefore);
}

void EditFormTest::deletingAFunctionReleasesItsSubtree() {
  SetBlockAllocator(CountingAllocate, CountingRelease);
  gLiveBlocks = 0;
  {
    TTestDocument document;
    BuildSampleFormula(document.RootLine);
    // One block per non-empty sequence: the root, the first integral's body,
    // the power's two parts, the sum's two, the fraction's two, and the
    // second integral's two.
    QCOMPARE(gLiveBlocks, 10);
    TEditForm editor(document.Context());
    editor.LineRef = &document.RootLine;
    editor.Filllist();
    Select(editor.ListView1, {1});

    editor.DelBtnClick();

    QCOMPARE(Column(editor.ListView1, 0), (QStringList{"Term", "Term", "Integral Funktion"}));
    QCOMPARE(gLiveBlocks, 3);
    Select(editor.ListView1, {0, 1, 2});
    editor.DelBtnClick();
    QCOMPARE(document.RootLine->Count(), 0u);
    QCOMPARE(gLiveBlocks, 0);
  }
  ResetBlockAllocator();
}

void EditFormTest::startUpEditorKeepsItsFieldAndPalette() {
  TTestDocument document;
  TEditForm editor(document.Context());

  Answer<TEditForm>([](TEditForm* shown) {
    QTest::keyClicks(shown->Edit1, "not yet added");
    SendWheel(shown->PaintBox1, -240);
    Choose(shown->ComboBox1, 4);
    shown->close();
  });
  editor.OpenOn(&document.RootLine);

  QString fieldAgain;
  int scrollAgain = -1;
  int kindAgain = -1;
  Answer<TEditForm>([&](TEditForm* shown) {
    fieldAgain = shown->Edit1->text();
    scrollAgain = shown->ScrollBox1->verticalScrollBar()->value();
    kindAgain = shown->ComboBox1->currentIndex();
    Click(shown->BackBtn);
  });
  editor.OpenOn(&document.RootLine);

  QVERIFY2(Problems().isEmpty(), qPrintable(Problems().join("; ")));
  QCOMPARE(fieldAgain, QString("not yet added"));
  QCOMPARE(scrollAgain, 20);
  QCOMPARE(kindAgain, 0);  // the opener resets the selector
  QCOMPARE(document.RootLine->Count(), 0u);
}

// Once the new function's dialog has closed, the focus is back in the term
// field: typing there must not press "Funktion hinzufügen...." once per blank.
void EditFormTest::typingAfterAddingAFunctionGoesIntoTheTermField() {
  TTestDocument document;
  TEditForm editor(document.Context());
  int pressedAgain = 0;
  QTimer guard;  // closes a dialog that a blank opened, so the test goes on
  connect(&guard, &QTimer::timeout, [&pressedAgain] {
    if (auto* opened = qobject_cast<TParamDialog*>(QApplication::activeModalWidget())) {
      ++pressedAgain;
      opened->close();
    }
  });
  QString typed;
  Answer<TEditForm>([&](TEditForm* shown) {
    AddFunction(shown, fkBruch, [](TParamDialog*) {});
    guard.start(20);
    shown->activateWindow();  // as the window manager does when the dialog has gone
    if (!QTest::qWaitForWindowActive(shown)) Problems() << "the editor is not active again";
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClicks(focus != nullptr ? focus : shown, " 2 + 5 ");
    typed = shown->Edit1->text();
    Click(shown->BackBtn);
  });
  editor.OpenOn(&document.RootLine);
  guard.stop();

  QVERIFY2(Problems().isEmpty(), qPrintable(Problems().join("; ")));
  QCOMPARE(pressedAgain, 0);
  QCOMPARE(typed, QString(" 2 + 5 "));
  QCOMPARE(document.RootLine->Count(), 1u);
}

// Strg+Z takes back the list's last change, wherever the focus is in the
// dialog (the text field too), and Strg+Y repeats it; the list follows.
void EditFormTest::undoAndRedoInsideTheList() {
  TRootEditor fixture({u"a", u"b", u"c"});
  TTestDocument& document = fixture.Document;
  TEditForm& editor = fixture.Editor;
  editor.show();
  QVERIFY(QTest::qWaitForWindowActive(&editor));
  const auto press = [&](QWidget* where, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    where->setFocus();
    QTest::keyClick(where, key, modifiers);
  };
  AddTerm(&editor, "d");                                   // a b c d
  Select(editor.ListView1, {0, 2});
  Click(editor.DelBtn);                                    // b d
  const struct {
    const char* what;
    QWidget* where;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QStringList left;
  } rows[] = {
      {"Strg+Z in the list brings the deleted back", editor.ListView1, Qt::Key_Z,
       Qt::ControlModifier, {"a", "b", "c", "d"}},
      {"Strg+Z in the text field takes the added term back", editor.Edit1, Qt::Key_Z,
       Qt::ControlModifier, {"a", "b", "c"}},
      {"nothing older: Strg+Z changes nothing", editor.ListView1, Qt::Key_Z, Qt::ControlModifier,
       {"a", "b", "c"}},
      {"Strg+Y repeats the adding", editor.ListView1, Qt::Key_Y, Qt::ControlModifier,
       {"a", "b", "c", "d"}},
      {"Strg+Umschalt+Z repeats the deleting", editor.Edit1, Qt::Key_Z,
       Qt::ControlModifier | Qt::ShiftModifier, {"b", "d"}},
  };
  for (const auto& row : rows) {
    press(row.where, row.key, row.modifiers);
    QVERIFY2(TermTexts(document.RootLine) == row.left, row.what);
    QVERIFY2(Column(editor.ListView1, 1) == row.left, row.what);
  }
  editor.hide();
}

QTEST_MAIN(EditFormTest)
#include "EditFormTest.moc"
