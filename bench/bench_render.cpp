// The cost of a paint: the start-up formula on the QImage canvas, long rows,
// and deep nesting, where the reference layout (every nested sequence laid
// out again in each pass above it) shows what measuring once per paint saves.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "model/FontDesc.h"
#include "render/Canvas.h"
#include "render/Layout.h"
#include "render/Paint.h"
#include "render/QImageCanvas.h"
#include "tests/render/TestCanvas.h"
#include "tests/render/FormulaTrees.h"
#include "tests/render/ReferenceLayout.h"

namespace {

// Fixed metrics and no recording: the layout's own cost, without a font
// engine or a growing list of operations.
class TSilentCanvas : public TTestCanvas {
 public:
  using TTestCanvas::TTestCanvas;
  void TextOut(std::int32_t, std::int32_t, std::u16string_view) override {}
  void LineTo(std::int32_t x, std::int32_t y) override { MoveTo(x, y); }
  void FillRect(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
};

using TLayoutFunction = void (*)(TLayoutState&, TFormulaLine*, std::int32_t&, std::int32_t&, bool);

void LayOutRepeatedly(benchmark::State& state, TCanvas& canvas, TFormulaLine* root,
                      TLayoutFunction layout, bool measureOnly) {
  TLayoutState layoutState(canvas);
  canvas.SetFont(layoutState.BaseFont);
  for (auto _ : state) {
    layoutState.CurX = layoutState.CurY = 20;
    std::int32_t width = 0, height = 0;
    layout(layoutState, root, width, height, measureOnly);
    benchmark::DoNotOptimize(width);
    benchmark::DoNotOptimize(height);
  }
}

void BM_PaintSampleFormulaOnQImage(benchmark::State& state) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = tree.Root();
  PaintComplete(canvas, input);  // at its size: every paint below is one run
  for (auto _ : state) benchmark::DoNotOptimize(PaintFormula(canvas, input));
}
BENCHMARK(BM_PaintSampleFormulaOnQImage)->Unit(benchmark::kMicrosecond);

// Nested powers: parentheses of up to a few hundred pixels, drawn from the
// images of large text (TextImages.h).
void BM_PaintPowerChainOnQImage(benchmark::State& state) {
  TFormulaTree tree;
  BuildChain(tree.Root(), fkPotenz, static_cast<int>(state.range(0)));
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = tree.Root();
  PaintComplete(canvas, input);
  for (auto _ : state) benchmark::DoNotOptimize(PaintFormula(canvas, input));
}
BENCHMARK(BM_PaintPowerChainOnQImage)->Arg(8)->Unit(benchmark::kMicrosecond);

// The start-up formula and 16 × "W" at 7500 pt, about 158,000 × 11,700
// pixels: beyond the picture limit. Each run paints it over the bitmap of
// the picture at the start-up font, as the editor does when the font grows,
// in a colour of its own, so that no large text comes from the store of
// text images. Refused from its size, it draws nothing.
void BM_PaintBeyondTheLimitOnQImage(benchmark::State& state) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  AppendTermEntry(tree.Root(), u"WWWWWWWWWWWWWWWW");
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = tree.Root();
  const TSize small = PaintComplete(canvas, input);
  input.Font.Height = HeightFromPointSize(7500, kScreenPixelsPerInch);
  std::uint32_t colour = 0;
  for (auto _ : state) {
    state.PauseTiming();
    canvas.Resize(small.cx, small.cy);
    input.Font.Color = ++colour;
    state.ResumeTiming();
    benchmark::DoNotOptimize(PaintFormula(canvas, input));
  }
}
BENCHMARK(BM_PaintBeyondTheLimitOnQImage)->Unit(benchmark::kMillisecond);

// Measuring a long row with the real font (drawing it would mostly fill a
// bitmap tens of thousands of pixels wide).
void BM_MeasureFlatRowOnQImage(benchmark::State& state) {
  TFormulaTree tree;
  BuildFlatRow(tree.Root(), static_cast<int>(state.range(0)));
  TQImageCanvas canvas;
  LayOutRepeatedly(state, canvas, tree.Root(), DrawTheLine, true);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MeasureFlatRowOnQImage)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_DrawFlatRow(benchmark::State& state) {
  TFormulaTree tree;
  BuildFlatRow(tree.Root(), static_cast<int>(state.range(0)));
  TSilentCanvas canvas(100, 100);
  LayOutRepeatedly(state, canvas, tree.Root(), DrawTheLine, false);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrawFlatRow)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Chains: each level a function nested in the First of the one before.
template <std::uint32_t Kind>
void BM_DrawChain(benchmark::State& state, TLayoutFunction layout) {
  TFormulaTree tree;
  BuildChain(tree.Root(), Kind, static_cast<int>(state.range(0)));
  TSilentCanvas canvas(100, 100);
  LayOutRepeatedly(state, canvas, tree.Root(), layout, false);
}

void BM_FractionChain(benchmark::State& state) { BM_DrawChain<fkBruch>(state, DrawTheLine); }
void BM_PowerChain(benchmark::State& state) { BM_DrawChain<fkPotenz>(state, DrawTheLine); }
void BM_FractionChainReference(benchmark::State& state) {
  BM_DrawChain<fkBruch>(state, ReferenceDrawTheLine);
}
void BM_PowerChainReference(benchmark::State& state) {
  BM_DrawChain<fkPotenz>(state, ReferenceDrawTheLine);
}
BENCHMARK(BM_FractionChain)->Arg(8)->Arg(12)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerChain)->Arg(8)->Arg(12)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FractionChainReference)->Arg(8)->Arg(12)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PowerChainReference)->Arg(8)->Arg(12)->Unit(benchmark::kMicrosecond);

}  // namespace
