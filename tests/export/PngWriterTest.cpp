// Our PNG writer: every picture decodes (Qt's reader, which is libpng) to
// exactly the pixels painted, palette or not, opaque or transparent, and
// carries its formula and resolution where readers look for them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QPainter>
#include <random>
#include <span>
#include <string>

#include "docfile/DocFile.h"
#include "export/EmbeddedDocument.h"
#include "export/PngText.h"
#include "export/PngWriter.h"
#include "export/RunDeflate.h"
#include "render/QtFont.h"
#include "render/Replay.h"
#include "tests/export/ExportSupport.h"

namespace {

std::span<const std::uint8_t> BytesOf(const QByteArray& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
          static_cast<std::size_t>(bytes.size())};
}

// The picture as the raster export paints it at `scale`, in plain colours.
QImage Painted(const TPicture& picture, int scale, bool transparent) {
  if (scale == 1 && !transparent) return picture.Bitmap.convertToFormat(QImage::Format_ARGB32);
  QImage image(picture.Bitmap.size() * scale,
               transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  image.fill(transparent ? QColor(Qt::transparent) : ColorFromValue(picture.Recording.Background));
  QPainter painter(&image);
  ReplayRecording(painter, picture.Recording, {scale, transparent});
  painter.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

QImage Decoded(const QByteArray& png) {
  QImage image;
  EXPECT_TRUE(image.loadFromData(png, "PNG"));
  return image.convertToFormat(QImage::Format_ARGB32);
}

TEST(PngWriterTest, RandomTreesDecodeToThePaintedPixelsAndCarryTheirFormula) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    TFormulaTree tree;
    BuildRandomTree(tree.Root(), seed, {5, 30});
    TPicture picture = ShowcasePicture(tree, seed % 2 == 0 ? kWhite : 0x00336699u);
    picture.Document = EncodeDocument(tree.Root(), TStoredFont(), kWhite, 20.0);
    for (int scale = 1; scale <= 4; ++scale) {
      for (const bool transparent : {false, true}) {
        const std::string what = "seed " + std::to_string(seed) + ", scale " +
                                 std::to_string(scale) + (transparent ? ", transparent" : "");
        QByteArray png;
        std::string error;
        ASSERT_TRUE(EncodePicture(picture, {TPictureFormat::Png, scale, transparent}, png, error))
            << what << ": " << error;
        const QImage decoded = Decoded(png);
        EXPECT_TRUE(decoded == Painted(picture, scale, transparent)) << what;
        EXPECT_EQ(decoded.dotsPerMeterX(), qRound(96.0 * scale / 0.0254))
            << what << ": 96 dpi a scale";
        std::string text;
        EXPECT_EQ(ReadPngText(BytesOf(png), kEmbeddedDocumentKey, kMaxEmbeddedBase64Bytes, text),
                  TPngTextResult::Found)
            << what;
        std::vector<std::uint8_t> document;
        EXPECT_TRUE(DocumentFromPicture(BytesOf(png), document, error)) << what << ": " << error;
        EXPECT_EQ(document, picture.Document) << what;
      }
    }
  }
}

