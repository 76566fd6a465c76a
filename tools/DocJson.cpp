#include "tools/DocJson.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>

#include "model/Ansi.h"

namespace {

using TType = TJsonValue::TType;

template <class T>
void WriteNumber(TJsonWriter& out, T value) {
  out.Number(std::to_string(value));
}

// One member whose value is a whole number.
template <class T>
void NumberMember(TJsonWriter& out, std::string_view key, T value) {
  out.Key(key);
  WriteNumber(out, value);
}

void StringMember(TJsonWriter& out, std::string_view key, std::u16string_view text) {
  out.Key(key);
  out.String(text);
}

// The shortest text that reads back as the same double.
void WriteMargin(TJsonWriter& out, double margin) {
  if (std::isnan(margin)) return out.String(u"NaN");
  if (std::isinf(margin)) return out.String(margin > 0 ? u"Infinity" : u"-Infinity");
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, margin);
  out.Number(std::string_view(buffer, result.ptr));
}

void WriteLine(TJsonWriter& out, const TFormulaLine* line);

void WriteEntry(TJsonWriter& out, const TFormulaEntry& entry) {
  out.BeginObject();
  NumberMember(out, "IsFunction", entry.IsFunction);
  NumberMember(out, "Kind", entry.Kind);
  StringMember(out, "Text1", TextOf(entry.Text1));
  StringMember(out, "Text2", TextOf(entry.Text2));
  out.Key("First");
  WriteLine(out, entry.First);
  out.Key("Second");
  WriteLine(out, entry.Second);
  out.Key("Layout");
  out.BeginArray(true);
  for (const auto field : kLayoutFields) WriteNumber(out, entry.*field);
  out.EndArray();
  out.EndObject();
}

void WriteLine(TJsonWriter& out, const TFormulaLine* line) {
  if (line == nullptr) return out.Null();
  out.BeginArray(false);
  for (std::uint32_t i = 0; i < line->Count(); ++i) WriteEntry(out, *EntryAt(*line, i));
  out.EndArray();
}

void WriteFont(TJsonWriter& out, const TStoredFont& font) {
  out.BeginObject();
  NumberMember(out, "Charset", font.Charset);
  NumberMember(out, "Color", font.Color);
  StringMember(out, "Name", AnsiToUtf16(font.Name));
  NumberMember(out, "Pitch", font.Pitch);
  NumberMember(out, "PixelsPerInch", font.PixelsPerInch);
  NumberMember(out, "Size", font.Size);
  NumberMember(out, "Style", font.Style);
  out.EndObject();
}

const char* TypeName(TType type) {
  switch (type) {
    case TType::Null:
      return "null";
    case TType::Bool:
      return "true/false";
    case TType::Number:
      return "eine Zahl";
    case TType::String:
      return "eine Zeichenkette";
    case TType::Array:
      return "eine Liste";
    case TType::Object:
      return "ein Objekt";
  }
  return "?";
}

// Builds the tree while checking the JSON against the schema. Whatever has
// been built hangs off root_, so one freetheline releases it on any failure.
class TDocumentBuilder {
 public:
  explicit TDocumentBuilder(TEntryCursor* cursor) : cursor_(cursor) {}
  ~TDocumentBuilder() { freetheline(root_); }
  TDocumentBuilder(const TDocumentBuilder&) = delete;
  TDocumentBuilder& operator=(const TDocumentBuilder&) = delete;

  const std::string& Error() const { return error_; }
  TFormulaLine* ReleaseRoot() { return std::exchange(root_, nullptr); }

  bool Build(const TJsonValue& json, TDocument& document) {
    if (!Expect(json, TType::Object, "das Dokument") ||
        !KnownMembers(json, "", {"Formula", "Font", "Background", "Margin"})) {
      return false;
    }
    const TJsonValue* formula = Member(json, "Formula");
    if (formula == nullptr) {
      root_ = CreateLine(cursor_);
      if (root_ == nullptr) return Fail(kOutOfMemory);
    } else if (!ReadLine(*formula, "Formula", 0, root_)) {
      return false;
    }
    const TJsonValue* font = Member(json, "Font");
    const TJsonValue* background = Member(json, "Background");
    const TJsonValue* margin = Member(json, "Margin");
    return (font == nullptr || ReadFont(*font, document.Font)) &&
           (background == nullptr || Integer(*background, "Background", document.Background)) &&
           (margin == nullptr || ReadMargin(*margin, document.Margin));
  }

