// Picture files: raster at scale 1 is the screen bitmap itself, at 2-4x a
// larger drawing of the same picture; SVG and PDF keep the text as text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "export/EmbeddedDocument.h"
#include "render/Layout.h"
#include "render/Palette.h"
#include "render/QImageCanvas.h"
#include "render/Replay.h"
#include "tests/export/ExportSupport.h"
#include "tests/export/PdfSupport.h"
#include "tests/render/Artefacts.h"

namespace {

QByteArray Encoded(const TPicture& picture, TExportOptions options) {
  QByteArray bytes;
  std::string error;
  EXPECT_TRUE(EncodePicture(picture, options, bytes, error)) << error;
  return bytes;
}

QImage Decoded(const QByteArray& bytes) {
  QImage image;
  EXPECT_TRUE(image.loadFromData(bytes));
  return image;
}

// The picture's terms as recorded, spaces left out, or word by word as the
// PDF draws them: what a text layer should hold in some order.
std::vector<QString> RecordedTexts(const TPicture& picture, bool words = false) {
  std::vector<QString> texts;
  for (const TRecordedOp& op : picture.Recording.Ops) {
    const auto* text = std::get_if<TRecordedText>(&op);
    if (text == nullptr || text->Text.empty()) continue;
    QString string = QString::fromStdU16String(text->Text);
    const QStringList parts =
        words ? string.split(' ', Qt::SkipEmptyParts) : QStringList{string.remove(' ')};
    texts.insert(texts.end(), parts.begin(), parts.end());
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

class ExportTest : public ::testing::Test {
 protected:
  ExportTest() {
    BuildShowcase(tree_.Root());
    picture_ = ShowcasePicture(tree_);
  }

  TFormulaTree tree_;
  TPicture picture_;
};

struct TLosslessCase {
  const char* description;
  TPictureFormat format;
};

// The editor's own bitmap, painted as it paints: the export must be that.
TEST_F(ExportTest, RasterAtScaleOneIsTheScreenBitmap) {
  TQImageCanvas screen;
  TPaintInput input;
  input.Root = tree_.Root();
  PaintComplete(screen, input);
  const QImage bitmap = screen.Image().convertToFormat(QImage::Format_RGB32);

  const TLosslessCase cases[] = {{"PNG", TPictureFormat::Png}, {"BMP", TPictureFormat::Bmp}};
  for (const TLosslessCase& c : cases) {
    const QImage exported = Decoded(Encoded(picture_, {c.format, 1, false}));
    EXPECT_TRUE(exported.convertToFormat(QImage::Format_RGB32) == bitmap) << c.description;
    EXPECT_EQ(exported.dotsPerMeterX(), 3780) << c.description << ": 96 dpi";
    EXPECT_EQ(exported.dotsPerMeterY(), 3780) << c.description;
  }
  const QImage jpeg = Decoded(Encoded(picture_, {TPictureFormat::Jpeg, 1, false}));
  EXPECT_EQ(jpeg.size(), bitmap.size());
  SaveArtefact(Decoded(Encoded(picture_, {})), "export-1x.png");
}

// A palette when the colours fit, 24 or 32 bits when not; lossless either
// way. Byte 25 of a PNG is its colour type: 2 RGB, 3 palette.
TEST_F(ExportTest, PngDecodesToExactlyThePicturesPixels) {
  TPicture gradient;  // a band of 512 shades: more colours than a palette holds
  gradient.Bitmap = QImage(512, 3, QImage::Format_RGB32);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 512; ++x) gradient.Bitmap.setPixel(x, y, qRgb(x / 2, (x * 7) % 256, 40));
  }
  gradient.Recording.Size = {512, 3};
  // The transparent picture at 3x as the exporter draws it, before encoding.
  QImage transparent(picture_.Bitmap.size() * 3, QImage::Format_ARGB32_Premultiplied);
  transparent.fill(Qt::transparent);
  QPainter painter(&transparent);
  ReplayRecording(painter, picture_.Recording, {3, true});
  painter.end();
  // Black on grey: greys from black up to the background only; on yellow:
  // the search for colours.
  const TPicture onGrey = ShowcasePicture(tree_, 0x808080);
  const TPicture onYellow = ShowcasePicture(tree_, 0xC0FFFF);
  const std::tuple<const TPicture*, TExportOptions, QImage, char> cases[] = {
      {&picture_, {}, picture_.Bitmap, 3},
      {&onGrey, {}, onGrey.Bitmap, 3},
      {&onYellow, {}, onYellow.Bitmap, 3},
      {&picture_,
       {TPictureFormat::Png, 3, true},
       transparent.convertToFormat(QImage::Format_ARGB32),
       3},
      {&gradient, {}, gradient.Bitmap, 2},
  };
  for (const auto& [picture, options, expected, colourType] : cases) {
    const QByteArray png = Encoded(*picture, options);
    EXPECT_EQ(png.at(25), colourType) << expected.width();
    EXPECT_TRUE(Decoded(png).convertToFormat(expected.format()) == expected) << expected.width();
  }
  EXPECT_TRUE(PaletteImage(gradient.Bitmap).isNull());
  EXPECT_EQ(PaletteImage(onGrey.Bitmap).colorCount(), 0x81) << "black to the background's grey";
}

TEST_F(ExportTest, ScaledRasterIsLargerAtAHigherResolution) {
  const QSize size = picture_.Bitmap.size();
  for (TPictureFormat format : {TPictureFormat::Png, TPictureFormat::Jpeg, TPictureFormat::Bmp}) {
    for (int scale : {2, 3, 4}) {
      const QImage image = Decoded(Encoded(picture_, {format, scale, false}));
      const std::string what = std::string(InfoOf(format).Label) + " " + std::to_string(scale);
      EXPECT_EQ(image.size(), size * scale) << what;
      // JPEG keeps whole dots per inch, PNG and BMP dots per metre.
      EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 96.0 * scale, 0.5) << what;
      EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255)) << what;
    }
  }
  SaveArtefact(Decoded(Encoded(picture_, {TPictureFormat::Png, 2, false})), "export-2x.png");
  SaveArtefact(Decoded(Encoded(picture_, {TPictureFormat::Png, 4, false})), "export-4x.png");
}

