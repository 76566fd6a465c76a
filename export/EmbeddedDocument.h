// The formula inside its picture: a PNG carries the document's bytes in a
// text chunk, an SVG in its metadata, both as base64. Reading them back is
// bounded and checks the document before handing it out.
#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QImage;

inline constexpr const char* kNoFormulaInPicture = "Das Bild enthält keine Formel.";
inline constexpr const char* kDamagedFormulaInPicture = "Die Formel im Bild ist beschädigt.";
inline constexpr const char* kFormulaTooLargeForPicture =
    "Die Formel ist zu groß, um sie im Bild mitzuspeichern (mehr als 4 MiB).";
inline constexpr const char* kFormulaTooLargeInPicture =
    "Die Formel im Bild ist zu groß (mehr als 4 MiB).";

// The PNG text key, and the SVG element's namespace.
inline constexpr const char* kEmbeddedDocumentKey = "Quillmora";
inline constexpr const char* kEmbeddedDocumentNamespace = "urn:x-quillmora:document";

// The PNG reader's library refuses text chunks beyond 8 MB; this much
// document stays well below that once in base64.
inline constexpr std::size_t kMaxEmbeddedDocumentBytes = std::size_t{4} << 20;
// Its base64, also when wrapped in lines of 76 with CR LF, as other tools
// re-wrap it, with some room for blanks around it.
inline constexpr std::size_t kMaxEmbeddedBase64Bytes =
    (kMaxEmbeddedDocumentBytes + 2) / 3 * 4 / 76 * 78 + 1024;

// The image's text, which the PNG writer puts into a text chunk.
void EmbedInImage(QImage& image, std::span<const std::uint8_t> document);
// That text itself: the document as base64.
QByteArray EmbeddedDocumentText(std::span<const std::uint8_t> document);
// The SVG with a <metadata> element holding the document, right after its
// opening <svg> tag.
QByteArray EmbedInSvg(const QByteArray& svg, std::span<const std::uint8_t> document);

enum class TPictureKind { None, Png, Svg };
// By content alone: the PNG signature, or XML whose start holds an <svg> tag.
TPictureKind SniffPicture(std::span<const std::uint8_t> bytes);

// The document bytes a PNG or SVG carries, checked by decoding them. Fails
// with kNoFormulaInPicture, kDamagedFormulaInPicture or
// kFormulaTooLargeInPicture. Base64 may be wrapped in lines.
bool DocumentFromPicture(std::span<const std::uint8_t> picture, std::vector<std::uint8_t>& document,
                         std::string& error);

// For opening any file: a picture (known by content, or by a picture
// extension of `path`) is replaced by the document it carries; other bytes
// are left alone for the document reader.
// `fromPicture`, when given, tells whether the bytes were a picture's.
bool TakeDocumentFromFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                          std::string& error, bool* fromPicture = nullptr);
