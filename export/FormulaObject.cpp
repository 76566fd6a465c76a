#include "export/FormulaObject.h"

#include <zip.h>

#include <memory>
#include <utility>

#include "model/Utf.h"
#include "textio/XmlReader.h"

namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr std::string_view kManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
    "manifest:version=\"1.2\">\n"
    " <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
    "manifest:media-type=\"application/vnd.oasis.opendocument.formula\"/>\n"
    " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
    "</manifest:manifest>\n";
constexpr const char* kContentName = "content.xml";
// Deflate gains little beyond 1:1000; a zip larger than its inflated limit
// allows is refused before libzip reads its directory.
constexpr std::size_t kMaxZipBytes = kMaxFormulaTextBytes + (std::size_t{1} << 20);

constexpr const char* kZipFailed = "Das Formeldokument konnte nicht geschrieben werden.";
constexpr const char* kDamagedZip = "Das Formeldokument ist beschädigt.";
constexpr const char* kContentTooLarge =
    "Die Formel im Formeldokument ist zu groß (mehr als 16 MiB).";

struct TZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using TZip = std::unique_ptr<zip_t, TZipCloser>;

struct TSourceReleaser {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using TSource = std::unique_ptr<zip_source_t, TSourceReleaser>;

// The entry's bytes stay with the caller until the archive is closed.
bool AddEntry(zip_t* archive, const char* name, std::string_view bytes, bool stored) {
  zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
  if (source == nullptr) return false;
  const zip_int64_t index = zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8);
  if (index < 0) {
    zip_source_free(source);
    return false;
  }
  const zip_uint64_t entry = static_cast<zip_uint64_t>(index);
  // No time stamp: the same formula gives the same bytes.
  return zip_set_file_compression(archive, entry, stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) == 0 &&
         zip_file_set_mtime(archive, entry, 315532800, 0) == 0;
}

// What libzip wrote into the buffer source, once the archive is closed.
bool TakeBuffer(zip_source_t* source, std::vector<std::uint8_t>& bytes) {
  zip_stat_t stat;
  if (zip_source_open(source) != 0) return false;
  const bool sized = zip_source_stat(source, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) != 0;
  bytes.resize(sized ? stat.size : 0);
  const bool read = sized && zip_source_read(source, bytes.data(), bytes.size()) ==
                                 static_cast<zip_int64_t>(bytes.size());
  zip_source_close(source);
  return read;
}

// Reads at most `limit` bytes, and one more to tell that there are more.
enum class TRead { Whole, TooLarge, Damaged };
TRead ReadEntry(zip_t* archive, zip_uint64_t index, std::size_t limit, std::string& bytes) {
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (file == nullptr) return TRead::Damaged;
  bytes.clear();
  char chunk[65536];
  TRead result = TRead::Whole;
  for (;;) {
    const zip_int64_t got = zip_fread(file, chunk, sizeof chunk);
    if (got < 0) {
      result = TRead::Damaged;
      break;
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<std::size_t>(got) > limit) {
      result = TRead::TooLarge;
      break;
    }
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  zip_fclose(file);
  return result;
}

// Collects the text of the StarMath annotation.
class TAnnotationFinder : public TXmlHandler {
 public:
  explicit TAnnotationFinder(std::string& text) : text_(text) {}
  bool Found() const { return found_; }

  bool StartElement(const TXmlName& name, const TXmlAttributes& attributes, std::size_t) override {
    if (inside_) return false;  // an annotation holds text only
    inside_ = name.Local == "annotation" && attributes.Value("encoding") == "StarMath 5.0";
    return true;
  }
  bool EndElement() override {
    if (inside_) found_ = true;
    // The first one is the formula's.
    return !std::exchange(inside_, false);
  }
  bool Text(std::string_view utf8) override {
    if (inside_) text_ += utf8;
    return true;
  }
  bool Entity(std::string_view) override { return false; }

 private:
  std::string& text_;
  bool inside_ = false;
  bool found_ = false;
};

}  // namespace

