// The boxes a paint records for the double-click, checked against the
// worked example by hand and against where the drawing put every text and
// stroke, on the fixed-metrics canvas.
#include <gtest/gtest.h>

#include <string>

#include "render/HitMap.h"
#include "render/Paint.h"
#include "tests/render/FixedMetrics.h"

namespace {

using enum THitKind;
constexpr TSequencePart kFirst = TSequencePart::First;
constexpr TSequencePart kSecond = TSequencePart::Second;

// Paints `tree` completely at margin 20 and keeps what the last paint placed.
struct TPaintedTree {
  TFormulaTree Tree;
  TTestCanvas Canvas;
  THitMap Hits;

  void Paint() {
    TPaintInput input;
    input.Root = Tree.Root();
    input.Hits = &Hits;
    PaintComplete(Canvas, input);
    // The drawing of one paint, and where that paint placed the entries.
    Canvas.ClearOps();
    PaintFormula(Canvas, input);
  }
  TFormulaLine* Root() { return Tree.Root(); }
  const TFormulaEntry* EntryOf(const THit& hit) {
    TFormulaLine* root = Tree.Root();
    TFormulaLine** line = SequenceSlot(&root, hit.Line);
    return line != nullptr && hit.Index < (*line)->Count() ? EntryAt(**line, hit.Index) : nullptr;
  }
};

struct TExpectedHit {
  std::int32_t X;
  std::int32_t Y;
  THitKind Kind;
  TSequencePath Line;
  std::uint32_t Index = 0;
  TSequencePart Part = kFirst;
};

void ExpectHit(const THitMap& hits, const TExpectedHit& expected) {
  const THit hit = hits.HitAt(expected.X, expected.Y);
  SCOPED_TRACE(testing::Message() << "at " << expected.X << "," << expected.Y);
  EXPECT_EQ(hit.Kind, expected.Kind);
  if (expected.Kind == Background) return;
  EXPECT_EQ(hit.Line, expected.Line);
  EXPECT_EQ(hit.Index, expected.Index);
  if (expected.Kind == Body) {
    EXPECT_EQ(hit.Part, expected.Part);
  }
}

// "1 + " (cx 32) at (25, 33), its box from x 20 to 62; the fraction's box at
// (62, 20), 18 by 42; "1" at (67, 20), "3" at (67, 46), the bar at y 41.
TEST(HitMapTest, WorkedExampleByHand) {
  TPaintedTree painted;
  AppendTermEntry(painted.Root(), u"1 + ");
  AddStacked(painted.Root(), fkBruch, u"1", u"3");
  painted.Paint();
  const std::initializer_list<TExpectedHit> cases = {
      {5, 5, Background, {}},
      {30, 25, Background, {}},
      {20, 33, Term, {}, 0},
      {61, 48, Term, {}, 0},
      {70, 25, Term, {{1, kFirst}}, 0},
      {70, 50, Term, {{1, kSecond}}, 0},
      {70, 41, Function, {}, 1},  // the bar
      {70, 37, Function, {}, 1},  // the gap above it
      {80, 30, Background, {}},   // right of the fraction's box
  };
  for (const TExpectedHit& expected : cases) ExpectHit(painted.Hits, expected);
}

// For every kind: "x" then the function with a narrow upper part "a" over a
// wide lower part "bbbbb". A point on the function's own drawing (the bar in
// the gap, elsewhere the sign or parenthesis left of the sequences), the
// terms of both parts, and the space beside "a": the body, off any term.
TEST(HitMapTest, OwnDrawingAndBothBodiesOfEveryKindAreTold) {
  for (const std::uint32_t kind :
       {fkBruch, fkWurzel, fkSumme, fkPotenz, fkBetrag, fkIntegral, fkUser}) {
    SCOPED_TRACE(kind);
    TPaintedTree painted;
    AppendTermEntry(painted.Root(), u"x");
    TFormulaEntry& function = AddStacked(painted.Root(), kind, u"a", u"bbbbb");
    painted.Paint();
    const TTextOp x = painted.Canvas.Texts().front();
    const std::int32_t xs = x.X - 5 + 18;  // the box starts after the term "x"
    std::int32_t yt = -1;
    for (std::int32_t y = 0; y < painted.Canvas.Height() && yt < 0; ++y) {
      if (painted.Hits.HitAt(xs, y).Index == 1) yt = y;
    }
    ASSERT_GE(yt, 0);
    const bool bar = kind == fkBruch;
    const std::int32_t ownX = xs + (bar ? 1 : function.LeftInset / 2);
    const std::int32_t ownY = yt + (bar ? function.TopInset + 16 + 5 : function.BoxHeight / 2);
    ExpectHit(painted.Hits, {ownX, ownY, Function, {}, 1});
    for (const TTextOp& text : painted.Canvas.Texts()) {
      if (text.Text != u"a" && text.Text != u"bbbbb") continue;
      const bool upper = text.Text == u"a";
      ExpectHit(painted.Hits, {text.X, text.Y + 8, Term, {{1, upper ? kFirst : kSecond}}, 0});
      if (upper && kind != fkPotenz) {
        // Left of the centred "a", still above the wide lower part.
        ExpectHit(painted.Hits, {text.X - 10, text.Y + 8, Body, {}, 1, kFirst});
      }
    }
  }
}

// Every text the paint drew lies on what draws it: a term's text on that
// term, a sign, bound, index, parenthesis or name on its function; every
// stroke on its function.
TEST(HitMapTest, EveryDrawnTextAndStrokeOfTheStartUpFormulaLeadsToItsEntry) {
  TPaintedTree painted;
  BuildSampleFormula(painted.Root());
  painted.Paint();
  int terms = 0;
  int deepest = 0;
  for (const TTextOp& text : painted.Canvas.Texts()) {
    const std::int32_t width = static_cast<std::int32_t>(text.Text.size()) * 8;
    const THit hit = painted.Hits.HitAt(text.X + width / 2, text.Y + 8);
    const TFormulaEntry* entry = painted.EntryOf(hit);
    SCOPED_TRACE(std::string(text.Text.begin(), text.Text.end()));
    ASSERT_NE(entry, nullptr);
    if (hit.Kind == Term) {
      EXPECT_EQ(ConvertOperators(TextOf(entry->Text1)), text.Text);
      ++terms;
    } else {
      EXPECT_EQ(hit.Kind, Function);
    }
    // The picture's deepest term: the first " x + 5 ", in the sum in the
    // exponent of the power in the first integral.
    if (text.Text != u" x + 5 " || deepest++ > 0) continue;
    EXPECT_EQ(hit.Line, (TSequencePath{{1, kFirst}, {0, kFirst}, {1, kFirst}}));
  }
  EXPECT_EQ(terms, 10);
  EXPECT_GT(deepest, 0);
  for (const TLineOp& line : painted.Canvas.Lines()) {
    const THit hit = painted.Hits.HitAt((line.X1 + line.X2) / 2, (line.Y1 + line.Y2) / 2);
    EXPECT_EQ(hit.Kind, Function) << line.X1 << "," << line.Y1 << " " << line.X2 << "," << line.Y2;
  }
}

TEST(HitMapTest, APathThatNoLongerFitsTheTreeLeadsNowhere) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  TFormulaLine* root = tree.Root();
  EXPECT_EQ(SequenceSlot(&root, {}), &root);
  TFormulaLine** exponent = SequenceSlot(&root, {{1, kFirst}, {0, kFirst}});
  ASSERT_NE(exponent, nullptr);
  EXPECT_EQ((*exponent)->Count(), 2u);
  EXPECT_EQ(SequenceSlot(&root, {{9, kFirst}}), nullptr);   // beyond the row
  EXPECT_EQ(SequenceSlot(&root, {{0, kFirst}}), nullptr);   // a term has no sequences
  EXPECT_EQ(SequenceSlot(&root, {{1, kSecond}}), nullptr);  // an absent Second
}

}  // namespace
