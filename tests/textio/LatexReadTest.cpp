// LaTeX as people type it: textbook formulas with the tree each must give,
// and mistakes with the message and position each must report.
#include <gtest/gtest.h>

#include <string>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"
#include "textio/FormulaText.h"

namespace {

struct TLatexCase {
  const char* Description;
  const char* Latex;
  const char* Tree;
};

std::string ReadLatex(const std::string& latex, TTextError* error = nullptr) {
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError ignored;
  if (!FormulaFromLatex(Utf16FromUtf8(latex), &cursor, line, error ? *error : ignored)) {
    return "error";
  }
  return TreeText(line.get());
}

class LatexReadTest : public testing::TestWithParam<TLatexCase> {};

TEST_P(LatexReadTest, GivesTheTree) {
  TTextError error;
  EXPECT_EQ(ReadLatex(GetParam().Latex, &error), GetParam().Tree) << error.Describe();
}

const TLatexCase kTextbook[] = {
    {"Bruch", R"~(\frac{1}{2})~", R"~(frac("1")("2"))~"},
    {"Mitternachtsformel", R"~(x = \frac{-b \pm \sqrt{b^2 - 4ac}}{2a})~",
     R"~("x = " frac("-b ± " root(pow("2")("b") " - 4ac"))("2a"))~"},
    {"Pythagoras", "a^2 + b^2 = c^2", R"~(pow("2")("a") " + " pow("2")("b") " = " pow("2")("c"))~"},
    {"Eulersche Identität", R"~(e^{i\pi} + 1 = 0)~", R"~(pow("iπ")("e") " + 1 = 0")~"},
    {"Gaußsche Summe: Summand ist der Rest", R"~(\sum_{i=1}^{n} i = \frac{n(n+1)}{2})~",
     R"~(sum[i=1,n]("i = " frac("n(n+1)")("2")))~"},
    {"Geometrische Reihe: Potenz des Summanden",
     R"~(\sum_{k=0}^{\infty} \left(\frac{1}{2}\right)^k)~",
     R"~(sum[k=0,∞](pow("k")(frac("1")("2"))))~"},
    {"Integral mit dx", R"~(\int_0^1 x^2\,dx)~", R"~(int[0,1](pow("2")("x") " dx"))~"},
    {"Integral einer Funktion", R"~(\int_{a}^{b} f(x)\,dx)~", R"~(int[a,b]("f(x) dx"))~"},
    {"Gaußintegral", R"~(\int_0^\infty e^{-x^2}\,dx)~",
     R"~(int[0,∞](pow("-" pow("2")("x"))("e") " dx"))~"},
    {"Quadratwurzel", R"~(\sqrt{2})~", R"~(root("2"))~"},
    {"Kubikwurzel", R"~(\sqrt[3]{x})~", R"~(root[3]("x"))~"},
    {"Wurzel aus einem Bruch: Zähler und Nenner", R"~(\sqrt{\frac{a}{b}})~", R"~(root("a")("b"))~"},
    {"n-te Wurzel aus einem Bruch", R"~(\sqrt[n]{\frac{x}{y}})~", R"~(root[n]("x")("y"))~"},
    {"Betragsstriche", "|x|", R"~(abs("x"))~"},
    {"Betrag mit left und right", R"~(\left| x - y \right|)~", R"~(abs(" x - y "))~"},
    {"Betrag mit lvert", R"~(\lvert z \rvert)~", R"~(abs(" z "))~"},
    {"Sinus mit Klammern", R"~(\sin(x))~", R"~(fn[sin]("x"))~"},
    {"Sinus ohne Klammern", R"~(\sin 2x + 1)~", R"~(fn[sin]("2x") " + 1")~"},
    {"Eigener Operator", R"~(\operatorname{sgn}(x))~", R"~(fn[sgn]("x"))~"},
    {"Binomische Formel", "(a+b)^2", R"~(pow("2")("a+b"))~"},
    {"Faktor vor der Klammer", "2(a+b)^2", R"~("2" pow("2")("a+b"))~"},
    {"Klammer mit Bruch als Basis", R"~(\left( \frac{a}{b} \right)^n)~",
     R"~(pow("n")(frac("a")("b")))~"},
    {"Große Klammern", R"~(\bigl( a+b \bigr)^2)~", R"~(pow("2")(" a+b "))~"},
    {"Indizes", "x_1 + x_2", R"~("x₁ + x₂")~"},
    {"Index aus mehreren Zeichen", "x_{n+1}", R"~("xₙ₊₁")~"},
    {"Index und Exponent", "x_i^2", R"~(pow("2")("xᵢ"))~"},
    {"Griechische Buchstaben", R"~(\alpha + \beta = \gamma)~", R"~("α + β = γ")~"},
    {"Blank nach Buchstabenbefehl trennt nur", R"~(2\pi r)~", R"~("2πr")~"},
    {"Partielle Ableitung", R"~(\frac{\partial f}{\partial x})~", R"~(frac("∂f")("∂x"))~"},
    {"Gammafunktion", R"~(\Gamma(n) = (n-1)!)~", R"~("Γ(n) = (n-1)!")~"},
    {"Mal und geteilt", R"~(a \times b \div c)~", R"~("a * b ÷ c")~"},
    {"Mengenklammern", R"~(\{ x \mid x > 0 \})~", R"~("{ x ∣ x > 0 }")~"},
    {"Ableitungsstrich", "f'(x)", R"~("f'(x)")~"},
    {"Kettenbruch", R"~(\cfrac{1}{1+\cfrac{1}{2}})~", R"~(frac("1")("1+" frac("1")("2")))~"},
    {"Tausenderabstand", R"~(10\,000)~", R"~("10 000")~"},
    {"Summand in Klammern, Rest danach", R"~(\sum_{i} (i+1) + 2)~", R"~(sum[i,]("i+1") " + 2")~"},
    {"Reihe mit limits, Bruch als Summand", R"~(\sum\limits_{n=1}^{\infty} \frac{1}{n^2})~",
     R"~(sum[n=1,∞]("1")(pow("2")("n")))~"},
    {"Grenzen vertauscht, nolimits", R"~(\int\nolimits^{b}_{a} f)~", R"~(int[a,b]("f"))~"},
    {"Grenze mit Exponent", R"~(\int_0^{x^2} t)~", R"~(int[0,x²]("t"))~"},
    {"Aufrechtes d", R"~(\mathrm{d}x)~", R"~("dx")~"},
    {"Text mit Leerzeichen", R"~(\text{für alle }x)~", R"~("für alle x")~"},
    {"Geschweifte Klammern trennen Terme", "{a}{b}", R"~("a" "b")~"},
    {"Summenzeichen allein ist Text", R"~(a\mathord{\sum}b)~", R"~("a∑b")~"},
    {"In Dollar eingeschlossen", "$x^2$", R"~(pow("2")("x"))~"},
    {"Abgesetzte Formel", R"~(\[ \frac12 \])~", R"~(frac("1")("2"))~"},
    {"Inline-Klammern", R"~(\(a\))~", R"~("a")~"},
    {"Doppelte Dollar", R"~($$\sqrt{x}$$)~", R"~(root("x"))~"},
    {"Kommentar wird übergangen", "a % Kommentar\n+ b", R"~("a + b")~"},
    {"Stilbefehle fallen weg", R"~(\displaystyle \mathbf{v} \cdot \boldsymbol{w})~",
     R"~("v ⋅ w")~"},
};

INSTANTIATE_TEST_SUITE_P(Textbook, LatexReadTest, testing::ValuesIn(kTextbook),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

struct TErrorCase {
  const char* Description;
  const char* Latex;
  const char* Message;
  std::size_t Offset;
};

class LatexErrorTest : public testing::TestWithParam<TErrorCase> {};

TEST_P(LatexErrorTest, NamesTheConstructAndItsPosition) {
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  ASSERT_FALSE(FormulaFromLatex(Utf16FromUtf8(GetParam().Latex), &cursor, line, error));
  EXPECT_EQ(line, nullptr);
  EXPECT_EQ(cursor, nullptr) << "nothing of the failed formula may stay behind";
  EXPECT_EQ(error.Message, GetParam().Message);
  EXPECT_EQ(error.Offset, GetParam().Offset);
}

const TErrorCase kErrors[] = {
    {"Unbekannter Befehl", R"~(\foo)~", "Unbekannter Befehl „\\foo“.", 0},
    {"Unbekannter Befehl im Nenner", R"~(\frac{1}{\foo})~", "Unbekannter Befehl „\\foo“.", 9},
    {"Offene Klammer", R"~(\frac{1}{2)~", "Die Klammer „{“ wird nicht geschlossen.", 8},
    {"Überzählige Klammer", "a}", "Die Klammer „}“ schließt nichts.", 1},
    {"Umgebung", R"~(\begin{matrix}a\end{matrix})~",
     "Umgebungen wie „\\begin{matrix}“ werden nicht unterstützt.", 0},
    {"Spaltentrenner", "a & b", "Spaltentrenner „&“ werden nicht unterstützt (keine Matrizen).", 2},
    {"lim mit Grenze", R"~(\lim_{x\to 0} f)~",
     "„\\lim“ mit Grenze oder Exponent wird nicht unterstützt.", 4},
    {"Sinus mit Exponent", R"~(\sin^2 x)~",
     "„\\sin“ mit Grenze oder Exponent wird nicht unterstützt.", 4},
    {"left ohne right", R"~(\left( x)~", "„\\left“ ohne passendes „\\right“.", 0},
    {"right ohne left", R"~(x \right))~", "„\\right“ ohne passendes „\\left“.", 2},
    {"Offener Betrag", "|x", "Der Betragsstrich „|“ wird nicht geschlossen.", 0},
    {"Index ohne tiefgestelltes Zeichen", "x_q",
     "Tiefstellung von „q“: nur Ziffern, + − = ( ) und einige Buchstaben haben tiefgestellte "
     "Zeichen.",
     1},
    {"Index nach einer Funktion", R"~(\frac12_3)~",
     "Ein Index steht nur direkt nach einem Zeichen.", 7},
    {"Bruch ohne Nenner", R"~(\frac{1})~", "Nach „\\frac“ fehlt ein Argument.", 0},
    {"Exponent fehlt", "x^", "Nach „^“ fehlt ein Argument.", 1},
    {"Wurzelexponent offen", R"~(\sqrt[3{x})~",
     "Die Klammer „[“ des Wurzelexponenten wird nicht geschlossen.", 5},
    {"Bruch in einer Grenze", R"~(\sum_{\frac{1}{2}} x)~",
     "In Grenzen, Wurzelexponenten und Funktionsnamen steht nur Text, kein „\\frac“.", 6},
    {"Zeilenumbruch", R"~(a \\ b)~", "Zeilenumbrüche „\\\\“ werden nicht unterstützt.", 2},
    {"Akzent", R"~(\hat{x})~", "„\\hat“ wird nicht unterstützt.", 0},
    {"Dollar mitten in der Formel", "a $ b", "„$“ darf nur die ganze Formel einschließen.", 2},
    {"Spitze Klammern als Begrenzer", R"~(\left< x \right>)~",
     "Nach „\\left“ fehlt ein Begrenzer wie „(“, „[“ oder „|“.", 0},
    {"Zwei untere Grenzen", R"~(\sum_1_2 x)~", "Die untere Grenze steht zweimal.", 6},
    {"Backslash am Ende", "a\\", "Nach „\\“ fehlt der Name des Befehls.", 1},
    {"Text nicht geschlossen", R"~(\text{abc)~", "Die Klammer „{“ wird nicht geschlossen.", 5},
};

INSTANTIATE_TEST_SUITE_P(Mistakes, LatexErrorTest, testing::ValuesIn(kErrors),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(LatexErrorPosition, CountsLinesAndColumnsInCodeUnits) {
  TTextError error;
  EXPECT_EQ(ReadLatex("\\alpha +\n  \\foo", &error), "error");
  EXPECT_EQ(error.Offset, 11u);
  EXPECT_EQ(error.Describe(), "Zeile 2, Spalte 3: Unbekannter Befehl „\\foo“.");
  // A character beyond the BMP counts as two code units, as in the editor.
  EXPECT_EQ(ReadLatex("\U0001D465\\foo", &error), "error");
  EXPECT_EQ(error.Offset, 2u);
}

TEST(LatexLimits, RefusesTooLargeAndTooDeepInputWithoutCrashing) {
  TTextError error;
  EXPECT_EQ(ReadLatex(std::string((16u << 20) + 1, 'x'), &error), "error");
  EXPECT_EQ(error.Message, kTextTooLarge);
  EXPECT_EQ(ReadLatex(std::string(100000, '{'), &error), "error");
  EXPECT_EQ(error.Message, kTextTooDeep);
  std::string fences;
  for (int i = 0; i < 100000; ++i) fences += "\\left(";
  EXPECT_EQ(ReadLatex(fences, &error), "error");
  EXPECT_EQ(error.Message, kTextTooDeep);

  // 1000 levels of functions are a formula like any other; 1001 are refused.
  auto nested = [](int levels) {
    std::string latex;
    for (int i = 0; i < levels; ++i) latex += "\\sqrt{";
    return latex + "x" + std::string(static_cast<std::size_t>(levels), '}');
  };
  EXPECT_NE(ReadLatex(nested(1000), &error), "error") << error.Describe();
  EXPECT_EQ(ReadLatex(nested(1001), &error), "error");
  EXPECT_EQ(error.Message, kTextTooDeep);
}

}  // namespace
