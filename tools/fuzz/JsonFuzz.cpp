// libFuzzer target over the JSON reader and the document builder of the
// command-line companion. Besides crashes and leaks it checks that whatever
// builds a document gives, once dumped as JSON, the same document again.
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/DocJson.h"
#include "tools/fuzz/Quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietAllocFailures();

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TJsonValue json;
  std::string error;
  if (!ParseJson(text, kMaxJsonDepth, json, error)) {
    // A message never echoes more than a short excerpt of the input.
    if (error.empty() || error.size() > 400) std::abort();
    return 0;
  }
  TEntryCursor cursor = nullptr;
  TDocument document;
  if (!DocumentFromJson(json, &cursor, document, error)) {
    if (error.empty() || error.size() > 400 || document.Root != nullptr) std::abort();
    return 0;
  }
  const std::string dumped = DocumentJson(document);
  TJsonValue again;
  TDocument rebuilt;
  if (!ParseJson(dumped, kMaxJsonDepth, again, error) ||
      !DocumentFromJson(again, &cursor, rebuilt, error) ||
      EncodeDocument(rebuilt) != EncodeDocument(document)) {
    std::abort();
  }
  document.Release();
  rebuilt.Release();
  return 0;
}
