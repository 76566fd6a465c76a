// Conversion between UTF-16 and the ANSI code page, Windows-1252.
#pragma once

#include <string>
#include <string_view>

std::u16string AnsiToUtf16(std::string_view ansi);
// Characters the code page cannot hold become '?'.
std::string Utf16ToAnsi(std::u16string_view text);