 private:
  bool Fail(const std::string& message) {
    error_ = message;
    return false;
  }

  bool Expect(const TJsonValue& value, TType type, const std::string& path) {
    if (value.Type == type) return true;
    return Fail(path + ": erwartet " + TypeName(type) + ", gefunden " + TypeName(value.Type));
  }

  static const TJsonValue* Member(const TJsonValue& object, std::string_view name) {
    for (const auto& [key, value] : object.Members) {
      if (key == name) return &value;
    }
    return nullptr;
  }

  bool KnownMembers(const TJsonValue& object, const std::string& path,
                    std::initializer_list<std::string_view> known) {
    for (const auto& member : object.Members) {
      bool isKnown = false;
      for (const std::string_view name : known) isKnown = isKnown || member.Key == name;
      if (!isKnown) return Fail(path + Excerpt(member.Key) + ": unbekanntes Feld");
    }
    return true;
  }

  // Whole numbers only, in the range of the field they go to.
  template <class T>
  bool Integer(const TJsonValue& value, const std::string& path, T& out) {
    if (!Expect(value, TType::Number, path)) return false;
    std::int64_t parsed = 0;
    const char* begin = value.Number.data();
    const char* end = begin + value.Number.size();
    const auto result = std::from_chars(begin, end, parsed);
    if (result.ec != std::errc() || result.ptr != end || parsed < std::numeric_limits<T>::min() ||
        parsed > std::numeric_limits<T>::max()) {
      return Fail(path + ": erwartet eine ganze Zahl von " +
                  std::to_string(std::numeric_limits<T>::min()) + " bis " +
                  std::to_string(std::numeric_limits<T>::max()) + ", gefunden " +
                  Excerpt(value.Number));
    }
    out = static_cast<T>(parsed);
    return true;
  }

  bool ReadMargin(const TJsonValue& value, double& margin) {
    if (value.Type == TType::String) {
      if (value.String == u"NaN")
        margin = std::numeric_limits<double>::quiet_NaN();
      else if (value.String == u"Infinity")
        margin = std::numeric_limits<double>::infinity();
      else if (value.String == u"-Infinity")
        margin = -std::numeric_limits<double>::infinity();
      else
        return Fail("Margin: erwartet eine Zahl, \"NaN\", \"Infinity\" oder \"-Infinity\"");
      return true;
    }
    if (!Expect(value, TType::Number, "Margin")) return false;
    const char* begin = value.Number.data();
    const char* end = begin + value.Number.size();
    const auto result = std::from_chars(begin, end, margin);
    if (result.ec != std::errc() || result.ptr != end) {
      return Fail("Margin: " + Excerpt(value.Number) + " ist als double nicht darstellbar");
    }
    return true;
  }

  bool ReadFont(const TJsonValue& json, TStoredFont& font) {
    if (!Expect(json, TType::Object, "Font") ||
        !KnownMembers(json, "Font.",
                      {"Charset", "Color", "Name", "Pitch", "PixelsPerInch", "Size", "Style"})) {
      return false;
    }
    for (const auto& [key, value] : json.Members) {
      const std::string path = "Font." + key;
      const bool read = key == "Charset"         ? Integer(value, path, font.Charset)
                        : key == "Color"         ? Integer(value, path, font.Color)
                        : key == "Name"          ? ReadFaceName(value, font.Name)
                        : key == "Pitch"         ? Integer(value, path, font.Pitch)
                        : key == "PixelsPerInch" ? Integer(value, path, font.PixelsPerInch)
                        : key == "Size"          ? Integer(value, path, font.Size)
                                                 : Integer(value, path, font.Style);
      if (!read) return false;
    }
    return true;
  }

  // The name must survive the trip to the code page and back exactly.
  bool ReadFaceName(const TJsonValue& value, std::string& name) {
    if (!Expect(value, TType::String, "Font.Name")) return false;
    const std::string ansi = Utf16ToAnsi(value.String);
    if (AnsiToUtf16(ansi) != value.String) {
      return Fail("Font.Name: enthält Zeichen, die es in Windows-1252 nicht gibt");
    }
    if (ansi.size() > kMaxFaceNameBytes) {
      return Fail("Font.Name: länger als " + std::to_string(kMaxFaceNameBytes) + " Zeichen");
    }
    name = ansi;
    return true;
  }

