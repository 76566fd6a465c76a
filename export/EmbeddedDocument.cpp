#include "render/EmbeddedDocument.h"

#include <QImage>
#include <QXmlStreamReader>
#include <algorithm>
#include <limits>
#include <string_view>

#include "docfile/DocFile.h"
#include "render/PictureFormat.h"
#include "render/PngText.h"

namespace {

// An SVG names its root element near its start; comments or a doctype
// before it are short.
constexpr std::size_t kSvgSniffBytes = 4096;

QByteArray Base64Of(std::span<const std::uint8_t> document) {
  return QByteArray(reinterpret_cast<const char*>(document.data()),
                    static_cast<qsizetype>(document.size()))
      .toBase64();
}

QByteArray RawBytes(std::span<const std::uint8_t> bytes) {
  return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
}

// Base64 without the line breaks and blanks that wrapping put into it.
QByteArray WithoutWhitespace(QByteArrayView text) {
  QByteArray compact;
  compact.reserve(text.size());
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') compact.append(c);
  }
  return compact;
}

// Base64 of a document, accepted only when it decodes in full to a document
// the reader takes.
bool DocumentFromBase64(QByteArrayView base64, std::vector<std::uint8_t>& document,
                        std::string& error) {
  if (base64.size() > static_cast<qsizetype>(kMaxEmbeddedBase64Bytes)) {
    error = kFormulaTooLargeInPicture;
    return false;
  }
  const QByteArray compact = WithoutWhitespace(base64);
  if (compact.size() > static_cast<qsizetype>((kMaxEmbeddedDocumentBytes + 2) / 3 * 4)) {
    error = kFormulaTooLargeInPicture;
    return false;
  }
  error = kDamagedFormulaInPicture;
  const auto decoded =
      QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded || decoded.decoded.isEmpty()) return false;
  std::vector<std::uint8_t> bytes(decoded.decoded.begin(), decoded.decoded.end());
  TEntryCursor cursor = nullptr;
  TDocument check;
  std::string decodeError;
  if (!DecodeDocument(bytes, &cursor, check, decodeError)) return false;
  check.Release();
  document = std::move(bytes);
  error.clear();
  return true;
}

// Our own chunk reader, not the image library's: no length a file claims
// is allocated before it is checked.
bool DocumentFromPng(std::span<const std::uint8_t> picture, std::vector<std::uint8_t>& document,
                     std::string& error) {
  std::string text;
  switch (ReadPngText(picture, kEmbeddedDocumentKey, kMaxEmbeddedBase64Bytes, text)) {
    case TPngTextResult::Found:
      return DocumentFromBase64(QByteArrayView(text.data(), std::ssize(text)), document, error);
    case TPngTextResult::Missing:
      error = kNoFormulaInPicture;
      break;
    case TPngTextResult::Damaged:
      error = kDamagedFormulaInPicture;
      break;
    case TPngTextResult::TooLarge:
      error = kFormulaTooLargeInPicture;
      break;
  }
  return false;
}

// The SVG goes to the XML reader in pieces of this size.
constexpr qsizetype kSvgPieceBytes = 64 * 1024;

// An XML reader fed the picture piece by piece. The reader holds the text of
// an element whole until the element ends; fed a piece at a time, it can be
// stopped once a bound is passed, before it holds more.
class TSvgReader {
 public:
  explicit TSvgReader(std::span<const std::uint8_t> picture) : rest_(RawBytes(picture)) {}

  // From now on, no more than `bytes` and one piece are fed.
  void Bound(qsizetype bytes) { bound_ = fed_ + bytes; }
  // Whether the reader wanted more than the bound let it have.
  bool Stopped() const { return stopped_; }

  // The next token; Invalid with an error when the picture ends early, is
  // damaged or passes the bound.
  QXmlStreamReader::TokenType Next() {
    for (;;) {
      const QXmlStreamReader::TokenType token = xml_.readNext();
      if (xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError || rest_.isEmpty()) {
        return token;
      }
      if (fed_ > bound_) {
        stopped_ = true;
        return token;
      }
      const qsizetype piece = std::min(kSvgPieceBytes, rest_.size());
      xml_.addData(rest_.first(piece).toByteArray());
      rest_ = rest_.sliced(piece);
      fed_ += piece;
    }
  }

