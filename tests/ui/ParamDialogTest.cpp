// The seven function dialogs as the entry list editor opens them: what adding
// a function makes, which sequence each button edits, the term editor
// buttons, and the texts that travel between entry and dialog.
#include <QTest>

#include "tests/ui/DialogDriver.h"
#include "ui/BetragEFUnit.h"
#include "ui/BruchEFUnit.h"
#include "ui/IntegralEFUnit.h"
#include "ui/PotenzEFUnit.h"
#include "ui/SummeEFUnit.h"
#include "ui/UserEFUinit.h"
#include "ui/WurzelEFUnit.h"

using namespace DialogDriver;

namespace {

QStringList Row(const QTreeWidget* list, int row) {
  const QTreeWidgetItem* item = list->topLevelItem(row);
  return {item->text(0), item->text(1), item->text(2)};
}

QString TextsOf(const TFormulaEntry& entry) {
  return ToQString(TextOf(entry.Text1)) + "|" + ToQString(TextOf(entry.Text2));
}

}  // namespace

class ParamDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QM_VERIFY_NO_PROBLEMS(); }
  void addingAFunctionOpensItsDialog_data();
  void addingAFunctionOpensItsDialog();
  void sequenceButtonsEditTheirFields_data();
  void sequenceButtonsEditTheirFields();
  void removingAnAbsentSecondChangesNothing();
  void termEditorButtonsUseTheStartUpEditor_data();
  void termEditorButtonsUseTheStartUpEditor();
  void textsSurviveOpeningAndClosing_data();
  void textsSurviveOpeningAndClosing();
  void sumIsBuiltThroughItsDialogs();
  void thePictureFollowsTheFieldsAsTyped();
  void aRemovedLowerPartComesBackWithUndo();
};

void ParamDialogTest::addingAFunctionOpensItsDialog_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("dialogClass");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<bool>("withSecond");
  QTest::addColumn<QString>("listCaption");

  QTest::newRow("Bruch") << 0 << "TBruchEForm"
                         << "Bruch bearbeiten" << true << "Bruch Funktion";
  QTest::newRow("Wurzel") << 1 << "TWurzelEForm"
                          << "Summenfunktion bearbeiten" << false << "Wurzel Funktion";
  QTest::newRow("Summenfunktion") << 2 << "TSummeEForm"
                                  << "Summen-Funktion bearbeiten" << false << "Summen Funktion";
  QTest::newRow("Potenz") << 3 << "TPotenzEForm"
                          << "Potenzfunktion bearbeiten" << true << "Potenz Funktion";
  QTest::newRow("Betrag") << 4 << "TBetragEForm"
                          << "Bretragsfunktion bearbeiten" << false << "Betrags Funktion";
  QTest::newRow("Integral Funktion")
      << 5 << "TIntegralEForm"
      << "Integral-Funktion bearbeiten" << false << "Integral Funktion";
  QTest::newRow("Beliebige Funktion")
      << 6 << "TUserEForm"
      << "Beliebige Funktion bearbeiten" << false << "Andere Funktion";
}

void ParamDialogTest::addingAFunctionOpensItsDialog() {
  QFETCH(int, kind);
  QFETCH(QString, dialogClass);
  QFETCH(QString, caption);
  QFETCH(bool, withSecond);
  QFETCH(QString, listCaption);

  TTestDocument document;
  AppendTermEntry(document.RootLine, u"before");
  TEditForm editor(document.Context());
  QString shownClass;
  QString shownCaption;
  QStringList rowWhileOpen;
  QStringList rowAfter;
  bool newRowSelectedAfter = false;
  Answer<TEditForm>([&](TEditForm* shown) {
    shown->ListView1->topLevelItem(0)->setSelected(true);
    AddFunction(shown, kind, [&](TParamDialog* dialog) {
      shownClass = dialog->metaObject()->className();
      shownCaption = dialog->windowTitle();
      rowWhileOpen = Row(shown->ListView1, 1);
    });
    rowAfter = Row(shown->ListView1, 1);
    newRowSelectedAfter = shown->ListView1->selectedItems() ==
                          QList<QTreeWidgetItem*>{shown->ListView1->topLevelItem(1)};
    shown->close();
  });
  editor.OpenOn(&document.RootLine);

  QCOMPARE(shownClass, dialogClass);
  QCOMPARE(shownCaption, caption);
  QCOMPARE(rowWhileOpen, (QStringList{listCaption, "", ""}));
  QCOMPARE(rowAfter, (QStringList{listCaption, "", ""}));
  QVERIFY(newRowSelectedAfter);
  QCOMPARE(document.RootLine->Count(), 2u);
  const TFormulaEntry& entry = *EntryAt(*document.RootLine, 1);
  QCOMPARE(entry.IsFunction, 1u);
  QCOMPARE(entry.Kind, static_cast<quint32>(kind));
  QCOMPARE(TextsOf(entry), QString("|"));
  QVERIFY(entry.First != nullptr && entry.First->Count() == 0);
  QCOMPARE(entry.Second != nullptr, withSecond);
}

