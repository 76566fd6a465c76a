// LaTeX as people type it and MathML as word processors, browsers and math
// libraries put it on the clipboard: each text with the tree it must give,
// or with the message and position it must be refused with.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <tuple>

#include "tests/textio/TreeText.h"
#include "textio/DeepStack.h"

namespace {

// The tree, or where (line:column) and why the text was refused.
std::string Read(TForm form, const std::string& text) {
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  if (ReadFormula(form, text, &cursor, line, error)) return TreeText(line.get());
  EXPECT_EQ(line, nullptr);
  EXPECT_EQ(cursor, nullptr) << "nothing of the refused formula may stay behind";
  return std::to_string(error.Line) + ":" + std::to_string(error.Column) + " " + error.Message;
}

struct TReadCase {
  const char* Text;
  const char* Expected;  // the tree, or the position with the message
};

class LatexReadTest : public testing::TestWithParam<TReadCase> {};
class MathMLReadTest : public testing::TestWithParam<TReadCase> {};

TEST_P(LatexReadTest, GivesTheTreeOrSaysWhatAndWhere) {
  EXPECT_EQ(Read(TForm::Latex, GetParam().Text), GetParam().Expected);
}

TEST_P(MathMLReadTest, GivesTheTreeOrSaysWhatAndWhere) {
  EXPECT_EQ(Read(TForm::MathML, GetParam().Text), GetParam().Expected);
}

const TReadCase kLatex[] = {
    {R"~(x = \frac{-b \pm \sqrt{b^2 - 4ac}}{2a})~",
     R"~("x = " frac("-b ± " root(pow("2")("b") " - 4ac"))("2a"))~"},
    // The summand ends at a relation sign, or is what the parentheses hold.
    {R"~(\sum_{i=1}^{n} i = \frac{n(n+1)}{2})~", R"~(sum[i=1,n]("i") " = " frac("n(n+1)")("2"))~"},
    {R"~(\sum_{i} (i+1) + 2)~", R"~(sum[i,]("i+1") " + 2")~"},
    {R"~(\sum_{k=0}^{\infty} \left(\frac{1}{2}\right)^k)~",
     R"~(sum[k=0,∞](pow("k")(frac("1")("2"))))~"},
    {R"~(\sum\limits_{n=1}^{\infty} \frac{1}{n^2})~", R"~(sum[n=1,∞]("1")(pow("2")("n")))~"},
    {R"~(\int_0^\infty e^{-x^2}\,dx)~", R"~(int[0,∞](pow("-" pow("2")("x"))("e") " dx"))~"},
    {R"~(\int\nolimits^{b}_{a} f)~", R"~(int[a,b]("f"))~"},
    {R"~(\int_0^{x^2} t)~", R"~(int[0,x²]("t"))~"},
    // A root of a fraction is a root with numerator and denominator.
    {R"~(\sqrt[n]{\frac{x}{y}})~", R"~(root[n]("x")("y"))~"},
    {"|x|", R"~(abs("x"))~"},
    {R"~(\left| x - y \right|)~", R"~(abs(" x - y "))~"},
    {R"~(\lvert z \rvert)~", R"~(abs(" z "))~"},
    {R"~(\sin(x))~", R"~(fn[sin]("x"))~"},
    {R"~(\sin 2x + 1)~", R"~(fn[sin]("2x") " + 1")~"},
    {R"~(\operatorname{sgn}(x))~", R"~(fn[sgn]("x"))~"},
    {"2(a+b)^2", R"~("2" pow("2")("a+b"))~"},
    {R"~(\bigl( a+b \bigr)^2)~", R"~(pow("2")(" a+b "))~"},
    {"x_{n+1}", R"~("xₙ₊₁")~"},
    {"x_i^2", R"~(pow("2")("xᵢ"))~"},
    {R"~(2\pi r)~", R"~("2πr")~"},  // the blank only ends the name
    {R"~(\frac{\partial f}{\partial x})~", R"~(frac("∂f")("∂x"))~"},
    {R"~(\Gamma(n) = (n-1)!)~", R"~("Γ(n) = (n-1)!")~"},
    {R"~(a \times b \div c)~", R"~("a * b ÷ c")~"},
    {R"~(\{ x \mid x > 0 \})~", R"~("{ x ∣ x > 0 }")~"},
    {"f'(x)", R"~("f'(x)")~"},
    {R"~(\cfrac{1}{1+\cfrac{1}{2}})~", R"~(frac("1")("1+" frac("1")("2")))~"},
    {R"~(10\,000)~", R"~("10 000")~"},
    // The blank of a control space at the end is content, not an edge to trim.
    {R"~(\Pi\ )~", R"~("Π ")~"},
    {R"~(\text{für alle }x)~", R"~("für alle x")~"},
    {"{a}{b}", R"~("a" "b")~"},
    {R"~(a\mathord{\sum}b)~", R"~("a∑b")~"},
    {"$x^2$", R"~(pow("2")("x"))~"},
    {R"~(\[ \frac12 \])~", R"~(frac("1")("2"))~"},
    {R"~(\(a\))~", R"~("a")~"},
    {R"~($$\sqrt{x}$$)~", R"~(root("x"))~"},
    {"a % Kommentar\n+ b", R"~("a + b")~"},
    {R"~(\displaystyle \mathbf{v} \cdot \boldsymbol{w})~", R"~("v ⋅ w")~"},
    // A "(" raised as an atom opens no block for a later ")".
    {"a(^x)^k", R"~("a" pow("x")("(") pow("k")(")"))~"},
    {"((^x)^k", R"~(pow("k")(pow("x")("(")))~"},
    {R"~(\left){}\right.^x)~", R"~(")" "" pow("x")(""))~"},

    {R"~(\frac{1}{\foo})~", R"~(1:10 Unbekannter Befehl „\foo“.)~"},
    // Lines and columns count code units: beyond the BMP two, as in the editor.
    {"\\alpha +\n  \\foo", R"~(2:3 Unbekannter Befehl „\foo“.)~"},
    {"\U0001D465\\foo", R"~(1:3 Unbekannter Befehl „\foo“.)~"},
    {R"~(\frac{1}{2)~", "1:9 Die Klammer „{“ wird nicht geschlossen."},
    {R"~(\text{abc)~", "1:6 Die Klammer „{“ wird nicht geschlossen."},
    {"a}", "1:2 Die Klammer „}“ schließt nichts."},
    {R"~(\begin{matrix}a\end{matrix})~",
     R"~(1:1 Umgebungen wie „\begin{matrix}“ werden nicht unterstützt.)~"},
    {"a & b", "1:3 Spaltentrenner „&“ werden nicht unterstützt (keine Matrizen)."},
    // A name's index must have subscript characters; the message quotes it as typed.
    {R"~(\lim_{x\to 0} f)~",
     R"~(1:5 Tiefstellung von „x\to 0“: nur Ziffern, + − = ( ) und einige Buchstaben )~"
     "haben tiefgestellte Zeichen."},
    {R"~(\left( x)~", R"~(1:1 „\left“ ohne passendes „\right“.)~"},
    {R"~(x \right))~", R"~(1:3 „\right“ ohne passendes „\left“.)~"},
    {"|x", "1:1 Der Betragsstrich „|“ wird nicht geschlossen."},
    {"x_q",
     "1:2 Tiefstellung von „q“: nur Ziffern, + − = ( ) und einige Buchstaben "
     "haben tiefgestellte Zeichen."},
    {R"~(\frac12_3)~", "1:8 Ein Index steht nur direkt nach einem Zeichen."},
    {R"~(\frac{1})~", R"~(1:1 Nach „\frac“ fehlt ein Argument.)~"},
    {"x^", "1:2 Nach „^“ fehlt ein Argument."},
    {R"~(\sqrt[3{x})~", "1:6 Die Klammer „[“ des Wurzelexponenten wird nicht geschlossen."},
    {R"~(\sum_{\frac{1}{2}} x)~",
     R"~(1:7 In Grenzen, Wurzelexponenten und Funktionsnamen steht nur Text, )~"
     R"~(kein „\frac“.)~"},
    {R"~(a \\ b)~", R"~(1:3 Zeilenumbrüche „\\“ werden nicht unterstützt.)~"},
    {R"~(\hat{x})~", R"~(1:1 „\hat“ wird nicht unterstützt.)~"},
    {"a $ b", "1:3 „$“ darf nur die ganze Formel einschließen."},
    {R"~(\left< x \right>)~", R"~(1:1 Nach „\left“ fehlt ein Begrenzer wie „(“, „[“ oder „|“.)~"},
    {R"~(\sum_1_2 x)~", "1:7 Die untere Grenze steht zweimal."},
    {"a\\", R"~(1:2 Nach „\“ fehlt der Name des Befehls.)~"},
};

#define MATH(body) "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" body "</math>"

const TReadCase kMathML[] = {
    {R"~(<?xml version="1.0"?><mml:math xmlns:mml="http://www.w3.org/1998/Math/MathML">)~"
     R"~(<mml:mfrac><mml:mrow><mml:mi>a</mml:mi></mml:mrow><mml:mrow><mml:mi>b</mml:mi>)~"
     R"~(</mml:mrow></mml:mfrac></mml:math>)~",
     R"~(frac("a")("b"))~"},
    {MATH("<semantics><mrow><msup><mi>x</mi><mn>2</mn></msup></mrow>"
          "<annotation encoding=\"StarMath 5.0\">x^2</annotation></semantics>"),
     R"~(pow("2")("x"))~"},
    // Browsers may raise only the closing parenthesis.
    {MATH("<mo>(</mo><mi>a</mi><mo>+</mo><mi>b</mi><msup><mo>)</mo><mn>2</mn></msup>"),
     R"~(pow("2")("a+b"))~"},
    {MATH("<munderover><mo>&#x2211;</mo><mrow><mi>i</mi><mo>=</mo><mn>1</mn></mrow><mi>n</mi>"
          "</munderover><msup><mi>i</mi><mn>2</mn></msup>"),
     R"~(sum[i=1,n](pow("2")("i")))~"},
    // A bound is text: a raised part in it becomes superscript characters.
    {MATH("<munder><mo>∑</mo><mrow><msup><mi>i</mi><mn>2</mn></msup></mrow></munder><mi>i</mi>"),
     R"~(sum[i²,]("i"))~"},
    {MATH("<msubsup><mo>∫</mo><mn>0</mn><mn>1</mn></msubsup><mi>x</mi><mi>d</mi><mi>x</mi>"),
     R"~(int[0,1]("xdx"))~"},
    {MATH("<msub><mo>∑</mo><mi>k</mi></msub><mo>(</mo><mi>k</mi><mo>)</mo><mo>+</mo><mn>1</mn>"),
     R"~(sum[k,]("k") "+1")~"},
    {MATH("<mi>sin</mi><mo>&ApplyFunction;</mo><mi>x</mi>"), R"~(fn[sin]("x"))~"},
    {MATH("<mi>log</mi><mo>&#x2061;</mo><mrow><mo>(</mo><mi>x</mi><mo>)</mo></mrow>"),
     R"~(fn[log]("x"))~"},
    {MATH("<mfenced open=\"|\" close=\"|\"><mi>x</mi></mfenced>"), R"~(abs("x"))~"},
    {MATH("<mo>|</mo><mi>x</mi><mo>-</mo><mn>1</mn><mo>|</mo>"), R"~(abs("x-1"))~"},
    {MATH("<mi>f</mi><mfenced><mi>a</mi><mi>b</mi></mfenced>"), R"~("f(a,b)")~"},
    {MATH("<mroot><mi>x</mi><mn>3</mn></mroot>"), R"~(root[3]("x"))~"},
    {MATH("<msqrt><mfrac><mn>1</mn><mn>2</mn></mfrac></msqrt>"), R"~(root("1")("2"))~"},
    {MATH("<msub><mi>x</mi><mn>1</mn></msub>"), R"~("x₁")~"},
    {MATH("<msubsup><mi>x</mi><mi>i</mi><mn>2</mn></msubsup>"), R"~(pow("2")("xᵢ"))~"},
    {MATH("<mn>2</mn><mo>&times;</mo><mn>3</mn><mo>&minus;</mo><mi>&alpha;</mi>"), R"~("2*3-α")~"},
    {MATH("<mstyle displaystyle=\"true\"><mi>a</mi><mspace width=\"1em\"/><mpadded><mi>b</mi>"
          "</mpadded></mstyle>"),
     R"~("a b")~"},
    {MATH("<mi>a</mi><mphantom><mi>b</mi></mphantom>"), R"~("a")~"},
    {MATH("<mtext>für alle</mtext><mi>x</mi>"), R"~("für allex")~"},
    {MATH("<msup><mi>e</mi><mfrac><mi>x</mi><mn>2</mn></mfrac></msup>"),
     R"~(pow(frac("x")("2"))("e"))~"},
    {"<math>\n  <mrow>\n    <mi>a</mi>\n    <mo>+</mo>\n    <mi>b</mi>\n  </mrow>\n</math>",
     R"~("a+b")~"},
    {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><math><mi>\xE4</mi></math>", R"~("ä")~"},

    {"<math>\n<mtable><mtr><mtd><mi>a</mi></mtd></mtr></mtable></math>",
     "2:1 Das MathML-Element „mtable“ wird nicht unterstützt."},
    {"<math><mover><mi>x</mi><mo>^</mo></mover></math>",
     "1:7 Das Element „mover“ wird nur mit ∑ oder ∫ unterstützt."},
    {"<math><mi>x</math>", "1:14 Die MathML ist kein gültiges XML."},
    {"<math><mi>x</mi>", "1:17 Die MathML endet mitten in einem Element."},
    {"<!DOCTYPE math [<!ENTITY a \"aaaa\">]><math>&a;</math>",
     "1:28 Eigene Entitäten („<!ENTITY“) werden nicht unterstützt."},
    {"<math><svg xmlns=\"http://www.w3.org/2000/svg\"/></math>",
     "1:7 Das Element „svg“ gehört nicht zu MathML."},
    {"<math><mfrac><mi>x</mi></mfrac></math>",
     "1:7 Das Element „mfrac“ braucht 2 Kinder, nicht 1."},
    {"<math><munder><mo>∑</mo><mfrac><mi>a</mi><mi>b</mi></mfrac></munder></math>",
     "1:25 In Grenzen, Wurzelexponenten und Funktionsnamen steht nur Text, kein "
     "„mfrac“."},
    {"nur Text", "1:1 Die MathML ist kein gültiges XML."},
};

INSTANTIATE_TEST_SUITE_P(Textbook, LatexReadTest, testing::ValuesIn(kLatex),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });
INSTANTIATE_TEST_SUITE_P(Producers, MathMLReadTest, testing::ValuesIn(kMathML),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(ReadLimits, TooLargeAndTooDeepTextIsRefusedWithoutCrashing) {
  std::string fences;
  for (int i = 0; i < 100000; ++i) fences += "\\left(";
  std::string elements = "<math>";
  for (int i = 0; i < 20000; ++i) elements += "<mrow>";
  const std::string tooLarge((16u << 20) + 1, 'x');
  const std::tuple<TForm, std::string, const char*> rows[] = {
      {TForm::Latex, tooLarge, kTextTooLarge},
      {TForm::MathML, tooLarge, kTextTooLarge},
      {TForm::Latex, std::string(100000, '{'), kTextTooDeep},
      {TForm::Latex, fences, kTextTooDeep},
      {TForm::MathML, elements, kTextTooDeep},
  };
  for (const auto& [form, text, message] : rows) {
    const std::string refused = Read(form, text);
    EXPECT_EQ(refused.substr(refused.find(' ') + 1), message);
  }
}

// Running out of memory while reading ends the read, on the caller's stack as
// on a thread of its own, instead of the program; any other failure reaches
// the caller as it is, from either.
TEST(ReadLimits, RunningOutOfMemoryEndsOnlyTheRead) {
  for (std::size_t levels : {std::size_t{1}, std::size_t{5000}}) {
    EXPECT_FALSE(RunOnDeepStack(levels, [] { throw std::bad_alloc(); })) << levels;
    EXPECT_TRUE(RunOnDeepStack(levels, [] {})) << levels;
    EXPECT_THROW(RunOnDeepStack(levels, [] { throw std::length_error("deep"); }),
                 std::length_error)
        << levels;
  }
}

}  // namespace
