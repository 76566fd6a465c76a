// A small JSON reader and writer for the command-line companion. Strings are
// kept as UTF-16 code units, so that every text of a document, lone
// surrogates included, goes through JSON and back unchanged.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/Utf.h"

struct TJsonMember;

struct TJsonValue {
  enum class TType { Null, Bool, Number, String, Array, Object };

  TType Type = TType::Null;
  bool Bool = false;
  // The number as written, so that no digit is lost before the reader of
  // the value decides whether it wants an integer or a double.
  std::string Number;
  std::u16string String;
  std::vector<TJsonValue> Items;
  std::vector<TJsonMember> Members;  // in order

  // Out of line: the members' type is complete only below.
  TJsonValue();
  TJsonValue(const TJsonValue&);
  TJsonValue(TJsonValue&&) noexcept;
  TJsonValue& operator=(const TJsonValue&);
  TJsonValue& operator=(TJsonValue&&) noexcept;
  ~TJsonValue();

  static TJsonValue MakeBool(bool flag);
  static TJsonValue MakeNumber(std::string text);
  static TJsonValue MakeString(std::u16string text);
  static TJsonValue MakeArray();
  static TJsonValue MakeObject();
  void Add(std::string key, TJsonValue value);
};

struct TJsonMember {
  std::string Key;  // UTF-8
  TJsonValue Value;
};

// Parses a whole text (UTF-8). Nesting deeper than `maxDepth` arrays and
// objects is refused, so that no input can exhaust the stack. On failure
// `error` tells where and why.
bool ParseJson(std::string_view text, int maxDepth, TJsonValue& value, std::string& error);

// Indented output. Non-ASCII characters are written as UTF-8; code units
// that are no character (lone surrogates) as \uXXXX escapes.
std::string WriteJson(const TJsonValue& value);

// The same output as WriteJson, written as it is produced and handed to a
// sink in pieces of some kilobytes: a long document is never held whole, as
// text or as a tree. Every member of an object starts on its own line; an
// array marked flat holds scalars only and stands on one line.
class TJsonWriter {
 public:
  using TSink = std::function<void(std::string_view text)>;
  explicit TJsonWriter(TSink sink) : sink_(std::move(sink)) {}
  ~TJsonWriter() { Flush(); }
  TJsonWriter(const TJsonWriter&) = delete;
  TJsonWriter& operator=(const TJsonWriter&) = delete;

  void BeginObject();
  void EndObject();
  void BeginArray(bool flat);
  void EndArray();
  void Key(std::string_view key);  // UTF-8
  void Null();
  void Bool(bool flag);
  void Number(std::string_view text);
  void String(std::u16string_view text);
  void Value(const TJsonValue& value);
  // The line end after the outermost value; hands everything to the sink.
  void Finish();
  void Flush();

 private:
  struct TLevel {
    bool Flat = false;
    std::size_t Count = 0;
  };
  void BeforeValue();
  void NewLine(std::size_t indent);
  void Close(char bracket);

  TSink sink_;
  std::string buffer_;
  std::vector<TLevel> levels_;
  bool afterKey_ = false;
};

// At most about 80 characters of some input, for a message: a longer text
// is cut (at a character boundary) and marked with "…", so that no input
// comes back to the user whole.
std::string Excerpt(std::string_view text);