bool WriteFormulaObject(std::string_view mathml, std::vector<std::uint8_t>& zip,
                        std::string& error) {
  zip_error_t problem;
  zip_error_init(&problem);
  TSource buffer(zip_source_buffer_create(nullptr, 0, 0, &problem));
  zip_error_fini(&problem);
  if (buffer == nullptr) {
    error = kZipFailed;
    return false;
  }
  TZip archive(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, nullptr));
  if (archive == nullptr) {
    error = kZipFailed;
    return false;
  }
  zip_source_keep(buffer.get());  // closing the archive frees its reference
  const std::string content = std::string(kXmlDeclaration).append(mathml);
  // The type comes first and uncompressed, so that it can be read at a fixed place.
  const bool added = AddEntry(archive.get(), "mimetype", kFormulaObjectMimeType, true) &&
                     AddEntry(archive.get(), kContentName, content, false) &&
                     AddEntry(archive.get(), "META-INF/manifest.xml", kManifest, false);
  if (!added || zip_close(archive.get()) != 0) {
    error = kZipFailed;
    return false;
  }
  archive.release();  // closed
  if (!TakeBuffer(buffer.get(), zip)) {
    error = kZipFailed;
    return false;
  }
  return true;
}

bool FormulaObjectFromFormula(const TFormulaLine* line, std::vector<std::uint8_t>& zip,
                              std::string& error) {
  return WriteFormulaObject(Utf8FromUtf16(MathMLFromFormula(line)), zip, error);
}

bool LooksLikeZip(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 && bytes[3] == 4;
}

bool ReadFormulaObjectContent(std::span<const std::uint8_t> zip, std::string& content,
                              std::string& error) {
  if (zip.size() > kMaxZipBytes) {
    error = kContentTooLarge;
    return false;
  }
  zip_error_t problem;
  zip_error_init(&problem);
  zip_source_t* source = zip_source_buffer_create(zip.data(), zip.size(), 0, &problem);
  TZip archive(source != nullptr ? zip_open_from_source(source, ZIP_RDONLY, &problem) : nullptr);
  zip_error_fini(&problem);
  if (archive == nullptr) {
    if (source != nullptr) zip_source_free(source);
    error = LooksLikeZip(zip) ? kDamagedZip : kNoFormulaObject;
    return false;
  }
  const zip_int64_t index = zip_name_locate(archive.get(), kContentName, 0);
  if (index < 0) {
    error = kNoFormulaObject;
    return false;
  }
  switch (
      ReadEntry(archive.get(), static_cast<zip_uint64_t>(index), kMaxFormulaTextBytes, content)) {
    case TRead::Whole:
      return true;
    case TRead::TooLarge:
      error = kContentTooLarge;
      return false;
    case TRead::Damaged:
      error = kDamagedZip;
      return false;
  }
  return false;
}

bool StarMathAnnotation(std::string_view mathml, std::u16string& starMath) {
  std::string text;
  TAnnotationFinder finder(text);
  ReadXml(mathml, finder);
  if (!finder.Found()) return false;
  starMath = Utf16FromUtf8(text);
  return true;
}

bool FormulaFromFormulaObject(std::span<const std::uint8_t> zip, TEntryCursor* cursor,
                              TOwnedLine& out, std::string& error) {
  std::string content;
  if (!ReadFormulaObjectContent(zip, content, error)) return false;
  TTextError problem;
  if (FormulaFromMathML(content, cursor, out, problem)) return true;
  // The annotation is what LibreOffice itself reads back.
  std::u16string starMath;
  TTextError annotationProblem;
  if (StarMathAnnotation(content, starMath) &&
      FormulaFromStarMath(starMath, cursor, out, annotationProblem)) {
    return true;
  }
  error = "content.xml: " + problem.Describe();
  return false;
}
