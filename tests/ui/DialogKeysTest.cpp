// Escape, Enter and the close box in every editing dialog, each opened the
// way its opener opens it. Escape never closes: it deletes the selected rows
// in the entry list editor, removes Second where the dialog has "Zähler
// entfernen", and does nothing elsewhere. The close box keeps every change.
#include <QTest>

#include "tests/ui/DialogDriver.h"

using namespace DialogDriver;

namespace {

constexpr int kListEditor = -2;
constexpr int kTermEditor = -1;

}  // namespace

class DialogKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QM_VERIFY_NO_PROBLEMS(); }
  void keysAndCloseBox_data();
  void keysAndCloseBox();
  void enterPressesTheFocusedButton_data();
  void enterPressesTheFocusedButton();
};

void DialogKeysTest::keysAndCloseBox_data() {
  QTest::addColumn<int>("dialog");
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("stillOpen");
  QTest::addColumn<QString>("outcome");

  struct TRow {
    const char* name;
    int dialog;
    const char* escape;  // outcome after Escape and then the close box
    const char* kept;    // outcome after Enter or the close box
  };
  // The list editor starts with terms a and b, row 0 selected and x typed;
  // the term editor with "t"; the function dialogs with Text1 "p", Text2 "q"
  // and a Second, and x typed into Edit1 where there is one.
  const TRow rows[] = {
      {"entry list editor", kListEditor, "b", "a,b"},
      {"term editor", kTermEditor, "tx", "tx"},
      {"fraction", fkBruch, "p|q|Second", "p|q|Second"},
      {"root", fkWurzel, "px|q|no Second", "px|q|Second"},
      {"sum", fkSumme, "px|q|no Second", "px|q|Second"},
      {"power", fkPotenz, "p|q|Second", "p|q|Second"},
      {"absolute value", fkBetrag, "p|q|no Second", "p|q|Second"},
      {"integral", fkIntegral, "px|q|no Second", "px|q|Second"},
      {"user function", fkUser, "px|q|no Second", "px|q|Second"},
  };
  for (const TRow& row : rows) {
    const bool listEditor = row.dialog == kListEditor;
    QTest::addRow("%s: Escape", row.name) << row.dialog << "Escape" << true << row.escape;
    // Enter in the list editor's field adds the typed term and stays open.
    QTest::addRow("%s: Enter", row.name)
        << row.dialog << "Enter" << listEditor << (listEditor ? "a,b,x" : row.kept);
    QTest::addRow("%s: close box", row.name) << row.dialog << "close box" << false << row.kept;
  }
}

void DialogKeysTest::keysAndCloseBox() {
  QFETCH(int, dialog);
  QFETCH(QString, action);
  QFETCH(bool, stillOpen);
  QFETCH(QString, outcome);

  TTestDocument document;
  TFormulaLine* root = document.RootLine;
  bool openAfter = false;
  const auto act = [&](QDialog* shown, QLineEdit* field) {
    if (field != nullptr) {
      // A field that takes the focus has its text selected; type behind it.
      QTest::keyClick(field, Qt::Key_End);
      QTest::keyClicks(field, "x");
    }
    QWidget* focus = shown->focusWidget() != nullptr ? shown->focusWidget() : shown;
    if (action == "Escape") {
      QTest::keyClick(focus, Qt::Key_Escape);
    } else if (action == "Enter") {
      QTest::keyClick(focus, Qt::Key_Return);
    } else {
      shown->close();
    }
    openAfter = shown->isVisible();
    if (openAfter) shown->close();
  };

  QString result;
  if (dialog == kListEditor) {
    AppendTermEntry(root, u"a");
    AppendTermEntry(root, u"b");
    TEditForm editor(document.Context());
    Answer<TEditForm>([&](TEditForm* shown) {
      shown->ListView1->topLevelItem(0)->setSelected(true);
      act(shown, shown->Edit1);
    });
    editor.OpenOn(&document.RootLine);
    result = TermTexts(root).join(",");
  } else if (dialog == kTermEditor) {
    AppendTermEntry(root, u"t");
    OpenEntry<TTermEditForm>(document, [&](TTermEditForm* shown) { act(shown, shown->Edit1); });
    result = TermTexts(root).join(",");
  } else {
    TFormulaEntry* entry = AppendFunctionEntry(root, static_cast<std::uint32_t>(dialog));
    SetText(entry->Text1, u"p");
    SetText(entry->Text2, u"q");
    if (entry->Second == nullptr) entry->Second = CreateLine(&document.CurrentEntry);
    AppendTermEntry(entry->Second, u"s");
    OpenEntry<TParamDialog>(document, [&](TParamDialog* shown) { act(shown, shown->Edit1); });
    result = ToQString(TextOf(entry->Text1)) + "|" + ToQString(TextOf(entry->Text2)) + "|" +
             (entry->Second != nullptr ? "Second" : "no Second");
  }

  QCOMPARE(openAfter, stillOpen);
  QCOMPARE(result, outcome);
}

