#include "export/Export.h"

#include <zlib.h>

#include <QBuffer>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>
#include <utility>

#include "docfile/DocFile.h"
#include "export/EmbeddedDocument.h"
#include "export/PdfTags.h"
#include "export/PdfText.h"
#include "export/PngWriter.h"
#include "render/Palette.h"
#include "render/PictureLimit.h"
#include "render/QImageCanvas.h"
#include "render/QtFont.h"
#include "render/Replay.h"
#include "textio/FormulaText.h"
#include "textio/XmlEscape.h"

namespace {

constexpr const char* kCannotSave = "Das Bild konnte nicht gespeichert werden.";
constexpr const char* kCreator = "Quillmora Editor";
constexpr char16_t kTitle[] = u"Formel";
// The language tag of the PNG text that speaks the formula.
constexpr const char* kSpokenLanguage = "de";
constexpr double kMetresPerInch = 0.0254;
// Thin strokes and small glyphs blur at the writer's default quality.
constexpr int kJpegQuality = 95;
// The PNG writer's level for PNG data. On the start-up formula's palette
// picture (bench_export, BM_PngCompression, CPU time, medians of five runs
// side by side at a load of 6): the runs of level 0 took 0.08 ms for 7.02
// KB; libdeflate's level 3 0.30 ms (6.69 KB), 2 0.33 ms (6.70 KB), 1 0.37
// ms (6.75 KB); in earlier runs 5 0.32 ms (6.38 KB), 6 0.41 ms, 8 2.3 ms,
// and Qt's writer (zlib) 0.37 to 0.40 ms for 7.67 KB.
constexpr int kPngLevel = kRunsPngLevel;

// A text alternative longer than this helps no one listening (it takes
// hours to hear) and only swells the file; it is cut after a word.
constexpr std::size_t kMaxSpokenUnits = std::size_t{64} << 10;
constexpr std::u16string_view kCut = u" \u2026";

}  // namespace

std::u16string PictureDescription(const TPictureText& text) {
  std::u16string title;
  std::u16string_view spoken = text.Spoken;
  if (spoken.size() > kMaxSpokenUnits) {
    std::size_t end = spoken.rfind(u' ', kMaxSpokenUnits - kCut.size());
    if (end == std::u16string_view::npos || end == 0) {
      end = kMaxSpokenUnits - kCut.size();
      if (IsHighSurrogate(spoken[end - 1])) --end;
    }
    spoken = spoken.substr(0, end);
  }
  ForEachCodePoint(spoken, [&](char32_t c, bool lone) {
    AppendUtf16(
        c < 0x20 || (c >= 0x7F && c < 0xA0) || lone || c == 0xFFFE || c == 0xFFFF ? U'\uFFFD' : c,
        title);
  });
  if (spoken.size() < text.Spoken.size()) title += kCut;
  return title.empty() ? std::u16string(kTitle) : title;
}

