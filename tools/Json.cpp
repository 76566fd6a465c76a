#include "tools/Json.h"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

class TJsonParser {
 public:
  TJsonParser(std::string_view text, int maxDepth) : text_(text), maxDepth_(maxDepth) {}

  bool ParseDocument(TJsonValue& value) {
    SkipSpace();
    if (!ParseValue(value, 1)) return false;
    SkipSpace();
    return AtEnd() || Fail("unerwarteter Text nach dem Ende");
  }

  std::string Error() const {
    int line = 1;
    int column = 1;
    for (std::size_t i = 0; i < errorPos_ && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    return "JSON-Fehler in Zeile " + std::to_string(line) + ", Spalte " + std::to_string(column) +
           ": " + error_;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  bool Fail(const std::string& message) {
    error_ = message;
    errorPos_ = pos_;
    return false;
  }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      ++pos_;
    }
  }

  bool ParseValue(TJsonValue& value, int depth) {
    switch (Peek()) {
      case '{':
        return ParseContainer(value, depth, TJsonValue::TType::Object);
      case '[':
        return ParseContainer(value, depth, TJsonValue::TType::Array);
      case '"':
        value.Type = TJsonValue::TType::String;
        return ParseString(value.String);
      case 't':
        return ParseLiteral("true", value, TJsonValue::TType::Bool, true);
      case 'f':
        return ParseLiteral("false", value, TJsonValue::TType::Bool, false);
      case 'n':
        return ParseLiteral("null", value, TJsonValue::TType::Null, false);
      case '\0':
        if (AtEnd()) return Fail("unerwartetes Ende der Eingabe");
        return Fail("unbekannter Wert");
      default:
        return ParseNumber(value);
    }
  }

  bool ParseLiteral(std::string_view word, TJsonValue& value, TJsonValue::TType type, bool flag) {
    if (text_.substr(pos_, word.size()) != word) return Fail("unbekannter Wert");
    pos_ += word.size();
    value.Type = type;
    value.Bool = flag;
    return true;
  }

  [[gnu::noinline]] bool FailExpectedComma(char close) {
    return Fail(std::string("erwartet ',' oder '") + close + "'");
  }

  [[gnu::noinline]] bool FailTooDeep() {
    return Fail("zu tief verschachtelt (mehr als " + std::to_string(maxDepth_) + " Ebenen)");
  }

  bool ParseContainer(TJsonValue& value, int depth, TJsonValue::TType type) {
    if (depth > maxDepth_) return FailTooDeep();
    const bool isObject = type == TJsonValue::TType::Object;
    const char close = isObject ? '}' : ']';
    value.Type = type;
    ++pos_;
    SkipSpace();
    if (Peek() == close) {
      ++pos_;
      return true;
    }
    for (;;) {
      if (!(isObject ? ParseMember(value, depth) : ParseItem(value, depth))) return false;
      SkipSpace();
      if (Peek() == close) {
        ++pos_;
        if (isObject) keySets_.erase(&value);
        return true;
      }
      if (Peek() != ',') return FailExpectedComma(close);
      ++pos_;
      SkipSpace();
    }
  }

  bool ParseItem(TJsonValue& array, int depth) {
    array.Items.emplace_back();
    return ParseValue(array.Items.back(), depth + 1);
  }

  // Kept out of ParseContainer: its strings would otherwise take stack room
  // at every level of nested arrays too.
  [[gnu::noinline]] bool ParseMember(TJsonValue& object, int depth) {
    std::u16string key;
    if (Peek() != '"') return Fail("erwartet einen Schlüssel in Anführungszeichen");
    const std::size_t keyPos = pos_;
    if (!ParseString(key)) return false;
    std::string name = Utf8FromUtf16(key);
    if (IsDuplicate(object, name)) {
      pos_ = keyPos;
      return Fail("doppelter Schlüssel \"" + Excerpt(name) + "\"");
    }
    SkipSpace();
    if (Peek() != ':') return Fail("erwartet ':'");
    ++pos_;
    SkipSpace();
    object.Members.push_back({std::move(name), TJsonValue()});
    return ParseValue(object.Members.back().Value, depth + 1);
  }

  // The few keys of a usual object are compared directly; past that a set
  // keeps the check linear in the number of keys.
  bool IsDuplicate(const TJsonValue& object, const std::string& name) {
    constexpr std::size_t kDirectCompare = 16;
    if (object.Members.size() < kDirectCompare) {
      for (const TJsonMember& member : object.Members) {
        if (member.Key == name) return true;
      }
      return false;
    }
    auto [keys, made] = keySets_.try_emplace(&object);
    if (made) {
      for (const TJsonMember& member : object.Members) keys->second.insert(member.Key);
    }
    return !keys->second.insert(name).second;
  }

