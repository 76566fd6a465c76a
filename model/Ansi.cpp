#include "model/Ansi.h"

#include <array>

namespace {

// 0x80..0x9F of Windows-1252; 0 marks the five unassigned bytes, which map
// to the C1 control with the same number, as the platform does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t Decode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    const char16_t mapped = kHighControls[byte - 0x80];
    return mapped != 0 ? mapped : char16_t{byte};
  }
  return char16_t{byte};
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (const char c : ansi) out.push_back(Decode(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char16_t unit : text) {
    char byte = '?';
    for (unsigned b = 0; b < 256; ++b) {
      if (Decode(static_cast<unsigned char>(b)) == unit) {
        byte = static_cast<char>(b);
        break;
      }
    }
    out.push_back(byte);
  }
  return out;
}