void ParamDialogTest::sequenceButtonsEditTheirFields_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<bool>("canRemove");

  QTest::newRow("fraction: Zähler is First, Nenner is Second") << 0 << false;
  QTest::newRow("root") << 1 << true;
  QTest::newRow("sum") << 2 << true;
  QTest::newRow("power: Potenzterm is First, Basisterm is Second") << 3 << false;
  QTest::newRow("absolute value") << 4 << true;
  QTest::newRow("integral") << 5 << true;
  QTest::newRow("user function") << 6 << true;
}

// EditBtn edits First and BitBtnXP1 edits Second whatever their captions say;
// BitBtnXP2 and Escape remove Second and leave the dialog open.
void ParamDialogTest::sequenceButtonsEditTheirFields() {
  QFETCH(int, kind);
  QFETCH(bool, canRemove);

  TTestDocument document;
  TFormulaEntry* entry = AppendFunctionEntry(document.RootLine, static_cast<std::uint32_t>(kind));
  TFormulaLine** firstField = &entry->First;
  TFormulaLine** secondField = &entry->Second;
  TFormulaLine** firstEdited = nullptr;
  TFormulaLine** secondEdited = nullptr;
  bool emptySecondKept = false;
  bool removed = false;
  bool openAfterEscape = false;
  bool hasRemoveButton = false;

  OpenEntry<TParamDialog>(document, [&](TParamDialog* dialog) {
    EditSequence(dialog->EditBtn, [&](TEditForm* nested) {
      firstEdited = nested->LineRef;
      AddTerm(nested, "upper");
    });
    EditSequence(dialog->BitBtnXP1, [&](TEditForm* nested) { secondEdited = nested->LineRef; });
    emptySecondKept = *secondField != nullptr && (*secondField)->Count() == 0;
    EditSequence(dialog->BitBtnXP1, [&](TEditForm* nested) { AddTerm(nested, "lower"); });
    QTest::keyClick(dialog->BackBtn, Qt::Key_Escape);
    removed = *secondField == nullptr;
    openAfterEscape = dialog->isVisible();
    hasRemoveButton = dialog->BitBtnXP2 != nullptr;
    if (hasRemoveButton) {
      EditSequence(dialog->BitBtnXP1, [](TEditForm* nested) { AddTerm(nested, "again"); });
      Click(dialog->BitBtnXP2);
      removed = removed && *secondField == nullptr;
    }
    dialog->close();
  });

  QCOMPARE(firstEdited, firstField);
  QCOMPARE(secondEdited, secondField);
  QVERIFY2(emptySecondKept, "opening Second and adding nothing leaves an empty Second");
  QCOMPARE(hasRemoveButton, canRemove);
  QCOMPARE(removed, canRemove);
  QVERIFY(openAfterEscape);
  QCOMPARE(ToQString(TextOf(EntryAt(*entry->First, 0)->Text1)), QString("upper"));
  if (!canRemove) {
    QCOMPARE(ToQString(TextOf(EntryAt(*entry->Second, 0)->Text1)), QString("lower"));
  }
}

void ParamDialogTest::removingAnAbsentSecondChangesNothing() {
  TTestDocument document;
  TFormulaEntry* entry = AppendFunctionEntry(document.RootLine, fkBetrag);
  AppendTermEntry(entry->First, u"x");
  const QString before = Outline(document.RootLine);
  OpenEntry<TParamDialog>(document, [](TParamDialog* dialog) {
    Click(dialog->BitBtnXP2);
    QTest::keyClick(dialog->BackBtn, Qt::Key_Escape);
    dialog->close();
  });
  QCOMPARE(Outline(document.RootLine), before);
}

