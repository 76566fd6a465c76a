// Writing and reading a document of 100,000 entries, in memory and through
// a file (the file write includes its fsync), and reading one line of a
// million entries, which must go as fast per byte as short lines. The
// argument is the shape: 0 one long line, 1 lines of 100, 2 one line of a
// million, 3 fractions of one-term lines (50,000 entries).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "docfile/DocFile.h"

namespace {

constexpr int kEntries = 100000;

const char16_t kTerm[] = u"12 * 3 / 2 * x + ";

// Terms only, all in one root line. Its block is made at once: grown a
// step of 100 at a time, a million entries would be copied for minutes.
TFormulaLine* BuildLongLine(TEntryCursor* cursor, int entries) {
  TFormulaLine* root = CreateLine(cursor);
  root->Reserve(static_cast<std::uint32_t>(entries));
  for (int i = 0; i < entries; ++i) AppendTermEntry(root, kTerm)->BoxWidth = i;
  return root;
}

// The same terms in lines of 100 entries: roots whose bodies hold 99 terms.
TFormulaLine* BuildShortLines(TEntryCursor* cursor, int entries) {
  TFormulaLine* root = CreateLine(cursor);
  for (int i = 0; i < entries / 100; ++i) {
    TFormulaEntry* body = AppendFunctionEntry(root, fkWurzel);
    for (int j = 0; j < 99; ++j) AppendTermEntry(body->First, kTerm);
  }
  return root;
}

// A term, then a fraction of two one-term lines. Every line holds a block of
// 100 entries, however few it uses, so this shape reads the slowest per byte;
// half the entries of the others keep it within the readers' block budget.
TFormulaLine* BuildSmallFractions(TEntryCursor* cursor, int entries) {
  TFormulaLine* root = CreateLine(cursor);
  for (int i = 0; i < entries / 4; ++i) {
    AppendTermEntry(root, kTerm);
    TFormulaEntry* fraction = AppendFunctionEntry(root, fkBruch);
    AppendTermEntry(fraction->First, u" 2 + 5 ");
    AppendTermEntry(fraction->Second, u" 3 + 5 ");
  }
  return root;
}

enum TShape { kLongLine, kShortLines, kMillionLine, kSmallFractions, kShapeCount };

struct TLargeDocument {
  TEntryCursor Cursor = nullptr;
  TDocument Document;
  std::vector<std::uint8_t> Bytes;
  explicit TLargeDocument(int shape) {
    switch (shape) {
      case kLongLine:
        Document.Root = BuildLongLine(&Cursor, kEntries);
        break;
      case kShortLines:
        Document.Root = BuildShortLines(&Cursor, kEntries);
        break;
      case kMillionLine:
        Document.Root = BuildLongLine(&Cursor, 10 * kEntries);
        break;
      default:
        Document.Root = BuildSmallFractions(&Cursor, kEntries / 2);
        break;
    }
    Bytes = EncodeDocument(Document);
  }
  ~TLargeDocument() { Document.Release(); }
};

// The argument is a TShape.
const TLargeDocument& Large(const benchmark::State& state) {
  static const TLargeDocument* documents[kShapeCount] = {};
  const auto shape = static_cast<int>(state.range(0));
  if (documents[shape] == nullptr) documents[shape] = new TLargeDocument(shape);
  return *documents[shape];
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
BENCHMARK(BM_Decode)->DenseRange(0, kShapeCount - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
