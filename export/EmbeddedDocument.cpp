#include "export/EmbeddedDocument.h"

#include <QImage>
#include <algorithm>
#include <string_view>

#include "docfile/DocFile.h"
#include "export/PictureFormat.h"
#include "export/PngText.h"
#include "textio/XmlReader.h"

namespace {

// An SVG names its root element near its start; comments or a doctype
// before it are short.
constexpr std::size_t kSvgSniffBytes = 4096;

QByteArray Base64Of(std::span<const std::uint8_t> document) {
  return QByteArray(reinterpret_cast<const char*>(document.data()),
                    static_cast<qsizetype>(document.size()))
      .toBase64();
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

// Finds our document element in an SVG and keeps its text. expat reads the
// picture in one pass; the reading stops once the element ends, or once its
// text passes what a formula may take.
class TSvgDocumentFinder : public TXmlHandler {
 public:
  enum class TState { Looking, Inside, Found, TooLarge, Damaged };

  TState State() const { return state_; }
  const std::string& Text() const { return text_; }

  bool StartElement(const TXmlName& name, const TXmlAttributes&, std::size_t) override {
    if (state_ == TState::Inside) return Stop(TState::Damaged);  // base64 holds no element
    if (name.Namespace == kEmbeddedDocumentNamespace && name.Local == "document") {
      state_ = TState::Inside;
    }
    return true;
  }

  bool EndElement() override { return state_ != TState::Inside || Stop(TState::Found); }

  bool Text(std::string_view utf8) override {
    if (state_ != TState::Inside) return true;
    if (text_.size() + utf8.size() > kMaxEmbeddedBase64Bytes) return Stop(TState::TooLarge);
    text_ += utf8;
    return true;
  }

  // Only the five entities XML itself declares are read; any other is
  // damage inside our element and ends the search outside it.
  bool Entity(std::string_view) override {
    if (state_ == TState::Inside) state_ = TState::Damaged;
    return false;
  }

 private:
  bool Stop(TState state) {
    state_ = state;
    return false;
  }

  TState state_ = TState::Looking;
  std::string text_;
};

bool DocumentFromSvg(std::span<const std::uint8_t> picture, std::vector<std::uint8_t>& document,
                     std::string& error) {
  TSvgDocumentFinder finder;
  const TXmlResult read = ReadXml(
      std::string_view(reinterpret_cast<const char*>(picture.data()), picture.size()), finder);
  // Entities could expand to any size: such a picture is refused, not searched.
  if (read.Status == TXmlStatus::DeclaresEntity) {
    error = kDamagedFormulaInPicture;
    return false;
  }
  switch (finder.State()) {
    case TSvgDocumentFinder::TState::Found:
      return DocumentFromBase64(QByteArrayView(finder.Text().data(), std::ssize(finder.Text())),
                                document, error);
    case TSvgDocumentFinder::TState::Looking:
      error = kNoFormulaInPicture;
      return false;
    case TSvgDocumentFinder::TState::TooLarge:
      error = kFormulaTooLargeInPicture;
      return false;
    case TSvgDocumentFinder::TState::Inside:  // the picture ended, or broke, inside it
    case TSvgDocumentFinder::TState::Damaged:
      error = kDamagedFormulaInPicture;
      return false;
  }
  return false;
}

}  // namespace

void EmbedInImage(QImage& image, std::span<const std::uint8_t> document) {
  image.setText(kEmbeddedDocumentKey, QString::fromLatin1(Base64Of(document)));
}

QByteArray EmbeddedDocumentText(std::span<const std::uint8_t> document) {
  return Base64Of(document);
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
