// What a long document costs in memory per entry, as `dump` and `render`
// hold it: the tree read from the file, the JSON on its way out, the
// recording of the paint. Every operator new and every block of the record
// arrays is counted; the figure is the peak above what was held before,
// divided by the number of entries (counter bytes_per_entry; text_bytes is
// what the entry's own texts take as UTF-16).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "docfile/DocFile.h"
#include "export/Export.h"
#include "tools/DocJson.h"

namespace {

std::atomic<std::int64_t> gLive{0};
std::atomic<std::int64_t> gPeak{0};

void* Counted(void* block) {
  if (block == nullptr) return nullptr;
  const std::int64_t live = gLive += static_cast<std::int64_t>(malloc_usable_size(block));
  std::int64_t peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
  return block;
}

void Uncount(void* block) {
  if (block != nullptr) gLive -= static_cast<std::int64_t>(malloc_usable_size(block));
}

void* CountedCalloc(std::size_t bytes) { return Counted(std::calloc(1, bytes)); }
void CountedFree(void* block) {
  Uncount(block);
  std::free(block);
}

constexpr int kEntries = 200000;
const char16_t kTerm[] = u"12 * 3 / 2 * x + ";

// Argument 0: one long root line of terms. Argument 1: a term, then a
// fraction of two one-term lines; every line holds a block of 100 entries
// however few it uses, which this shape shows.
std::vector<std::uint8_t> LongLineFile(bool smallFractions) {
  TEntryCursor cursor = nullptr;
  TDocument document;
  document.Root = CreateLine(&cursor);
  for (int i = 0; i < kEntries / 4; ++i) {
    AppendTermEntry(document.Root, kTerm);
    if (!smallFractions) {
      for (int j = 0; j < 3; ++j) AppendTermEntry(document.Root, kTerm);
      continue;
    }
    TFormulaEntry* fraction = AppendFunctionEntry(document.Root, fkBruch);
    AppendTermEntry(fraction->First, u" 2 + 5 ");
    AppendTermEntry(fraction->Second, u" 3 + 5 ");
  }
  std::vector<std::uint8_t> bytes = EncodeDocument(document);
  document.Release();
  return bytes;
}

const std::vector<std::uint8_t>& File(bool smallFractions) {
  static const std::vector<std::uint8_t> files[2] = {LongLineFile(false), LongLineFile(true)};
  return files[smallFractions ? 1 : 0];
}

// Runs `work` on the document read from File() and reports the peak.
template <class TWork>
void MeasurePerEntry(benchmark::State& state, TWork work) {
  // The file is made before anything is counted: making it is not reading it.
  const std::vector<std::uint8_t>& file = File(state.range(0) != 0);
  SetBlockAllocator(CountedCalloc, CountedFree);
  std::int64_t worst = 0;
  for (auto _ : state) {
    const std::int64_t before = gLive.load();
    gPeak = before;
    TEntryCursor cursor = nullptr;
    TDocument document;
    std::string error;
    if (!DecodeDocument(file, &cursor, document, error)) state.SkipWithError(error.c_str());
    work(document, &cursor);
    document.Release();
    worst = std::max(worst, gPeak.load() - before);
  }
  ResetBlockAllocator();
  state.counters["bytes_per_entry"] = static_cast<double>(worst) / kEntries;
  // Four terms hold 4 * 17 units; a term, a fraction and its two terms 17 + 7 + 7.
  state.counters["text_bytes"] = 2.0 * (state.range(0) != 0 ? 17 + 7 + 7 : 4 * 17) / 4;
}

void BM_DumpMemory(benchmark::State& state) {
  MeasurePerEntry(state, [](const TDocument& document, TEntryCursor*) {
    std::size_t written = 0;
    TJsonWriter out([&written](std::string_view text) { written += text.size(); });
    out.BeginObject();
    WriteDocumentMembers(document, out);
    out.EndObject();
    out.Finish();
    benchmark::DoNotOptimize(written);
  });
}

// The paint of render, without the picture file: this long line is beyond
// the pixel limit, so what remains is the layout and its recording.
void BM_RenderMemory(benchmark::State& state) {
  MeasurePerEntry(state, [](TDocument& document, TEntryCursor*) {
    TPaintInput input;
    input.Root = document.Root;
    benchmark::DoNotOptimize(PaintPicture(input));
  });
}

BENCHMARK(BM_DumpMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_RenderMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

void* operator new(std::size_t bytes) {
  void* block = Counted(std::malloc(bytes == 0 ? 1 : bytes));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept {
  Uncount(block);
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
