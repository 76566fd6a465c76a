// MathML as word processors, browsers and math libraries put it on the
// clipboard, and MathML that must be refused.
#include <gtest/gtest.h>

#include <string>

#include "tests/textio/TreeText.h"
#include "textio/FormulaText.h"

namespace {

std::string ReadMathML(const std::string& xml, TTextError* error = nullptr) {
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError ignored;
  if (!FormulaFromMathML(xml, &cursor, line, error ? *error : ignored)) return "error";
  return TreeText(line.get());
}

struct TMathMLCase {
  const char* Description;
  const char* Xml;
  const char* Tree;
};

class MathMLReadTest : public testing::TestWithParam<TMathMLCase> {};

TEST_P(MathMLReadTest, GivesTheTree) {
  TTextError error;
  EXPECT_EQ(ReadMathML(GetParam().Xml, &error), GetParam().Tree) << error.Describe();
}

#define MATH(body) "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" body "</math>"

const TMathMLCase kStyles[] = {
    {"Textverarbeitung mit Präfix mml",
     R"~(<?xml version="1.0"?><mml:math xmlns:mml="http://www.w3.org/1998/Math/MathML">)~"
     R"~(<mml:mfrac><mml:mrow><mml:mi>a</mml:mi></mml:mrow><mml:mrow><mml:mi>b</mml:mi>)~"
     R"~(</mml:mrow></mml:mfrac></mml:math>)~",
     R"~(frac("a")("b"))~"},
    {"Office-Formel mit semantics und Annotation",
     MATH("<semantics><mrow><msup><mi>x</mi><mn>2</mn></msup></mrow>"
          "<annotation encoding=\"StarMath 5.0\">x^2</annotation></semantics>"),
     R"~(pow("2")("x"))~"},
    {"Browser: Exponent nur an der schließenden Klammer",
     MATH("<mo>(</mo><mi>a</mi><mo>+</mo><mi>b</mi><msup><mo>)</mo><mn>2</mn></msup>"),
     R"~(pow("2")("a+b"))~"},
    {"Summe mit munderover, Summand ist der Rest",
     MATH("<munderover><mo>&#x2211;</mo><mrow><mi>i</mi><mo>=</mo><mn>1</mn></mrow><mi>n</mi>"
          "</munderover><msup><mi>i</mi><mn>2</mn></msup>"),
     R"~(sum[i=1,n](pow("2")("i")))~"},
    {"Integral mit msubsup",
     MATH("<msubsup><mo>∫</mo><mn>0</mn><mn>1</mn></msubsup><mi>x</mi>"
          "<mi>d</mi><mi>x</mi>"),
     R"~(int[0,1]("xdx"))~"},
    {"Summe mit msub und Summand in Klammern",
     MATH("<msub><mo>∑</mo><mi>k</mi></msub><mo>(</mo><mi>k</mi><mo>)</mo><mo>+</mo><mn>1</mn>"),
     R"~(sum[k,]("k") "+1")~"},
    {"Funktionsanwendung als benannte Entität",
     MATH("<mi>sin</mi><mo>&ApplyFunction;</mo><mi>x</mi>"), R"~(fn[sin]("x"))~"},
    {"Funktion mit eingeklammertem Argument",
     MATH("<mi>log</mi><mo>&#x2061;</mo><mrow><mo>(</mo><mi>x</mi><mo>)</mo></mrow>"),
     R"~(fn[log]("x"))~"},
    {"Betrag als mfenced", MATH("<mfenced open=\"|\" close=\"|\"><mi>x</mi></mfenced>"),
     R"~(abs("x"))~"},
    {"Betrag als zwei Striche", MATH("<mo>|</mo><mi>x</mi><mo>-</mo><mn>1</mn><mo>|</mo>"),
     R"~(abs("x-1"))~"},
    {"mfenced mit Trennzeichen", MATH("<mi>f</mi><mfenced><mi>a</mi><mi>b</mi></mfenced>"),
     R"~("f(a,b)")~"},
    {"n-te Wurzel", MATH("<mroot><mi>x</mi><mn>3</mn></mroot>"), R"~(root[3]("x"))~"},
    {"Quadratwurzel aus Bruch", MATH("<msqrt><mfrac><mn>1</mn><mn>2</mn></mfrac></msqrt>"),
     R"~(root("1")("2"))~"},
    {"Index", MATH("<msub><mi>x</mi><mn>1</mn></msub>"), R"~("x₁")~"},
    {"Index und Exponent", MATH("<msubsup><mi>x</mi><mi>i</mi><mn>2</mn></msubsup>"),
     R"~(pow("2")("xᵢ"))~"},
    {"Benannte Zeichen",
     MATH("<mn>2</mn><mo>&times;</mo><mn>3</mn><mo>&minus;</mo><mi>&alpha;</mi>"), R"~("2*3-α")~"},
    {"mstyle, mspace und mpadded",
     MATH("<mstyle displaystyle=\"true\"><mi>a</mi>"
          "<mspace width=\"1em\"/><mpadded><mi>b</mi></mpadded>"
          "</mstyle>"),
     R"~("a b")~"},
    {"mphantom zeigt nichts", MATH("<mi>a</mi><mphantom><mi>b</mi></mphantom>"), R"~("a")~"},
    {"mtext", MATH("<mtext>für alle</mtext><mi>x</mi>"), R"~("für allex")~"},
    {"Bruch im Exponenten", MATH("<msup><mi>e</mi><mfrac><mi>x</mi><mn>2</mn></mfrac></msup>"),
     R"~(pow(frac("x")("2"))("e"))~"},
    {"Ohne Namensraum, eingerückt",
     "<math>\n  <mrow>\n    <mi>a</mi>\n    <mo>+</mo>\n"
     "    <mi>b</mi>\n  </mrow>\n</math>",
     R"~("a+b")~"},
    {"Zeichensatz aus der XML-Deklaration",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><math><mi>\xE4</mi></math>", R"~("ä")~"},
};

INSTANTIATE_TEST_SUITE_P(Producers, MathMLReadTest, testing::ValuesIn(kStyles),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

struct TMathMLError {
  const char* Description;
  const char* Xml;
  const char* Message;
  int Line;
  int Column;
};

class MathMLErrorTest : public testing::TestWithParam<TMathMLError> {};

TEST_P(MathMLErrorTest, SaysWhatAndWhere) {
  TTextError error;
  ASSERT_EQ(ReadMathML(GetParam().Xml, &error), "error");
  EXPECT_EQ(error.Message, GetParam().Message);
  EXPECT_EQ(error.Line, GetParam().Line);
  EXPECT_EQ(error.Column, GetParam().Column);
}

const TMathMLError kMathMLErrors[] = {
    {"Tabelle", "<math>\n<mtable><mtr><mtd><mi>a</mi></mtd></mtr></mtable></math>",
     "Das MathML-Element „mtable“ wird nicht unterstützt.", 2, 9},
    {"Akzent über einem Buchstaben", "<math><mover><mi>x</mi><mo>^</mo></mover></math>",
     "Das Element „mover“ wird nur mit ∑ oder ∫ unterstützt.", 1, 14},
    {"Nicht wohlgeformt", "<math><mi>x</math>", "Die MathML ist kein gültiges XML.", 1, 19},
    {"Abgebrochen", "<math><mi>x</mi>", "Die MathML endet mitten in einem Element.", 1, 17},
    {"Eigene Entitäten", "<!DOCTYPE math [<!ENTITY a \"aaaa\">]><math>&a;</math>",
     "Eigene Entitäten („<!ENTITY“) werden nicht unterstützt.", 1, 37},
    {"Fremdes Element", "<math><svg xmlns=\"http://www.w3.org/2000/svg\"/></math>",
     "Das Element „svg“ gehört nicht zu MathML.", 1, 48},
    {"Bruch mit einem Kind", "<math><mfrac><mi>x</mi></mfrac></math>",
     "Das Element „mfrac“ braucht 2 Kinder, nicht 1.", 1, 14},
    {"Bruch in einer Grenze",
     "<math><munder><mo>∑</mo><mfrac><mi>a</mi><mi>b</mi></mfrac></munder></math>",
     "In Grenzen, Wurzelexponenten und Funktionsnamen steht nur Text, kein „mfrac“.", 1, 32},
    {"Kein MathML", "nur Text", "Die MathML ist kein gültiges XML.", 1, 2},
};

INSTANTIATE_TEST_SUITE_P(Refused, MathMLErrorTest, testing::ValuesIn(kMathMLErrors),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(MathMLLimits, RefusesTooLargeAndTooDeepInput) {
  TTextError error;
  EXPECT_EQ(ReadMathML(std::string((16u << 20) + 1, ' '), &error), "error");
  EXPECT_EQ(error.Message, kTextTooLarge);
  std::string deep = "<math>";
  for (int i = 0; i < 20000; ++i) deep += "<mrow>";
  EXPECT_EQ(ReadMathML(deep, &error), "error");
  EXPECT_EQ(error.Message, kTextTooDeep);
}

}  // namespace
