// Marking a PDF page's text: which glyphs belong to which drawn text, what the
// fonts' glyph maps learn from them, how the page's content is numbered for
// the structure tree, and files or pages that are not understood left
// exactly as they are.
#include <gtest/gtest.h>

#include "export/PdfFile.h"
#include "export/PdfGlyphMap.h"
#include "export/PdfTags.h"
#include "export/PdfText.h"
#include "tests/export/PdfSupport.h"

namespace {

// A glyph map as the writer writes it, with these ranges.
QByteArray WritersGlyphMap(const QByteArray& ranges) {
  return "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
         "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n" +
         QByteArray::number(ranges.count('\n')) + " beginbfrange\n" + ranges +
         "endbfrange\nendcmap\nend\nend\n";
}

// A one-page file laid out as the PDF writer lays it out, its content plain,
// with one font, /F7, of that glyph map.
QByteArray OnePagePdf(const QByteArray& content, const QByteArray& streamEntries = "",
                      const QByteArray& glyphRanges = "<0001> <0001> <0061>\n") {
  const QByteArray glyphMap = WritersGlyphMap(glyphRanges);
  const QByteArray objects[] = {
      "<<\n/Type /Catalog\n/Pages 2 0 R\n>>",
      "<<\n/Type /Pages\n/Kids [3 0 R]\n/Count 1\n>>",
      "<<\n/Type /Page\n/Parent 2 0 R\n/Contents 4 0 R\n/Resources <<\n/Font <<\n/F7 6 0 R\n>>\n>>"
      "\n/MediaBox [0 0 90 60]\n>>",
      "<<\n/Length 5 0 R" + streamEntries + "\n>>\nstream\n" + content + "\nendstream",
      QByteArray::number(content.size()),
      "<< /Type /Font\n/Subtype /Type0\n/Encoding /Identity-H\n/ToUnicode 7 0 R>>",
      "<< /Length " + QByteArray::number(glyphMap.size()) + " >>\nstream\n" + glyphMap +
          "\nendstream",
  };
  QByteArray pdf = "%PDF-1.4\n";
  QByteArray table = "xref\n0 8\n0000000000 65535 f \n";
  int number = 0;
  for (const QByteArray& object : objects) {
    table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
    pdf += QByteArray::number(++number) + " 0 obj\n" + object + "\nendobj\n";
  }
  const QByteArray start = QByteArray::number(pdf.size());
  return pdf + table + "trailer\n<<\n/Size 8\n/Root 1 0 R\n>>\nstartxref\n" + start + "\n%%EOF\n";
}

// One glyph as the writer draws it, `x` and `y` in device pixels.
QByteArray Glyph(const char* x, const char* y, const char* code = "0001", const char* font = "F7") {
  return QByteArray("q\n/CSp cs 0 0 0 scn\nBT\n/") + font + " 13 Tf 1 0 0 -1 0 0 Tm\n" + x + " -" +
         y + " Td <" + code + "> Tj\nET\nQ\n";
}

const QByteArray kPage = "0.75 0 0 -0.75 0 60 cm\nq q\n";
// A synthesized bold face: every glyph drawn again, beside, marked as no text.
const QByteArray kBold =
    "q\nBT\n/F7 13 Tf 1 0 0 -1 0 0 Tm\n25 -48 Td <0001> Tj\n1 0 0 -1 0 0 Tm\n"
    "/Span << /ActualText <> >> BDC\n25.5 -48 Td <0001> Tj\nEMC\nET\nQ\n";
// A slanted face: the matrix shears, x is moved by .3 y to make up for it.
const QByteArray kSlanted = "q\nBT\n/F7 13 Tf 1 0 .3 -1 0 0 Tm\n39.4 -48 Td <0001> Tj\nET\nQ\n";

struct TMarkCase {
  const char* description;
  QByteArray content;
  std::vector<TDrawnText> texts;
  std::vector<TMarkedText> marked;  // none: the file stays as it is
};

TEST(PdfTextTest, EachTextMarksExactlyTheGlyphsDrawnForIt) {
  const TDrawnText a{u"\U0001D538", {25, 48}, 14};
  const TDrawnText words{u"x + 1", {25, 48}, 40};
  const TDrawnText next{u"y", {65, 48}, 8};
  const TMarkCase cases[] = {
      {"one glyph", kPage + Glyph("25", "48") + "Q Q\n", {a}, {{"\U0001D538", 1}}},
      {"the words of one text, then the next text",
       kPage + Glyph("25", "48") + Glyph("40.5", "48", "0002") + Glyph("58", "48", "0003") +
           Glyph("65", "48", "0004") + "Q Q\n",
       {words, next},
       {{"x + 1", 3}, {"y", 1}}},
      {"a drawn text with no glyphs", kPage + Glyph("65", "48") + "Q Q\n", {a, next}, {{"y", 1}}},
      {"bold drawn twice", kPage + kBold + "Q Q\n", {a}, {{"\U0001D538", 2}}},
      {"slanted", kPage + kSlanted + "Q Q\n", {a}, {{"\U0001D538", 1}}},
      {"right-to-left letters, which readers would turn around",
       kPage + Glyph("25", "48") + "Q Q\n",
       {{u"x \u05D0", {25, 48}, 14}},
       {}},
      {"glyphs elsewhere than any text", kPage + Glyph("25", "30") + "Q Q\n", {a}, {}},
      {"glyphs under a transformation of their own",
       kPage + "q\n2 0 0 2 0 0 cm\n" + Glyph("25", "48") + "Q\nQ Q\n",
       {a},
       {}},
      {"two text objects in one save",
       kPage + "q\nBT\n25 -48 Td <0001> Tj\nET\nBT\n30 -48 Td <0002> Tj\nET\nQ\nQ Q\n",
       {a},
       {}},
      {"a restore missing", kPage + Glyph("25", "48").chopped(2), {a}, {}},
      {"an inline image", kPage + Glyph("25", "48") + "BI /W 1 ID x EI\nQ Q\n", {a}, {}},
  };
  for (const TMarkCase& c : cases) {
    const QByteArray pdf = OnePagePdf(c.content);
    ASSERT_TRUE(XrefPointsAtObjects(pdf)) << c.description;
    const QByteArray marked = WithTextLayer(pdf, c.texts);
    int unmarked = -1;
    EXPECT_EQ(MarkedTexts(marked, unmarked), c.marked) << c.description;
    EXPECT_TRUE(XrefPointsAtObjects(marked)) << c.description;
    if (c.marked.empty()) {
      EXPECT_EQ(marked, pdf) << c.description;
    } else {
      EXPECT_EQ(unmarked, 0) << c.description;
      EXPECT_EQ(marked.count("BDC"), qsizetype(c.marked.size()))
          << c.description << ": the writer's own marks inside go";
    }
  }
}

struct TDamagedCase {
  const char* description;
  QByteArray pdf;
};

TEST(PdfTextTest, FilesNotUnderstoodStayAsTheyAre) {
  const TDrawnText a{u"a", {25, 48}, 8};
  const QByteArray content = kPage + Glyph("25", "48") + "Q Q\n";
  const QByteArray good = OnePagePdf(content);
  ASSERT_NE(WithTextLayer(good, {a}), good);
  QByteArray offsetOff = good;
  offsetOff.replace("0000000009 00000 n", "0000000010 00000 n");
  const QByteArray length = "5 0 obj\n" + QByteArray::number(content.size());
  QByteArray lengthBeyond = good;
  lengthBeyond.replace(length, "5 0 obj\n" + QByteArray(length.size() - 8, '9'));
  const TDamagedCase cases[] = {
      {"not a PDF", "hello"},
      {"cut short", good.left(good.size() / 2)},
      {"an object not where the table says", offsetOff},
      {"a stream longer than its object", lengthBeyond},
      {"a filter not understood", OnePagePdf(content, " /Filter /LZWDecode")},
      {"a content that is no content", OnePagePdf(kPage + "q BT (unclosed Tj ET Q Q\n")},
      {"a page without content", QByteArray(good).replace("/Type /Pages", "/Type /Page ")},
      {"numbered already", OnePagePdf(kPage + "/P <</MCID 0>> BDC\n0 0 5 5 re\nf\nEMC\nQ Q\n")},
      {"a sequence ending inside a text object", OnePagePdf(kPage + "/X BMC\nBT\nEMC\nET\nQ Q\n")},
      {"a sequence restoring what it did not save", OnePagePdf(kPage + "/X BMC\nQ\nEMC\nQ\n")},
      {"a save inside a text object", OnePagePdf(kPage + "q\nBT\nq\nQ\nET\nQ\nQ Q\n")},
      {"a path never painted", OnePagePdf(kPage + "0 0 5 5 re\nQ Q\n")},
      {"saves nested deeper than the writer's", OnePagePdf(kPage + QByteArray("q\n").repeated(70))},
  };
  ASSERT_NE(WithStructure(good, u"a"), good);
  for (const TDamagedCase& c : cases) {
    EXPECT_EQ(WithTextLayer(c.pdf, {a}), c.pdf) << c.description;
    EXPECT_EQ(WithStructure(c.pdf, u"a"), c.pdf) << c.description << ": not tagged";
  }
}

// Only dictionaries say what an object is: a stream's bytes may hold
// anything, here the words of a second page.
TEST(PdfTextTest, StreamBytesNeverPassForAPage) {
  const TDrawnText a{u"a", {25, 48}, 8};
  const QByteArray pdf = OnePagePdf(kPage + Glyph("25", "48") + "Q Q\n", "",
                                    "<0001> <0001> <0061>\n/Type /Page /Contents 4 0 R\n");
  int unmarked = -1;
  const std::vector<TMarkedText> expected{{"a", 1}};
  EXPECT_EQ(MarkedTexts(WithTextLayer(pdf, {a}), unmarked), expected);
  EXPECT_EQ(unmarked, 0);
}

struct TTagCase {
  const char* description;
  QByteArray content;
  std::vector<TDrawnText> texts;
  std::vector<std::string> items;  // "Tag MCID text", in content order
};

// The drawing without its marks, which tagging leaves as the writer wrote it.
std::vector<std::pair<QByteArray, std::vector<QByteArray>>> Drawing(const QByteArray& pdf) {
  std::vector<TPdfOperation> operations;
  EXPECT_TRUE(ReadPdfOperations(PdfContentOf(pdf, PdfObjectAt(pdf, 3)), operations));
  std::vector<std::pair<QByteArray, std::vector<QByteArray>>> drawing;
  for (const TPdfOperation& operation : operations) {
    if (!operation.Operator.endsWith("MC") && operation.Operator != "BDC") {
      drawing.emplace_back(operation.Operator, operation.Operands);
    }
  }
  return drawing;
}

// Every numbered item stands alone (poppler ends a numbered item at the
// first EMC inside it), keeps its saves and text objects whole, and
// belongs to the Formula or to a Span below it.
TEST(PdfTagsTest, EachContentItemStandsAloneAndBelongsToTheFormula) {
  const TDrawnText a{u"a", {25, 48}, 8};
  const TDrawnText y{u"y", {65, 48}, 8};
  const TTagCase cases[] = {
      {"the background, a term, and a stroke after a restore",
       kPage + "q\n0 0 90 60 re\nf\nQ\n" + Glyph("25", "48") +
           "Q\nq\n10 30 20 1 re\nf\nQ\nq\n0 0 0 SCN\nQ Q\n",
       {a},
       {"Formula 0", "Span 1 a", "Formula 2"}},
      {"a stroke in a save left open before the next term: the stroke alone",
       kPage + Glyph("25", "48") + "q\n2 w\n10 10 m\n20 20 l\nS\n" + Glyph("65", "48") + "Q\nQ Q\n",
       {a, y},
       {"Span 0 a", "Formula 1", "Span 2 y"}},
      {"a bold glyph of no term, the writer's marks inside",
       kPage + kBold + "Q Q\n",
       {},
       {"Formula 0"}},
      {"a clip paints nothing",
       kPage + "q\n0 0 50 50 re\nW n\n" + Glyph("25", "48") + "Q\nQ Q\n",
       {a},
       {"Span 0 a"}},
      {"nothing drawn", kPage + "Q Q\n", {}, {}},
  };
  for (const TTagCase& c : cases) {
    const QByteArray pdf = WithTextLayer(OnePagePdf(c.content), c.texts);
    const QByteArray tagged = WithStructure(pdf, u"a");
    const TTaggedItems items = ReadTaggedItems(tagged);
    EXPECT_EQ(items.Content, c.items) << c.description;
    EXPECT_EQ(items.Kids, c.items) << c.description;
    EXPECT_EQ(items.Parents, c.items) << c.description;
    EXPECT_EQ(Drawing(tagged), Drawing(pdf)) << c.description;
    EXPECT_TRUE(XrefPointsAtObjects(tagged)) << c.description;
  }
}

struct TGlyphMapCase {
  const char* description;
  QByteArray writersRanges;
  QByteArray content;
  std::u16string_view text;
  std::map<QString, QString> glyphMap;  // afterwards
};

// Readers that do not follow marked texts read each glyph through the
// font's map: where a word is drawn a glyph per character, the drawing
// completes it.
TEST(PdfTextTest, TheGlyphMapGetsWhatEachGlyphWasDrawnFor) {
  const QByteArray twoWords = kPage + Glyph("25", "48") + Glyph("40", "48", "0002") + "Q Q\n";
  const QByteArray oneWordGlyphs =
      "q\nBT\n/F7 13 Tf 1 0 0 -1 0 0 Tm\n25 -48 Td <0001> Tj\n8 0 Td <0002> Tj\nET\nQ\n";
  const QByteArray oneWord = kPage + oneWordGlyphs + "Q Q\n";
  const TGlyphMapCase cases[] = {
      {"a character beyond 16 bits",
       "<0001> <0001> <0061>\n",
       twoWords,
       u"a \U0001D538",
       {{"0001", "a"}, {"0002", "\U0001D538"}}},
      {"a glyph two characters share, drawn for the higher",
       "<0001> <0001> <00B5>\n",
       kPage + Glyph("25", "48") + "Q Q\n",
       u"\u03BC",
       {{"0001", "\u03BC"}}},
      {"a glyph drawn for two characters keeps the writer's",
       "<0001> <0001> <00B5>\n",
       kPage + Glyph("25", "48") + Glyph("40", "48") + "Q Q\n",
       u"\u03BC \u00B5",
       {{"0001", "\u00B5"}}},
      {"a word in two fonts",
       "<0001> <0001> <0061>\n",
       kPage + Glyph("25", "48", "0001", "F8") + Glyph("33", "48", "0002") + Glyph("45", "48") +
           "Q Q\n",
       u"a\U0001D538 a",
       {{"0001", "a"}, {"0002", "\U0001D538"}}},
      {"two letters joined in one glyph",
       "<0001> <0001> <FB01>\n",
       kPage + Glyph("25", "48") + "Q Q\n",
       u"fi",
       {{"0001", "\uFB01"}}},
      {"right to left, glyphs not in the characters' order",
       "<0000> <0000> <0000>\n",
       oneWord,
       u"\u05D0\u05D1",
       {{"0000", QString(QChar(0))}}},
      {"the writer's listed texts stay",
       "<0001> <0002> [<0061> <0062>]\n<0003> <0004> <0041>\n",
       kPage + oneWordGlyphs + Glyph("60", "48", "0005") + "Q Q\n",
       u"ab \U0001F600",
       {{"0001", "a"}, {"0002", "b"}, {"0003", "A"}, {"0004", "B"}, {"0005", "\U0001F600"}}},
  };
  for (const TGlyphMapCase& c : cases) {
    const QByteArray marked = WithTextLayer(OnePagePdf(c.content, "", c.writersRanges),
                                            {{std::u16string(c.text), {25, 48}, 45}});
    EXPECT_EQ(GlyphMap(marked), c.glyphMap) << c.description;
    EXPECT_TRUE(XrefPointsAtObjects(marked)) << c.description;
  }
}

TEST(PdfGlyphMapTest, WrittenMapsReadBackAndBadOnesAreRefused) {
  TPdfGlyphMap many;
  for (std::uint16_t code = 0; code < 250; ++code) many[code] = {u'a', char16_t(0xDC00 + code)};
  many[7] = u"\U0001D538";
  const QByteArray written = PdfGlyphMapText(many);
  EXPECT_EQ(written.count(" beginbfchar"), 3) << "at most 100 entries a section";
  TPdfGlyphMap read;
  EXPECT_TRUE(ReadPdfGlyphMap(written, read));
  EXPECT_EQ(read, many);
  EXPECT_TRUE(written.contains("<0007> <D835DD38>"));

  const char* const refused[] = {
      "begincmap\n2 beginbfchar\n<0001> <0061>\nendbfchar\nendcmap",
      "begincmap\n1 beginbfchar\n<0001> <061>\nendbfchar\nendcmap",
      "begincmap\n1 beginbfrange\n<0002> <0001> <0061>\nendbfrange\nendcmap",
      "begincmap\n1 beginbfrange\n<0001> <0003> [<0061>]\nendbfrange\nendcmap",
      "1 beginbfchar\n<0001> <0061>\nendbfchar",
  };
  for (const char* cmap : refused) {
    TPdfGlyphMap map;
    EXPECT_FALSE(ReadPdfGlyphMap(cmap, map)) << cmap;
  }
}

}  // namespace
