// The whole start-up formula, built from an empty root line with the dialogs
// alone: every term typed, every function added through its dialog, every
// nested sequence opened from the button that edits it.
#include <QTest>

#include "tests/ui/DialogDriver.h"

using namespace DialogDriver;

class FormulaBuildTest : public QObject {
  Q_OBJECT

 private slots:
  void sampleFormulaIsBuiltThroughTheDialogs();
};

void FormulaBuildTest::sampleFormulaIsBuiltThroughTheDialogs() {
  TTestDocument document;
  TEditForm editor(document.Context());
  QStringList typesAfter;
  QStringList termsAfter;

  Answer<TEditForm>([&](TEditForm* root) {
    TypeSampleFormula(root);
    for (int row = 0; row < root->ListView1->topLevelItemCount(); ++row) {
      typesAfter << root->ListView1->topLevelItem(row)->text(0);
      termsAfter << root->ListView1->topLevelItem(row)->text(1);
    }
    Click(root->BackBtn);
  });
  editor.OpenOn(&document.RootLine);

  QVERIFY2(Problems().isEmpty(), qPrintable(Problems().join("; ")));
  QCOMPARE(typesAfter, (QStringList{"Term", "Integral Funktion", "Term", "Integral Funktion"}));
  QCOMPARE(termsAfter, (QStringList{"12 * 3 / 2 *", "1", "+ 3 * ", "1"}));

  TTestDocument expected;
  BuildSampleFormula(expected.RootLine);
  // The sample's fraction carries a Text1 that the fraction dialog has no
  // field for; a user cannot type it.
  const TFormulaEntry* power = EntryAt(*EntryAt(*expected.RootLine, 1)->First, 0);
  SetText(EntryAt(*power->Second, 1)->Text1, u"");
  QCOMPARE(Outline(document.RootLine), Outline(expected.RootLine));
}

QTEST_MAIN(FormulaBuildTest)
#include "FormulaBuildTest.moc"
