// Measuring and placing on the fixed-metrics canvas.
#include <gtest/gtest.h>

#include "render/FunctionKinds.h"
#include "render/Layout.h"
#include "tests/render/FixedMetrics.h"

namespace {

using ::testing::ElementsAre;

// "1 + " beside the fraction 1 over 3, laid out at (20, 20).
TEST_F(FixedMetricsTest, WorkedExampleRowOfTermAndFraction) {
  AppendTermEntry(tree_.Root(), u"1 + ");
  AddStacked(tree_.Root(), fkBruch, u"1", u"3");

  EXPECT_EQ(LayOutTree(), (TSize{60, 42}));

  EXPECT_THAT(canvas_.Ops(),
              ElementsAre(TDrawOp{Text(25, 33, u"1 + ")}, TDrawOp{Text(67, 20, u"1")},
                          TDrawOp{Text(67, 46, u"3")}, TDrawOp{Line(62, 41, 80, 41)}));
  EXPECT_EQ(Entry(0).BoxWidth, 42);
  EXPECT_EQ(Entry(0).BoxHeight, 16);
  EXPECT_EQ(Entry(1).BoxWidth, 18);
  EXPECT_EQ(Entry(1).BoxHeight, 42);
  EXPECT_EQ(Entry(1).FirstWidth, 18);
  EXPECT_EQ(Entry(1).SecondWidth, 18);
  EXPECT_EQ(state_.CurX, 80) << "CurX advances by the width";
  EXPECT_EQ(state_.CurY, 20) << "CurY comes back";
}

TEST_F(FixedMetricsTest, MeasuringOnlyDrawsNothingAndGivesTheSameSize) {
  AppendTermEntry(tree_.Root(), u"1 + ");
  AddStacked(tree_.Root(), fkWurzel, u"1", u"3");
  const TSize drawn = LayOutTree();
  canvas_.ClearOps();
  EXPECT_EQ(LayOutTree(0, 0, true), drawn);
  EXPECT_TRUE(canvas_.Ops().empty());
}

TEST_F(FixedMetricsTest, AbsentAndEmptySequencesAreNothing) {
  EXPECT_EQ(LayOut(state_, nullptr, 7, 9), (TSize{0, 0}));
  EXPECT_EQ(state_.CurX, 7);
  EXPECT_EQ(LayOutTree(7, 9), (TSize{0, 0}));
  EXPECT_EQ(state_.CurX, 7);
  EXPECT_EQ(state_.CurY, 9);
  EXPECT_TRUE(canvas_.Ops().empty());
}

struct TOperatorCase {
  const char* description;
  std::u16string_view in;
  std::u16string_view out;
};

TEST(ConvertOperatorsTest, ReplacesTheThreeAsciiOperatorsOnly) {
  const TOperatorCase cases[] = {
      {"the start-up term", u"12 * 3 / 2 *", u"12 \u00D7 3 \u2215 2 \u00D7"},
      {"minus", u"a-b", u"a\u2212b"},
      {"empty", u"", u""},
      {"everything else stays", u"+=()x\u2212\u00E4 \\|", u"+=()x\u2212\u00E4 \\|"},
      {"only operators", u"*/-", u"\u00D7\u2215\u2212"},
  };
  for (const TOperatorCase& c : cases) EXPECT_EQ(ConvertOperators(c.in), c.out) << c.description;
}

TEST_F(FixedMetricsTest, TermIsDrawnConvertedAndTenWiderThanItsText) {
  AppendTermEntry(tree_.Root(), u"2*3");
  EXPECT_EQ(LayOutTree(), (TSize{34, 16}));
  EXPECT_THAT(canvas_.Texts(), ElementsAre(Text(25, 20, u"2\u00D73")));
  EXPECT_EQ(Entry(0).BoxWidth, 34);
}

// One row: entries share the height of the tallest, each centred in it.
TEST_F(FixedMetricsTest, RootContentLinesUpWithTermsWhileTheSignRisesAbove) {
  AppendTermEntry(tree_.Root(), u"a");
  TFormulaEntry& root = AddFunction(tree_.Root(), fkWurzel, u"2");
  AppendTermEntry(root.First, u"b");

  // Content 16: L 16, T 8, R 5; the box is 24 high and the row too.
  EXPECT_EQ(LayOutTree(), (TSize{18 + 39, 24}));
  const auto texts = canvas_.Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].Y, 24) << "the term is centred in the 24-pixel row";
  EXPECT_EQ(texts[1].Y, 24) << "the root's content stands where the term does";
  EXPECT_EQ(canvas_.Lines().front().Y1, 16 + 12) << "the box starts 4 above the row";
}

