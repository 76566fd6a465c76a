// Whole pictures on the QImage canvas, saved for looking at.
#include <gtest/gtest.h>

#include <QImage>

#include "render/Paint.h"
#include "render/QImageCanvas.h"
#include "tests/render/Artefacts.h"
#include "tests/render/FormulaTrees.h"
#include "tests/render/ReferenceLayout.h"

namespace {

// Columns (or rows) of the picture that hold anything but the background.
int InkedCount(const QImage& image, bool columns) {
  const QRgb paper = image.pixel(0, 0);
  const int outer = columns ? image.width() : image.height();
  const int inner = columns ? image.height() : image.width();
  int inked = 0;
  for (int i = 0; i < outer; ++i) {
    for (int j = 0; j < inner; ++j) {
      if (image.pixel(columns ? i : j, columns ? j : i) != paper) {
        ++inked;
        break;
      }
    }
  }
  return inked;
}

TSize FormulaSize(TFormulaLine* root, const TFontDesc& font) {
  TQImageCanvas canvas;
  TLayoutState state(canvas);
  state.BaseFont = font;
  canvas.SetFont(font);
  TSize size;
  DrawTheLine(state, root, size.cx, size.cy, true);
  return size;
}

// The formula shown at start, in the start-up font, margin and colour.
TEST(PictureTest, SampleFormula) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = tree.Root();
  const TSize size = PaintComplete(canvas, input);
  const TSize formula = FormulaSize(tree.Root(), input.Font);
  EXPECT_EQ(size, (TSize{formula.cx + 40, formula.cy + 40}));
  const QImage& image = canvas.Image();
  ASSERT_EQ(image.width(), size.cx);
  ASSERT_EQ(image.height(), size.cy);
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
  // Ink over most of the width: the formula is drawn, not just sized.
  EXPECT_GT(InkedCount(image, true), formula.cx / 2);
  SaveArtefact(image, "sample-formula.png");
}

// A cube root beside an absolute value and "sin" of a fraction.
TEST(PictureTest, RootAbsoluteValueAndNamedFunction) {
  TFormulaTree tree;
  TFormulaLine* root = tree.Root();
  AppendTermEntry(AddFunction(root, fkWurzel, u"3").First, u"x + 1");
  AppendTermEntry(root, u"- 2 *");
  AppendTermEntry(AddFunction(root, fkBetrag).First, u"y - 4");
  AppendTermEntry(root, u"+");
  TFormulaEntry& sine = AddFunction(root, fkUser, u"sin");
  AddStacked(sine.First, fkBruch, u"\u03C0", u"2");
  AppendTermEntry(root, u"+");
  AppendTermEntry(AddFunction(root, fkWurzel, u"2").First, u"z");
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = root;
  input.Font.Height = -20;
  input.Background = 0x00F0F8FF;
  PaintComplete(canvas, input);
  EXPECT_GT(InkedCount(canvas.Image(), true), canvas.Width() / 2);
  SaveArtefact(canvas.Image(), "root-abs-sin.png");
}

QImage PaintWith(decltype(&DrawTheLine) layout, std::uint32_t seed) {
  TFormulaTree tree;
  if (seed == 0) BuildSampleFormula(tree.Root());
  BuildRandomTree(tree.Root(), seed, {6, 60});
  TQImageCanvas canvas(900, 700);
  canvas.FillRect(0, 0, 900, 700);
  TLayoutState state(canvas);
  canvas.SetFont(state.BaseFont);
  canvas.SetTransparentText();
  state.CurX = state.CurY = 20;
  std::int32_t width = 0, height = 0;
  layout(state, tree.Root(), width, height, false);
  return canvas.Image();
}

// The reference layout and the real one leave the same pixels, although the
// reference measures far more.
TEST(PictureTest, SameImageAsTheReferenceLayout) {
  for (std::uint32_t seed : {0u, 3u, 11u, 42u}) {
    const QImage reference = PaintWith(ReferenceDrawTheLine, seed);
    const QImage actual = PaintWith(DrawTheLine, seed);
    EXPECT_TRUE(actual == reference) << "seed " << seed;
    if (seed == 42) SaveArtefact(actual, "random-tree-42.png");
  }
}

// Each fraction's numerator is the next fraction alone: a tower as narrow as
// its innermost fraction.
void BuildTower(TFormulaLine* line, int depth) {
  for (int level = 0; level < depth; ++level) {
    TFormulaEntry& fraction = AddFunction(line, fkBruch);
    AppendTermEntry(fraction.Second, u"2");
    line = fraction.First;
  }
  AppendTermEntry(line, u"1");
}

TEST(PictureTest, ThousandNestedFractionsPaint) {
  TFormulaTree tree;
  BuildTower(tree.Root(), 1000);
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = tree.Root();
  const TSize size = PaintComplete(canvas, input);
  EXPECT_EQ(canvas.Height(), size.cy);
  EXPECT_GT(size.cy, 1000 * 20);
  // Every level adds a bar and a "2": ink in more than a third of the rows.
  EXPECT_GT(InkedCount(canvas.Image(), false), size.cy / 3);
}

}  // namespace
