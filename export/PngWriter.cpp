#include "export/PngWriter.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "export/PngText.h"
#include "export/RunDeflate.h"

namespace {

// Up to this much filtered image data is compressed in one piece; a larger
// picture (a big formula at 4x) goes through zlib in strips (at its level 1
// for the level of runs), so that memory stays near the picture's own size.
constexpr std::size_t kWholeBufferBytes = std::size_t{32} << 20;
constexpr std::size_t kStripBytes = std::size_t{1} << 20;
constexpr std::size_t kStreamOutBytes = std::size_t{256} << 10;
// Qt's writer compresses texts of more than 40 characters.
constexpr qsizetype kLongestPlainText = 40;

enum : std::uint8_t { kRgb = 2, kPalette = 3, kRgba = 6 };
enum : std::uint8_t { kFilterNone = 0, kFilterSub = 1 };

struct TCompressorFree {
  void operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
  }
};

// A compressor is large to set up; each thread keeps one per level.
libdeflate_compressor* CompressorFor(int level) {
  thread_local std::array<std::unique_ptr<libdeflate_compressor, TCompressorFree>, kMaxPngLevel + 1>
      compressors;
  auto& compressor = compressors[static_cast<std::size_t>(level)];
  if (!compressor) compressor.reset(libdeflate_alloc_compressor(level));
  if (!compressor) throw std::bad_alloc();
  return compressor.get();
}

void Append32(QByteArray& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

// One chunk: its length, type, the data `fill` appends, and the checksum
// over type and data.
template <typename TFill>
void WriteChunk(QByteArray& out, const char* type, TFill&& fill) {
  const qsizetype start = out.size();
  Append32(out, 0);
  out.append(type, 4);
  fill();
  const auto length = static_cast<std::uint32_t>(out.size() - start - 8);
  for (int i = 0; i < 4; ++i) out[start + i] = static_cast<char>(length >> (24 - 8 * i));
  Append32(out, libdeflate_crc32(0, out.constData() + start + 4, length + 4));
}

// `data` as one zlib stream, appended to `out`; `period` is the length of
// its rows for the level of runs (0: no rows).
void AppendCompressed(QByteArray& out, std::span<const std::uint8_t> data, int level,
                      std::size_t period) {
  if (level == kRunsPngLevel) {
    AppendRunDeflate(out, data, period);
    return;
  }
  libdeflate_compressor* compressor = CompressorFor(level);
  const qsizetype start = out.size();
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor, data.size());
  out.resize(start + static_cast<qsizetype>(bound));
  const std::size_t written =
      libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data() + start, bound);
  out.resize(start + static_cast<qsizetype>(written));
}

std::span<const std::uint8_t> BytesOf(const QByteArray& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.constData()),
          static_cast<std::size_t>(text.size())};
}

void WriteTaggedText(QByteArray& out, const TPngTaggedText& text) {
  WriteChunk(out, "iTXt", [&] {
    out += text.Keyword;
    out.append("\0\0\0", 3);  // end of keyword, not compressed, method
    out += text.Language;
    out.append("\0\0", 2);  // end of the language tag, no translated keyword
    out += text.Text.toUtf8();
  });
}

void WriteText(QByteArray& out, const QByteArray& keyword, const QString& text, int level) {
  const bool latin1 =
      std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 256; });
  if (!latin1) {
    WriteTaggedText(out, {keyword, {}, text});
  } else if (text.size() > kLongestPlainText) {
    WriteChunk(out, "zTXt", [&] {
      out += keyword;
      out.append("\0\0", 2);  // end of keyword, method 0 (zlib)
      AppendCompressed(out, BytesOf(text.toLatin1()), level, 0);
    });
  } else {
    WriteChunk(out, "tEXt", [&] {
      out += keyword;
      out.append('\0');
      out += text.toLatin1();
    });
  }
}

std::uint8_t ColourTypeOf(const QImage& image) {
  if (image.format() == QImage::Format_Indexed8) return kPalette;
  return image.format() == QImage::Format_ARGB32 ? kRgba : kRgb;
}