// More colours than a palette holds, in the two 32-bit forms and others the
// writer converts; texts in all three chunk forms; a picture too large for
// one piece of compression.
TEST(PngWriterTest, TrueColourTextsAndLargePicturesAreWrittenExactly) {
  QImage gradient(600, 40, QImage::Format_ARGB32);
  for (int y = 0; y < gradient.height(); ++y) {
    for (int x = 0; x < gradient.width(); ++x) {
      gradient.setPixel(x, y, qRgba(x % 256, (x * 7 + y) % 256, y * 6, (x + y * 3) % 256));
    }
  }
  QImage large(3400, 3400, QImage::Format_RGB32);  // more than 32 MiB as RGB rows
  for (int y = 0; y < large.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(large.scanLine(y));
    for (int x = 0; x < large.width(); ++x) row[x] = qRgb(x / 13, y / 12, (x ^ y) & 0xff);
  }
  const struct {
    const char* what;
    QImage image;
    bool inPieces;  // compressed in strips, the data in several IDAT chunks
  } images[] = {
      {"RGBA", gradient, false},
      {"RGB", gradient.convertToFormat(QImage::Format_RGB32), false},
      {"premultiplied", gradient.convertToFormat(QImage::Format_ARGB32_Premultiplied), false},
      {"RGB888", gradient.convertToFormat(QImage::Format_RGB888), false},
      {"streamed", large, true},
  };
  TPngOptions options;
  options.DotsPerMetre = 7559;
  options.Texts = {{"Kurz", "nur Latin-1: äöü"},
                   {"Lang", QString(200, QChar(u'x')) + "ß"},
                   {"Unicode", QString::fromUtf8("∑ √ 𝔸")}};
  for (const int level : {kRunsPngLevel, 4}) {
    options.Level = level;
    for (const auto& [what, image, inPieces] : images) {
      const std::string at = std::string(what) + " at level " + std::to_string(level);
      QByteArray png;
      ASSERT_TRUE(WritePng(image, options, png)) << at;
      EXPECT_EQ(png.count("IDAT") > 1, inPieces) << at;
      const QImage decoded = Decoded(png);
      const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
      EXPECT_TRUE(decoded == expected) << at;
      EXPECT_EQ(decoded.dotsPerMeterY(), 7559) << at;
      QImage withTexts;
      ASSERT_TRUE(withTexts.loadFromData(png, "PNG")) << at;
      for (const auto& [keyword, text] : options.Texts) {
        EXPECT_EQ(withTexts.text(QString::fromLatin1(keyword)), text)
            << at << ", " << keyword.data();
      }
    }
  }
  QByteArray png;
  options.Level = kMinPngLevel - 1;
  EXPECT_FALSE(WritePng(gradient, options, png)) << "a level below the runs";
  options.Level = kMaxPngLevel + 1;
  EXPECT_FALSE(WritePng(gradient, options, png)) << "a level libdeflate does not have";
  EXPECT_FALSE(WritePng(QImage(), {}, png)) << "no image";
}

// The compressor of runs and repeated rows gives streams that zlib inflates
// to the very bytes, whatever their shape.
TEST(PngWriterTest, RunStreamsInflateToTheirBytes) {
  std::mt19937 random(7);
  const auto bytes = [&](std::size_t size, auto&& byteAt) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = byteAt(i, data);
    return data;
  };
  const auto noise = [&](std::size_t, auto&) { return static_cast<std::uint8_t>(random()); };
  // Symbol i a little more than twice as often as symbol i + 1: Huffman's
  // code for 40 symbols would need far more than deflate's 15 bits.
  std::vector<std::uint8_t> skewed;
  for (std::uint8_t symbol = 0; symbol < 40; ++symbol) {
    skewed.insert(skewed.end(), std::size_t{1} << (std::max(0, 17 - symbol)) | 1, symbol);
  }
  std::shuffle(skewed.begin(), skewed.end(), random);
  const struct {
    const char* what;
    std::vector<std::uint8_t> data;
    std::size_t period;
  } cases[] = {
      {"nothing", {}, 1},
      {"one byte", {42}, 1},
      {"a run far longer than a match", std::vector<std::uint8_t>(100000, 9), 1},
      {"noise: literals only, in many blocks", bytes(200000, noise), 801},
      {"rows of noise with ink repeating the row above",
       bytes(300000,
             [&](std::size_t i, auto& data) {
               return i >= 801 && random() % 8 != 0 ? data[i - 801]
                                                    : static_cast<std::uint8_t>(random() % 5);
             }),
       801},
      {"a period beyond the window: runs only",
       bytes(200000, [&](std::size_t i, auto&) { return static_cast<std::uint8_t>(i / 7 % 3); }),
       40000},
      {"codes that need their lengths limited", skewed, 1000},
  };
  for (const auto& [what, data, period] : cases) {
    QByteArray stream;
    AppendRunDeflate(stream, data, period);
    std::vector<std::uint8_t> inflated(data.size() + 1);
    uLongf size = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &size, reinterpret_cast<const Bytef*>(stream.constData()),
                         static_cast<uLong>(stream.size())),
              Z_OK)
        << what;
    inflated.resize(size);
    EXPECT_EQ(inflated, data) << what;
  }
}

}  // namespace
