// The whole picture on the fixed-metrics canvas: background, margin, size.
#include <gtest/gtest.h>

#include "render/Paint.h"
#include "tests/render/FixedMetrics.h"

namespace {

using ::testing::ElementsAre;

constexpr std::uint32_t kPaper = 0x00E0F0FF;

class PaintTest : public ::testing::Test {
 protected:
  PaintTest() { input_.Root = tree_.Root(); }

  void BuildWorkedExample() {
    AppendTermEntry(tree_.Root(), u"1 + ");
    AddStacked(tree_.Root(), fkBruch, u"1", u"3");
  }

  TFormulaTree tree_;
  TPaintInput input_;
  TTestCanvas canvas_;
};

TEST_F(PaintTest, FirstPaintOnlySizesTheEmptyBitmapTheSecondDrawsAll) {
  BuildWorkedExample();
  input_.Background = kPaper;

  EXPECT_EQ(PaintFormula(canvas_, input_), (TSize{100, 82}));
  EXPECT_EQ(canvas_.Width(), 100);
  EXPECT_EQ(canvas_.Height(), 82);
  EXPECT_EQ(canvas_.Fills().front(), (TFillOp{0, 0, 0, 0, kPaper})) << "the old, empty bitmap";
  EXPECT_EQ(canvas_.Pixel(99, 81), kPaper) << "new area takes the background";

  canvas_.ClearOps();
  EXPECT_EQ(PaintFormula(canvas_, input_), (TSize{100, 82}));
  EXPECT_THAT(canvas_.Ops(),
              ElementsAre(TDrawOp{TFillOp{0, 0, 100, 82, kPaper}}, TDrawOp{Text(25, 33, u"1 + ")},
                          TDrawOp{Text(67, 20, u"1")}, TDrawOp{Text(67, 46, u"3")},
                          TDrawOp{Line(62, 41, 80, 41)}));
  EXPECT_TRUE(canvas_.TransparentText());
}

TEST_F(PaintTest, CompletePaintRepeatsOnlyWhenTheSizeChanged) {
  BuildWorkedExample();
  EXPECT_EQ(PaintComplete(canvas_, input_), (TSize{100, 82}));
  EXPECT_EQ(canvas_.Fills().size(), 2u) << "grown: a second run";

  canvas_.ClearOps();
  EXPECT_EQ(PaintComplete(canvas_, input_), (TSize{100, 82}));
  EXPECT_EQ(canvas_.Fills().size(), 1u) << "same size: one run";
}

struct TMarginCase {
  const char* description;
  std::int32_t margin;
  TSize expected;
};

TEST_F(PaintTest, MarginSurroundsTheFormula) {
  BuildWorkedExample();
  const TMarginCase cases[] = {
      {"no margin: the formula alone", 0, {60, 42}},
      {"the start-up margin", 20, {100, 82}},
      {"the largest margin the field offers", 1000, {2060, 2042}},
      {"a negative margin from a file counts as none", -30, {60, 42}},
      {"a typed margin beyond the field's range takes effect", 1500, {3060, 3042}},
      {"a huge typed margin is held where the picture still fits", 1 << 30, {8060, 8042}},
  };
  for (const TMarginCase& c : cases) {
    input_.Margin = c.margin;
    EXPECT_EQ(PaintComplete(canvas_, input_), c.expected) << c.description;
  }
}

TEST_F(PaintTest, EmptyFormulaIsMarginsInTheBackground) {
  input_.Background = kPaper;
  EXPECT_EQ(PaintComplete(canvas_, input_), (TSize{40, 40}));
  EXPECT_EQ(canvas_.Pixel(0, 0), kPaper);
  EXPECT_EQ(canvas_.Pixel(39, 39), kPaper);
  EXPECT_EQ(canvas_.Pixel(40, 39), kNoColor);
  EXPECT_TRUE(canvas_.Texts().empty());
  EXPECT_TRUE(canvas_.Lines().empty());

  input_.Root = nullptr;
  EXPECT_EQ(PaintComplete(canvas_, input_), (TSize{40, 40})) << "no formula at all";
}

struct TLimitCase {
  const char* description;
  std::int32_t charWidth;
  bool drawn;
};

// One character in a 9960-pixel cell, a 20-pixel margin: 10,000 pixels high,
// and as wide when the character is 9950 pixels wide.
TEST_F(PaintTest, PictureBeyondThePixelLimitIsSizedButNotDrawn) {
  AppendTermEntry(tree_.Root(), u"W");
  const TLimitCase cases[] = {
      {"exactly 100 million pixels", 9950, true},
      {"one column more", 9951, false},
  };
  for (const TLimitCase& c : cases) {
    TTestCanvas canvas(100, 82, c.charWidth, 9960);
    const TSize size = PaintFormula(canvas, input_);
    EXPECT_EQ(size, (TSize{c.charWidth + 50, 10000})) << c.description;
    EXPECT_EQ(canvas.Fills().size(), 1u) << c.description;
    EXPECT_EQ(canvas.Texts().size(), c.drawn ? 1u : 0u) << c.description;
  }
}

TEST_F(PaintTest, FormulaIsDrawnInItsFontColour) {
  BuildWorkedExample();
  input_.Font.Color = 0x000000FF;
  PaintComplete(canvas_, input_);
  for (const TTextOp& text : canvas_.Texts()) EXPECT_EQ(text.Color, 0x000000FFu);
  for (const TLineOp& line : canvas_.Lines()) EXPECT_EQ(line.Color, 0x000000FFu);
}

}  // namespace
