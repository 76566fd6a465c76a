// What the two writers make of each kind, of the start-up formula and of
// entries the layout treats specially.
#include <gtest/gtest.h>

#include <string>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"

namespace {

std::string Latex(const TFormulaLine* line) { return WriteFormula(TForm::Latex, line); }
std::string MathML(const TFormulaLine* line) { return WriteFormula(TForm::MathML, line); }

TEST(LatexWriteTest, StartUpFormulaShowsTheParenthesesWhereThePictureDrawsThem) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  EXPECT_EQ(
      Latex(tree.Root()),
      R"~(12 \times 3 / 2 \times\int_{1}^{10}\left(\left(( 4x ) \times \frac{ 2 + 5 }{ 3 + 5 })~"
      R"~(\right)^{1 + \sum_{x=1}^{3}\left(\frac{ x + 5 }{5}\right)}\right)+ 3 \times )~"
      R"~(\int_{1}^{3}\left(\frac{ x + 5 }{5}\right))~");
}

constexpr std::uint32_t kTerm = 99;  // the row is one term of Text1

struct TWriteCase {
  std::uint32_t Kind;
  const char16_t* Text1;
  const char16_t* Text2;
  bool WithSecond;
  const char* Latex;
};

class LatexWriteCaseTest : public testing::TestWithParam<TWriteCase> {};

// A function holds "a" in First and, with a Second, "b" in it.
TEST_P(LatexWriteCaseTest, WritesTheKindOrTerm) {
  const TWriteCase& row = GetParam();
  TFormulaTree tree;
  if (row.Kind == kTerm) {
    AppendTermEntry(tree.Root(), row.Text1);
  } else {
    TFormulaEntry& entry = AddFunction(tree.Root(), row.Kind, row.Text1, row.Text2);
    AppendTermEntry(entry.First, u"a");
    if (!row.WithSecond) RemoveSecond(entry.Second);
    if (row.WithSecond) AppendTermEntry(SecondOf(entry), u"b");
  }
  EXPECT_EQ(Latex(tree.Root()), row.Latex);
}

const TWriteCase kCases[] = {
    {fkBruch, u"3", u"", true, R"~(\frac{a}{b})~"},
    {fkBruch, u"", u"", false, "{a}"},  // without a denominator only the numerator
    {fkWurzel, u"2", u"", false, R"~(\sqrt{a})~"},
    {fkWurzel, u"3", u"", true, R"~(\sqrt[3]{\frac{a}{b}})~"},
    {fkSumme, u"i=1", u"n", false, R"~(\sum_{i=1}^{n}\left(a\right))~"},
    {fkSumme, u"", u"", false, R"~(\sum\left(a\right))~"},
    {fkIntegral, u"", u"\u221E", false, R"~(\int^{\infty}\left(a\right))~"},
    {fkPotenz, u"", u"", true, R"~(\left(b\right)^{a})~"},
    {fkBetrag, u"", u"", true, R"~(\left|\frac{a}{b}\right|)~"},
    {fkUser, u" sin ", u"", false, R"~(\sin\left(a\right))~"},
    {fkUser, u"f_1", u"", false, R"~(\operatorname{f\_1}\left(a\right))~"},
    {9, u"", u"", true, R"~(\frac{a}{b})~"},  // an unknown kind as a fraction
    {kTerm, u"a*b-c/d", u"", false, R"~(a\times{}b-c/d)~"},
    {kTerm, u"{#$%&_}^~\\|", u"", false,
     R"~(\{\#\$\%\&\_\}\text{\textasciicircum}\text{\textasciitilde}\backslash\vert)~"},
    {kTerm, u"\u03B1b \u03B2 c", u"", false, R"~(\alpha b \beta\ c)~"},
    {kTerm, u"x\u2264y\u2260\u221E", u"", false, R"~(x\le{}y\ne\infty)~"},
    {kTerm, u"\u2211", u"", false, R"~(\mathord{\sum})~"},
    {kTerm, u"\u00E4\u00D7\u2212\u00B2", u"", false,
     R"~(\text{ä}\text{\texttimes}\text{\textminus}{}^{2})~"},
    {kTerm, u"", u"", false, "{}"},
};

INSTANTIATE_TEST_SUITE_P(Table, LatexWriteCaseTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(LatexWriteTest, KeepsNeighbouringTermsApartAndLeavesDamagedEntriesOut) {
  TFormulaTree tree;
  AppendTermEntry(tree.Root(), u"a");
  AppendTermEntry(tree.Root(), u"b")->IsFunction = 2;  // drawn as nothing
  AppendTermEntry(tree.Root(), u"c");
  EXPECT_EQ(Latex(tree.Root()), "a{c}");
}

// The spoken words are the speech writer's; here only where they stand.
TEST(MathMLWriteTest, OneMathElementCarryingTheLatexAndLibreOfficesNotation) {
  TFormulaTree tree;
  AddStacked(tree.Root(), fkBruch, u"1", u"x*2");
  EXPECT_EQ(MathML(tree.Root()),
            "<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\" alttext=\"" +
                Utf8FromUtf16(SpeechFromFormula(tree.Root())) +
                "\"><semantics>"
                "<mrow><mfrac><mrow><mn>1</mn></mrow><mrow><mi>x</mi><mo>×</mo>"
                "<mn>2</mn></mrow></mfrac></mrow><annotation encoding=\"application/x-tex\">"
                "\\frac{1}{x\\times2}</annotation><annotation encoding=\"StarMath 5.0\">"
                "{{1} over {x times 2}}</annotation></semantics></math>");
}

TEST(MathMLWriteTest, EscapesMarkupAndReplacesWhatXmlCannotHold) {
  TFormulaTree tree;
  AppendTermEntry(tree.Root(), u"<&>\u0001\xD800x\U0001D465");
  const std::string xml = MathML(tree.Root());
  EXPECT_NE(xml.find("<mrow><mo>&lt;</mo><mo>&amp;</mo><mo>&gt;</mo><mo>\uFFFD</mo>"
                     "<mtext>\uFFFD</mtext><mi>x</mi><mtext>\U0001D465</mtext></mrow>"),
            std::string::npos)
      << xml;
}

TEST(MathMLWriteTest, WritesEachKindAsItsElement) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  AddFunction(tree.Root(), fkWurzel, u"3");
  AddFunction(tree.Root(), fkBetrag);
  AddFunction(tree.Root(), fkUser, u"sin");
  const std::string xml = MathML(tree.Root());
  constexpr const char* kParts[] = {
      "<munderover><mo>∫</mo><mrow><mn>1</mn></mrow><mrow><mn>10</mn></mrow></munderover>"
      "<mo>(</mo>",
      R"~(<msup><mrow><mo>(</mo><mrow><mo>(</mo><mspace width="0.25em"/>)~"
      "<mn>4</mn><mi>x</mi>",
      "<mroot><mrow></mrow><mrow><mn>3</mn></mrow></mroot>",
      R"~(<mo fence="true" form="prefix">|</mo><mrow></mrow><mo fence="true" form="postfix">|</mo>)~",
      "<mi>sin</mi><mo>&#x2061;</mo><mo>(</mo>",
  };
  for (const char* part : kParts) {
    EXPECT_NE(xml.find(part), std::string::npos) << part;
  }
}

}  // namespace
