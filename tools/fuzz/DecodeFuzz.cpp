// libFuzzer target over the document reader. Besides crashes and leaks it
// checks that whatever the reader accepts, the writer writes so that the
// reader reads the very same document again.
#include <bit>
#include <cstdlib>
#include <string>

#include "docfile/DocFile.h"
#include "tools/fuzz/Quiet.h"

namespace {

bool SameTree(const TFormulaLine* a, const TFormulaLine* b) {
  if (a == nullptr || b == nullptr) return a == b;
  if (a->Count() != b->Count()) return false;
  for (std::uint32_t i = 0; i < a->Count(); ++i) {
    const TFormulaEntry& x = *EntryAt(*a, i);
    const TFormulaEntry& y = *EntryAt(*b, i);
    if (x.IsFunction != y.IsFunction || x.Kind != y.Kind || TextOf(x.Text1) != TextOf(y.Text1) ||
        TextOf(x.Text2) != TextOf(y.Text2) || !SameTree(x.First, y.First) ||
        !SameTree(x.Second, y.Second)) {
      return false;
    }
    for (const auto field : kLayoutFields) {
      if (x.*field != y.*field) return false;
    }
  }
  return true;
}

bool SameDocument(const TDocument& a, const TDocument& b) {
  return SameTree(a.Root, b.Root) && a.Font == b.Font && a.Background == b.Background &&
         std::bit_cast<std::uint64_t>(a.Margin) == std::bit_cast<std::uint64_t>(b.Margin);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietAllocFailures();

  TEntryCursor cursor = nullptr;
  TDocument first;
  std::string error;
  if (!DecodeDocument({data, size}, &cursor, first, error)) {
    if (error.empty() || first.Root != nullptr) std::abort();
    return 0;
  }
  TDocument second;
  if (!DecodeDocument(EncodeDocument(first), &cursor, second, error)) std::abort();
  if (!SameDocument(first, second)) std::abort();
  (void)MarginFromStored(first.Margin);
  (void)FontFromStored(first.Font);
  first.Release();
  second.Release();
  return 0;
}
