// The whole start-up formula, built from an empty root line with the dialogs
// alone: every term typed, every function added through its dialog, every
// nested sequence opened from the button that edits it.
#include <QTest>

#include "tests/ui/DialogDriver.h"

using namespace DialogDriver;

namespace {

// A sum or an integral with its bounds and " x + 5 " over "5".
std::function<void(TParamDialog*)> BoundedXPlus5Over5(const char* lower, const char* upper) {
  return [lower, upper](TParamDialog* dialog) {
    QTest::keyClicks(dialog->Edit1, lower);
    QTest::keyClicks(dialog->Edit2, upper);
    EditSequence(dialog->EditBtn, [](TEditForm* body) { AddTerm(body, " x + 5 "); });
    EditSequence(dialog->BitBtnXP1, [](TEditForm* lowerPart) { AddTerm(lowerPart, "5"); });
  };
}

void BuildPowerBase(TEditForm* base) {
  AddTerm(base, "( 4x ) * ");
  AddFunction(base, fkBruch, [](TParamDialog* fraction) {
    EditSequence(fraction->EditBtn, [](TEditForm* numerator) { AddTerm(numerator, " 2 + 5 "); });
    EditSequence(fraction->BitBtnXP1,
                 [](TEditForm* denominator) { AddTerm(denominator, " 3 + 5 "); });
  });
}

void BuildFirstIntegral(TParamDialog* integral) {
  QTest::keyClicks(integral->Edit1, "1");
  QTest::keyClicks(integral->Edit2, "10");
  EditSequence(integral->EditBtn, [](TEditForm* body) {
    AddFunction(body, fkPotenz, [](TParamDialog* power) {
      EditSequence(power->EditBtn, [](TEditForm* exponent) {
        AddTerm(exponent, "1 + ");
        AddFunction(exponent, fkSumme, BoundedXPlus5Over5("x=1", "3"));
      });
      EditSequence(power->BitBtnXP1, BuildPowerBase);
    });
  });
}

}  // namespace

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
    AddTerm(root, "12 * 3 / 2 *");
    AddFunction(root, fkIntegral, BuildFirstIntegral);
    AddTerm(root, "+ 3 * ");
    AddFunction(root, fkIntegral, BoundedXPlus5Over5("1", "3"));
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
