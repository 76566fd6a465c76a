// Writing and reading a document of 100,000 entries, in memory and through
// a file (the file write includes its fsync), and reading one line of a
// million entries, which must go as fast per byte as short lines.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "docfile/DocFile.h"

namespace {

constexpr int kEntries = 100000;

// A term, then a fraction of two terms, all in one long root line. The
// line's storage grows in fixed steps, so its length weighs on reading.
TFormulaLine* BuildLongLine(TEntryCursor* cursor, int entries) {
  TFormulaLine* root = CreateLine(cursor);
  for (int i = 0; i < entries / 4; ++i) {
    AppendTermEntry(root, u"12 * 3 / 2 * x + ");
    TFormulaEntry* fraction = AppendFunctionEntry(root, fkBruch);
    fraction->BoxWidth = i;
    AppendTermEntry(fraction->First, u" 2 + 5 ");
    AppendTermEntry(fraction->Second, u" 3 + 5 ");
  }
  return root;
}

// The same number of entries in lines of at most 100: fractions whose
// numerators hold 98 terms each.
TFormulaLine* BuildShortLines(TEntryCursor* cursor) {
  TFormulaLine* root = CreateLine(cursor);
  for (int i = 0; i < kEntries / 100; ++i) {
    TFormulaEntry* fraction = AppendFunctionEntry(root, fkBruch);
    for (int j = 0; j < 98; ++j) AppendTermEntry(fraction->First, u"12 * 3 / 2 * x + ");
    AppendTermEntry(fraction->Second, u" 3 + 5 ");
  }
  return root;
}

struct TLargeDocument {
  TEntryCursor Cursor = nullptr;
  TDocument Document;
  std::vector<std::uint8_t> Bytes;
  explicit TLargeDocument(int kind) {
    Document.Root = kind == 1 ? BuildShortLines(&Cursor)
                              : BuildLongLine(&Cursor, kind == 0 ? kEntries : 10 * kEntries);
    Bytes = EncodeDocument(Document);
  }
  ~TLargeDocument() { Document.Release(); }
};

// Argument 0: one long line; 1: short lines; 2: one line of a million entries.
const TLargeDocument& Large(const benchmark::State& state) {
  static const TLargeDocument* documents[3] = {};
  const auto kind = static_cast<int>(state.range(0));
  if (documents[kind] == nullptr) documents[kind] = new TLargeDocument(kind);
  return *documents[kind];
}

std::string TempPath() {
  return (std::filesystem::temp_directory_path() / "bench_docfile.qmt").string();
}

void BM_Encode(benchmark::State& state) {
  const TLargeDocument& large = Large(state);
  for (auto _ : state) benchmark::DoNotOptimize(EncodeDocument(large.Document));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(large.Bytes.size()));
}

void BM_Decode(benchmark::State& state) {
  const TLargeDocument& large = Large(state);
  TEntryCursor cursor = nullptr;
  for (auto _ : state) {
    TDocument read;
    std::string error;
    if (!DecodeDocument(large.Bytes, &cursor, read, error)) state.SkipWithError(error.c_str());
    read.Release();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(large.Bytes.size()));
}

void BM_SaveFile(benchmark::State& state) {
  const TLargeDocument& large = Large(state);
  const std::string path = TempPath();
  for (auto _ : state) {
    std::string error;
    if (!WriteDocumentFile(path, EncodeDocument(large.Document), error)) {
      state.SkipWithError(error.c_str());
    }
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(large.Bytes.size()));
}

void BM_OpenFile(benchmark::State& state) {
  const TLargeDocument& large = Large(state);
  const std::string path = TempPath();
  std::string error;
  WriteDocumentFile(path, large.Bytes, error);
  TEntryCursor cursor = nullptr;
  for (auto _ : state) {
    std::vector<std::uint8_t> bytes;
    TDocument read;
    if (!ReadDocumentFile(path, bytes, error) || !DecodeDocument(bytes, &cursor, read, error)) {
      state.SkipWithError(error.c_str());
    }
    read.Release();
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(large.Bytes.size()));
}

BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