TEST_F(FixedMetricsTest, FunctionAloneStartsHalfItsInsetsAboveTheRow) {
  TFormulaEntry& power = AddStacked(tree_.Root(), fkPotenz, u"2", u"x");
  LayOutTree();
  const auto texts = canvas_.Texts();  // "(" and ")", then exponent, then base
  ASSERT_EQ(texts.size(), 4u);
  // T = B = 4: the box top lies at 20 - 4, the exponent T below it.
  EXPECT_EQ(texts[2], Text(72, 20, u"2"));
  EXPECT_EQ(power.TopInset + power.BottomInset, 8);
}

// Base at the left in parentheses twice its height; the exponent after the
// closing parenthesis, its bottom on the base's top.
TEST_F(FixedMetricsTest, PowerPlacesBaseAndRaisedExponent) {
  TFormulaEntry& power = AddStacked(tree_.Root(), fkPotenz, u"2", u"x");

  // Hc = 16 + 10 + 16 = 42: L = R = 21, T = B = 4.
  EXPECT_EQ(LayOutTree(), (TSize{78, 50}));
  EXPECT_THAT(canvas_.Texts(), ElementsAre(Text(33, 36, u"(", 32), Text(59, 36, u")", 32),
                                           Text(72, 20, u"2"), Text(46, 36, u"x")));
  EXPECT_TRUE(canvas_.Lines().empty()) << "a power has no bar";
  EXPECT_EQ(power.FirstHeight, 16);
  EXPECT_EQ(power.SecondHeight, 16);
  EXPECT_EQ(power.BoxHeight, 40) << "the placing pass leaves the height without the spacing";
  EXPECT_EQ(power.BoxWidth, 78);
}

struct TInsetCase {
  const char* description;
  std::uint32_t kind;
  std::int32_t textHeight;
  bool withSecond;
  TInsets expected;
};

// The entries hold one term in First (and an empty Second where asked) on a
// canvas whose text is `textHeight` high.
TEST(InsetTest, EachKindKeepsItsRoom) {
  const TInsetCase cases[] = {
      {"fraction", fkBruch, 16, true, {0, 0, 0, 0}},
      {"root, content 7: 3.5 rounds up to 4", fkWurzel, 7, false, {7, 4, 2, 0}},
      {"root, content 5: 2.5 rounds down to 2", fkWurzel, 5, false, {5, 2, 1, 0}},
      {"root with a lower part: 16 + 10", fkWurzel, 16, true, {26, 13, 8, 0}},
      {"sum: '(' and the sign with a space", fkSumme, 16, false, {24, 0, 8, 0}},
      {"integral like sum", fkIntegral, 16, false, {24, 0, 8, 0}},
      {"power, content 21: 10.5 rounds to 10", fkPotenz, 11, true, {10, 2, 10, 2}},
      {"power, content 23: 11.5 rounds to 12", fkPotenz, 13, true, {12, 2, 12, 2}},
      {"absolute, content 10: 2.5 rounds to 2", fkBetrag, 10, false, {2, 0, 2, 0}},
      {"absolute, content 14: 3.5 rounds to 4", fkBetrag, 14, false, {4, 1, 4, 1}},
      {"function 'sin': name and '('", fkUser, 16, false, {32, 0, 8, 0}},
      {"unknown kind like fraction", 9, 16, true, {0, 0, 0, 0}},
  };
  for (const TInsetCase& c : cases) {
    TFormulaTree tree;
    TFormulaEntry& entry = AddFunction(tree.Root(), c.kind, u"sin");
    AppendTermEntry(entry.First, u"x");
    if (c.withSecond) SecondOf(entry);
    TTestCanvas canvas(400, 400, TTestCanvas::kCharWidth, c.textHeight);
    TLayoutState state(canvas);
    LayOut(state, tree.Root());
    EXPECT_EQ((TInsets{entry.LeftInset, entry.TopInset, entry.RightInset, entry.BottomInset}),
              c.expected)
        << c.description;
  }
}

