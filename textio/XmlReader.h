// XML read by expat from one buffer in one pass, for the readers of MathML
// and of the formula inside an SVG picture. Nothing is fetched from outside:
// a document type is read but no external part of it, and a text that
// declares entities is refused, so no entity can expand.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

struct TXmlPosition {
  std::size_t Byte = 0;  // from the start of the buffer
  int Line = 1;
  int Column = 1;  // in characters, from 1
};

// An element's name as namespaces resolve it.
struct TXmlName {
  std::string_view Namespace;  // empty for none
  std::string_view Local;
  std::string_view Prefix;  // as written, empty for none
};

// The attributes of one start tag, as expat hands them over.
class TXmlAttributes {
 public:
  explicit TXmlAttributes(const char** pairs) : pairs_(pairs) {}
  // The value of the attribute `local` that has no namespace.
  std::optional<std::string_view> Value(std::string_view local) const;

 private:
  const char** pairs_;
};

class TXmlHandler {
 public:
  virtual ~TXmlHandler() = default;
  // Each returns false to stop the reading there.
  // `byte`: where its start tag begins; LocateByte gives line and column.
  virtual bool StartElement(const TXmlName& name, const TXmlAttributes& attributes,
                            std::size_t byte) = 0;
  virtual bool EndElement() = 0;
  // Character data in UTF-8, in pieces.
  virtual bool Text(std::string_view utf8) = 0;
  // An entity that no declaration names (&alpha;) in character data: false
  // when the handler knows no such character, which refuses the text.
  virtual bool Entity(std::string_view name) = 0;
};

enum class TXmlStatus {
  Read,
  NotWellFormed,
  EndsEarly,       // the text ends inside an element
  DeclaresEntity,  // <!ENTITY ...>, which could expand without bound
  UnknownEntity,
  Stopped,  // a handler returned false
  NoMemory,
};

struct TXmlResult {
  TXmlStatus Status = TXmlStatus::Read;
  TXmlPosition At;  // where reading stopped, when it did not end well
};

// The whole buffer in one call to the parser.
TXmlResult ReadXml(std::string_view bytes, TXmlHandler& handler);

// Line and column of `byte`, counted when needed (a message) instead of for
// every element as it is read.
TXmlPosition LocateByte(std::string_view bytes, std::size_t byte);
// UTF-16 code units in the UTF-8 bytes before `byte`.
std::size_t Utf16Offset(std::string_view utf8, std::size_t byte);
