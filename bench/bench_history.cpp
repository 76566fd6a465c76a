// What one undo step costs: the snapshot of the document, recording it in
// the history, bringing a state back; and the hit test of a double-click or
// a mouse move. The start-up formula and a document of 10,000 entries.
#include <benchmark/benchmark.h>

#include "history/UndoHistory.h"
#include "render/HitMap.h"
#include "render/Paint.h"
#include "tests/render/TestCanvas.h"
#include "tests/render/FormulaTrees.h"

namespace {

constexpr int kLargeEntries = 10000;

void Build(TFormulaLine* root, bool large) {
  if (large) {
    BuildTermsAndFractions(root, kLargeEntries);
  } else {
    BuildSampleFormula(root);
  }
}

void BM_Snapshot(benchmark::State& state) {
  TFormulaTree tree;
  Build(tree.Root(), state.range(0) != 0);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const TDocumentState snapshot = TakeSnapshot(tree.Root(), {}, kWhite, 20);
    bytes = snapshot.Bytes.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Snapshot)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A whole step as the main window records it: the snapshot, the comparison
// with the state before and the history's bookkeeping.
void BM_RecordStep(benchmark::State& state) {
  TFormulaTree tree;
  Build(tree.Root(), state.range(0) != 0);
  TUndoHistory history;
  history.Reset(TakeSnapshot(tree.Root(), {}, kWhite, 20));
  std::int32_t margin = 20;
  for (auto _ : state) {
    margin = margin == 20 ? 21 : 20;
    benchmark::DoNotOptimize(history.Record("Rand", TakeSnapshot(tree.Root(), {}, kWhite, margin)));
  }
  state.counters["steps_kept"] = static_cast<double>(history.StepCount());
  state.counters["history_MiB"] = static_cast<double>(history.MemoryBytes()) / (1 << 20);
}
BENCHMARK(BM_RecordStep)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Undo: the state decoded into a new tree, the old tree released.
void BM_Restore(benchmark::State& state) {
  TFormulaTree tree;
  Build(tree.Root(), state.range(0) != 0);
  const TDocumentState snapshot = TakeSnapshot(tree.Root(), {}, kWhite, 20);
  TEntryCursor cursor = nullptr;
  for (auto _ : state) {
    TRestoredDocument restored;
    std::string error;
    if (!RestoreSnapshot(snapshot, &cursor, restored, error)) state.SkipWithError(error.c_str());
    freetheline(restored.Root);
  }
}
BENCHMARK(BM_Restore)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One hit test at a point that moves across the picture, as the mouse does.
void BM_HitTest(benchmark::State& state) {
  TFormulaTree tree;
  Build(tree.Root(), state.range(0) != 0);
  TTestCanvas canvas;
  THitMap hits;
  TPaintInput input;
  input.Root = tree.Root();
  input.Hits = &hits;
  const TSize size = PaintComplete(canvas, input);
  std::int32_t x = 0;
  for (auto _ : state) {
    x = (x + 7) % size.cx;
    benchmark::DoNotOptimize(hits.HitAt(x, size.cy / 2));
  }
  state.counters["boxes"] = static_cast<double>(hits.Size());
}
BENCHMARK(BM_HitTest)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