  bool ReadLine(const TJsonValue& json, const std::string& path, int depth, TFormulaLine*& slot) {
    if (json.Type == TType::Null) return true;
    if (!Expect(json, TType::Array, path)) return false;
    if (depth > kMaxNestingDepth) return Fail(kTooDeep);
    slot = CreateLine(cursor_);
    if (slot == nullptr) return Fail(kOutOfMemory);
    for (std::size_t i = 0; i < json.Items.size(); ++i) {
      if (!ReadEntry(json.Items[i], path + "[" + std::to_string(i) + "]", depth, *slot)) {
        return false;
      }
    }
    return true;
  }

  bool ReadEntry(const TJsonValue& json, const std::string& path, int depth, TFormulaLine& line) {
    if (!Expect(json, TType::Object, path) ||
        !KnownMembers(json, path + ".",
                      {"IsFunction", "Kind", "Text1", "Text2", "First", "Second", "Layout"})) {
      return false;
    }
    TFormulaEntry* entry = AsEntry(line.Append());
    if (entry == nullptr) return Fail(kOutOfMemory);
    const TJsonValue* first = Member(json, "First");
    const TJsonValue* second = Member(json, "Second");
    if (!ReadEntryValues(json, path, *entry)) return false;
    const bool hasLines = (first != nullptr && first->Type != TType::Null) ||
                          (second != nullptr && second->Type != TType::Null);
    if (hasLines && entry->IsFunction != 1) {
      return Fail(path + ": First und Second gibt es nur bei IsFunction 1");
    }
    return (first == nullptr || ReadLine(*first, path + ".First", depth + 1, entry->First)) &&
           (second == nullptr || ReadLine(*second, path + ".Second", depth + 1, entry->Second));
  }

  bool ReadEntryValues(const TJsonValue& json, const std::string& path, TFormulaEntry& entry) {
    for (const auto& [key, value] : json.Members) {
      const std::string field = path + "." + key;
      const bool read = key == "IsFunction" ? Integer(value, field, entry.IsFunction)
                        : key == "Kind"     ? Integer(value, field, entry.Kind)
                        : key == "Text1"    ? ReadText(value, field, entry.Text1)
                        : key == "Text2"    ? ReadText(value, field, entry.Text2)
                        : key == "Layout"   ? ReadLayout(value, field, entry)
                                            : true;  // the sequences come after the values
      if (!read) return false;
    }
    return true;
  }

  bool ReadText(const TJsonValue& value, const std::string& path, std::u16string*& slot) {
    if (!Expect(value, TType::String, path)) return false;
    SetText(slot, value.String);
    return true;
  }

  bool ReadLayout(const TJsonValue& value, const std::string& path, TFormulaEntry& entry) {
    if (!Expect(value, TType::Array, path)) return false;
    if (value.Items.size() != kLayoutFields.size()) {
      return Fail(path + ": erwartet " + std::to_string(kLayoutFields.size()) + " ganze Zahlen");
    }
    for (std::size_t i = 0; i < kLayoutFields.size(); ++i) {
      if (!Integer(value.Items[i], path + "[" + std::to_string(i) + "]", entry.*kLayoutFields[i])) {
        return false;
      }
    }
    return true;
  }

  TEntryCursor* cursor_;
  TFormulaLine* root_ = nullptr;  // owned until handed over
  std::string error_;
};

}  // namespace

void WriteDocumentMembers(const TDocument& document, TJsonWriter& out) {
  out.Key("Formula");
  WriteLine(out, document.Root);
  out.Key("Font");
  WriteFont(out, document.Font);
  NumberMember(out, "Background", document.Background);
  out.Key("Margin");
  WriteMargin(out, document.Margin);
}

std::string DocumentJson(const TDocument& document) {
  std::string text;
  TJsonWriter out([&text](std::string_view piece) { text += piece; });
  out.BeginObject();
  WriteDocumentMembers(document, out);
  out.EndObject();
  out.Finish();
  return text;
}

bool DocumentFromJson(const TJsonValue& json, TEntryCursor* cursor, TDocument& out,
                      std::string& error) {
  return CommitDocument(cursor, out, error, [&](TDocument& fresh, std::string& message) {
    TDocumentBuilder builder(cursor);
    if (!builder.Build(json, fresh)) {
      message = builder.Error();
      return false;
    }
    fresh.Root = builder.ReleaseRoot();
    return true;
  });
}