TEST_F(ExportTest, TransparentPngShowsOnlyTheFormula) {
  const QImage image = Decoded(Encoded(picture_, {TPictureFormat::Png, 3, true}));
  ASSERT_TRUE(image.hasAlphaChannel());
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, image.height() / 2)), 0);
  int opaque = 0;
  for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, image.height() / 2)) > 0;
  EXPECT_GT(opaque, 0) << "ink across the middle row";
  SaveArtefact(image, "export-transparent-3x.png");
}

// Every <text> element's content, spaces left out, sorted.
std::vector<QString> SvgTexts(const QByteArray& svg, bool& wellFormed) {
  std::vector<QString> texts;
  QXmlStreamReader xml(svg);
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text")) {
      texts.push_back(xml.readElementText().remove(' '));
    }
  }
  wellFormed = !xml.hasError();
  std::sort(texts.begin(), texts.end());
  return texts;
}

QImage RenderedSvg(const QByteArray& svg, QSize size) {
  QSvgRenderer renderer(svg);
  EXPECT_TRUE(renderer.isValid());
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

TEST_F(ExportTest, SvgIsValidAndKeepsTheTermsAsText) {
  const QByteArray svg = Encoded(picture_, {TPictureFormat::Svg, 1, false});
  EXPECT_EQ(QSvgRenderer(svg).viewBox(), picture_.Bitmap.rect());
  // Exactly the picture's size, in CSS pixels at any scale.
  const QByteArray size = "<svg width=\"" + QByteArray::number(picture_.Bitmap.width()) +
                          "px\" height=\"" + QByteArray::number(picture_.Bitmap.height()) + "px\"";
  EXPECT_TRUE(svg.contains(size)) << svg.left(200).constData();
  EXPECT_TRUE(Encoded(picture_, {TPictureFormat::Svg, 3, false}).contains(size));
  bool wellFormed = false;
  EXPECT_EQ(SvgTexts(svg, wellFormed), RecordedTexts(picture_));
  EXPECT_TRUE(wellFormed);
  EXPECT_TRUE(svg.contains(QString::fromUtf16(u"12 \u00D7 3 \u2215 2 \u00D7").toUtf8()))
      << "a term as one text, operators converted";

  const QImage rendered = RenderedSvg(svg, picture_.Bitmap.size());
  const QRect ink = InkBox(picture_.Bitmap);
  const QRect renderedInk = InkBox(rendered);
  EXPECT_NEAR(renderedInk.left(), ink.left(), 3);
  EXPECT_NEAR(renderedInk.right(), ink.right(), 3);
  EXPECT_NEAR(renderedInk.top(), ink.top(), 3);
  EXPECT_NEAR(renderedInk.bottom(), ink.bottom(), 3);
  SaveArtefact(rendered, "export-svg-rendered.png");
  SaveArtefactBytes(svg, "export.svg");
}

TEST_F(ExportTest, TransparentSvgHasNoBackground) {
  const QByteArray svg = Encoded(picture_, {TPictureFormat::Svg, 2, true});
  const QImage rendered = RenderedSvg(svg, picture_.Bitmap.size() * 2);
  EXPECT_EQ(qAlpha(rendered.pixel(0, 0)), 0);
  EXPECT_FALSE(InkBox(rendered).isEmpty());
  const QByteArray opaque = Encoded(picture_, {TPictureFormat::Svg, 2, false});
  EXPECT_EQ(qAlpha(RenderedSvg(opaque, picture_.Bitmap.size() * 2).pixel(0, 0)), 255);
}

// Each BT ... ET block of the page, as its glyph codes map to text.
std::vector<QString> PdfTexts(const QByteArray& pdf) {
  const std::map<QString, QString> characters = GlyphMap(pdf);
  std::vector<QString> texts;
  static const QRegularExpression block("BT\n(.*?)ET\n",
                                        QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression glyph("<([0-9A-F]{4})> Tj");
  for (const QByteArray& stream : PdfStreams(pdf)) {
    for (auto match = block.globalMatch(QString::fromLatin1(stream)); match.hasNext();) {
      QString text;
      const QString body = match.next().captured(1);
      for (auto code = glyph.globalMatch(body); code.hasNext();) {
        const auto found = characters.find(code.next().captured(1));
        text += found == characters.end() ? QString("?") : found->second;
      }
      texts.push_back(text);
    }
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

TEST_F(ExportTest, PdfIsOnePageOfThePictureSizeWithTheTermsAsText) {
  const QSize size = picture_.Bitmap.size();
  // The page box's top is the top of the whole points the writer pages in.
  const double top = std::ceil(size.height() * 0.75);
  const QString mediaBox = QString("/MediaBox [0 %1 %2 %3 ")
                               .arg(top - size.height() * 0.75)
                               .arg(size.width() * 0.75)
                               .arg(top);
  for (int scale : {1, 3}) {
    const QByteArray pdf = Encoded(picture_, {TPictureFormat::Pdf, scale, false});
    EXPECT_TRUE(pdf.startsWith("%PDF-1.")) << scale;
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF")) << scale;
    EXPECT_TRUE(pdf.contains("startxref")) << scale;
    EXPECT_EQ(pdf.count("/Type /Page\n"), 1) << scale;
    EXPECT_TRUE(pdf.contains(mediaBox.toLatin1())) << scale << ": the same size at any scale";
    EXPECT_EQ(PdfTexts(pdf), RecordedTexts(picture_, true)) << scale;
    EXPECT_TRUE(XrefPointsAtObjects(pdf)) << scale;
    if (scale == 1) SaveArtefactBytes(pdf, "export.pdf");
  }
}

struct TTextLayerCase {
  const char* description;
  std::u16string_view term;
  std::u16string_view text;  // as the picture shows it
  bool glyphPerCharacter;    // so that the glyph map alone gives each word
};

// Readers give back the marked text for the glyphs under it: the whole
// term, where the glyph map alone loses spaces, ligatures and characters
// beyond 16 bits.
TEST(PdfTextLayerTest, EveryTermIsMarkedWithItsWholeText) {
  const TTextLayerCase cases[] = {
      {"a character beyond 16 bits", u"\U0001D538", u"\U0001D538", true},
      {"words with single and double spaces", u"a bc  d ", u"a bc  d ", true},
      {"operators as the picture shows them", u"12 * 3 / 2 - 1", u"12 \u00D7 3 \u2215 2 \u2212 1",
       true},
      {"letters a font may join", u"fi ffl", u"fi ffl", false},
  };
  for (const TTextLayerCase& c : cases) {
    TFormulaTree tree;
    AppendTermEntry(tree.Root(), c.term);
    AppendTermEntry(AddFunction(tree.Root(), fkBetrag).First, c.term);
    for (int scale : {1, 2}) {
      const QByteArray pdf = Encoded(ShowcasePicture(tree), {TPictureFormat::Pdf, scale, false});
      int unmarked = -1;
      const std::vector<TMarkedText> marked = MarkedTexts(pdf, unmarked);
      const QString text = QString::fromStdU16String(std::u16string(c.text));
      ASSERT_EQ(marked.size(), 2u) << c.description;
      for (const TMarkedText& term : marked) {
        EXPECT_EQ(term.Text, text) << c.description;
        EXPECT_GE(term.Glyphs, 1) << c.description;
      }
      EXPECT_EQ(unmarked, 0) << c.description << ": every glyph belongs to its term";
      EXPECT_TRUE(XrefPointsAtObjects(pdf)) << c.description;
      if (!c.glyphPerCharacter) continue;
      const QStringList termWords = text.split(' ', Qt::SkipEmptyParts);
      std::vector<QString> words(termWords.begin(), termWords.end());
      words.insert(words.end(), termWords.begin(), termWords.end());  // the term twice
      std::sort(words.begin(), words.end());
      EXPECT_EQ(PdfTexts(pdf), words) << c.description << ": readers of the glyph map alone";
    }
  }
}

// The text layer is made by reading back what Qt's writer wrote; should
// that writer change, the layer would silently fall away. Every glyph of
// every PDF of these trees must still be marked with its text.
TEST(PdfTextLayerTest, EveryPdfOfRandomTreesKeepsItsTextLayer) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    TFormulaTree tree;
    BuildRandomTree(tree.Root(), seed, {5, 30});
    const TPicture picture = ShowcasePicture(tree);
    std::vector<QString> drawn;
    for (const QString& text : RecordedTexts(picture)) {
      if (!text.isEmpty()) drawn.push_back(text);
    }
    for (int scale = 1; scale <= 4; ++scale) {
      const QByteArray pdf = Encoded(picture, {TPictureFormat::Pdf, scale, false});
      int unmarked = -1;
      std::vector<QString> marked;
      for (const TMarkedText& text : MarkedTexts(pdf, unmarked)) {
        marked.push_back(QString(text.Text).remove(' '));
      }
      std::sort(marked.begin(), marked.end());
      EXPECT_EQ(marked, drawn) << "seed " << seed << ", scale " << scale;
      EXPECT_EQ(unmarked, 0) << "seed " << seed << ", scale " << scale;
    }
  }
}

struct TOptionsCase {
  const char* description;
  TExportOptions options;
  bool valid;
};

TEST(ExportOptionsTest, ScaleOneToFourTransparencyForPngAndSvgOnly) {
  const TOptionsCase cases[] = {
      {"PNG at 1", {TPictureFormat::Png, 1, false}, true},
      {"PDF at 4", {TPictureFormat::Pdf, 4, false}, true},
      {"scale 0", {TPictureFormat::Png, 0, false}, false},
      {"scale 5", {TPictureFormat::Svg, 5, false}, false},
      {"negative scale", {TPictureFormat::Bmp, -2, false}, false},
      {"transparent PNG", {TPictureFormat::Png, 2, true}, true},
      {"transparent SVG", {TPictureFormat::Svg, 1, true}, true},
      {"transparent JPEG", {TPictureFormat::Jpeg, 1, true}, false},
      {"transparent BMP", {TPictureFormat::Bmp, 1, true}, false},
      {"transparent PDF", {TPictureFormat::Pdf, 1, true}, false},
  };
  for (const TOptionsCase& c : cases) {
    std::string error;
    EXPECT_EQ(CheckExportOptions(c.options, error), c.valid) << c.description;
    EXPECT_EQ(error.empty(), c.valid) << c.description << ": " << error;
  }
}

struct TExtensionCase {
  const char* path;
  const TPictureFormat* format;
};

TEST(PictureFormatTest, TheExtensionNamesTheFormat) {
  static constexpr TPictureFormat png = TPictureFormat::Png, jpeg = TPictureFormat::Jpeg,
                                  svg = TPictureFormat::Svg, pdf = TPictureFormat::Pdf;
  const TExtensionCase cases[] = {
      {"formel.png", &png},
      {"/tmp/a.b/FORMEL.PNG", &png},
      {"x.jpg", &jpeg},
      {"x.JPEG", &jpeg},
      {"x.svg", &svg},
      {"bericht.pdf", &pdf},
      {"x.gif", nullptr},
      {"png", nullptr},
      {"ordner.png/datei", nullptr},
      {"x.png.qmt", nullptr},
      {"", nullptr},
      {".png", &png},
  };
  for (const TExtensionCase& c : cases) {
    const TPictureFormatInfo* info = PictureFormatOfPath(c.path);
    ASSERT_EQ(info != nullptr, c.format != nullptr) << c.path;
    if (info != nullptr) {
      EXPECT_EQ(info->Format, *c.format) << c.path;
    }
  }
  EXPECT_EQ(NameFilterOf(InfoOf(TPictureFormat::Png)), "PNG-Bild (*.png)");
  EXPECT_EQ(NameFilterOf(InfoOf(TPictureFormat::Jpeg)), "JPEG-Bild (*.jpg *.jpeg)");
}

struct TRefusalCase {
  const char* description;
  TExportOptions options;
  std::string message;
};

TEST_F(ExportTest, PicturesThatCannotBeWrittenAreRefusedWithAMessage) {
  TPicture stale = picture_;
  stale.Recording.Size.cx -= 10;  // recorded by a paint that grew the bitmap
  TPicture empty;
  TPicture huge;
  huge.Recording.Size = {40000, 20000};
  TPicture unmade;
  unmade.Recording.Size = {300, 200};
  TPicture laidOutTooLarge;  // as PaintPicture leaves it: no bitmap, no recording
  laidOutTooLarge.TooLarge = {200000, 3000};
  TPicture tooMuchFormula = picture_;
  tooMuchFormula.Document.assign(kMaxEmbeddedDocumentBytes + 1, 0);

  const std::pair<const TPicture*, TRefusalCase> cases[] = {
      {&empty, {"nothing painted", {}, "keine Fläche (0 × 0 Pixel)"}},
      {&stale, {"a recording of another paint", {TPictureFormat::Png, 2, false}, "vollständig"}},
      {&stale, {"the same, for SVG", {TPictureFormat::Svg, 1, false}, "vollständig"}},
      {&huge, {"four times a huge picture", {TPictureFormat::Png, 4, false}, "160000 × 80000"}},
      {&huge, {"a huge picture at 1x", {}, "zu groß: 40000 × 20000 Pixel"}},
      {&laidOutTooLarge,
       {"a layout beyond the limit, as a vector",
        {TPictureFormat::Svg, 1, false},
        "zu groß: 200000 × 3000 Pixel"}},
      {&unmade, {"a bitmap that was never made", {}, "konnte nicht angelegt werden"}},
      {&tooMuchFormula, {"a formula too large to carry", {}, kFormulaTooLargeForPicture}},
      {&picture_, {"a bad scale", {TPictureFormat::Png, 9, false}, "Maßstab"}},
  };
  for (const auto& [picture, c] : cases) {
    QByteArray bytes("old");
    std::string error;
    EXPECT_FALSE(EncodePicture(*picture, c.options, bytes, error)) << c.description;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.description << ": " << error;
    EXPECT_TRUE(bytes.isEmpty()) << c.description;
  }
  std::string error;
  QByteArray bytes;
  EXPECT_TRUE(EncodePicture(stale, {}, bytes, error)) << "scale 1 needs only the bitmap";
  tooMuchFormula.Document.clear();
  EXPECT_TRUE(EncodePicture(tooMuchFormula, {TPictureFormat::Pdf, 1, false}, bytes, error));
}

// The palette holds every colour (alpha included) of pictures of any width,
// whatever groups of pixels its scan takes together, up to 256 of them, each
// once; opaque greys take a path of their own, which any other pixel leaves.
TEST(PaletteImageTest, IndicesGiveBackEveryPixel) {
  const auto image = [](int width, int height, QImage::Format format, auto&& colourAt) {
    QImage made(width, height, format);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) made.setPixel(x, y, colourAt(x, y));
    }
    return made;
  };
  const auto stripes = [](int x, int y) { return qRgb(x % 3 * 100, y % 2 * 200, 7); };
  const auto shades = [](int colours) {
    return [colours](int x, int y) {
      const int shade = (x + 17 * y) % colours;
      return qRgb(shade % 256, shade / 256, 255);
    };
  };
  const auto greys = [](int darkest, int lightest) {
    return [=](int x, int y) {
      const int grey = darkest + (x * 7 + y * 13) % (lightest - darkest + 1);
      return qRgb(grey, grey, grey);
    };
  };
  const auto withPixel = [](auto colourAt, int atX, int atY, QRgb colour) {
    return [=](int x, int y) { return x == atX && y == atY ? colour : colourAt(x, y); };
  };
  const struct {
    const char* what;
    QImage picture;
    bool fits;
  } cases[] = {
      {"one pixel", image(1, 1, QImage::Format_RGB32, stripes), true},
      {"narrower than a group", image(7, 5, QImage::Format_RGB32, stripes), true},
      {"a group and a rest", image(9, 6, QImage::Format_RGB32, stripes), true},
      {"256 colours", image(64, 40, QImage::Format_RGB32, shades(256)), true},
      {"257 colours", image(64, 40, QImage::Format_RGB32, shades(257)), false},
      {"alpha",
       image(21, 9, QImage::Format_ARGB32,
             [](int x, int y) { return qRgba(9, 9, 9, (x * y) % 5 * 60); }),
       true},
      {"the colours 0 and 1, which mark empty places in the colour search",
       image(70, 3, QImage::Format_ARGB32,
             [](int x, int y) {
               return std::array<QRgb, 3>{0u, 1u, 0xFF000000u}[(x + y) % 3];
             }),
       true},
      {"many colours, the last 64 pixels overlapping",
       image(100, 4, QImage::Format_RGB32, shades(200)), true},
      {"greys, black to white, 64 at a time with an overlapping rest",
       image(150, 5, QImage::Format_RGB32, greys(0, 255)), true},
      {"greys, 32 at a time", image(40, 5, QImage::Format_RGB32, greys(0, 255)), true},
      {"greys not starting at black", image(150, 5, QImage::Format_RGB32, greys(40, 200)), true},
      {"greys, with one colour in the last overlapping pixels",
       image(150, 5, QImage::Format_RGB32, withPixel(greys(0, 254), 149, 4, qRgb(1, 2, 3))), true},
      {"greys, with one colour (red off) 32 at a time",
       image(40, 5, QImage::Format_RGB32, withPixel(greys(0, 254), 39, 4, qRgb(4, 3, 3))), true},
      {"greys, one not opaque",
       image(150, 5, QImage::Format_ARGB32, withPixel(greys(0, 254), 70, 2, qRgba(9, 9, 9, 254))),
       true},
  };
  // Each scan this processor can run: the others are only reached elsewhere.
  for (const TVectorUnits units : {TVectorUnits::Plain, TVectorUnits::Avx2, TVectorUnits::Avx512}) {
    if (VectorUnitsUpTo(units) != units) continue;
    for (const auto& [what, picture, fits] : cases) {
      const std::string label = what + std::string(" with units ") + std::to_string(int(units));
      const QImage palette = PaletteImage(picture, units);
      ASSERT_EQ(!palette.isNull(), fits) << label;
      if (fits) {
        EXPECT_TRUE(palette.convertToFormat(picture.format()) == picture) << label;
        const QList<QRgb> table = palette.colorTable();
        EXPECT_EQ(table.size(), std::ssize(std::set<QRgb>(table.begin(), table.end())))
            << label << ": each colour once";
      }
    }
  }
}