void ParamDialogTest::termEditorButtonsUseTheStartUpEditor_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<bool>("withUpper");

  QTest::newRow("sum bounds") << 2 << true;
  QTest::newRow("integral bounds") << 5 << true;
  QTest::newRow("user function name") << 6 << false;
}

// The term editor's text reaches the entry as soon as the term editor closes,
// also by its close box, so the picture behind shows it while the dialog is open.
void ParamDialogTest::termEditorButtonsUseTheStartUpEditor() {
  QFETCH(int, kind);
  QFETCH(bool, withUpper);

  TTestDocument document;
  TFormulaEntry* entry = AppendFunctionEntry(document.RootLine, static_cast<std::uint32_t>(kind));
  SetText(entry->Text1, u"lower");
  SetText(entry->Text2, u"upper");
  document.TermEditor.Edit1->setText("left over from before");
  QStringList shownInTermEditor;
  QString entryWhileOpen;

  OpenEntry<TParamDialog>(document, [&](TParamDialog* dialog) {
    Answer<TTermEditForm>([&](TTermEditForm* termEditor) {
      shownInTermEditor << termEditor->Edit1->text();
      QTest::keyClick(termEditor->Edit1, Qt::Key_End);
      QTest::keyClicks(termEditor->Edit1, "+1");
      QTest::keyClick(termEditor->Edit1, Qt::Key_Return);
    });
    Click(dialog->BitBtnXP3);
    if (withUpper) {
      Answer<TTermEditForm>([&](TTermEditForm* termEditor) {
        shownInTermEditor << termEditor->Edit1->text();
        termEditor->Edit1->setText("top");
        termEditor->close();
      });
      Click(dialog->BitBtnXP4);
    }
    entryWhileOpen = TextsOf(*entry);
    dialog->close();
  });

  const QStringList expectedShown =
      withUpper ? QStringList{"lower", "upper"} : QStringList{"lower"};
  QCOMPARE(shownInTermEditor, expectedShown);
  const QString expected = withUpper ? QString("lower+1|top") : QString("lower+1|upper");
  QCOMPARE(entryWhileOpen, expected);
  QCOMPARE(TextsOf(*entry), expected);
}

void ParamDialogTest::textsSurviveOpeningAndClosing_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("text1");
  QTest::addColumn<QString>("text2");

  // Characters far outside any 8-bit code page, one of them beyond the BMP.
  const QString wide = QString::fromUtf8("∛ä€Ωж✓") + QString::fromUcs4(U"\U0001D465");
  QTest::newRow("root index") << 1 << wide << "";
  QTest::newRow("sum bounds") << 2 << wide << "∞";
  QTest::newRow("integral bounds") << 5 << "−∞" << wide;
  QTest::newRow("user function name") << 6 << wide << "";
  QTest::newRow("fraction: a text its dialog does not show") << 0 << "3"
                                                             << "";
  QTest::newRow("power: texts its dialog does not show") << 3 << "a"
                                                         << "b";
}

void ParamDialogTest::textsSurviveOpeningAndClosing() {
  QFETCH(int, kind);
  QFETCH(QString, text1);
  QFETCH(QString, text2);

  TTestDocument document;
  TFormulaEntry* entry = AppendFunctionEntry(document.RootLine, static_cast<std::uint32_t>(kind));
  SetText(entry->Text1, ToU16(text1));
  SetText(entry->Text2, ToU16(text2));
  OpenEntry<TParamDialog>(document, [](TParamDialog* dialog) { Click(dialog->BackBtn); });

  QCOMPARE(ToQString(TextOf(entry->Text1)), text1);
  QCOMPARE(ToQString(TextOf(entry->Text2)), text2);
}

