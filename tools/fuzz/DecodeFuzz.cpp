// libFuzzer target over the document reader. Besides crashes and leaks it
// checks that whatever the reader accepts, the writer writes so that the
// reader reads the very same document again: the second writing gives the
// same bytes as the first, as in the JSON target.
#include <cstdlib>
#include <string>

#include "docfile/DocFile.h"
#include "tools/fuzz/Quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietAllocFailures();

  TEntryCursor cursor = nullptr;
  TDocument first;
  std::string error;
  if (!DecodeDocument({data, size}, &cursor, first, error)) {
    if (error.empty() || first.Root != nullptr) std::abort();
    return 0;
  }
  const std::vector<std::uint8_t> written = EncodeDocument(first);
  TDocument second;
  if (!DecodeDocument(written, &cursor, second, error)) std::abort();
  if (EncodeDocument(second) != written) std::abort();
  (void)MarginFromStored(first.Margin);
  (void)FontFromStored(first.Font);
  first.Release();
  second.Release();
  return 0;
}
