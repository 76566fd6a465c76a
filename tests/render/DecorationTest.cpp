// Signs, parentheses, strokes and bounds on the fixed-metrics canvas. Each
// function here stands alone at (20, 20) with the term "x" as its content
// unless said otherwise.
#include <gtest/gtest.h>

#include "render/Decorations.h"
#include "tests/render/FixedMetrics.h"

namespace {

using ::testing::ElementsAre;

TDrawOp Op(TTextOp op) { return op; }
TDrawOp Op(TLineOp op) { return op; }

struct TRootIndexCase {
  const char* description;
  std::u16string_view index;
  bool drawn;
};

// Content 16: L 16, T 8, R 5, box 39 by 24, its top 4 above the row.
TEST(RootSignTest, StrokesAndIndex) {
  const TRootIndexCase cases[] = {
      {"square root: no index", u"2", false},
      {"cube root", u"3", true},
      {"an empty index is drawn, as nothing", u"", true},
      {"only exactly \"2\" is left out", u"2 ", true},
  };
  for (const TRootIndexCase& c : cases) {
    TFormulaTree tree;
    AppendTermEntry(AddFunction(tree.Root(), fkWurzel, c.index).First, u"x");
    TTestCanvas canvas(400, 400);
    TLayoutState state(canvas);
    EXPECT_EQ(LayOut(state, tree.Root()), (TSize{39, 24})) << c.description;

    std::vector<TDrawOp> expected = {
        Op(Line(20, 28, 25, 28)),  // the tick at half the box height
        Op(Line(25, 28, 30, 40)),  // down to the bottom of the box
        Op(Line(30, 40, 36, 16)),  // up to its top
        Op(Line(36, 16, 46, 16)),  // the overline, T short of the content's right edge
        Op(Line(46, 16, 54, 24)),  // 45 degrees down onto the content's top-right corner
    };
    // Standing on the tick, in a font of cell height T.
    if (c.drawn) expected.push_back(Op(Text(25, 12, std::u16string(c.index), 8)));
    expected.push_back(Op(Text(41, 24, u"x")));
    EXPECT_EQ(canvas.Ops(), expected) << c.description;
  }
}

struct TBigOperatorCase {
  const char* description;
  std::uint32_t kind;
  char16_t sign;
};

// Content 16: L 24 ("(" and the sign with a space), R 8, box 50 by 16.
TEST(BigOperatorTest, SumAndIntegralDrawAlikeAroundTheirSign) {
  const TBigOperatorCase cases[] = {{"sum", fkSumme, kSumSign},
                                    {"integral", fkIntegral, kIntegralSign}};
  for (const TBigOperatorCase& c : cases) {
    TFormulaTree tree;
    AppendTermEntry(AddFunction(tree.Root(), c.kind, u"k=1", u"n").First, u"x");
    TTestCanvas canvas(400, 400);
    TLayoutState state(canvas);
    LayOut(state, tree.Root());
    // A sign without ink pixels: the scans run to the far end of its cell,
    // so the bounds stand against the cell's opposite edges. Bounds are at
    // 5 points (-7): the box is less than three font heights (39) tall.
    EXPECT_THAT(canvas.Texts(),
                ElementsAre(Text(36, 20, u"(", 16), Text(62, 20, u")", 16),
                            Text(20, 20, std::u16string(1, c.sign), 16),
                            Text(20, 18, u"n", -7),    // upper bound: Text2
                            Text(12, 22, u"k=1", -7),  // lower bound: Text1, centred on the sign
                            Text(49, 20, u"x")))
        << c.description;
  }
}

TEST(BigOperatorTest, OutsideTheBitmapTheScanStopsAtOnce) {
  TFormulaTree tree;
  AppendTermEntry(AddFunction(tree.Root(), fkSumme, u"k=1", u"n").First, u"x");
  TTestCanvas canvas(0, 0);  // as in the first paint of a grown picture
  TLayoutState state(canvas);
  LayOut(state, tree.Root());
  const auto texts = canvas.Texts();
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[3].Y, 20 - 16 - 2) << "upper bound ends 2 above the sign's cell";
  EXPECT_EQ(texts[4].Y, 20 + 16 + 2) << "lower bound starts 2 below it";
}

struct TBoundFontCase {
  const char* description;
  std::int32_t baseHeight;
  std::int32_t contentHeight;  // the canvas's text height; 0: empty content
  std::int32_t expectedPoints;
};

