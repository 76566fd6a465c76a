// UTF-8 to UTF-16 and back, for files, terminals and JSON. Invalid
// sequences and lone surrogates become U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

inline bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
inline bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The pieces both conversions are made of, for readers and writers that
// treat invalid text their own way.
void AppendUtf8(char32_t code, std::string& out);
void AppendUtf16(char32_t code, std::u16string& out);
// The length (1 to 4) of the well-formed UTF-8 sequence at `pos`, with its
// code point in `code`; 0 for a cut-off sequence, an overlong form, an
// encoded surrogate or a value beyond Unicode.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t pos, char32_t& code);

// Calls visit(code point, lone) for each character; a surrogate without its
// partner comes as itself with lone = true.
template <class TVisit>
void ForEachCodePoint(std::u16string_view text, TVisit visit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      visit(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00), false);
      ++i;
    } else {
      visit(char32_t{unit}, IsSurrogate(unit));
    }
  }
}
