// MathML as KaTeX, MathJax, pandoc and LibreOffice write it (taken from
// their real output) reads as the tree of the same formula in LaTeX; our own
// MathML keeps the shape LibreOffice shows without error marks; hostile
// shapes are read or refused (their speed is measured in the benchmarks).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"
#include "textio/XmlReader.h"

namespace {

// The tree, or the message the text was refused with.
std::string Read(TForm form, const std::string& text) {
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  if (ReadFormula(form, text, &cursor, line, error)) return TreeText(line.get(), true);
  return error.Message;
}

// Producers differ in the blanks they keep: compare without them.
std::string WithoutBlanks(std::string tree) {
  std::erase(tree, ' ');
  for (std::size_t at; (at = tree.find("\"\"")) != std::string::npos;) tree.erase(at, 2);
  return tree;
}

#define MATH(body) "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" body "</math>"

struct TProducerCase {
  const char* What;
  const char* MathML;
  const char* Latex;  // the same formula typed as LaTeX; empty when none
  const char* Tree;   // blanks left out
};

const TProducerCase kProducers[] = {
    {"KaTeX: a sum's flat operand ends before =",
     MATH("<mrow><msubsup><mo>∑</mo><mrow><mi>k</mi><mo>=</mo><mn>1</mn></mrow><mi>n</mi>"
          "</msubsup><mi>k</mi><mo>=</mo><mfrac><mrow><mi>n</mi><mo stretchy=\"false\">(</mo>"
          "<mi>n</mi><mo>+</mo><mn>1</mn><mo stretchy=\"false\">)</mo></mrow><mn>2</mn></mfrac>"
          "</mrow>"),
     R"~(\sum_{k=1}^{n} k = \frac{n(n+1)}{2})~", R"~(sum[k=1,n]("k")"="frac("n(n+1)")("2"))~"},
    {"KaTeX: an integral's flat operand ends with its differential",
     MATH("<mrow><msubsup><mo>∫</mo><mn>0</mn><mn>1</mn></msubsup><msup><mi>x</mi><mn>2</mn>"
          "</msup><mi>d</mi><mi>x</mi><mo>=</mo><mfrac><mn>1</mn><mn>3</mn></mfrac></mrow>"),
     R"~(\int_0^1 x^2 dx = \frac{1}{3})~", R"~(int[0,1](pow("2")("x")"dx")"="frac("1")("3"))~"},
    {"KaTeX: sin with U+2061 raised as a whole row becomes the name sin²",
     MATH("<mrow><msup><mrow><mi>sin</mi><mo>⁡</mo></mrow><mn>2</mn></msup><mi>x</mi><mo>+</mo>"
          "<msup><mrow><mi>cos</mi><mo>⁡</mo></mrow><mn>2</mn></msup><mi>x</mi><mo>=</mo><mn>1</mn>"
          "</mrow>"),
     R"~(\sin^2 x + \cos^2 x = 1)~", R"~(fn[sin²]("x")"+"fn[cos²]("x")"=1")~"},
    {"KaTeX: bars as <mi>∣</mi> after ln are its operand",
     MATH("<mrow><mi>ln</mi><mo>⁡</mo><mi mathvariant=\"normal\">∣</mi><mi>x</mi>"
          "<mi mathvariant=\"normal\">∣</mi></mrow>"),
     R"~(\ln|x|)~", R"~(fn[ln](abs("x")))~"},
    {"KaTeX: a function's flat operand ends before +",
     MATH("<mrow><mi>sin</mi><mo>⁡</mo><mn>2</mn><mi>x</mi><mo>+</mo><mn>1</mn></mrow>"),
     R"~(\sin 2x + 1)~", R"~(fn[sin]("2x")"+1")~"},
    {"KaTeX: a thin space as <mtext> before the differential stays in the integral",
     MATH("<mrow><mo>∫</mo><mi>f</mi><mo stretchy=\"false\">(</mo><mi>x</mi><mo stretchy="
          "\"false\">)</mo><mtext>\u2009</mtext><mi>d</mi><mi>x</mi><mo>+</mo><mi>C</mi></mrow>"),
     R"~(\int f(x)\,dx + C)~", R"~(int("f(x)dx")"+C")~"},
    {"KaTeX: a subscript on log goes into the name",
     MATH("<mrow><msub><mrow><mi>log</mi><mo>⁡</mo></mrow><mn>2</mn></msub><mi>x</mi></mrow>"),
     R"~(\log_2 x)~", R"~(fn[log₂]("x"))~"},
    {"MathJax: the first bar in a row of its own pairs with a bare bar",
     MATH("<mi>ln</mi><mo data-mjx-texclass=\"NONE\">&#x2061;</mo><mrow data-mjx-texclass="
          "\"ORD\"><mo stretchy=\"false\">|</mo></mrow><mi>x</mi><mo stretchy=\"false\">|</mo>"),
     R"~(\ln|x|)~", R"~(fn[ln](abs("x")))~"},
    {"KaTeX and MathJax: a raised ′ is the prime of f', no power",
     MATH("<msubsup><mo>∫</mo><mi>a</mi><mi>b</mi></msubsup><msup><mi>f</mi><mo mathvariant="
          "\"normal\" lspace=\"0em\" rspace=\"0em\">′</mo></msup><mo>(</mo><mi>x</mi><mo>)"
          "</mo><mtext>\u2009</mtext><mi>d</mi><mi>x</mi><mo>=</mo><mi>f</mi><mo>(</mo><mi>b</mi>"
          "<mo>)</mo>"),
     R"~(\int_a^b f'(x)\,dx = f(b))~", R"~(int[a,b]("f'(x)dx")"=f(b)")~"},
    {"MathJax: <mi>sin</mi> raised, then U+2061",
     MATH("<msup><mi>sin</mi><mn>2</mn></msup><mo>&#x2061;</mo><mi>x</mi><mo>+</mo><msup>"
          "<mi>cos</mi><mn>2</mn></msup><mo>&#x2061;</mo><mi>x</mi><mo>=</mo><mn>1</mn>"),
     R"~(\sin^2 x + \cos^2 x = 1)~", R"~(fn[sin²]("x")"+"fn[cos²]("x")"=1")~"},
    {"MathJax: an <mo> with movable limits is a name, its limit a subscript",
     MATH("<munder><mo data-mjx-texclass=\"OP\" movablelimits=\"true\">max</mo><mrow><mi>x</mi>"
          "</mrow></munder><mi>f</mi>"),
     R"~(\max_{x} f)~", R"~(fn[maxₓ]("f"))~"},
    {"MathJax: \\left| \\right| as OPEN and CLOSE in an INNER row",
     MATH("<mrow data-mjx-texclass=\"INNER\"><mo data-mjx-texclass=\"OPEN\">|</mo><mi>x</mi>"
          "<mo>&#x2212;</mo><mi>y</mi><mo data-mjx-texclass=\"CLOSE\">|</mo></mrow>"),
     R"~(\left| x - y \right|)~", R"~(abs("x-y"))~"},
    {"MathJax: \\, as <mspace> inside <mstyle>",
     MATH("<mo>&#x222B;</mo><mi>f</mi><mo>(</mo><mi>x</mi><mo>)</mo><mstyle scriptlevel=\"0\">"
          "<mspace width=\"0.167em\"></mspace></mstyle><mi>d</mi><mi>x</mi><mo>+</mo><mi>C</mi>"),
     R"~(\int f(x)\,dx + C)~", R"~(int("f(x)dx")"+C")~"},
    {"MathJax: \\operatorname as an <mi> of class OP",
     MATH("<mi data-mjx-texclass=\"OP\" mathvariant=\"normal\">f</mi><mo stretchy=\"false\">(</mo>"
          "<mi>x</mi><mo stretchy=\"false\">)</mo>"),
     R"~(\operatorname{f}(x))~", R"~(fn[f]("x"))~"},
    {"pandoc: names as <mo> without U+2061",
     MATH("<mrow><msup><mo>sin</mo><mn>2</mn></msup><mi>x</mi><mo>+</mo><msup><mo>cos</mo>"
          "<mn>2</mn></msup><mi>x</mi><mo>=</mo><mn>1</mn></mrow>"),
     R"~(\sin^2 x + \cos^2 x = 1)~", R"~(fn[sin²]("x")"+"fn[cos²]("x")"=1")~"},
    {"pandoc: the bars in a row of their own after <mo>ln</mo>",
     MATH("<mrow><mo>ln</mo><mrow><mo stretchy=\"true\" form=\"prefix\">|</mo><mi>x</mi>"
          "<mo stretchy=\"true\" form=\"postfix\">|</mo></mrow></mrow>"),
     R"~(\ln|x|)~", R"~(fn[ln](abs("x")))~"},
    {"pandoc: <mo>tan</mo> takes the next letter",
     MATH("<mrow><mo>tan</mo><mi>x</mi></mrow>"), R"~(\tan x)~", R"~(fn[tan]("x"))~"},
    {"pandoc: \\operatorname as an <mo> of letters",
     MATH("<mrow><mo>f</mo><mrow><mo stretchy=\"true\" form=\"prefix\">(</mo><mi>x</mi>"
          "<mo stretchy=\"true\" form=\"postfix\">)</mo></mrow></mrow>"),
     R"~(\operatorname{f}(x))~", R"~(fn[f]("x"))~"},
    {"pandoc: the prime as an <mi> after f",
     MATH("<mrow><mi>f</mi><mi>′</mi><mrow><mo stretchy=\"true\" form=\"prefix\">(</mo><mi>x"
          "</mi><mo stretchy=\"true\" form=\"postfix\">)</mo></mrow></mrow>"),
     R"~(f'(x))~", R"~("f'(x)")~"},
    {"pandoc: a summand ends before <",
     MATH("<mrow><munder><mo>∑</mo><mi>k</mi></munder><msub><mi>a</mi><mi>k</mi></msub>"
          "<mo>&lt;</mo><mi>∞</mi></mrow>"),
     R"~(\sum_k a_k < \infty)~", R"~(sum[k,]("aₖ")"<∞")~"},
    {"LibreOffice: name in <mstyle>, U+2061 as <mi>, argument in nested rows",
     MATH("<mrow><mstyle mathvariant=\"normal\"><mi>tan</mi></mstyle><mi>&#x2061;</mi><mrow>"
          "<mrow><mo fence=\"true\" form=\"prefix\" stretchy=\"false\">(</mo><mrow><mi>x</mi>"
          "</mrow><mo fence=\"true\" form=\"postfix\" stretchy=\"false\">)</mo></mrow></mrow>"
          "</mrow>"),
     R"~(\tan(x))~", R"~(fn[tan]("x"))~"},
    {"LibreOffice: a function's row holds the rest of the sum, the next name's U+2061 outside",
     MATH("<mrow><mstyle><mi>sin</mi></mstyle><mi>&#x2061;</mi><mrow><mrow><mo fence=\"true\" "
          "form=\"prefix\">(</mo><mrow><mi>x</mi></mrow><mo fence=\"true\" form=\"postfix\">)"
          "</mo></mrow><mo>+</mo><mstyle><mi>cos</mi></mstyle></mrow><mi>&#x2061;</mi><mrow><mrow>"
          "<mo fence=\"true\" form=\"prefix\">(</mo><mrow><mi>x</mi></mrow><mo fence=\"true\" "
          "form=\"postfix\">)</mo></mrow><mo>=</mo><mn>1</mn></mrow></mrow>"),
     R"~(\sin(x) + \cos(x) = 1)~", R"~(fn[sin]("x")"+"fn[cos]("x")"=1")~"},
    {"LibreOffice: sin² as the name, ² and U+2061 one after the other",
     MATH("<mrow><mstyle><mi>sin</mi></mstyle><mn>²</mn><mi>&#x2061;</mi><mrow><mrow><mo fence="
          "\"true\" form=\"prefix\">(</mo><mrow><mi>x</mi></mrow><mo fence=\"true\" form=\""
          "postfix\">)</mo></mrow><mo>+</mo><mstyle><mi>cos</mi></mstyle></mrow><mn>²</mn><mi>"
          "&#x2061;</mi><mrow><mi>x</mi></mrow></mrow>"),
     R"~(\sin^2(x) + \cos^2 x)~", R"~(fn[sin²]("x")"+"fn[cos²]("x"))~"},
    {"LibreOffice: ln of bars in parentheses, + C in the same row",
     MATH("<mrow><mstyle><mi>ln</mi></mstyle><mi>&#x2061;</mi><mrow><mrow><mo fence=\"true\" "
          "form=\"prefix\">(</mo><mrow><mrow><mo fence=\"true\" form=\"prefix\">|</mo><mrow>"
          "<mi>x</mi></mrow><mo fence=\"true\" form=\"postfix\">|</mo></mrow></mrow><mo fence="
          "\"true\" form=\"postfix\">)</mo></mrow><mo>+</mo><mi>C</mi></mrow></mrow>"),
     R"~(\ln(|x|) + C)~", R"~(fn[ln](abs("x"))"+C")~"},
    {"LibreOffice: bars as prefix and postfix fences in a row",
     MATH("<mrow><mrow><mo fence=\"true\" form=\"prefix\" stretchy=\"false\">|</mo><mrow><mi>x"
          "</mi></mrow><mo fence=\"true\" form=\"postfix\" stretchy=\"false\">|</mo></mrow><mo "
          "stretchy=\"false\">≥</mo><mn>0</mn></mrow>"),
     R"~(|x| \ge 0)~", R"~(abs("x")"≥0")~"},
    {"LibreOffice: the summand in a row of its own, = outside",
     MATH("<mrow><mrow><munderover><mo stretchy=\"false\">∑</mo><mrow><mi>k</mi><mo stretchy="
          "\"false\">=</mo><mn>1</mn></mrow><mi>n</mi></munderover><mrow><mo fence=\"true\" "
          "form=\"prefix\" stretchy=\"false\">(</mo><mrow><mi>k</mi></mrow><mo fence=\"true\" "
          "form=\"postfix\" stretchy=\"false\">)</mo></mrow></mrow><mo stretchy=\"false\">=</mo>"
          "<mn>0</mn></mrow>"),
     R"~(\sum_{k=1}^{n} (k) = 0)~", R"~(sum[k=1,n]("k")"=0")~"},
    {"an <mi> before <mi>&#x2061;</mi> is a name", MATH("<mi>g</mi><mi>&#x2061;</mi><mi>y</mi>"),
     "", R"~(fn[g]("y"))~"},
    {"a sum's operand closed in a row is that row alone",
     MATH("<munder><mo>∑</mo><mi>k</mi></munder><mrow><mi>k</mi></mrow><mo>+</mo><mn>1</mn>"),
     R"~(\sum_k {k} + 1)~", R"~(sum[k,]("k")"+1")~"},
    {"a flat summand ends at a comma and at spacing",
     MATH("<mo>∑</mo><mi>a</mi><mo>,</mo><mo>∑</mo><mi>b</mi><mspace width=\"1em\"/><mi>c</mi>"),
     R"~(\sum a, \sum b \quad c)~", R"~(sum("a")","sum("b")"c")~"},
    {"names with only names after them are text",
     MATH("<mi>sin</mi><mi>cos</mi><mi>tan</mi>"), R"~(\sin\cos\tan)~", R"~("sincostan")~"},
    {"a name before a name with an operand nests",
     MATH("<mi>sin</mi><mi>cos</mi><mi>x</mi>"), R"~(\sin\cos x)~", R"~(fn[sin](fn[cos]("x")))~"},
    {"<mfenced> with fences longer than a short string keeps them",
     MATH("<mfenced open=\"[[[[[[[[[[\" close=\"]]]]]]]]]]\"><mi>x</mi></mfenced>"), "",
     R"~("[[[[[[[[[[x]]]]]]]]]]")~"},
    {"a single unpaired bar stays text", MATH("<mo>|</mo><mi>x</mi>"), "", R"~("|x")~"},
    {"∥ pairs with ∥ or ‖ only, not with |",
     MATH("<mo>∥</mo><mi>x</mi><mo>‖</mo><mo>|</mo><mo>∥</mo>"), "", R"~(abs("x")"|∥")~"},
    {"nested marked bars pair inside out",
     MATH("<mo form=\"prefix\">|</mo><mo form=\"prefix\">|</mo><mi>a</mi><mo form=\"postfix\">|"
          "</mo><mo>-</mo><mi>b</mi><mo form=\"postfix\">|</mo>"),
     "", R"~(abs(abs("a")"-b"))~"},
};

class MathMLProducerTest : public testing::TestWithParam<TProducerCase> {};

TEST_P(MathMLProducerTest, ReadsAsTheSameFormulaInLatex) {
  const TProducerCase& row = GetParam();
  const std::string tree = WithoutBlanks(Read(TForm::MathML, row.MathML));
  EXPECT_EQ(tree, row.Tree) << row.What;
  if (*row.Latex != '\0') {
    EXPECT_EQ(WithoutBlanks(Read(TForm::Latex, row.Latex)), tree) << row.What;
  }
}

INSTANTIATE_TEST_SUITE_P(Styles, MathMLProducerTest, testing::ValuesIn(kProducers),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

struct TWriterCase {
  const char* What;
  std::function<void(TFormulaLine*)> Build;
  const char* Part;  // must stand in the output
};

const TWriterCase kWriter[] = {
    {"a term's tokens stand in the enclosing row, blanks as <mspace>",
     [](TFormulaLine* line) { AppendTermEntry(line, u"a = b"); },
     R"~(<semantics><mrow><mi>a</mi><mspace width="0.25em"/><mo>=</mo><mspace width="0.25em"/>)~"
     "<mi>b</mi></mrow><annotation"},
    {"a term right after a term gets its own row",
     [](TFormulaLine* line) {
       AppendTermEntry(line, u"a");
       AppendTermEntry(line, u"b");
     },
     "<mrow><mi>a</mi><mrow><mi>b</mi></mrow></mrow>"},
    {"an empty term is an empty <mtext>", [](TFormulaLine* line) { AppendTermEntry(line, u""); },
     "<mrow><mtext></mtext></mrow>"},
    {"the bars of an absolute value are prefix and postfix fences",
     [](TFormulaLine* line) { AppendTermEntry(AddFunction(line, fkBetrag).First, u"x"); },
     R"~(<mo fence="true" form="prefix">|</mo><mrow><mi>x</mi></mrow>)~"
     R"~(<mo fence="true" form="postfix">|</mo>)~"},
    {"bars and primes typed in a term are text, so they read back as typed",
     [](TFormulaLine* line) { AppendTermEntry(line, u"|\u2223\u2225\u2016f\u2032"); },
     "<mtext>|</mtext><mtext>∣</mtext><mtext>∥</mtext><mtext>‖</mtext><mi>f</mi><mtext>′</mtext>"},
    {"the power keeps its parentheses around the base",
     [](TFormulaLine* line) {
       TFormulaEntry& power = AddFunction(line, fkPotenz);
       AppendTermEntry(power.First, u"2");
       AppendTermEntry(power.Second, u"a");
     },
     "<msup><mrow><mo>(</mo><mrow><mi>a</mi></mrow><mo>)</mo></mrow><mrow><mn>2</mn></mrow>"
     "</msup>"},
};

TEST(MathMLWriterShapeTest, TermsInlineAndFencedBarsReadBackTheSame) {
  for (const TWriterCase& row : kWriter) {
    TFormulaTree tree;
    row.Build(tree.Root());
    const std::string xml = WriteFormula(TForm::MathML, tree.Root());
    EXPECT_NE(xml.find(row.Part), std::string::npos) << row.What << "\n" << xml;
    EXPECT_EQ(Read(TForm::MathML, xml), TreeText(tree.Root(), true)) << row.What;
  }
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  text.reserve(piece.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

std::string ManyAttributes(int count) {
  std::string element = "<mi";
  for (int i = 0; i < count; ++i) element += " a" + std::to_string(i) + "=\"\"";
  return "<math>" + element + ">x</mi></math>";
}

struct THostileCase {
  const char* What;
  std::string Text;
  std::string Expected;  // the tree (blanks kept) or the message
};

// Each shape took seconds or more before: a rescan per name or sign, a
// quadratic attribute check in the XML reader.
TEST(MathMLHostileTest, ReadOrRefusedWithinTwoSeconds) {
  const THostileCase rows[] = {
      {"a function followed by a \"(\" that never closes, 20,000 times",
       "<math>" + Repeated("<mi>sin</mi><mo>&#x2061;</mo><mo>(</mo>", 20000) + "</math>",
       kTextTooDeep},
      {"∑ followed by \"(\", 20,000 times",
       "<math>" + Repeated("<mo>∑</mo><mo>(</mo>", 20000) + "</math>", kTextTooDeep},
      {"100,000 attributes on one element", ManyAttributes(100000), "\"x\""},
      {"50,000 names without operand are one text",
       "<math>" + Repeated("<mi>ln</mi>", 50000) + "</math>",
       "\"" + Repeated("ln ", 49999) + "ln\""},
      {"50,000 groups inside 1,000 rows: each level moved every entry up",
       "<math>" + Repeated("<mrow>", 1000) + Repeated("<mrow><mi>a</mi></mrow>", 50000) +
           Repeated("</mrow>", 1000) + "</math>",
       Repeated("\"a\" ", 49999) + "\"a\""},
      {"300,000 letters inside 1,000 styles: each level copied the text",
       "<math>" + Repeated("<mstyle>", 1000) + Repeated("<mi>a</mi>", 300000) +
           Repeated("</mstyle>", 1000) + "</math>",
       "\"" + std::string(300000, 'a') + "\""},
      {"20,000 unmarked bars pair one after the other",
       "<math>" + Repeated("<mo>|</mo>", 20000) + "</math>",
       Repeated("abs() ", 9999) + "abs()"},
  };
  for (const THostileCase& row : rows) {
    EXPECT_EQ(Read(TForm::MathML, row.Text), row.Expected) << row.What;
  }
}

// Keeps the text; knows one entity, &alpha;.
class TXmlRecorder : public TXmlHandler {
 public:
  std::string Read;

  bool StartElement(const TXmlName&, const TXmlAttributes&, std::size_t) override {
    return true;
  }
  bool EndElement() override { return true; }
  bool Text(std::string_view utf8) override {
    Read += utf8;
    return true;
  }
  bool Entity(std::string_view name) override {
    if (name != "alpha") return false;
    Read += "α";
    return true;
  }
};

struct TXmlCase {
  const char* What;
  std::string Xml;
  TXmlStatus Status;
  const char* Text;
};

TEST(XmlReaderTest, ReadsInOnePassAndRefusesWhatCouldExpand) {
  const TXmlCase rows[] = {
      {"an element with 100,000 attributes", ManyAttributes(100000), TXmlStatus::Read, "x"},
      {"an entity declaration stops the reading",
       "<!DOCTYPE m [<!ENTITY a \"aaaa\">]><m>&a;</m>", TXmlStatus::DeclaresEntity, ""},
      {"a document type naming an outside DTD is read, nothing fetched",
       "<!DOCTYPE math PUBLIC \"-//W3C//DTD MathML 2.0//EN\" \"http://www.w3.org/Math/DTD/"
       "mathml2/mathml2.dtd\"><m>&alpha;</m>",
       TXmlStatus::Read, "α"},
      {"an undeclared entity the handler knows", "<m>&alpha;&lt;</m>", TXmlStatus::Read, "α<"},
      {"an undeclared entity the handler does not know", "<m>&beta;</m>",
       TXmlStatus::UnknownEntity, ""},
      {"Windows-1252 as word processors declare it",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?><m>\x80</m>", TXmlStatus::Read, "€"},
      {"crossed elements", "<m><n></m></n>", TXmlStatus::NotWellFormed, ""},
      {"a text ending inside an element", "<m><n>x", TXmlStatus::EndsEarly, "x"},
  };
  for (const TXmlCase& row : rows) {
    TXmlRecorder recorder;
    const TXmlResult result = ReadXml(row.Xml, recorder);
    EXPECT_EQ(result.Status, row.Status) << row.What;
    EXPECT_EQ(recorder.Read, row.Text) << row.What;
  }
}

}  // namespace