TEST(BigOperatorTest, BoundsAreHalfSizeBesideSmallSigns) {
  const TBoundFontCase cases[] = {
      {"10 points beside a 16-pixel sign: 39 > 16", -13, 16, 5},
      {"10 points, a sign 38 high", -13, 38, 5},
      {"10 points, a sign three font heights high", -13, 39, 10},
      {"10 points, a taller sign", -13, 60, 10},
      {"1 point halves to 0, which becomes 1", -1, 0, 1},
      {"1 point beside a tall sign stays", -1, 16, 1},
      {"the platform's default height gives 1 point", 0, 16, 1},
      {"a cell height halves its (negative) point size", 20, 16, -7},
  };
  for (const TBoundFontCase& c : cases) {
    TFormulaTree tree;
    TFormulaEntry& sum = AddFunction(tree.Root(), fkSumme, u"a", u"b");
    if (c.contentHeight > 0) AppendTermEntry(sum.First, u"x");
    TTestCanvas canvas(400, 400, TTestCanvas::kCharWidth, std::max(c.contentHeight, 1));
    TLayoutState state(canvas);
    state.BaseFont.Height = c.baseHeight;
    LayOut(state, tree.Root());
    const auto texts = canvas.Texts();
    ASSERT_GE(texts.size(), 5u) << c.description;
    EXPECT_EQ(texts[3].PointSize, c.expectedPoints) << c.description;
    EXPECT_EQ(texts[4].PointSize, c.expectedPoints) << c.description;
  }
}

TEST(PowerParenthesesTest, EmptyBaseAsksForFontHeightZero) {
  TFormulaTree tree;
  AppendTermEntry(AddFunction(tree.Root(), fkPotenz).First, u"2");
  TTestCanvas canvas(400, 400);
  TLayoutState state(canvas);
  LayOut(state, tree.Root());
  const auto texts = canvas.Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].Text, u"(");
  EXPECT_EQ(texts[0].FontHeight, 0);
  EXPECT_EQ(texts[1].FontHeight, 0);
}

// Content 16: L = R = 4, T = B = 1, box 26 by 18, one pixel above the row.
TEST(AbsoluteValueTest, BarsAreTwoPixelsWideInTheMiddleOfTheInsets) {
  TFormulaTree tree;
  TFormulaEntry& bars = AddFunction(tree.Root(), fkBetrag);
  AppendTermEntry(bars.First, u"x");
  AppendTermEntry(SecondOf(bars), u"y");
  TTestCanvas canvas(400, 400);
  TLayoutState state(canvas);
  LayOut(state, tree.Root());
  // With the lower part: content 42, L = R = 10 (10.5 to even), T = B = 2.
  EXPECT_EQ(canvas.Lines(), (std::vector<TLineOp>{
                                Line(25, 18, 25, 64, 2), Line(20 + 38 - 5, 18, 20 + 38 - 5, 64, 2),
                                Line(30, 18 + 2 + 26 - 5, 48, 18 + 2 + 26 - 5, 1),  // the bar
                            }));
  EXPECT_EQ(canvas.PenWidth(), 1);
}

// L: "sin" (24) and "(" (8); R 8; box 58 by 16.
TEST(UserFunctionTest, NameThenParenthesesAsTallAsTheBox) {
  TFormulaTree tree;
  AppendTermEntry(AddFunction(tree.Root(), fkUser, u"sin").First, u"x");
  TTestCanvas canvas(400, 400);
  TLayoutState state(canvas);
  EXPECT_EQ(LayOut(state, tree.Root()), (TSize{58, 16}));
  EXPECT_THAT(canvas.Texts(), ElementsAre(Text(20, 20, u"sin"), Text(44, 20, u"(", 16),
                                          Text(70, 20, u")", 16), Text(57, 20, u"x")));
}

// No temporary font or pen width outlives the decoration that set it.
TEST(DecorationStateTest, FontAndPenComeBackAfterEveryKind) {
  for (std::uint32_t kind = 0; kind < kFunctionKindCount; ++kind) {
    TFormulaTree tree;
    TFormulaEntry& entry = AddFunction(tree.Root(), kind, u"3", u"n");
    AppendTermEntry(entry.First, u"x");
    AppendTermEntry(SecondOf(entry), u"y");
    TTestCanvas canvas(400, 400);
    TLayoutState state(canvas);
    state.BaseFont.Height = 21;
    state.BaseFont.Color = 0x00123456;
    state.BaseFont.Style = fsItalic;
    LayOut(state, tree.Root());
    EXPECT_EQ(canvas.Font(), state.BaseFont) << "kind " << kind;
    EXPECT_EQ(canvas.PenWidth(), 1) << "kind " << kind;
    EXPECT_EQ(canvas.PenColor(), 0x00123456u) << "kind " << kind;
    for (const TLineOp& line : canvas.Lines()) EXPECT_EQ(line.Color, 0x00123456u);
  }
}

}  // namespace