  bool ParseString(std::u16string& out) {
    ++pos_;  // the opening quote
    while (!AtEnd()) {
      const auto c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return Fail("Steuerzeichen in einer Zeichenkette");
      if (c == '\\') {
        if (!ParseEscape(out)) return false;
      } else if (c < 0x80) {
        out.push_back(c);
        ++pos_;
      } else if (!ParseUtf8(out)) {
        return false;
      }
    }
    return Fail("Zeichenkette ohne Ende");
  }

  // \uXXXX gives exactly that code unit: a lone surrogate stays one.
  bool ParseEscape(std::u16string& out) {
    ++pos_;
    const char c = Peek();
    ++pos_;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out.push_back(static_cast<char16_t>(c));
        return true;
      case 'b':
        out.push_back(u'\b');
        return true;
      case 'f':
        out.push_back(u'\f');
        return true;
      case 'n':
        out.push_back(u'\n');
        return true;
      case 'r':
        out.push_back(u'\r');
        return true;
      case 't':
        out.push_back(u'\t');
        return true;
      case 'u':
        return ParseHexUnit(out);
      default:
        --pos_;
        return Fail("unbekannte Escape-Folge");
    }
  }

  bool ParseHexUnit(std::u16string& out) {
    if (text_.size() - pos_ < 4) return Fail("\\u braucht vier Hexadezimalziffern");
    char16_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[pos_ + i];
      const int digit = h >= '0' && h <= '9'   ? h - '0'
                        : h >= 'a' && h <= 'f' ? h - 'a' + 10
                        : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                               : -1;
      if (digit < 0) return Fail("\\u braucht vier Hexadezimalziffern");
      unit = static_cast<char16_t>(unit << 4 | digit);
    }
    pos_ += 4;
    out.push_back(unit);
    return true;
  }

  // One well-formed UTF-8 sequence; overlong forms and encoded surrogates are refused.
  bool ParseUtf8(std::u16string& out) {
    char32_t code = 0;
    const std::size_t length = Utf8SequenceAt(text_, pos_, code);
    if (length == 0) return Fail("ungültiges UTF-8");
    AppendUtf16(code, out);
    pos_ += length;
    return true;
  }

  bool SkipDigits() {
    const std::size_t start = pos_;
    while (Peek() >= '0' && Peek() <= '9') ++pos_;
    return pos_ > start;
  }

  // The JSON number grammar, exactly: no leading zeros, no bare dot, no plus sign.
  bool ParseNumber(TJsonValue& value) {
    const std::size_t start = pos_;
    if (Peek() == '-') ++pos_;
    if (Peek() == '0') {
      ++pos_;
    } else if (!SkipDigits()) {
      pos_ = start;
      return Fail("unbekannter Wert");
    }
    if (Peek() == '.') {
      ++pos_;
      if (!SkipDigits()) return Fail("Ziffern nach dem Dezimalpunkt fehlen");
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (!SkipDigits()) return Fail("Ziffern im Exponenten fehlen");
    }
    value.Type = TJsonValue::TType::Number;
    value.Number = std::string(text_.substr(start, pos_ - start));
    return true;
  }

  std::string_view text_;
  int maxDepth_;
  std::size_t pos_ = 0;
  std::string error_;
  std::size_t errorPos_ = 0;
  // The keys of each object under way that has many members. An object
  // stays where it is while its members are read, so its address is a key.
  std::unordered_map<const TJsonValue*, std::unordered_set<std::string>> keySets_;
};

void WriteEscape(char32_t unit, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[unit >> shift & 0xF]);
}

void WriteAscii(char c, std::string& out) {
  if (c == '"' || c == '\\') {
    out.push_back('\\');
    out.push_back(c);
  } else if (c == '\n') {
    out += "\\n";
  } else if (c == '\t') {
    out += "\\t";
  } else if (static_cast<unsigned char>(c) < 0x20) {
    WriteEscape(static_cast<unsigned char>(c), out);
  } else {
    out.push_back(c);
  }
}

void WriteString(std::u16string_view text, std::string& out) {
  out.push_back('"');
  ForEachCodePoint(text, [&out](char32_t c, bool lone) {
    if (lone) {
      WriteEscape(c, out);
    } else if (c < 0x80) {
      WriteAscii(static_cast<char>(c), out);
    } else {
      AppendUtf8(c, out);
    }
  });
  out.push_back('"');
}

