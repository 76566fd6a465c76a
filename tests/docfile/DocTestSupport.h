// Helpers shared by the document tests: a readable picture of a tree for
// comparisons, and byte builders for hand-made files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "docfile/DocFile.h"
#include "model/FormulaTree.h"

// Everything a document keeps of a tree: kinds, texts (as code unit
// numbers), presence of each sequence, layout fields.
inline std::string DescribeLine(const TFormulaLine* line) {
  if (line == nullptr) return "-";
  std::string out = "[";
  for (std::uint32_t i = 0; i < line->Count(); ++i) {
    const TFormulaEntry& e = *EntryAt(*line, i);
    out += "(" + std::to_string(e.IsFunction) + " " + std::to_string(e.Kind) + " '";
    for (const char16_t unit : TextOf(e.Text1)) out += std::to_string(unit) + ",";
    out += "' '";
    for (const char16_t unit : TextOf(e.Text2)) out += std::to_string(unit) + ",";
    out += "'";
    for (const auto field : kLayoutFields) out += " " + std::to_string(e.*field);
    if (e.IsFunction == 1) out += " " + DescribeLine(e.First) + " " + DescribeLine(e.Second);
    out += ")";
  }
  return out + "]";
}

// Appends little-endian values, for files no writer would make.
class TBytes {
 public:
  TBytes& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  TBytes& U32(std::uint32_t v) {
    for (int s = 0; s < 32; s += 8) bytes_.push_back(std::uint8_t(v >> s));
    return *this;
  }
  TBytes& Zeros(std::size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
  }
  TBytes& Raw(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  // A term record image: IsFunction, Kind, four slots and ten layout fields.
  TBytes& Image(std::uint32_t isFunction, std::uint32_t kind) {
    return U32(isFunction).U32(kind).Zeros(56);
  }
  // The font block, colour and margin of a new document.
  TBytes& Tail() { return Raw(TailBytes()); }
  static std::vector<std::uint8_t> TailBytes() {
    std::vector<std::uint8_t> all = EncodeDocument(nullptr, TStoredFont{}, kWhite, 20.0);
    return std::vector<std::uint8_t>(all.begin() + 4, all.end());
  }
  const std::vector<std::uint8_t>& Get() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};
