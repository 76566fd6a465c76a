// Pictures that describe themselves: the SVG's title and description, the
// PNG's Description, the MathML's alttext and the PDF's structure tree hold
// the spoken formula (the speech writer's words, whatever they are) and the
// LaTeX, and the formula inside PNG and SVG is still found.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtEndian>
#include <functional>

#include "docfile/DocFile.h"
#include "export/Clipboard.h"
#include "export/EmbeddedDocument.h"
#include "export/PdfFile.h"
#include "export/PdfTags.h"
#include "export/PngText.h"
#include "tests/export/ExportSupport.h"
#include "tests/export/PdfSupport.h"
#include "textio/FormulaText.h"

namespace {

std::vector<std::uint8_t> Bytes(const QByteArray& bytes) { return {bytes.begin(), bytes.end()}; }

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

// What no picture text may hold becomes U+FFFD.
QString Cleaned(std::u16string spoken) {
  for (std::size_t i = 0; i < spoken.size(); ++i) {
    const bool pair =
        i + 1 < spoken.size() && IsHighSurrogate(spoken[i]) && IsLowSurrogate(spoken[i + 1]);
    if (pair) ++i;
    if (!pair && (spoken[i] < 0x20 || IsSurrogate(spoken[i]))) spoken[i] = u'\uFFFD';
  }
  return Q(spoken);
}

// A picture without words is at least a "Formel".
QString Titled(const QString& spoken) { return spoken.isEmpty() ? QString("Formel") : spoken; }

QByteArray Encoded(const TPicture& picture, TPictureFormat format) {
  QByteArray bytes;
  std::string error;
  EXPECT_TRUE(EncodePicture(picture, {format, 1, false}, bytes, error)) << error;
  return bytes;
}

// The chunks of a PNG, whole (length, type, data, checksum), in file order.
std::vector<QByteArray> PngChunks(const QByteArray& png) {
  std::vector<QByteArray> chunks;
  for (qsizetype at = 8; at + 12 <= png.size();) {
    const auto length = qFromBigEndian<quint32>(png.constData() + at);
    chunks.push_back(png.mid(at, 12 + length));
    at += 12 + length;
  }
  return chunks;
}

// The PNG with its Description chunk moved before the chunk of type or
// keyword `which`.
QByteArray DescriptionBefore(const QByteArray& png, QByteArrayView which) {
  std::vector<QByteArray> chunks = PngChunks(png);
  const auto description = std::find_if(chunks.begin(), chunks.end(), [](const QByteArray& c) {
    return c.mid(4, 16) == QByteArray("iTXtDescription\0", 16);
  });
  if (description == chunks.end()) return {};
  const QByteArray moved = *description;
  chunks.erase(description);
  QByteArray out = png.left(8);
  for (const QByteArray& chunk : chunks) {
    const bool named =
        chunk.mid(4, 4) == which || chunk.mid(8).startsWith(which.toByteArray() + '\0');
    out += (named ? moved : QByteArray()) + chunk;
  }
  return out;
}

struct TSvgText {
  QString Role, LabelledBy, TitleId, Title, Desc, FirstChild;
  bool WellFormed = false;
};

TSvgText ReadSvg(const QByteArray& svg) {
  TSvgText found;
  QXmlStreamReader xml(svg);
  while (xml.readNextStartElement()) {
    if (xml.name() == u"svg") {
      found.Role = xml.attributes().value("role").toString();
      found.LabelledBy = xml.attributes().value("aria-labelledby").toString();
      continue;  // into the root
    }
    if (found.FirstChild.isEmpty()) found.FirstChild = xml.name().toString();
    if (xml.name() == u"title") found.TitleId = xml.attributes().value("id").toString();
    if (xml.name() == u"title" || xml.name() == u"desc") {
      (xml.name() == u"title" ? found.Title : found.Desc) = xml.readElementText();
    } else {
      xml.skipCurrentElement();
    }
  }
  found.WellFormed = !xml.hasError();
  return found;
}

// A PDF string as its reader takes it: UTF-16BE in hex, or a literal.
QString PdfString(const QString& token) {
  if (token.startsWith("<FEFF")) return FromUtf16Hex(token.mid(5, token.size() - 6));
  QString text = token.mid(1, token.size() - 2);
  return text.replace(QRegularExpression(R"(\\(.))"), "\\1");
}

// The structure a reader of tagged PDF follows from the catalog to the
// formula's text alternative and its marked content, and the text layer's
// spans inside it, each a content item of its own.
void ExpectTagged(const QByteArray& pdf, const QString& alt, bool drawsTerms, const char* row) {
  EXPECT_TRUE(XrefPointsAtObjects(pdf)) << row;
  const QByteArray catalog =
      PdfObjectAt(pdf, PdfReference(pdf.mid(pdf.lastIndexOf("trailer")), "/Root"));
  EXPECT_TRUE(catalog.contains("/Lang (de-DE)")) << row << catalog.constData();
  EXPECT_TRUE(catalog.contains("/MarkInfo <</Marked true>>")) << row;
  const QByteArray root = PdfObjectAt(pdf, PdfReference(catalog, "/StructTreeRoot"));
  ASSERT_TRUE(root.contains("/Type /StructTreeRoot")) << row;
  const QByteArray document = PdfObjectAt(pdf, PdfReference(root, "/K"));
  EXPECT_TRUE(document.contains("/S /Document")) << row;
  const QByteArray formula = PdfObjectAt(pdf, PdfEntry(document, R"(/K \[(\d+) 0 R\])").toInt());
  EXPECT_TRUE(formula.contains("/S /Formula\n")) << row;
  EXPECT_EQ(PdfString(PdfEntry(formula, R"(/Alt (<[0-9A-F]*>|\(.*\))\n)")), alt) << row;
  EXPECT_TRUE(PdfObjectAt(pdf, PdfReference(formula, "/Pg")).contains("/StructParents 0")) << row;
  // Each content item numbered in content order, none inside another.
  const TTaggedItems items = ReadTaggedItems(pdf);
  EXPECT_EQ(items.Kids, items.Content) << row;
  EXPECT_EQ(items.Parents, items.Content) << row;
  std::vector<std::string> spans;  // UTF-8, as the items are read
  for (const std::string& item : items.Content) {
    EXPECT_FALSE(item.starts_with('!')) << row << ": " << item;
    const QStringList words = QString::fromStdString(item).split(' ');
    if (words[0] == "Span") spans.push_back(words.mid(2).join(' ').toStdString());
  }
  int unmarked = -1;
  std::vector<std::string> marked;
  for (const TMarkedText& text : MarkedTexts(pdf, unmarked))
    marked.push_back(text.Text.toStdString());
  EXPECT_EQ(spans, marked) << row << ": every span of the text layer is a Span item";
  EXPECT_EQ(spans.empty(), !drawsTerms) << row;
  EXPECT_FALSE(items.Content.empty()) << row << ": the background at least";
}

struct TDescribedCase {
  const char* description;
  std::function<void(TFormulaLine*)> build;
};

TEST(DescriptionTest, EveryPictureFormSpeaksTheFormulaAndKeepsItsDocument) {
  const TDescribedCase cases[] = {
      {"the start-up formula", BuildSampleFormula},
      {"markup characters and umlauts",
       [](TFormulaLine* root) {
         AppendTermEntry(root, u"a & b < \"c\" > d' \u00C4rger");
         AddStacked(root, fkBruch, u"\u00FC", u"\u00DF");
       }},
      {"a control character and a lone surrogate",
       [](TFormulaLine* root) { AppendTermEntry(root, u"x\u0001y\xD800"); }},
      {"the empty formula", [](TFormulaLine*) {}},
  };
  for (const TDescribedCase& c : cases) {
    TFormulaTree tree;
    c.build(tree.Root());
    TPicture picture = ShowcasePicture(tree);
    picture.Document = EncodeDocument(tree.Root(), TStoredFont{}, kWhite, 10.0);
    picture.Text = PictureTextOf(tree.Root());
    const QString spoken = Cleaned(SpeechFromFormula(tree.Root()));
    const QString title = Titled(spoken);
    const QString latex = Cleaned(LatexFromFormula(tree.Root()));
    std::vector<std::uint8_t> document;
    std::string error;

    const QByteArray svg = Encoded(picture, TPictureFormat::Svg);
    const TSvgText read = ReadSvg(svg);
    EXPECT_TRUE(read.WellFormed) << c.description;
    EXPECT_EQ(read.FirstChild, "title") << c.description;
    EXPECT_EQ(read.Title, title) << c.description;
    EXPECT_EQ(read.Desc, latex) << c.description << ": none for no LaTeX";
    EXPECT_EQ(read.Role, "img") << c.description;
    EXPECT_FALSE(read.TitleId.isEmpty()) << c.description;
    EXPECT_EQ(read.LabelledBy, read.TitleId) << c.description;
    EXPECT_TRUE(DocumentFromPicture(Bytes(svg), document, error)) << c.description << error;
    EXPECT_EQ(document, picture.Document) << c.description;

    const QByteArray png = Encoded(picture, TPictureFormat::Png);
    EXPECT_TRUE(png.contains(QByteArray("iTXtDescription\0\0\0de\0\0", 22))) << c.description;
    std::string text;
    EXPECT_EQ(ReadPngText(Bytes(png), kPictureDescriptionKey, 1 << 20, text),
              TPngTextResult::Found);
    EXPECT_EQ(QString::fromStdString(text), title) << c.description;
    EXPECT_EQ(QImage::fromData(png).text(kPictureDescriptionKey), title) << c.description;
    for (const QByteArray& arranged :
         {png, DescriptionBefore(png, kEmbeddedDocumentKey), DescriptionBefore(png, "IHDR"),
          DescriptionBefore(png, "IEND")}) {
      document.clear();
      EXPECT_EQ(arranged.size(), png.size()) << c.description << ": the chunk is moved, not lost";
      EXPECT_TRUE(DocumentFromPicture(Bytes(arranged), document, error)) << c.description << error;
      EXPECT_EQ(document, picture.Document) << c.description;
    }

    const QByteArray mathml = Utf8FromUtf16(MathMLFromFormula(tree.Root())).c_str();
    QXmlStreamReader xml(mathml);
    ASSERT_TRUE(xml.readNextStartElement()) << c.description;
    EXPECT_EQ(xml.attributes().value("alttext").toString(), spoken) << c.description;
    TEntryCursor cursor = nullptr;
    TOwnedLine back;
    TTextError readError;
    ASSERT_TRUE(FormulaFromMathML(mathml.toStdString(), &cursor, back, readError))
        << c.description << readError.Describe();
    EXPECT_EQ(Q(LatexFromFormula(back.get())), latex) << c.description << ": read back";

    const QByteArray pdf = Encoded(picture, TPictureFormat::Pdf);
    ExpectTagged(pdf, title, !latex.isEmpty(), c.description);
    EXPECT_EQ(WithStructure(pdf, u"x"), pdf) << c.description << ": tagged once only";

    const std::unique_ptr<QMimeData> clipboard = MakeClipboardData(picture, error);
    ASSERT_NE(clipboard, nullptr) << error;
    EXPECT_EQ(clipboard->data("image/svg+xml"), svg) << c.description;
    EXPECT_EQ(clipboard->data("image/png"), png) << c.description;
    // Programs that ask for the image in a format of their choice get it
    // from Qt's writer.
    QByteArray byQt;
    QBuffer buffer(&byQt);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "png").write(qvariant_cast<QImage>(clipboard->imageData())));
    // Qt writes a Latin-1 text as tEXt or zTXt.
    EXPECT_EQ(QImage::fromData(byQt).text(kPictureDescriptionKey), title)
        << c.description << ": Qt's PNG";
  }
}

