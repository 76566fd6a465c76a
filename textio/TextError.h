// Shared by both readers: building the message with its position.
#pragma once

#include <string>
#include <string_view>

#include "textio/FormulaText.h"

// Line and column of `offset` in `text`, with the message.
TTextError TextErrorAt(std::u16string_view text, std::size_t offset, std::string message);
// „text“, in UTF-8; beyond 60 code units cut, with "…".
std::string Quoted(std::u16string_view text);
std::size_t Utf8Length(std::u16string_view text);
// Both readers refuse a fraction, root ... where only text may stand with
// the same words; `construct` is already quoted.
std::string OnlyTextMessage(const std::string& construct);
// The brackets every text reader knows, left open at the end of the text.
inline constexpr const char* kBraceNotClosed = "Die Klammer „{“ wird nicht geschlossen.";
inline constexpr const char* kParenNotClosed = "Die Klammer „(“ wird nicht geschlossen.";