namespace {

QSize PictureSize(const TPicture& picture) {
  if (!picture.Bitmap.isNull()) return picture.Bitmap.size();
  return {picture.Recording.Size.cx, picture.Recording.Size.cy};
}

std::string Dimensions(QSize size) {
  return std::to_string(size.width()) + " × " + std::to_string(size.height()) + " Pixel";
}

std::string CannotAllocate(QSize size) {
  return "Das Bild (" + Dimensions(size) + ") konnte nicht angelegt werden.";
}

bool IsRaster(TPictureFormat format) {
  return format == TPictureFormat::Png || format == TPictureFormat::Jpeg ||
         format == TPictureFormat::Bmp;
}

bool UsesBitmap(const TExportOptions& options) {
  return IsRaster(options.Format) && options.Scale == 1 && !options.Transparent;
}

bool CheckPicture(const TPicture& picture, const TExportOptions& options, std::string& error) {
  const QSize size = PictureSize(picture);
  const TSize recorded = picture.Recording.Size;
  const TSize asked =
      picture.TooLarge.cx > 0 ? picture.TooLarge : TSize{size.width(), size.height()};
  if (!PictureFits(asked, options.Scale)) {
    error = PictureTooLargeText(asked, options.Scale);
  } else if (size.isEmpty()) {
    error = "Das Bild hat keine Fläche (" + Dimensions(size) + ") und wird nicht gespeichert.";
  } else if (InfoOf(options.Format).CarriesDocument &&
             picture.Document.size() > kMaxEmbeddedDocumentBytes) {
    error = kFormulaTooLargeForPicture;
  } else if (UsesBitmap(options) && picture.Bitmap.isNull()) {
    error = CannotAllocate(size);
  } else if (!UsesBitmap(options) && QSize(recorded.cx, recorded.cy) != size) {
    // A recording of another paint would draw another picture.
    error = "Das Bild ist noch nicht vollständig gemalt und wird nicht gespeichert.";
  } else {
    return true;
  }
  return false;
}

// With `ground`, the whole device is filled first: a PDF page, whole points,
// may be a little larger than the picture. `drawn`, when given, gets where
// the texts went.
bool ReplayOnto(QPaintDevice& device, const TPicture& picture, const TExportOptions& options,
                bool ground, std::string& error, std::vector<TDrawnText>* drawn = nullptr) {
  QPainter painter;
  if (!painter.begin(&device)) {
    error = kCannotSave;
    return false;
  }
  if (ground) {
    painter.fillRect(QRect(0, 0, device.width(), device.height()),
                     ColorFromValue(picture.Recording.Background));
  }
  ReplayRecording(painter, picture.Recording, {options.Scale, options.Transparent, drawn});
  if (painter.end()) return true;
  error = kCannotSave;
  return false;
}

QImage RasterImage(const TPicture& picture, const TExportOptions& options, std::string& error) {
  if (UsesBitmap(options)) return picture.Bitmap;
  const QSize size = PictureSize(picture) * options.Scale;
  QImage image(size,
               options.Transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull()) {
    error = CannotAllocate(size);
    return image;
  }
  image.fill(options.Transparent ? QColor(Qt::transparent)
                                 : ColorFromValue(picture.Recording.Background));
  if (!ReplayOnto(image, picture, options, false, error)) return {};
  return image;
}

// Pasted elsewhere, the picture keeps its size on screen at any scale.
int DotsPerMetre(int scale) { return qRound(kScreenPixelsPerInch * scale / kMetresPerInch); }

// A picture of more colours keeps 24 bits, or 32 when transparent.
bool EncodePng(const TPicture& picture, const TExportOptions& options, QByteArray& bytes,
               std::string& error) {
  const QImage image = RasterImage(picture, options, error);
  if (image.isNull()) return false;
  TPngOptions png;
  png.Level = kPngLevel;
  png.DotsPerMetre = DotsPerMetre(options.Scale);
  if (!picture.Document.empty()) {
    png.Texts.emplace_back(kEmbeddedDocumentKey,
                           QString::fromLatin1(EmbeddedDocumentText(picture.Document)));
  }
  png.TaggedTexts.push_back({kPictureDescriptionKey, kSpokenLanguage,
                             QString::fromStdU16String(PictureDescription(picture.Text))});
  const QImage palette = PaletteImage(image);
  if (WritePng(palette.isNull() ? image : palette, png, bytes)) return true;
  error = kCannotSave;
  return false;
}

bool EncodeRaster(const TPicture& picture, const TExportOptions& options, QByteArray& bytes,
                  std::string& error) {
  if (options.Format == TPictureFormat::Png) return EncodePng(picture, options, bytes, error);
  QImage image = RasterImage(picture, options, error);
  if (image.isNull()) return false;
  image.setDotsPerMeterX(DotsPerMetre(options.Scale));
  image.setDotsPerMeterY(DotsPerMetre(options.Scale));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const std::string_view writerFormat = InfoOf(options.Format).Extensions[0].substr(1);
  QImageWriter writer(&buffer, QByteArray(writerFormat.data(), std::ssize(writerFormat)));
  if (options.Format == TPictureFormat::Jpeg) writer.setQuality(kJpegQuality);
  if (writer.write(image)) return true;
  error = kCannotSave;
  return false;
}

// The generator gives the size in millimetres, rounded to six digits, which
// readers turn back into pixels one too many. The size in CSS pixels (96 per
// inch, as the picture has them at scale 1) is exact, at every scale.
QByteArray WithPixelSize(QByteArray svg, QSize size) {
  const qsizetype root = svg.indexOf("<svg");
  if (root < 0) return svg;
  for (const auto& [name, pixels] :
       {std::pair{"width=\"", size.width()}, std::pair{"height=\"", size.height()}}) {
    const qsizetype tagEnd = svg.indexOf('>', root);
    const qsizetype start = svg.indexOf(name, root);
    if (start < 0 || start > tagEnd) continue;
    const qsizetype valueStart = start + qsizetype(std::strlen(name));
    const qsizetype valueEnd = svg.indexOf('"', valueStart);
    if (valueEnd < 0) continue;
    const QByteArray value = QByteArray::number(pixels) + "px";
    svg.replace(valueStart, valueEnd - valueStart, value);
  }
  return svg;
}

// Element `name` as the generator writes it among the first children of
// the root, which begin after `from`: its place, with the line break after.
std::pair<qsizetype, qsizetype> GeneratorElement(const QByteArray& svg, qsizetype from,
                                                 QByteArrayView name) {
  const QByteArray open = "<" + name.toByteArray() + ">";
  const QByteArray close = "</" + name.toByteArray() + ">";
  const qsizetype drawing = svg.indexOf("<g", from);
  const qsizetype start = svg.indexOf(open, from);
  const qsizetype end = start < 0 ? -1 : svg.indexOf(close, start);
  if (end < 0 || (drawing >= 0 && start > drawing)) return {-1, 0};
  qsizetype length = end + close.size() - start;
  if (start + length < svg.size() && svg[start + length] == '\n') ++length;
  return {start, length};
}

// XML 1.0 cannot hold control characters other than tab and line breaks,
// and the generator writes a term's as they are. In UTF-8 their bytes
// stand only for themselves. Copied once, not replaced in place, which
// would move the rest of the file for each of them.
QByteArray WithoutControlCharacters(const QByteArray& svg) {
  const auto control = [](char byte) {
    const auto c = static_cast<unsigned char>(byte);
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
  };
  if (std::none_of(svg.begin(), svg.end(), control)) return svg;
  QByteArray out;
  out.reserve(svg.size());
  for (const char byte : svg) {
    if (control(byte)) {
      out += "\xEF\xBF\xBD";  // U+FFFD
    } else {
      out += byte;
    }
  }
  return out;
}

QByteArray XmlBytes(std::u16string_view text) {
  return QString::fromStdU16String(XmlEscaped(text, TXmlPlace::Content)).toUtf8();
}

// The title names the picture for screen readers (the root's
// aria-labelledby points at it), the description gives the LaTeX. Both
// stand first in the root, where readers look; the generator's own go. The
// title's id is made of its text, so that pictures put into one web page
// side by side keep their titles apart.
QByteArray WithDescription(QByteArray svg, const TPictureText& text) {
  const qsizetype root = svg.indexOf("<svg");
  qsizetype tagEnd = root < 0 ? -1 : svg.indexOf('>', root);
  if (tagEnd < 0) return svg;
  for (const char* name : {"title", "desc"}) {
    const auto [start, length] = GeneratorElement(svg, tagEnd, name);
    if (start >= 0) svg.remove(start, length);
  }
  const std::u16string spoken = PictureDescription(text);
  const QByteArray title = XmlBytes(spoken);
  const QByteArray latex = XmlBytes(text.Latex);
  const QByteArray both = title + '\n' + latex;
  const uLong hash = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(both.constData()),
                           static_cast<uInt>(both.size()));
  const QByteArray id = "formel-" + QByteArray::number(quint32(hash), 16).rightJustified(8, '0');
  const QByteArray attributes = " role=\"img\" aria-labelledby=\"" + id + "\"";
  svg.insert(tagEnd, attributes);
  tagEnd += attributes.size();
  QByteArray elements = "\n<title id=\"" + id + "\">" + title + "</title>";
  if (!latex.isEmpty()) elements += "\n<desc>" + latex + "</desc>";
  svg.insert(tagEnd + 1, elements);
  return svg;
}

