// UTF-8 to UTF-16 and back, for files, terminals and JSON. Invalid
// sequences and lone surrogates become U+FFFD.
#pragma once

#include <string>
#include <string_view>

std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);