TEST_F(FixedMetricsTest, FractionOfTwoEmptySequencesIsTheSpacingAlone) {
  AddFunction(tree_.Root(), fkBruch);
  EXPECT_EQ(LayOutTree(), (TSize{0, 10}));
  EXPECT_EQ(Entry(0).BoxWidth, 0);
  EXPECT_EQ(Entry(0).BoxHeight, 10);
  // In the middle of the spacing, as long as the wider of two empty rows.
  EXPECT_THAT(canvas_.Lines(), ElementsAre(Line(20, 25, 20, 25)));
}

// Records that no dialog writes, as a damaged or foreign file may hold them.
TEST(OddEntryTest, UnknownIsFunctionContributesNothing) {
  TFormulaTree plain, odd;
  AppendTermEntry(plain.Root(), u"a");
  AppendTermEntry(plain.Root(), u"b");
  AppendTermEntry(odd.Root(), u"a");
  TFormulaEntry* stray = AppendTermEntry(odd.Root(), u"stray");
  stray->IsFunction = 2;
  stray->BoxWidth = 1234;
  AppendTermEntry(odd.Root(), u"b");

  EXPECT_EQ(DrawOnFreshCanvas(odd.Root()), DrawOnFreshCanvas(plain.Root()));
  EXPECT_EQ(stray->BoxWidth, 1234) << "its fields are not touched";
}

TEST(OddEntryTest, UnknownKindLaysOutLikeAFractionWithoutDecorations) {
  for (bool withSecond : {true, false}) {
    TFormulaTree fraction, unknown;
    TFormulaEntry& a = AddFunction(fraction.Root(), fkBruch);
    TFormulaEntry& b = AddFunction(unknown.Root(), 9);
    for (TFormulaEntry* e : {&a, &b}) {
      AppendTermEntry(e->First, u"x + 1");
      if (withSecond) AppendTermEntry(SecondOf(*e), u"2");
      if (!withSecond) RemoveSecond(e->Second);
    }
    const TDrawing drawing = DrawOnFreshCanvas(unknown.Root());
    EXPECT_EQ(drawing, DrawOnFreshCanvas(fraction.Root()));
    EXPECT_EQ(FieldsOf(CollectLayoutFields(unknown.Root())),
              FieldsOf(CollectLayoutFields(fraction.Root())));
    EXPECT_EQ(drawing.Ops.size(), withSecond ? 3u : 1u) << "a bar only over a Second";
  }
}

TEST(OddEntryTest, FunctionWithoutFirstMeasuresItsSecondOnly) {
  TFormulaTree tree;
  TFormulaEntry& entry = AddStacked(tree.Root(), fkBruch, u"gone", u"3");
  freetheline(entry.First);
  entry.First = nullptr;
  EXPECT_EQ(DrawOnFreshCanvas(tree.Root()).Size, (TSize{18, 26}));
}

// Terms get their box (fields 4 and 5), functions insets, boxes and widths
// (0 to 7), powers also the heights of their sequences; other records nothing.
bool IsLaidOut(const TEntryLayout& entry, std::size_t field) {
  if (entry.IsFunction == 0) return field == 4 || field == 5;
  if (entry.IsFunction != 1) return false;
  return field < 8 || entry.Kind == fkPotenz;
}

// Whatever the record held before (a reused slot, a document), the layout
// writes before it reads.
TEST(LayoutFieldsTest, LeftoverValuesInTheRecordsChangeNothing) {
  TFormulaTree clean, stale;
  for (TFormulaLine* root : {clean.Root(), stale.Root()}) {
    BuildSampleFormula(root);
    BuildRandomTree(root, 7);
  }
  FillLayoutFields(clean.Root(), 0);
  FillLayoutFields(stale.Root(), 977);
  EXPECT_EQ(DrawOnFreshCanvas(stale.Root(), 600), DrawOnFreshCanvas(clean.Root(), 600));

  const auto reference = CollectLayoutFields(clean.Root());
  const auto laidOut = CollectLayoutFields(stale.Root());
  ASSERT_EQ(laidOut.size(), reference.size());
  for (std::size_t i = 0; i < laidOut.size(); ++i) {
    for (std::size_t f = 0; f < laidOut[i].Fields.size(); ++f) {
      const std::int32_t expected = IsLaidOut(laidOut[i], f) ? reference[i].Fields[f] : 977;
      EXPECT_EQ(laidOut[i].Fields[f], expected) << "entry " << i << ", field " << f;
    }
  }
}

}  // namespace