std::size_t BytesPerPixel(std::uint8_t colourType) {
  return colourType == kPalette ? 1 : colourType == kRgb ? 3 : 4;
}

void WriteHeader(QByteArray& out, const QImage& image, std::uint8_t colourType) {
  WriteChunk(out, "IHDR", [&] {
    Append32(out, static_cast<std::uint32_t>(image.width()));
    Append32(out, static_cast<std::uint32_t>(image.height()));
    // 8 bits a sample, compression and filter method 0, not interlaced.
    const char rest[5] = {8, static_cast<char>(colourType), 0, 0, 0};
    out.append(rest, 5);
  });
}

// The colours, and their alpha up to the last entry that is not opaque.
void WritePalette(QByteArray& out, const QList<QRgb>& colours) {
  WriteChunk(out, "PLTE", [&] {
    for (const QRgb colour : colours) {
      const char rgb[3] = {static_cast<char>(qRed(colour)), static_cast<char>(qGreen(colour)),
                           static_cast<char>(qBlue(colour))};
      out.append(rgb, 3);
    }
  });
  const auto lastSeeThrough = std::find_if(colours.rbegin(), colours.rend(),
                                           [](QRgb colour) { return qAlpha(colour) < 255; });
  if (lastSeeThrough == colours.rend()) return;
  WriteChunk(out, "tRNS", [&] {
    for (auto colour = colours.begin(); colour != lastSeeThrough.base(); ++colour) {
      out.append(static_cast<char>(qAlpha(*colour)));
    }
  });
}

void WriteResolution(QByteArray& out, int dotsPerMetre) {
  WriteChunk(out, "pHYs", [&] {
    Append32(out, static_cast<std::uint32_t>(dotsPerMetre));
    Append32(out, static_cast<std::uint32_t>(dotsPerMetre));
    out.append('\1');  // per metre
  });
}

// Row `y` as the PNG stores it: the filter byte, then the samples. Palette
// rows go unfiltered (as libpng keeps them); colour rows take the Sub
// filter, which turns the runs of background and ink into zeros.
void FilteredRow(const QImage& image, std::uint8_t colourType, int y, std::uint8_t* out) {
  const int width = image.width();
  if (colourType == kPalette) {
    *out = kFilterNone;
    std::memcpy(out + 1, image.constScanLine(y), static_cast<std::size_t>(width));
    return;
  }
  *out++ = kFilterSub;
  const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
  const bool alpha = colourType == kRgba;
  QRgb before = 0;  // the pixel left of the first counts as zero
  for (int x = 0; x < width; ++x) {
    const QRgb pixel = in[x];
    *out++ = static_cast<std::uint8_t>(qRed(pixel) - qRed(before));
    *out++ = static_cast<std::uint8_t>(qGreen(pixel) - qGreen(before));
    *out++ = static_cast<std::uint8_t>(qBlue(pixel) - qBlue(before));
    if (alpha) *out++ = static_cast<std::uint8_t>(qAlpha(pixel) - qAlpha(before));
    before = pixel;
  }
}

void WriteWholeImageData(QByteArray& out, const QImage& image, std::uint8_t colourType,
                         std::size_t rowBytes, int level) {
  const std::size_t total = rowBytes * static_cast<std::size_t>(image.height());
  const auto rows = std::make_unique_for_overwrite<std::uint8_t[]>(total);
  for (int y = 0; y < image.height(); ++y) {
    FilteredRow(image, colourType, y, rows.get() + rowBytes * static_cast<std::size_t>(y));
  }
  WriteChunk(out, "IDAT", [&] { AppendCompressed(out, {rows.get(), total}, level, rowBytes); });
}