void DialogKeysTest::enterPressesTheFocusedButton_data() {
  QTest::addColumn<QString>("focus");
  QTest::addColumn<QString>("terms");
  QTest::addColumn<bool>("nestedEditorOpened");

  QTest::newRow("list editor, Eintrag löschen.... focused: deletes, adds nothing") << "DelBtn"
                                                                                   << "b" << false;
  QTest::newRow("list editor, drop-down list focused: adds the term") << "ComboBox1"
                                                                      << "a,b,x" << false;
  QTest::newRow("list editor, list focused: adds the term") << "ListView1"
                                                            << "a,b,x" << false;
  QTest::newRow("sum dialog, Nenner bearbeiten focused: opens the summand") << "sum EditBtn"
                                                                            << "a,b" << true;
}

void DialogKeysTest::enterPressesTheFocusedButton() {
  QFETCH(QString, focus);
  QFETCH(QString, terms);
  QFETCH(bool, nestedEditorOpened);

  TTestDocument document;
  AppendTermEntry(document.RootLine, u"a");
  AppendTermEntry(document.RootLine, u"b");
  TEditForm editor(document.Context());
  bool nestedOpened = false;
  bool sumStillOpen = false;
  bool focused = false;

  Answer<TEditForm>([&](TEditForm* shown) {
    QTest::keyClicks(shown->Edit1, "x");
    shown->ListView1->topLevelItem(0)->setSelected(true);
    if (focus == "sum EditBtn") {
      AddFunction(shown, fkSumme, [&](TParamDialog* sum) {
        // A dialog just shown takes the focus only once it is active.
        static_cast<void>(QTest::qWaitForWindowActive(sum));
        sum->EditBtn->setFocus();
        focused = sum->EditBtn->hasFocus();
        Answer<TEditForm>([&](TEditForm* nested) {
          nestedOpened = nested->LineRef != nullptr;
          nested->close();
        });
        QTest::keyClick(sum->EditBtn, Qt::Key_Return);
        sumStillOpen = sum->isVisible();
      });
      // Leave only the two terms, for the comparison below.
      shown->ListView1->clearSelection();
      shown->ListView1->topLevelItem(2)->setSelected(true);
      shown->DelBtnClick();
    } else {
      QWidget* target = focus == "DelBtn"      ? static_cast<QWidget*>(shown->DelBtn)
                        : focus == "ComboBox1" ? static_cast<QWidget*>(shown->ComboBox1)
                                               : static_cast<QWidget*>(shown->ListView1);
      static_cast<void>(QTest::qWaitForWindowActive(shown));
      target->setFocus();
      focused = target->hasFocus();
      QTest::keyClick(target, Qt::Key_Return);
    }
    shown->close();
  });
  editor.OpenOn(&document.RootLine);

  QVERIFY(focused);
  QCOMPARE(TermTexts(document.RootLine).join(","), terms);
  QCOMPARE(nestedOpened, nestedEditorOpened);
  QCOMPARE(sumStillOpen, nestedEditorOpened);
}

QTEST_MAIN(DialogKeysTest)
#include "DialogKeysTest.moc"
