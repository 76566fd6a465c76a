// A small JSON reader and writer for the command-line companion. Strings are
// kept as UTF-16 code units, so that every text of a document, lone
// surrogates included, goes through JSON and back unchanged.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "textio/Utf.h"

struct TJsonValue {
  enum class TType { Null, Bool, Number, String, Array, Object };

  TType Type = TType::Null;
  bool Bool = false;
  // The number as written, so that no digit is lost before the reader of
  // the value decides whether it wants an integer or a double.
  std::string Number;
  std::u16string String;
  std::vector<TJsonValue> Items;
  std::vector<std::pair<std::string, TJsonValue>> Members;  // keys in UTF-8, in order

  static TJsonValue MakeNumber(std::string text);
  static TJsonValue MakeString(std::u16string text);
  static TJsonValue MakeArray();
  static TJsonValue MakeObject();
  void Add(std::string key, TJsonValue value) {
    Members.emplace_back(std::move(key), std::move(value));
  }
};

// Parses a whole text (UTF-8). Nesting deeper than `maxDepth` arrays and
// objects is refused, so that no input can exhaust the stack. On failure
// `error` tells where and why.
bool ParseJson(std::string_view text, int maxDepth, TJsonValue& value, std::string& error);

// Indented output. Non-ASCII characters are written as UTF-8; code units
// that are no character (lone surrogates) as \uXXXX escapes.
std::string WriteJson(const TJsonValue& value);
