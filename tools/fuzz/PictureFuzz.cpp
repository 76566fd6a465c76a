// libFuzzer target over reading the formula from a PNG or SVG picture: the
// PNG chunk walk, the SVG metadata, base64 and the document check. Whatever
// comes back must be a document the reader takes.
#include <cstdlib>
#include <string>
#include <vector>

#include "docfile/DocFile.h"
#include "export/EmbeddedDocument.h"
#include "tools/fuzz/Quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietAllocFailures();

  std::vector<std::uint8_t> document;
  std::string error;
  if (!DocumentFromPicture({data, size}, document, error)) {
    if (error.empty() || !document.empty()) std::abort();
    return 0;
  }
  TEntryCursor cursor = nullptr;
  TDocument read;
  if (!DecodeDocument(document, &cursor, read, error)) std::abort();
  read.Release();
  return 0;
}