  QXmlStreamReader& Xml() { return xml_; }

 private:
  QXmlStreamReader xml_;
  QByteArrayView rest_;
  qsizetype fed_ = 0;
  qsizetype bound_ = std::numeric_limits<qsizetype>::max();
  bool stopped_ = false;
};

// The text of the document element just opened. Its opening tag lies in
// what was fed already, so once the bound and a piece more were fed after
// it and the element has not ended, its text is beyond the bound.
bool ReadDocumentText(TSvgReader& reader, QByteArray& text, std::string& error) {
  reader.Bound(static_cast<qsizetype>(kMaxEmbeddedBase64Bytes) + kSvgPieceBytes);
  for (;;) {
    const QXmlStreamReader::TokenType token = reader.Next();
    if (reader.Stopped()) {
      error = kFormulaTooLargeInPicture;
      return false;
    }
    if (reader.Xml().hasError() || token == QXmlStreamReader::StartElement) {
      error = kDamagedFormulaInPicture;
      return false;
    }
    if (token == QXmlStreamReader::EndElement) return true;
    if (token == QXmlStreamReader::Characters || token == QXmlStreamReader::EntityReference) {
      text += reader.Xml().text().toLatin1();
    }
  }
}

bool DocumentFromSvg(std::span<const std::uint8_t> picture, std::vector<std::uint8_t>& document,
                     std::string& error) {
  TSvgReader reader(picture);
  QXmlStreamReader& xml = reader.Xml();
  while (!xml.atEnd() && !xml.hasError()) {
    if (reader.Next() != QXmlStreamReader::StartElement) continue;
    if (xml.namespaceUri() != QLatin1String(kEmbeddedDocumentNamespace) ||
        xml.name() != QLatin1String("document")) {
      continue;
    }
    QByteArray text;
    if (!ReadDocumentText(reader, text, error)) return false;
    return DocumentFromBase64(text, document, error);
  }
  error = kNoFormulaInPicture;
  return false;
}

}  // namespace

void EmbedInImage(QImage& image, std::span<const std::uint8_t> document) {
  image.setText(kEmbeddedDocumentKey, QString::fromLatin1(Base64Of(document)));
}

QByteArray EmbedInSvg(const QByteArray& svg, std::span<const std::uint8_t> document) {
  const qsizetype root = svg.indexOf("<svg");
  const qsizetype tagEnd = root < 0 ? -1 : svg.indexOf('>', root);
  if (tagEnd < 0) return svg;
  QByteArray metadata = "\n<metadata><quillmora:document xmlns:quillmora=\"";
  metadata += kEmbeddedDocumentNamespace;
  metadata += "\" encoding=\"base64\">";
  metadata += Base64Of(document);
  metadata += "</quillmora:document></metadata>";
  QByteArray result = svg;
  result.insert(tagEnd + 1, metadata);
  return result;
}

TPictureKind SniffPicture(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with(kPngSignature)) return TPictureKind::Png;
  std::string_view start = text.substr(0, kSvgSniffBytes);
  if (start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
  const std::size_t first = start.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || start[first] != '<') return TPictureKind::None;
  return start.find("<svg") != std::string_view::npos ? TPictureKind::Svg : TPictureKind::None;
}

bool DocumentFromPicture(std::span<const std::uint8_t> picture, std::vector<std::uint8_t>& document,
                         std::string& error) {
  switch (SniffPicture(picture)) {
    case TPictureKind::Png:
      return DocumentFromPng(picture, document, error);
    case TPictureKind::Svg:
      return DocumentFromSvg(picture, document, error);
    case TPictureKind::None:
      break;
  }
  error = kNoFormulaInPicture;
  return false;
}

bool TakeDocumentFromFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                          std::string& error, bool* fromPicture) {
  const bool picture =
      SniffPicture(bytes) != TPictureKind::None || PictureFormatOfPath(path) != nullptr;
  if (fromPicture != nullptr) *fromPicture = picture;
  if (!picture) return true;
  std::vector<std::uint8_t> document;
  if (!DocumentFromPicture(bytes, document, error)) return false;
  bytes = std::move(document);
  return true;
}