// zlib's stream, strip by strip, each full output buffer an IDAT chunk.
class TStreamedImageData {
 public:
  explicit TStreamedImageData(int level) : buffer_(kStreamOutBytes) {
    if (deflateInit(&stream_, std::clamp(level, Z_BEST_SPEED, Z_BEST_COMPRESSION)) != Z_OK) {
      throw std::bad_alloc();
    }
  }
  ~TStreamedImageData() { deflateEnd(&stream_); }
  TStreamedImageData(const TStreamedImageData&) = delete;
  TStreamedImageData& operator=(const TStreamedImageData&) = delete;

  void Add(QByteArray& out, std::span<std::uint8_t> data, bool last) {
    stream_.next_in = data.data();
    stream_.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    do {
      stream_.next_out = buffer_.data();
      stream_.avail_out = static_cast<uInt>(buffer_.size());
      status = deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
      if (status == Z_STREAM_ERROR) throw std::bad_alloc();
      const std::size_t made = buffer_.size() - stream_.avail_out;
      if (made > 0) {
        WriteChunk(out, "IDAT", [&] {
          out.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<qsizetype>(made));
        });
      }
    } while (stream_.avail_out == 0 || (last && status != Z_STREAM_END));
  }

 private:
  z_stream stream_{};
  std::vector<std::uint8_t> buffer_;
};

void WriteStreamedImageData(QByteArray& out, const QImage& image, std::uint8_t colourType,
                            std::size_t rowBytes, int level) {
  const int stripRows = static_cast<int>(std::max<std::size_t>(1, kStripBytes / rowBytes));
  std::vector<std::uint8_t> strip(rowBytes * static_cast<std::size_t>(stripRows));
  TStreamedImageData stream(level);
  for (int first = 0; first < image.height(); first += stripRows) {
    const int rows = std::min(stripRows, image.height() - first);
    for (int y = 0; y < rows; ++y) {
      FilteredRow(image, colourType, first + y,
                  strip.data() + rowBytes * static_cast<std::size_t>(y));
    }
    const bool last = first + rows == image.height();
    stream.Add(out, {strip.data(), rowBytes * static_cast<std::size_t>(rows)}, last);
  }
}

// Palette images and 32-bit images of plain colours stay as they are;
// anything else becomes one of those.
QImage WritableImage(const QImage& image) {
  switch (image.format()) {
    case QImage::Format_Indexed8:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
      return image;
    default:
      return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                           : QImage::Format_RGB32);
  }
}

void WriteImage(const QImage& image, const TPngOptions& options, QByteArray& out) {
  const std::uint8_t colourType = ColourTypeOf(image);
  const std::size_t rowBytes =
      1 + BytesPerPixel(colourType) * static_cast<std::size_t>(image.width());
  const std::size_t dataBytes = rowBytes * static_cast<std::size_t>(image.height());
  out.append(kPngSignature.data(), static_cast<qsizetype>(kPngSignature.size()));
  WriteHeader(out, image, colourType);
  if (colourType == kPalette) WritePalette(out, image.colorTable());
  if (options.DotsPerMetre > 0) WriteResolution(out, options.DotsPerMetre);
  for (const auto& [keyword, text] : options.Texts) WriteText(out, keyword, text, options.Level);
  for (const TPngTaggedText& text : options.TaggedTexts) WriteTaggedText(out, text);
  if (dataBytes <= kWholeBufferBytes) {
    WriteWholeImageData(out, image, colourType, rowBytes, options.Level);
  } else {
    WriteStreamedImageData(out, image, colourType, rowBytes, options.Level);
  }
  WriteChunk(out, "IEND", [] {});
}

}  // namespace

bool WritePng(const QImage& image, const TPngOptions& options, QByteArray& bytes) {
  bytes.clear();
  const QImage writable = WritableImage(image);
  if (writable.isNull() || options.Level < kMinPngLevel || options.Level > kMaxPngLevel) {
    return false;
  }
  try {
    WriteImage(writable, options, bytes);
    // The data went into room for the worst case; a batch holds hundreds
    // of pictures at once, each should take only its own size.
    bytes.squeeze();
    return true;
  } catch (const std::bad_alloc&) {
    bytes.clear();
    return false;
  }
}