// Keys are UTF-8 already: only the ASCII part needs escapes.
void WriteKey(std::string_view key, std::string& out) {
  out.push_back('"');
  for (const char c : key) {
    if (static_cast<unsigned char>(c) < 0x80) {
      WriteAscii(c, out);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

}  // namespace

TJsonValue::TJsonValue() = default;
TJsonValue::TJsonValue(const TJsonValue&) = default;
TJsonValue::TJsonValue(TJsonValue&&) noexcept = default;
TJsonValue& TJsonValue::operator=(const TJsonValue&) = default;
TJsonValue& TJsonValue::operator=(TJsonValue&&) noexcept = default;
TJsonValue::~TJsonValue() = default;

void TJsonValue::Add(std::string key, TJsonValue value) {
  Members.push_back({std::move(key), std::move(value)});
}

TJsonValue TJsonValue::MakeBool(bool flag) {
  TJsonValue value;
  value.Type = TType::Bool;
  value.Bool = flag;
  return value;
}

TJsonValue TJsonValue::MakeNumber(std::string text) {
  TJsonValue value;
  value.Type = TType::Number;
  value.Number = std::move(text);
  return value;
}

TJsonValue TJsonValue::MakeString(std::u16string text) {
  TJsonValue value;
  value.Type = TType::String;
  value.String = std::move(text);
  return value;
}

TJsonValue TJsonValue::MakeArray() {
  TJsonValue value;
  value.Type = TType::Array;
  return value;
}

TJsonValue TJsonValue::MakeObject() {
  TJsonValue value;
  value.Type = TType::Object;
  return value;
}

bool ParseJson(std::string_view text, int maxDepth, TJsonValue& value, std::string& error) {
  TJsonParser parser(text, maxDepth);
  TJsonValue parsed;
  if (!parser.ParseDocument(parsed)) {
    error = parser.Error();
    return false;
  }
  value = std::move(parsed);
  return true;
}

std::string WriteJson(const TJsonValue& value) {
  std::string out;
  TJsonWriter writer([&out](std::string_view text) { out += text; });
  writer.Value(value);
  writer.Finish();
  return out;
}

namespace {
constexpr std::size_t kWriterBufferBytes = 1 << 16;
}  // namespace

void TJsonWriter::Flush() {
  if (buffer_.empty()) return;
  sink_(buffer_);
  buffer_.clear();
}

void TJsonWriter::NewLine(std::size_t indent) {
  if (buffer_.size() >= kWriterBufferBytes) Flush();
  buffer_.push_back('\n');
  buffer_.append(indent, ' ');
}

// Items of an array get their separator here; a member's value follows its key.
void TJsonWriter::BeforeValue() {
  if (afterKey_ || levels_.empty()) {
    afterKey_ = false;
    return;
  }
  TLevel& level = levels_.back();
  if (level.Count++ > 0) buffer_ += level.Flat ? ", " : ",";
  if (!level.Flat) NewLine(2 * levels_.size());
}

void TJsonWriter::Close(char bracket) {
  const TLevel level = levels_.back();
  levels_.pop_back();
  if (level.Count > 0 && !level.Flat) NewLine(2 * levels_.size());
  buffer_.push_back(bracket);
}

void TJsonWriter::BeginObject() {
  BeforeValue();
  buffer_.push_back('{');
  levels_.push_back({});
}

void TJsonWriter::EndObject() { Close('}'); }

void TJsonWriter::BeginArray(bool flat) {
  BeforeValue();
  buffer_.push_back('[');
  levels_.push_back({flat, 0});
}

void TJsonWriter::EndArray() { Close(']'); }

// An object's level is never flat: the separator and line of an item serve
// a member as well.
void TJsonWriter::Key(std::string_view key) {
  BeforeValue();
  WriteKey(key, buffer_);
  buffer_ += ": ";
  afterKey_ = true;
}

void TJsonWriter::Null() {
  BeforeValue();
  buffer_ += "null";
}

void TJsonWriter::Bool(bool flag) {
  BeforeValue();
  buffer_ += flag ? "true" : "false";
}

void TJsonWriter::Number(std::string_view text) {
  BeforeValue();
  buffer_ += text;
}

void TJsonWriter::String(std::u16string_view text) {
  BeforeValue();
  WriteString(text, buffer_);
}

void TJsonWriter::Value(const TJsonValue& value) {
  switch (value.Type) {
    case TJsonValue::TType::Null:
      return Null();
    case TJsonValue::TType::Bool:
      return Bool(value.Bool);
    case TJsonValue::TType::Number:
      return Number(value.Number);
    case TJsonValue::TType::String:
      return String(value.String);
    case TJsonValue::TType::Array: {
      bool flat = true;
      for (const TJsonValue& item : value.Items) {
        flat =
            flat && item.Type != TJsonValue::TType::Array && item.Type != TJsonValue::TType::Object;
      }
      BeginArray(flat);
      for (const TJsonValue& item : value.Items) Value(item);
      return EndArray();
    }
    case TJsonValue::TType::Object:
      BeginObject();
      for (const TJsonMember& member : value.Members) {
        Key(member.Key);
        Value(member.Value);
      }
      return EndObject();
  }
}

void TJsonWriter::Finish() {
  buffer_.push_back('\n');
  Flush();
}

std::string Excerpt(std::string_view text) {
  constexpr std::size_t kShown = 77;
  if (text.size() <= 80) return std::string(text);
  std::size_t cut = kShown;
  // Not inside a UTF-8 sequence: continuation bytes are 10xxxxxx.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "…";
}
