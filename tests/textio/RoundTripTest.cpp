// Reading what was written gives the formula back, on the random trees of
// the layout tests and on the deepest formula a document may hold.
#include <gtest/gtest.h>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"

namespace {

TOwnedLine ReadBack(const TFormulaLine* line, TForm form, TEntryCursor* cursor,
                    std::string& written) {
  written = WriteFormula(form, line);
  TOwnedLine back;
  TTextError error;
  EXPECT_TRUE(ReadFormula(form, written, cursor, back, error)) << error.Describe() << "\n"
                                                               << written;
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
    ASSERT_EQ(TreeText(back.get(), true), TreeText(tree.Root(), true)) << "seed " << seed << "\n"
                                                                       << written;
    // From then on, what is read is written as the very same text.
    std::string again;
    const TOwnedLine twice = ReadBack(back.get(), GetParam(), &cursor, again);
    std::string thrice;
    const TOwnedLine third = ReadBack(twice.get(), GetParam(), &cursor, thrice);
    EXPECT_EQ(thrice, again) << "seed " << seed;
  }
}

TEST_P(RoundTripTest, TheDeepestDocumentComesBackAndOneLevelMoreIsRefused) {
  for (std::uint32_t kind : {fkBruch, fkWurzel, fkSumme, fkPotenz, fkBetrag, fkIntegral, fkUser}) {
    TFormulaTree tree;
    BuildSampleFormula(tree.Root());
    BuildChain(tree.Root(), kind, 999);  // 1000 levels with the sample's
    TEntryCursor cursor = nullptr;
    std::string written;
    const TOwnedLine back = ReadBack(tree.Root(), GetParam(), &cursor, written);
    ASSERT_NE(back, nullptr) << "kind " << kind;
    EXPECT_EQ(TreeText(back.get(), true), TreeText(tree.Root(), true)) << "kind " << kind;
  }
  TFormulaTree tree;
  BuildChain(tree.Root(), fkWurzel, 1001);
  TEntryCursor cursor = nullptr;
  TOwnedLine back;
  TTextError error;
  EXPECT_FALSE(
      ReadFormula(GetParam(), WriteFormula(GetParam(), tree.Root()), &cursor, back, error));
  EXPECT_EQ(error.Message, kTextTooDeep);
}

INSTANTIATE_TEST_SUITE_P(EachForm, RoundTripTest,
                         testing::Values(TForm::Latex, TForm::MathML, TForm::StarMath),
                         [](const auto& info) {
                           return info.param == TForm::Latex    ? "Latex"
                                  : info.param == TForm::MathML ? "MathML"
                                                                : "StarMath";
                         });

}  // namespace