// Random pictures at the widths where the scans' blocks of 8, 32 and 64
// pixels begin, end and overlap, each kind with every scan this processor
// can run: the pixels come back exactly.
TEST(PaletteImageTest, RandomPicturesAtEveryBlockBoundary) {
  std::mt19937 random(7);
  const auto pick = [&](int below) { return static_cast<int>(random() % unsigned(below)); };
  const struct {
    const char* kind;
    std::function<QRgb(int x)> colourAt;  // by the pixel's place in the picture
  } kinds[] = {
      {"background with grey ink",
       [&](int) { return pick(4) == 0 ? qRgb(0, 0, 0) + pick(256) * 0x010101u : 0xFFFFFFFFu; }},
      {"greys and one colour somewhere",
       [&](int x) { return x == 5 ? qRgb(9, 9, 10) : 0xFF000000u + pick(200) * 0x010101u; }},
      {"a few colours",
       [&](int) {
         return std::array<QRgb, 3>{0xFFFFFFC0u, 0xFF102030u, 0xFF808000u}[pick(3)];
       }},
      {"greys, some see-through", [&](int) { return qRgba(7, 7, 7, pick(3) * 127); }},
  };
  for (const int width : {1, 8, 31, 32, 33, 63, 64, 65, 100, 127, 128, 129, 797}) {
    for (const auto& [kind, colourAt] : kinds) {
      QImage picture(width, 3, QImage::Format_ARGB32);
      int place = 0;
      for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, colourAt(place++));
      }
      for (const TVectorUnits units :
           {TVectorUnits::Plain, TVectorUnits::Avx2, TVectorUnits::Avx512}) {
        if (VectorUnitsUpTo(units) != units) continue;
        const std::string label = std::string(kind) + ", " + std::to_string(width) +
                                  " wide, units " + std::to_string(int(units));
        const QImage palette = PaletteImage(picture, units);
        ASSERT_FALSE(palette.isNull()) << label;
        EXPECT_TRUE(palette.convertToFormat(QImage::Format_ARGB32) == picture) << label;
      }
    }
  }
}