// A text alternative that would take hours to hear is cut after a word;
// one without a space within the limit is cut between characters.
TEST(DescriptionTest, OverlongSpokenFormulasAreCutAfterAWord) {
  const std::u16string words = [] {
    std::u16string text;
    while (text.size() < 70000) text += u"Bruch mit Z\u00E4hler a und Nenner b Ende Bruch plus ";
    return text;
  }();
  const std::u16string letters = std::u16string(70000, u'x') + u" y";
  std::u16string pairs = u"a";  // so that the limit falls inside a pair
  while (pairs.size() < 70000) pairs += u"\U0001D465";
  struct TCutCase {
    const char* description;
    const std::u16string* spoken;
    bool afterAWord;
  };
  const TCutCase cases[] = {
      {"words", &words, true},
      {"one long word", &letters, false},
      {"characters of two units each", &pairs, false},
  };
  for (const TCutCase& c : cases) {
    const std::u16string cut = PictureDescription({*c.spoken, u""});
    ASSERT_TRUE(cut.ends_with(u" \u2026")) << c.description;
    const std::u16string kept = cut.substr(0, cut.size() - 2);
    EXPECT_LE(cut.size(), std::size_t{65536}) << c.description;
    EXPECT_GT(kept.size(), std::size_t{65000}) << c.description;
    EXPECT_TRUE(c.spoken->starts_with(kept)) << c.description;
    EXPECT_EQ((*c.spoken)[kept.size()] == u' ', c.afterAWord) << c.description;
    EXPECT_FALSE(IsHighSurrogate(kept.back())) << c.description << ": no half character";
  }
}

TEST(DescriptionTest, PdfTextStringsAreLiteralForAsciiAndUtf16Otherwise) {
  const std::pair<std::u16string_view, QByteArray> cases[] = {
      {u"a mal b", "(a mal b)"},
      {u"f(x) \\ 2", "(f\\(x\\) \\\\ 2)"},
      {u"Z\u00E4hler", "<FEFF005A00E40068006C00650072>"},
      {u"a\tb", "<FEFF006100090062>"},
      {u"\U0001D465", "<FEFFD835DC65>"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(PdfTextString(text), expected);
}

}  // namespace
