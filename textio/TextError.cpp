#include "textio/TextError.h"

#include <algorithm>

std::string TTextError::Describe() const {
  return "Zeile " + std::to_string(Line) + ", Spalte " + std::to_string(Column) + ": " + Message;
}

TTextError TextErrorAt(std::u16string_view text, std::size_t offset, std::string message) {
  TTextError error;
  error.Message = std::move(message);
  error.Offset = std::min(offset, text.size());
  const std::u16string_view before = text.substr(0, error.Offset);
  error.Line = 1 + static_cast<int>(std::count(before.begin(), before.end(), u'\n'));
  const std::size_t lineStart = before.find_last_of(u'\n');
  error.Column =
      1 + static_cast<int>(lineStart == std::u16string_view::npos ? error.Offset
                                                                  : error.Offset - lineStart - 1);
  return error;
}

// A message quotes a name or script as typed, but not a text of megabytes:
// a longer one is cut, never inside a surrogate pair.
std::string Quoted(std::u16string_view text) {
  constexpr std::size_t kLongest = 60;
  if (text.size() <= kLongest) return "„" + Utf8FromUtf16(text) + "“";
  const std::size_t cut = IsHighSurrogate(text[kLongest - 1]) ? kLongest - 1 : kLongest;
  return "„" + Utf8FromUtf16(text.substr(0, cut)) + "…“";
}

std::string OnlyTextMessage(const std::string& construct) {
  return "In Grenzen, Wurzelexponenten und Funktionsnamen steht nur Text, kein " + construct + ".";
}

std::size_t Utf8Length(std::u16string_view text) {
  std::size_t bytes = 0;
  ForEachCodePoint(text, [&bytes](char32_t c, bool) {
    bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  });
  return bytes;
}
