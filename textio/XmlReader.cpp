#include "textio/XmlReader.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <strings.h>

namespace {

// Between namespace, local name and prefix in the names expat reports.
constexpr char kNameSeparator = '\x01';

TXmlName SplitName(const XML_Char* expanded) {
  const std::string_view text(expanded);
  TXmlName name;
  const std::size_t first = text.find(kNameSeparator);
  if (first == std::string_view::npos) {
    name.Local = text;
    return name;
  }
  name.Namespace = text.substr(0, first);
  const std::string_view rest = text.substr(first + 1);
  const std::size_t second = rest.find(kNameSeparator);
  name.Local = rest.substr(0, second);
  if (second != std::string_view::npos) name.Prefix = rest.substr(second + 1);
  return name;
}

// Windows-1252 in 0x80..0x9F, where it differs from Latin-1; -1 where it
// has no character.
constexpr int kWindows1252High[32] = {
    0x20AC, -1,     0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, -1,     0x017D, -1,     -1,     0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, -1,     0x017E, 0x0178};

// expat itself knows UTF-8, UTF-16, ISO-8859-1 and US-ASCII; Windows word
// processors also declare their code page.
int OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  if (strcasecmp(name, "windows-1252") != 0 && strcasecmp(name, "cp1252") != 0) {
    return XML_STATUS_ERROR;
  }
  for (int byte = 0; byte < 256; ++byte) {
    info->map[byte] = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
  }
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

bool EndsTheText(XML_Error error) {
  return error == XML_ERROR_NO_ELEMENTS || error == XML_ERROR_UNCLOSED_TOKEN ||
         error == XML_ERROR_PARTIAL_CHAR || error == XML_ERROR_UNCLOSED_CDATA_SECTION;
}

// One parse. The handlers run inside expat's C code: no exception may leave
// them, and after a stop none of the handler's callbacks runs again.
class TExpatRun {
 public:
  explicit TExpatRun(TXmlHandler& handler) : handler_(handler) {}
  TExpatRun(const TExpatRun&) = delete;
  TExpatRun& operator=(const TExpatRun&) = delete;
  ~TExpatRun() {
    if (parser_ != nullptr) XML_ParserFree(parser_);
  }

  TXmlResult Run(std::string_view bytes) {
    parser_ = XML_ParserCreateNS(nullptr, kNameSeparator);
    if (parser_ == nullptr || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
      return {TXmlStatus::NoMemory, {}};
    }
    Connect();
    const XML_Status parsed =
        XML_Parse(parser_, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE);
    if (parsed == XML_STATUS_OK && result_.Status == TXmlStatus::Read) return result_;
    if (result_.Status != TXmlStatus::Read) return result_;
    return Failure(XML_GetErrorCode(parser_));
  }

 private:
  void Connect() {
    XML_SetUserData(parser_, this);
    XML_SetReturnNSTriplet(parser_, 1);
    // Entities that nothing declares reach the skipped-entity handler
    // instead of ending the parse: MathML producers write &alpha; freely.
    XML_UseForeignDTD(parser_, XML_TRUE);
    XML_SetUnknownEncodingHandler(parser_, OnUnknownEncoding, nullptr);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_, OnText);
    XML_SetSkippedEntityHandler(parser_, OnSkippedEntity);
    XML_SetEntityDeclHandler(parser_, OnEntityDeclaration);
    XML_SetExternalEntityRefHandler(parser_, OnExternalEntity);
  }

  static TExpatRun& Of(void* data) { return *static_cast<TExpatRun*>(data); }

  std::size_t Byte() const {
    const XML_Index byte = XML_GetCurrentByteIndex(parser_);
    return byte < 0 ? 0 : static_cast<std::size_t>(byte);
  }

  bool Running() const { return result_.Status == TXmlStatus::Read; }

  void Stop(TXmlStatus status) {
    if (!Running()) return;
    result_ = {status, {Byte(), 0, 0}};
    XML_StopParser(parser_, XML_FALSE);
  }