// A sum with its bounds, built as a user would from the root editor.
void ParamDialogTest::sumIsBuiltThroughItsDialogs() {
  TTestDocument document;
  TEditForm editor(document.Context());
  QStringList editsWhenOpened;
  QStringList rowAfter;

  Answer<TEditForm>([&](TEditForm* root) {
    AddFunction(root, fkSumme, [&](TParamDialog* sum) {
      editsWhenOpened << sum->Edit1->text() << sum->Edit2->text();
      QTest::keyClicks(sum->Edit1, "x=1");
      QTest::keyClicks(sum->Edit2, "3");
      EditSequence(sum->EditBtn, [](TEditForm* summand) { AddTerm(summand, " x + 5 "); });
      EditSequence(sum->BitBtnXP1, [](TEditForm* lower) { AddTerm(lower, "5"); });
    });
    rowAfter = Row(root->ListView1, 0);
    root->close();
  });
  editor.OpenOn(&document.RootLine);

  QCOMPARE(editsWhenOpened, (QStringList{"", ""}));
  QCOMPARE(rowAfter, (QStringList{"Summen Funktion", "x=1", "3"}));
  TTestDocument sample;
  BuildSampleFormula(sample.RootLine);
  // The sample's sum is the second entry of the power's exponent.
  const TFormulaEntry* power = EntryAt(*EntryAt(*sample.RootLine, 1)->First, 0);
  QCOMPARE(Outline(document.RootLine), Outline(*EntryAt(*power->First, 1)));
}

// Limits, a root's index and a function's name reach the formula, and the
// picture behind the dialogs, with each key typed, not only on closing.
void ParamDialogTest::thePictureFollowsTheFieldsAsTyped() {
  const struct {
    const char* what;
    std::uint32_t kind;
    bool secondField;
  } rows[] = {
      {"a sum's lower and upper limit", fkSumme, true},
      {"an integral's limits", fkIntegral, true},
      {"a root's index", fkWurzel, false},
      {"a function's name", fkUser, false},
  };
  for (const auto& row : rows) {
    TTestDocument document;
    int changes = 0;
    TEditorContext context = document.Context();
    context.FormulaChanged = [&changes] { ++changes; };
    TFormulaEntry* entry = AppendFunctionEntry(document.RootLine, row.kind);
    TEditForm editor(context);
    editor.LineRef = &document.RootLine;
    editor.Filllist();
    editor.ListView1->topLevelItem(0)->setSelected(true);
    QString whileOpen;
    int changesWhileOpen = 0;
    Answer<TParamDialog>([&](TParamDialog* dialog) {
      QTest::keyClicks(dialog->Edit1, "ab");
      if (row.secondField) QTest::keyClicks(dialog->Edit2, "c");
      whileOpen = TextsOf(*entry);
      changesWhileOpen = changes;
      Click(dialog->BackBtn);
    });
    editor.EditBtnClick();
    QVERIFY2(whileOpen == (row.secondField ? "ab|c" : "ab|"), row.what);
    QVERIFY2(changesWhileOpen >= (row.secondField ? 3 : 2), row.what);
  }
}

// Escape removes a root's lower part; Strg+Z in the dialog brings it back
// whole, Strg+Y removes it again.
void ParamDialogTest::aRemovedLowerPartComesBackWithUndo() {
  TTestDocument document;
  TFormulaEntry* entry = AppendFunctionEntry(document.RootLine, fkWurzel);
  entry->Second = CreateLine(&document.CurrentEntry);
  AppendTermEntry(entry->Second, u"lower");
  QStringList seen;
  OpenEntry<TParamDialog>(document, [&](TParamDialog* dialog) {
    const auto state = [&] {
      return *dialog->SecondRef == nullptr
                 ? QString("none")
                 : ToQString(TextOf(EntryAt(**dialog->SecondRef, 0)->Text1));
    };
    dialog->BackBtn->setFocus();
    QTest::keyClick(dialog->BackBtn, Qt::Key_Escape);
    seen << state();
    QTest::keyClick(dialog->BackBtn, Qt::Key_Z, Qt::ControlModifier);
    seen << state();
    QTest::keyClick(dialog->BackBtn, Qt::Key_Y, Qt::ControlModifier);
    seen << state();
    QTest::keyClick(dialog->BackBtn, Qt::Key_Z, Qt::ControlModifier);
    seen << state();
    Click(dialog->BackBtn);
  });
  QCOMPARE(seen, (QStringList{"none", "lower", "none", "lower"}));
}

QTEST_MAIN(ParamDialogTest)
#include "ParamDialogTest.moc"
