// Writing PNG files ourselves: the chunks around one zlib stream, made by
// our compressor of runs (RunDeflate.h) or by libdeflate, both faster than
// the zlib inside Qt's writer (BM_PngCompression). The files decode to exactly
// the pixels Qt's writer gave: a palette image as palette (its alpha in
// tRNS), an opaque image as 24-bit RGB, any other as 32-bit RGBA of plain
// (not premultiplied) colours.
#pragma once

#include <QByteArray>
#include <QImage>
#include <string>
#include <utility>
#include <vector>

// Level 0 compresses with runs and repeats of the row above only
// (RunDeflate.h); 1 to 12 are libdeflate's levels. See BM_PngCompression
// for the level the export uses.
inline constexpr int kRunsPngLevel = 0;
inline constexpr int kMinPngLevel = kRunsPngLevel;
inline constexpr int kMaxPngLevel = 12;

// A text in UTF-8 with the language it is written in: an uncompressed iTXt
// chunk, whatever characters it holds.
struct TPngTaggedText {
  QByteArray Keyword;   // Latin-1, 1 to 79 bytes
  QByteArray Language;  // a language tag such as "de"
  QString Text;
};

struct TPngOptions {
  int Level = 4;
  int DotsPerMetre = 0;  // a pHYs chunk when positive
  // Keyword (Latin-1, 1 to 79 bytes) and text, in this order before the
  // image data: tEXt, or zTXt beyond 40 bytes, for Latin-1 texts; iTXt
  // (UTF-8) for others.
  std::vector<std::pair<QByteArray, QString>> Texts;
  std::vector<TPngTaggedText> TaggedTexts;  // after Texts
};

// False only when memory runs out or the image is null.
bool WritePng(const QImage& image, const TPngOptions& options, QByteArray& bytes);