  // Runs a handler's callback; false or an exception stops the parse.
  template <class TCall>
  void Call(TCall call, TXmlStatus ifFalse = TXmlStatus::Stopped) {
    if (!Running()) return;
    try {
      if (!call()) Stop(ifFalse);
    } catch (const std::bad_alloc&) {
      Stop(TXmlStatus::NoMemory);
    }
  }

  static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    TExpatRun& run = Of(data);
    ++run.depth_;
    run.Call([&] {
      return run.handler_.StartElement(SplitName(name), TXmlAttributes(attributes), run.Byte());
    });
  }

  static void XMLCALL OnEnd(void* data, const XML_Char*) {
    TExpatRun& run = Of(data);
    --run.depth_;
    run.Call([&] { return run.handler_.EndElement(); });
  }

  static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    TExpatRun& run = Of(data);
    run.Call([&] {
      return run.handler_.Text(std::string_view(text, static_cast<std::size_t>(length)));
    });
  }

  static void XMLCALL OnSkippedEntity(void* data, const XML_Char* name, int parameterEntity) {
    TExpatRun& run = Of(data);
    if (parameterEntity != 0) return;  // in the document type: declares nothing we read
    run.Call([&] { return run.handler_.Entity(name); }, TXmlStatus::UnknownEntity);
  }

  static void XMLCALL OnEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int,
                                          const XML_Char*, const XML_Char*, const XML_Char*,
                                          const XML_Char*) {
    Of(data).Stop(TXmlStatus::DeclaresEntity);
  }

  static int XMLCALL OnExternalEntity(XML_Parser parser, const XML_Char*, const XML_Char*,
                                      const XML_Char*, const XML_Char*) {
    Of(XML_GetUserData(parser)).Stop(TXmlStatus::DeclaresEntity);
    return XML_STATUS_ERROR;
  }

  TXmlResult Failure(XML_Error error) const {
    TXmlResult failure{TXmlStatus::NotWellFormed, {Byte(), 0, 0}};
    if (error == XML_ERROR_NO_MEMORY) failure.Status = TXmlStatus::NoMemory;
    if (error == XML_ERROR_UNDEFINED_ENTITY) failure.Status = TXmlStatus::UnknownEntity;
    if (depth_ > 0 && EndsTheText(error)) failure.Status = TXmlStatus::EndsEarly;
    return failure;
  }

  TXmlHandler& handler_;
  XML_Parser parser_ = nullptr;
  TXmlResult result_;
  long depth_ = 0;
};

}  // namespace

std::optional<std::string_view> TXmlAttributes::Value(std::string_view local) const {
  for (const char** pair = pairs_; pair[0] != nullptr; pair += 2) {
    if (local == pair[0]) return std::string_view(pair[1]);
  }
  return std::nullopt;
}

TXmlResult ReadXml(std::string_view bytes, TXmlHandler& handler) {
  TExpatRun run(handler);
  TXmlResult result = run.Run(bytes);
  if (result.Status != TXmlStatus::Read) result.At = LocateByte(bytes, result.At.Byte);
  return result;
}

TXmlPosition LocateByte(std::string_view bytes, std::size_t byte) {
  TXmlPosition at;
  at.Byte = std::min(byte, bytes.size());
  const std::string_view before = bytes.substr(0, at.Byte);
  at.Line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lineStart = before.rfind('\n');
  const std::string_view line =
      lineStart == std::string_view::npos ? before : before.substr(lineStart + 1);
  at.Column = 1 + static_cast<int>(std::count_if(line.begin(), line.end(), [](char c) {
                return (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // a character's first byte
              }));
  return at;
}

std::size_t Utf16Offset(std::string_view utf8, std::size_t byte) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < byte && i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) != 0x80) ++units;  // each character's first byte
    if (c >= 0xF0) ++units;           // beyond 16 bits: a surrogate pair
  }
  return units;
}