bool EncodeSvg(const TPicture& picture, const TExportOptions& options, QByteArray& bytes,
               std::string& error) {
  const QSize size = PictureSize(picture) * options.Scale;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setResolution(kScreenPixelsPerInch * options.Scale);
  generator.setTitle(QString::fromUtf16(kTitle));
  generator.setDescription(kCreator);
  if (!ReplayOnto(generator, picture, options, false, error)) return false;
  buffer.close();
  bytes = WithPixelSize(WithoutControlCharacters(bytes), PictureSize(picture));
  if (!picture.Document.empty()) bytes = EmbedInSvg(bytes, picture.Document);
  bytes = WithDescription(bytes, picture.Text);
  return true;
}

// A length in points with no more digits than it needs.
QByteArray PointsText(double points) {
  QByteArray text = QByteArray::number(points, 'f', 2);
  while (text.endsWith('0')) text.chop(1);
  if (text.endsWith('.')) text.chop(1);
  return text;
}

// The writer makes pages of whole points, rounded up, and draws from the
// page's top down. The page's box is narrowed to the picture, `exact`
// points: from the left and from the top, which leaves its bottom above 0.
// The new box takes no more bytes than the old one (spaces make up the
// rest), so every offset the file records stays right.
void NarrowMediaBox(QByteArray& pdf, QSizeF exact) {
  static const QRegularExpression box(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])");
  const QRegularExpressionMatch match = box.match(QString::fromLatin1(pdf));
  if (!match.hasMatch()) return;
  const double pageHeight = match.captured(2).toDouble();
  QByteArray narrowed = "/MediaBox [0 " + PointsText(pageHeight - exact.height()) + " " +
                        PointsText(exact.width()) + " " + PointsText(pageHeight);
  const qsizetype length = match.capturedLength();
  if (narrowed.size() + 1 > length) return;
  narrowed += QByteArray(length - narrowed.size() - 1, ' ') + "]";
  pdf.replace(match.capturedStart(), length, narrowed);
}