// A batch paints picture after picture on one canvas per thread: each
// picture has the pixels and recording a fresh canvas gives it, whether the
// canvas has its size already (one paint) or another (two).
TEST(PaintPictureTest, AKeptCanvasGivesEachPictureAsAFreshOne) {
  TQImageCanvas canvas;
  for (const std::uint32_t seed : {1u, 2u, 2u, 3u, 1u, 4u}) {
    const auto paint = [&](TQImageCanvas* on) {
      TFormulaTree tree;  // one each: a paint leaves its layout in the tree
      BuildRandomTree(tree.Root(), seed, {4, 20});
      TPaintInput input;
      input.Root = tree.Root();
      input.Background = seed % 2 == 0 ? kWhite : 0x00336699u;
      return on != nullptr ? PaintPicture(*on, input) : PaintPicture(input);
    };
    const TPicture fresh = paint(nullptr);
    const TPicture kept = paint(&canvas);
    ASSERT_FALSE(fresh.Bitmap.isNull()) << "seed " << seed;
    EXPECT_TRUE(kept.Bitmap == fresh.Bitmap) << "seed " << seed;
    EXPECT_TRUE(kept.Recording == fresh.Recording) << "seed " << seed;
  }
}

TEST_F(ExportTest, ExportWritesTheFileOrSaysWhyNot) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("qm-export-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::string error;
  const std::string path = (folder / "formel.pdf").string();
  EXPECT_TRUE(ExportPicture(picture_, path, {TPictureFormat::Pdf, 1, false}, error)) << error;
  EXPECT_GT(std::filesystem::file_size(path), 1000u);
  EXPECT_FALSE(ExportPicture(picture_, (folder / "fehlt" / "formel.png").string(), {}, error));
  EXPECT_EQ(error, "Die Datei konnte nicht erzeugt werden!");
  std::filesystem::remove_all(folder);
}

}  // namespace
