// The recorder between the layout and a canvas: it must change nothing on
// the canvas it draws through, and keep each text, line and fill as drawn.
#include <gtest/gtest.h>

#include "render/Paint.h"
#include "render/RecordingCanvas.h"
#include "tests/render/FixedMetrics.h"

namespace {

constexpr std::uint32_t kPaper = 0x00E0F0FF;

// What the fixed-metrics canvas would have recorded for a recorded op.
struct TAsTestOp {
  TDrawOp operator()(const TRecordedText& text) const {
    return TTextOp{text.X,
                   text.Y,
                   text.Text,
                   text.Font.Height,
                   PointSizeFromHeight(text.Font.Height, kScreenPixelsPerInch),
                   text.Font.Color};
  }
  TDrawOp operator()(const TLineOp& line) const { return line; }
  TDrawOp operator()(const TFillOp& fill) const { return fill; }
};

std::vector<TDrawOp> AsTestOps(const std::vector<TRecordedOp>& ops) {
  std::vector<TDrawOp> converted;
  for (const TRecordedOp& op : ops) converted.push_back(std::visit(TAsTestOp{}, op));
  return converted;
}

TPaintInput InputFor(const TFormulaTree& tree) {
  TPaintInput input;
  input.Root = tree.Root();
  input.Background = kPaper;
  input.Font.Name = "DejaVu Serif";
  input.Font.Style = fsItalic;
  input.Font.Color = 0x00123456;
  return input;
}

// Random trees hold every kind, so sums and integrals read pixels for their
// ink scan: through the recorder they must read the inner canvas's.
TEST(RecordingCanvasTest, DrawsThroughUnchangedAndRecordsWhatItDrew) {
  for (std::uint32_t seed : {1u, 7u, 23u, 99u}) {
    TFormulaTree tree;
    BuildRandomTree(tree.Root(), seed);
    const TPaintInput input = InputFor(tree);
    TTestCanvas direct;
    PaintComplete(direct, input);
    direct.ClearOps();
    PaintFormula(direct, input);

    TTestCanvas inner;
    PaintComplete(inner, input);
    inner.ClearOps();
    TRecordingCanvas recorder(inner);
    EXPECT_EQ(PaintFormula(recorder, input), (TSize{direct.Width(), direct.Height()}));
    EXPECT_EQ(inner.Ops(), direct.Ops()) << "seed " << seed;
    EXPECT_EQ(AsTestOps(recorder.Ops()), inner.Ops()) << "seed " << seed;
  }
}

// A sum's sign is drawn at the box height, its bounds at half the point
// size; each text keeps the whole font with the height then in force.
TEST(RecordingCanvasTest, TextKeepsItsWholeFontAndCellHeight) {
  TFormulaTree tree;
  AppendTermEntry(AddFunction(tree.Root(), fkSumme, u"k=1", u"n").First, u"x");
  const TPaintInput input = InputFor(tree);
  TTestCanvas inner(400, 400);
  TRecordingCanvas recorder(inner);
  PaintFormula(recorder, input);

  std::vector<TRecordedText> texts;
  for (const TRecordedOp& op : recorder.Ops()) {
    if (const auto* text = std::get_if<TRecordedText>(&op)) texts.push_back(*text);
  }
  ASSERT_EQ(texts.size(), 6u);
  TFontDesc sign = input.Font;
  sign.Height = 16;
  TFontDesc bound = input.Font;
  bound.Height = -7;
  EXPECT_EQ(texts[2].Font, sign) << "the sign, at the box height";
  EXPECT_EQ(texts[3].Font, bound) << "the upper bound";
  EXPECT_EQ(texts[5].Font, input.Font) << "the content, in the formula font";
  for (const TRecordedText& text : texts) EXPECT_EQ(text.CellHeight, TTestCanvas::kTextHeight);
}

TEST(RecordingCanvasTest, OnlyAPaintThatKeptTheSizeIsComplete) {
  TFormulaTree tree;
  AppendTermEntry(tree.Root(), u"1 + ");
  AddStacked(tree.Root(), fkBruch, u"1", u"3");
  const TPaintInput input = InputFor(tree);
  TTestCanvas canvas;

  const TRecordedPaint grown = PaintFormulaRecorded(canvas, input);
  EXPECT_FALSE(grown.Complete);
  EXPECT_EQ(grown.Size, (TSize{100, 82}));

  canvas.ClearOps();
  const TRecordedPaint complete = PaintFormulaRecorded(canvas, input);
  EXPECT_TRUE(complete.Complete);
  EXPECT_EQ(complete.Recording.Size, (TSize{100, 82}));
  EXPECT_EQ(complete.Recording.Background, kPaper);
  ASSERT_FALSE(complete.Recording.Ops.empty());
  EXPECT_EQ(complete.Recording.Ops.front(), TRecordedOp(TFillOp{0, 0, 100, 82, kPaper}))
      << "the background first, over the whole bitmap";
  EXPECT_EQ(AsTestOps(complete.Recording.Ops), canvas.Ops());
}

}  // namespace
