// What the two writers make of each kind, of the start-up formula and of
// entries the layout treats specially.
#include <gtest/gtest.h>

#include <string>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"
#include "textio/FormulaText.h"

namespace {

std::string Latex(const TFormulaLine* line) { return Utf8FromUtf16(LatexFromFormula(line)); }
std::string MathML(const TFormulaLine* line) { return Utf8FromUtf16(MathMLFromFormula(line)); }

TEST(LatexWriteTest, StartUpFormulaShowsTheParenthesesWhereThePictureDrawsThem) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  EXPECT_EQ(
      Latex(tree.Root()),
      R"~(12 \times 3 / 2 \times\int_{1}^{10}\left(\left(( 4x ) \times \frac{ 2 + 5 }{ 3 + 5 })~"
      R"~(\right)^{1 + \sum_{x=1}^{3}\left(\frac{ x + 5 }{5}\right)}\right)+ 3 \times )~"
      R"~(\int_{1}^{3}\left(\frac{ x + 5 }{5}\right))~");
}

struct TKindCase {
  const char* Description;
  std::uint32_t Kind;
  const char16_t* Text1;
  const char16_t* Text2;
  bool WithSecond;
  const char* Latex;
};

class LatexKindTest : public testing::TestWithParam<TKindCase> {};

TEST_P(LatexKindTest, WritesTheKind) {
  const TKindCase& row = GetParam();
  TFormulaTree tree;
  TFormulaEntry& entry = AddFunction(tree.Root(), row.Kind, row.Text1, row.Text2);
  AppendTermEntry(entry.First, u"a");
  if (!row.WithSecond) RemoveSecond(entry.Second);
  if (row.WithSecond) AppendTermEntry(SecondOf(entry), u"b");
  EXPECT_EQ(Latex(tree.Root()), row.Latex);
}

const TKindCase kKinds[] = {
    {"Bruch", fkBruch, u"3", u"", true, R"~(\frac{a}{b})~"},
    {"Bruch ohne Nenner zeigt nur den Zähler", fkBruch, u"", u"", false, "{a}"},
    {"Quadratwurzel: Index 2 entfällt", fkWurzel, u"2", u"", false, R"~(\sqrt{a})~"},
    {"Wurzel mit Index und Nenner", fkWurzel, u"3", u"", true, R"~(\sqrt[3]{\frac{a}{b}})~"},
    {"Summe mit beiden Grenzen", fkSumme, u"i=1", u"n", false, R"~(\sum_{i=1}^{n}\left(a\right))~"},
    {"Summe ohne Grenzen", fkSumme, u"", u"", false, R"~(\sum\left(a\right))~"},
    {"Integral nur mit oberer Grenze", fkIntegral, u"", u"\u221E", false,
     R"~(\int^{\infty}\left(a\right))~"},
    {"Potenz: Basis in Klammern", fkPotenz, u"", u"", true, R"~(\left(b\right)^{a})~"},
    {"Betrag mit Nenner", fkBetrag, u"", u"", true, R"~(\left|\frac{a}{b}\right|)~"},
    {"Standardfunktion ohne Blanks", fkUser, u" sin ", u"", false, R"~(\sin\left(a\right))~"},
    {"Eigene Funktion", fkUser, u"f_1", u"", false, R"~(\operatorname{f\_1}\left(a\right))~"},
    {"Unbekannte Art wie ein Bruch", 9, u"", u"", true, R"~(\frac{a}{b})~"},
};

INSTANTIATE_TEST_SUITE_P(Kinds, LatexKindTest, testing::ValuesIn(kKinds),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

struct TTermCase {
  const char* Description;
  const char16_t* Text;
  const char* Latex;
};

class LatexTermTest : public testing::TestWithParam<TTermCase> {};

TEST_P(LatexTermTest, EscapesAndNamesCharacters) {
  TFormulaTree tree;
  AppendTermEntry(tree.Root(), GetParam().Text);
  EXPECT_EQ(Latex(tree.Root()), GetParam().Latex);
}

const TTermCase kTerms[] = {
    {"Operatoren wie gezeichnet", u"a*b-c/d", R"~(a\times{}b-c/d)~"},
    {"Sonderzeichen von TeX", u"{#$%&_}^~\\|",
     R"~(\{\#\$\%\&\_\}\text{\textasciicircum}\text{\textasciitilde}\backslash\vert)~"},
    {"Griechisch vor Buchstabe und Blank", u"\u03B1b \u03B2 c", R"~(\alpha b \beta\ c)~"},
    {"Zeichen aus U+2200..U+22FF", u"x\u2264y\u2260\u221E", R"~(x\le{}y\ne\infty)~"},
    {"Summenzeichen als Text", u"\u2211", R"~(\mathord{\sum})~"},
    {"Anderes bleibt Zeichen", u"\u00E4\u00D7\u2212\u00B2", "\u00E4\u00D7\u2212\u00B2"},
    {"Leerer Term", u"", "{}"},
};

INSTANTIATE_TEST_SUITE_P(Terms, LatexTermTest, testing::ValuesIn(kTerms),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(LatexWriteTest, KeepsNeighbouringTermsApartAndLeavesDamagedEntriesOut) {
  TFormulaTree tree;
  AppendTermEntry(tree.Root(), u"a");
  AppendTermEntry(tree.Root(), u"b")->IsFunction = 2;  // drawn as nothing
  AppendTermEntry(tree.Root(), u"c");
  EXPECT_EQ(Latex(tree.Root()), "a{c}");
}

TEST(MathMLWriteTest, OneMathElementCarryingTheLatex) {
  TFormulaTree tree;
  AddStacked(tree.Root(), fkBruch, u"1", u"x*2");
  EXPECT_EQ(MathML(tree.Root()),
            "<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\"><semantics>"
            "<mrow><mfrac><mrow><mrow><mn>1</mn></mrow></mrow><mrow><mrow><mi>x</mi><mo>×</mo>"
            "<mn>2</mn></mrow></mrow></mfrac></mrow><annotation encoding=\"application/x-tex\">"
            "\\frac{1}{x\\times2}</annotation></semantics></math>");
}

TEST(MathMLWriteTest, WritesEachKindAsItsElement) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  AddFunction(tree.Root(), fkWurzel, u"3");
  AddFunction(tree.Root(), fkBetrag);
  AddFunction(tree.Root(), fkUser, u"sin");
  const std::string xml = MathML(tree.Root());
  for (const char* part :
       {"<munderover><mo>∫</mo><mrow><mn>1</mn></mrow><mrow><mn>10</mn></mrow></munderover><mo>(</"
        "mo>",
        "<msup><mrow><mo>(</mo><mrow><mrow><mo>(</mo><mspace "
        "width=\"0.25em\"/><mn>4</mn><mi>x</mi>",
        "<mroot><mrow></mrow><mrow><mn>3</mn></mrow></mroot>", "<mo>|</mo><mrow></mrow><mo>|</mo>",
        "<mi>sin</mi><mo>&#x2061;</mo><mo>(</mo>"}) {
    EXPECT_NE(xml.find(part), std::string::npos) << part;
  }
}

}  // namespace