// The page is the picture: 72 points for 96 pixels, at every scale.
bool EncodePdf(const TPicture& picture, const TExportOptions& options, QByteArray& bytes,
               std::string& error) {
  const QSize size = PictureSize(picture);
  const auto points = [](int pixels) {
    return static_cast<int>((std::int64_t{pixels} * 72 + kScreenPixelsPerInch - 1) /
                            kScreenPixelsPerInch);
  };
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kScreenPixelsPerInch * options.Scale);
  writer.setCreator(kCreator);
  writer.setTitle(QString::fromUtf16(kTitle));
  const QPageSize page(QSize(points(size.width()), points(size.height())), QString(),
                       QPageSize::ExactMatch);
  if (!writer.setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF()))) {
    error = kCannotSave;
    return false;
  }
  std::vector<TDrawnText> drawn;
  if (!ReplayOnto(writer, picture, options, true, error, &drawn)) return false;
  buffer.close();
  NarrowMediaBox(bytes, QSizeF(size) * 72.0 / kScreenPixelsPerInch);
  bytes = WithStructure(WithTextLayer(bytes, drawn), PictureDescription(picture.Text));
  return true;
}

}  // namespace

TPictureText PictureTextOf(const TFormulaLine* line) {
  return {SpeechFromFormula(line), LatexFromFormula(line)};
}

TPicture PaintPicture(const TPaintInput& input) {
  TQImageCanvas canvas;
  return PaintPicture(canvas, input);
}

TPicture PaintPicture(TQImageCanvas& canvas, const TPaintInput& input) {
  TRecordedPaint paint = PaintCompleteRecorded(canvas, input);
  TPicture picture;
  if (!PictureFits(paint.Size)) picture.TooLarge = paint.Size;
  picture.Bitmap = canvas.Image();
  picture.Recording = std::move(paint.Recording);
  return picture;
}

QImage ScaledBitmap(const TPicture& picture, int scale) {
  TExportOptions options;
  options.Scale = scale;
  std::string error;
  if (!CheckPicture(picture, options, error)) return {};
  return RasterImage(picture, options, error);
}

bool CheckExportOptions(const TExportOptions& options, std::string& error) {
  if (options.Scale < kMinExportScale || options.Scale > kMaxExportScale) {
    error = "Der Maßstab muss zwischen 1 und 4 liegen.";
  } else if (options.Transparent && !InfoOf(options.Format).Transparency) {
    error = "Einen durchsichtigen Hintergrund gibt es nur für PNG und SVG.";
  } else {
    return true;
  }
  return false;
}

bool EncodePicture(const TPicture& picture, const TExportOptions& options, QByteArray& bytes,
                   std::string& error) {
  bytes.clear();
  if (!CheckExportOptions(options, error) || !CheckPicture(picture, options, error)) return false;
  switch (options.Format) {
    case TPictureFormat::Png:
    case TPictureFormat::Jpeg:
    case TPictureFormat::Bmp:
      return EncodeRaster(picture, options, bytes, error);
    case TPictureFormat::Svg:
      return EncodeSvg(picture, options, bytes, error);
    case TPictureFormat::Pdf:
      return EncodePdf(picture, options, bytes, error);
  }
  return false;
}

bool ExportPicture(const TPicture& picture, const std::string& path, const TExportOptions& options,
                   std::string& error) {
  QByteArray bytes;
  if (!EncodePicture(picture, options, bytes, error)) return false;
  const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           static_cast<std::size_t>(bytes.size()));
  return WriteDocumentFile(path, data, error);
}
