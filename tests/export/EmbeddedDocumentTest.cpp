// The formula travels with its picture: PNG and SVG give back the document
// they were exported with; pictures without one, damaged or hostile ones are
// refused with a message. And the clipboard offers every form.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <functional>

#include "docfile/DocFile.h"
#include "export/Clipboard.h"
#include "export/EmbeddedDocument.h"
#include "tests/export/ExportSupport.h"

namespace {

std::vector<std::uint8_t> Bytes(const QByteArray& bytes) { return {bytes.begin(), bytes.end()}; }

QByteArray Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(QImageWriter(&buffer, "png").write(image));
  return bytes;
}

// A document unlike a new one in every part: tree, face, style, size,
// colours and margin.
class EmbeddedDocumentTest : public ::testing::Test {
 protected:
  EmbeddedDocumentTest() {
    AppendTermEntry(tree_.Root(), u"a - b /");
    AddStacked(tree_.Root(), fkBruch, u"\u03C0", u"2");
    AppendTermEntry(AddFunction(tree_.Root(), fkWurzel, u"3").First, u"x");
    font_.Name = "DejaVu Serif";
    font_.Size = 14;
    font_.Style = fsBold | fsItalic;
    font_.Color = 0x00203040;
    TPaintInput input;
    input.Root = tree_.Root();
    input.Font = FontFromStored(font_);
    input.Margin = 7;
    input.Background = kBackground;
    picture_ = PaintPicture(input);
    picture_.Document = EncodeDocument(tree_.Root(), font_, kBackground, 7.0);
  }

  QByteArray Exported(TPictureFormat format, bool transparent = false) const {
    QByteArray bytes;
    std::string error;
    EXPECT_TRUE(EncodePicture(picture_, {format, 2, transparent}, bytes, error)) << error;
    return bytes;
  }

  static constexpr std::uint32_t kBackground = 0x00E8F4FF;
  TFormulaTree tree_;
  TStoredFont font_;
  TPicture picture_;
};

struct TCarrierCase {
  const char* description;
  TPictureFormat format;
  bool transparent;
};

TEST_F(EmbeddedDocumentTest, PngAndSvgGiveBackTheSameDocument) {
  const TCarrierCase cases[] = {{"PNG", TPictureFormat::Png, false},
                                {"transparent PNG", TPictureFormat::Png, true},
                                {"SVG", TPictureFormat::Svg, false},
                                {"transparent SVG", TPictureFormat::Svg, true}};
  for (const TCarrierCase& c : cases) {
    std::vector<std::uint8_t> document;
    std::string error;
    ASSERT_TRUE(DocumentFromPicture(Bytes(Exported(c.format, c.transparent)), document, error))
        << c.description << ": " << error;
    TEntryCursor cursor = nullptr;
    TDocument read;
    ASSERT_TRUE(DecodeDocument(document, &cursor, read, error)) << c.description;
    EXPECT_EQ(read.Font, font_) << c.description;
    EXPECT_EQ(read.Background, kBackground) << c.description;
    EXPECT_EQ(read.Margin, 7.0) << c.description;
    ASSERT_NE(read.Root, nullptr) << c.description;
    EXPECT_EQ(read.Root->Count(), 3u) << c.description;
    EXPECT_EQ(TextOf(EntryAt(*read.Root, 0)->Text1), u"a - b /") << c.description;
    EXPECT_EQ(EncodeDocument(read), picture_.Document) << c.description << ": the whole tree";
    read.Release();
  }
}

// What other formats and other files give when opened as documents.
TEST_F(EmbeddedDocumentTest, OpeningTakesTheDocumentOutOfAPictureAndLeavesOtherFilesAlone) {
  std::vector<std::uint8_t> bytes = Bytes(Exported(TPictureFormat::Png));
  std::string error;
  ASSERT_TRUE(TakeDocumentFromFile("ohne-endung", bytes, error)) << "known by its content";
  EXPECT_EQ(bytes, picture_.Document);

  bytes = picture_.Document;
  EXPECT_TRUE(TakeDocumentFromFile("formel.qmt", bytes, error));
  EXPECT_EQ(bytes, picture_.Document) << "a document stays as it is";

  for (TPictureFormat format : {TPictureFormat::Jpeg, TPictureFormat::Bmp, TPictureFormat::Pdf}) {
    const std::string name = "bild" + std::string(InfoOf(format).Extensions[0]);
    bytes = Bytes(Exported(format));
    EXPECT_FALSE(TakeDocumentFromFile(name, bytes, error)) << name;
    EXPECT_EQ(error, kNoFormulaInPicture) << name;
  }
  bytes = picture_.Document;
  EXPECT_FALSE(TakeDocumentFromFile("formel.png", bytes, error)) << "a picture name, no picture";
  EXPECT_EQ(error, kNoFormulaInPicture);
}

struct THostileCase {
  const char* description;
  std::function<QByteArray()> make;
  const char* message;
};

QByteArray PngWithText(const char* key, const QString& text) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::white);
  image.setText(key, text);
  return Png(image);
}

QByteArray PngWithText(const QString& text) { return PngWithText(kEmbeddedDocumentKey, text); }

QByteArray SvgWith(const QByteArray& inside) {
  return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" "
         "height=\"8\"><metadata>" +
         inside + "</metadata><rect width=\"8\" height=\"8\"/></svg>";
}

