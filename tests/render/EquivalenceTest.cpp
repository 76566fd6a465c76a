// The layout measures each sequence once per call; the reference lays every
// nested sequence out again in each pass above it. Their results must not
// differ in anything: sizes, position, layout fields, drawing.
#include <gtest/gtest.h>

#include "render/Paint.h"
#include "tests/render/FixedMetrics.h"
#include "tests/render/ReferenceLayout.h"

namespace {

using TLayoutFunction = void (*)(TLayoutState&, TFormulaLine*, std::int32_t&, std::int32_t&, bool);

struct TOutcome {
  TSize Size;
  std::int32_t CurX = 0;
  std::int32_t CurY = 0;
  std::vector<TEntryLayout> Fields;
  std::vector<TDrawOp> Ops;
};

struct TSetting {
  const char* description;
  std::int32_t canvasSize;  // 0: every pixel read falls outside
  bool measureOnly;
  std::int32_t baseHeight;
};

constexpr TSetting kSettings[] = {
    {"drawing on a large bitmap", 2000, false, -13},
    {"drawing on an empty bitmap", 0, false, -13},
    {"measuring only", 2000, true, -13},
    {"drawing in a 1-point font", 2000, false, -1},
};

TOutcome LayOutRandomTree(TLayoutFunction layout, std::uint32_t seed, const TSetting& setting) {
  TFormulaTree tree;
  BuildRandomTree(tree.Root(), seed);
  TTestCanvas canvas(setting.canvasSize, setting.canvasSize);
  TLayoutState state(canvas);
  state.BaseFont.Height = setting.baseHeight;
  state.CurX = 20;
  state.CurY = 30;
  canvas.SetFont(state.BaseFont);
  TOutcome outcome;
  layout(state, tree.Root(), outcome.Size.cx, outcome.Size.cy, setting.measureOnly);
  outcome.CurX = state.CurX;
  outcome.CurY = state.CurY;
  outcome.Fields = CollectLayoutFields(tree.Root());
  outcome.Ops = canvas.Ops();
  return outcome;
}

void ExpectSameOutcome(const TOutcome& reference, const TOutcome& actual, const std::string& what) {
  EXPECT_EQ(actual.Size, reference.Size) << what;
  EXPECT_EQ(actual.CurX, reference.CurX) << what;
  EXPECT_EQ(actual.CurY, reference.CurY) << what;
  EXPECT_EQ(FieldsOf(actual.Fields), FieldsOf(reference.Fields)) << what;
  ASSERT_EQ(actual.Ops.size(), reference.Ops.size()) << what;
  for (std::size_t i = 0; i < actual.Ops.size(); ++i) {
    ASSERT_EQ(actual.Ops[i], reference.Ops[i])
        << what << ", operation " << i << ": " << Describe(actual.Ops[i]) << " instead of "
        << Describe(reference.Ops[i]);
  }
}

TEST(EquivalenceTest, RandomTreesLayOutExactlyAsTheReference) {
  std::size_t entries = 0, drawn = 0;
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    for (const TSetting& setting : kSettings) {
      const TOutcome reference = LayOutRandomTree(ReferenceDrawTheLine, seed, setting);
      const TOutcome actual = LayOutRandomTree(DrawTheLine, seed, setting);
      ExpectSameOutcome(reference, actual,
                        std::string(setting.description) + ", seed " + std::to_string(seed));
      entries += reference.Fields.size();
      drawn += reference.Ops.size();
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
  // The trees are not trivial: on average dozens of entries and strokes each.
  EXPECT_GT(entries, 400u * 4 * 20);
  EXPECT_GT(drawn, 400u * 3 * 20);
}

TEST(EquivalenceTest, SampleFormulaLaysOutExactlyAsTheReference) {
  TOutcome outcomes[2];
  const TLayoutFunction layouts[2] = {ReferenceDrawTheLine, DrawTheLine};
  for (int i = 0; i < 2; ++i) {
    TFormulaTree tree;
    BuildSampleFormula(tree.Root());
    TTestCanvas canvas(600, 600);
    TLayoutState state(canvas);
    canvas.SetFont(state.BaseFont);
    layouts[i](state, tree.Root(), outcomes[i].Size.cx, outcomes[i].Size.cy, false);
    outcomes[i].Fields = CollectLayoutFields(tree.Root());
    outcomes[i].Ops = canvas.Ops();
  }
  ExpectSameOutcome(outcomes[0], outcomes[1], "sample formula");
}

// A canvas that counts how often text is measured: the layout's work.
class TCountingCanvas : public TTestCanvas {
 public:
  using TTestCanvas::TTestCanvas;
  TSize TextExtent(std::u16string_view text) override {
    ++measured;
    return TTestCanvas::TextExtent(text);
  }
  long measured = 0;
};

long MeasurementsForChain(TLayoutFunction layout, std::uint32_t kind, int depth) {
  TFormulaTree tree;
  BuildChain(tree.Root(), kind, depth);
  TCountingCanvas canvas(100, 100);
  TLayoutState state(canvas);
  std::int32_t width = 0, height = 0;
  layout(state, tree.Root(), width, height, false);
  return canvas.measured;
}

// Twice the depth costs twice the work, where two more levels cost the
// reference four times as much.
TEST(EquivalenceTest, WorkGrowsLinearlyWithNesting) {
  for (std::uint32_t kind : {std::uint32_t{fkBruch}, std::uint32_t{fkPotenz}}) {
    const long at10 = MeasurementsForChain(DrawTheLine, kind, 10);
    const long at20 = MeasurementsForChain(DrawTheLine, kind, 20);
    EXPECT_LE(at20, 2 * at10 + 10) << "kind " << kind;
    const long referenceAt10 = MeasurementsForChain(ReferenceDrawTheLine, kind, 10);
    const long referenceAt12 = MeasurementsForChain(ReferenceDrawTheLine, kind, 12);
    EXPECT_GT(referenceAt12, 3 * referenceAt10) << "kind " << kind;
  }
}

// A document may nest a thousand levels deep.
TEST(DeepNestingTest, ThousandLevelsOfEveryKindPaint) {
  for (std::uint32_t kind = 0; kind < kFunctionKindCount; ++kind) {
    TFormulaTree tree;
    BuildChain(tree.Root(), kind, 1000);
    TTestCanvas canvas;
    TPaintInput input;
    input.Root = tree.Root();
    const TSize size = PaintComplete(canvas, input);
    EXPECT_GT(size.cx, 0) << "kind " << kind;
    EXPECT_GT(size.cy, 0) << "kind " << kind;
    EXPECT_LE(size.cy, kCoordLimit + 40) << "kind " << kind;
    EXPECT_EQ(canvas.Width(), size.cx);
  }
}

TEST(DeepNestingTest, FractionsStackTwentySixPixelsPerLevel) {
  TFormulaTree tree;
  BuildChain(tree.Root(), fkBruch, 1000);
  TTestCanvas canvas(100, 100);
  TLayoutState state(canvas);
  // Innermost: 16 over 10 over 16; every level above adds spacing and its "2".
  EXPECT_EQ(LayOut(state, tree.Root()).cy, 42 + 999 * 26);
}

// Roots grow by half their height per level: sizes stop at the bound
// instead of overflowing.
TEST(DeepNestingTest, RunawaySizesAreHeldAtTheBound) {
  TFormulaTree tree;
  BuildChain(tree.Root(), fkWurzel, 80);
  TTestCanvas canvas(100, 100);
  TLayoutState state(canvas);
  const TSize size = LayOut(state, tree.Root());
  EXPECT_EQ(size.cy, kCoordLimit);
  EXPECT_EQ(size.cx, kCoordLimit);
}

}  // namespace
