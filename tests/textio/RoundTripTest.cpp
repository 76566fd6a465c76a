// Reading what was written gives the formula back, on the random trees of
// the layout tests and on the deepest formula a document may hold.
#include <gtest/gtest.h>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"
#include "textio/FormulaText.h"

namespace {

enum class TForm { Latex, MathML };

TOwnedLine ReadBack(const TFormulaLine* line, TForm form, TEntryCursor* cursor,
                    std::string& written) {
  TOwnedLine back;
  TTextError error;
  bool read = false;
  if (form == TForm::Latex) {
    const std::u16string latex = LatexFromFormula(line);
    written = Utf8FromUtf16(latex);
    read = FormulaFromLatex(latex, cursor, back, error);
  } else {
    written = Utf8FromUtf16(MathMLFromFormula(line));
    read = FormulaFromMathML(written, cursor, back, error);
  }
  EXPECT_TRUE(read) << error.Describe() << "\n" << written;
  return back;
}

class RoundTripTest : public testing::TestWithParam<TForm> {};

TEST_P(RoundTripTest, RandomTreesComeBackEqual) {
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    TFormulaTree tree;
    BuildRandomTree(tree.Root(), seed);
    MakeEditable(tree.Root());
    TEntryCursor cursor = nullptr;
    std::string written;
    const TOwnedLine back = ReadBack(tree.Root(), GetParam(), &cursor, written);
    ASSERT_NE(back, nullptr) << "seed " << seed;
    ASSERT_TRUE(SameFormula(tree.Root(), back.get()))
        << "seed " << seed << "\n"
        << written << "\nwas  " << TreeText(tree.Root()) << "\nread " << TreeText(back.get());
    // From then on, what is read is written as the very same text.
    std::string again;
    const TOwnedLine twice = ReadBack(back.get(), GetParam(), &cursor, again);
    std::string thrice;
    const TOwnedLine third = ReadBack(twice.get(), GetParam(), &cursor, thrice);
    EXPECT_EQ(thrice, again) << "seed " << seed;
  }
}

TEST_P(RoundTripTest, StartUpFormulaAndTheDeepestDocumentComeBack) {
  for (std::uint32_t kind : {fkBruch, fkWurzel, fkSumme, fkPotenz, fkBetrag, fkIntegral, fkUser}) {
    TFormulaTree tree;
    BuildSampleFormula(tree.Root());
    BuildChain(tree.Root(), kind, 999);  // 1000 levels with the sample's
    TEntryCursor cursor = nullptr;
    std::string written;
    const TOwnedLine back = ReadBack(tree.Root(), GetParam(), &cursor, written);
    ASSERT_NE(back, nullptr) << "kind " << kind;
    EXPECT_TRUE(SameFormula(tree.Root(), back.get())) << "kind " << kind;
  }
}

INSTANTIATE_TEST_SUITE_P(BothForms, RoundTripTest, testing::Values(TForm::Latex, TForm::MathML),
                         [](const auto& info) {
                           return info.param == TForm::Latex ? "Latex" : "MathML";
                         });

TEST(RoundTripTest, OneLevelTooDeepIsRefused) {
  TFormulaTree tree;
  BuildChain(tree.Root(), fkWurzel, 1001);
  TEntryCursor cursor = nullptr;
  TOwnedLine back;
  TTextError error;
  EXPECT_FALSE(FormulaFromLatex(LatexFromFormula(tree.Root()), &cursor, back, error));
  EXPECT_EQ(error.Message, kTextTooDeep);
  EXPECT_FALSE(
      FormulaFromMathML(Utf8FromUtf16(MathMLFromFormula(tree.Root())), &cursor, back, error));
  EXPECT_EQ(error.Message, kTextTooDeep);
}

}  // namespace