QByteArray SvgDocument(const QByteArray& base64) {
  return SvgWith(QByteArray("<q:document xmlns:q=\"") + kEmbeddedDocumentNamespace + "\">" +
                 base64 + "</q:document>");
}

TEST_F(EmbeddedDocumentTest, PicturesWithoutASoundFormulaAreRefused) {
  const QByteArray good = Exported(TPictureFormat::Png);
  const QByteArray cutDocument = QByteArray(reinterpret_cast<const char*>(picture_.Document.data()),
                                            static_cast<qsizetype>(picture_.Document.size() / 2))
                                     .toBase64();
  const QByteArray laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
      "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY "
      "d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
      "<svg xmlns=\"http://www.w3.org/2000/svg\"><metadata><q:document xmlns:q=\"" +
      QByteArray(kEmbeddedDocumentNamespace) +
      "\">&e;&e;&e;&e;&e;&e;</q:document></metadata></svg>";
  const THostileCase cases[] = {
      {"a PNG from elsewhere", [] { return PngWithText("Description", "Ein Bild"); },
       kNoFormulaInPicture},
      {"an empty formula text", [] { return PngWithText(""); }, kDamagedFormulaInPicture},
      {"text that is not base64", [] { return PngWithText("kein base64!"); },
       kDamagedFormulaInPicture},
      {"half a document", [&] { return PngWithText(QString::fromLatin1(cutDocument)); },
       kDamagedFormulaInPicture},
      {"a formula text beyond the bound",
       [] { return PngWithText(QString(kMaxEmbeddedDocumentBytes / 3 * 4 + 400, 'A')); },
       kFormulaTooLargeInPicture},
      {"a PNG cut after its header", [&] { return good.left(40); }, kNoFormulaInPicture},
      {"a PNG signature and noise",
       [] { return QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(5000, '\x7f'); },
       kNoFormulaInPicture},
      {"an SVG from elsewhere", [] { return SvgWith(""); }, kNoFormulaInPicture},
      {"an SVG whose formula is not base64", [] { return SvgDocument("%%%"); },
       kDamagedFormulaInPicture},
      {"an SVG whose formula holds an element", [] { return SvgDocument("AAAA<b/>AAAA"); },
       kDamagedFormulaInPicture},
      {"an SVG cut inside its formula", [&] { return SvgDocument(cutDocument).left(200); },
       kDamagedFormulaInPicture},
      {"an SVG of nested entities", [&] { return laughs; }, kDamagedFormulaInPicture},
      {"an SVG whose formula text is beyond the bound",
       [] { return SvgDocument(QByteArray(kMaxEmbeddedBase64Bytes + 1, 'A')); },
       kFormulaTooLargeInPicture},
      {"an SVG whose formula text runs on past the bound, never closed",
       [] { return SvgDocument(QByteArray(3 * kMaxEmbeddedBase64Bytes, 'A')).chopped(60); },
       kFormulaTooLargeInPicture},
      {"not a picture", [] { return QByteArray("GIF89a....."); }, kNoFormulaInPicture},
      {"nothing", [] { return QByteArray(); }, kNoFormulaInPicture},
  };
  for (const THostileCase& c : cases) {
    std::vector<std::uint8_t> document{1, 2, 3};
    std::string error;
    EXPECT_FALSE(DocumentFromPicture(Bytes(c.make()), document, error)) << c.description;
    EXPECT_EQ(error, c.message) << c.description;
    EXPECT_EQ(document, (std::vector<std::uint8_t>{1, 2, 3})) << c.description;
  }
}

TEST_F(EmbeddedDocumentTest, ClipboardOffersImagePngSvgAndDocumentInThatOrder) {
  std::string error;
  const std::unique_ptr<QMimeData> data = MakeClipboardData(picture_, error);
  ASSERT_NE(data, nullptr) << error;
  EXPECT_EQ(data->formats(), QStringList({"application/x-qt-image", "image/png", "image/svg+xml",
                                          "application/x-quillmora"}));
  EXPECT_TRUE(qvariant_cast<QImage>(data->imageData()) == picture_.Bitmap);
  EXPECT_EQ(Bytes(data->data(kDocumentMimeType)), picture_.Document);
  for (const char* type : {"image/png", "image/svg+xml"}) {
    std::vector<std::uint8_t> document;
    EXPECT_TRUE(DocumentFromPicture(Bytes(data->data(type)), document, error)) << type << error;
    EXPECT_EQ(document, picture_.Document) << type;
  }
  QImage png;
  ASSERT_TRUE(png.loadFromData(data->data("image/png"), "png"));
  EXPECT_TRUE(png.convertToFormat(QImage::Format_RGB32) == picture_.Bitmap) << "the screen picture";

  picture_.Document.clear();
  const std::unique_ptr<QMimeData> bare = MakeClipboardData(picture_, error);
  ASSERT_NE(bare, nullptr) << error;
  EXPECT_FALSE(bare->hasFormat(kDocumentMimeType)) << "no document, no document entry";
  EXPECT_EQ(MakeClipboardData(TPicture{}, error), nullptr);
  EXPECT_NE(error.find("keine Fläche"), std::string::npos) << error;
}

}  // namespace
