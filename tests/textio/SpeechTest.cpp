// The German spoken form: each construct, operator and sign as a teacher
// reads it, the short and the delimited forms, the start-up formula whole,
// trees the editor makes that no LaTeX gives, and nesting 1000 deep.
#include <gtest/gtest.h>

#include <string>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"

namespace {

struct TSpeechCase {
  const char* What;
  const char* Latex;  // nullptr: the tree comes from Build
  const char* Speech;
  const char* FirstEntry = nullptr;  // the first entry alone, when given
  void (*Build)(TFormulaLine* line) = nullptr;
};

const TSpeechCase kCases[] = {
    {"short fraction", R"(\frac{a}{b})", "a durch b", "a durch b"},
    {"fraction with a longer part names its parts and its end", R"(\frac{x+1}{2})",
     "Bruch mit Zähler x plus 1 und Nenner 2 Ende Bruch"},
    {"fraction in a numerator keeps its own end", R"(\frac{\frac{a+1}{b}}{c}+1)",
     "Bruch mit Zähler Bruch mit Zähler a plus 1 und Nenner b Ende Bruch und Nenner c Ende "
     "Bruch plus 1"},
    {"square root, index 2 or none", R"(\sqrt{2}\sqrt[2]{y})",
     "Quadratwurzel aus 2 Quadratwurzel aus y"},
    {"root with index and longer radicand ends before what follows", R"(\sqrt[3]{x+1}+1)",
     "dritte Wurzel aus x plus 1 Ende Wurzel plus 1", "dritte Wurzel aus x plus 1 Ende Wurzel"},
    {"root indices as ordinals", R"(\sqrt[n]{x}\sqrt[21]{y}\sqrt[k+1]{z})",
     "n-te Wurzel aus x 21-ste Wurzel aus y Wurzel mit Index k plus 1 aus z"},
    {"root over a lower part", R"(\sqrt{\frac{a}{b}})", "Quadratwurzel aus a durch b"},
    {"sum with bounds, = in a bound is 'gleich'", R"(\sum_{k=1}^{n} k^2)",
     "die Summe von k gleich 1 bis n über k Quadrat Ende Summe"},
    {"sum without bounds", R"(\sum a)", "die Summe über a"},
    {"integral keeps the integration variable of the tree", R"(\int_{1}^{10} x\,dx)",
     "das Integral von 1 bis 10 über x d x Ende Integral"},
    {"integral with only an upper bound", R"(\int^{\infty} a)",
     "das Integral bis unendlich über a"},
    {"powers: Quadrat, hoch, a delimited exponent", R"(x^2+x^{3}-e^{i\pi}=0)",
     "x Quadrat plus x hoch 3 minus e hoch Anfang Exponent i pi Ende Exponent ist gleich 0"},
    {"a longer base in the brackets the picture draws", R"((a+b)^2)",
     "Klammer auf a plus b Klammer zu Quadrat"},
    {"absolute value", R"(\left|x\right|+\left|x-1\right|)",
     "der Betrag von x plus der Betrag von x minus 1 Ende Betrag"},
    {"known function names in German", R"(\sin x+\cos\alpha+\tan y)",
     "Sinus x plus Kosinus alpha plus Tangens y"},
    {"function with a longer argument", R"(\ln(x+1))",
     "natürlicher Logarithmus von x plus 1 Ende Funktion"},
    {"function names spelled as written, log with its base", R"(\operatorname{f}(x)+\log_2 8)",
     "f von x plus Logarithmus zur Basis 2 von 8"},
    {"operators as the picture draws * / -", "12*3/2-1", "12 mal 3 geteilt durch 2 minus 1"},
    {"relations", R"(a<b\le c\ne d\approx e>f\ge g)",
     "a kleiner als b kleiner gleich c ungleich d ungefähr gleich e größer als f größer gleich g"},
    {"other operators", R"(a\pm b\cdot c\div d:e, 12:4)",
     "a plus minus b mal c geteilt durch d Doppelpunkt e Komma 12 geteilt durch 4"},
    {"arrows and infinity", R"(x\to\infty\Rightarrow y)", "x gegen unendlich daraus folgt y"},
    {"Greek letters, capitals as 'großes'", R"(\alpha\beta+\Delta\pi)",
     "alpha beta plus großes Delta pi"},
    {"signs of the symbol palette", R"(\forall x\exists y: A\cup B\subseteq C\cap\emptyset)",
     "für alle x es existiert y Doppelpunkt A vereinigt mit B Teilmenge von C geschnitten mit "
     "leere Menge"},
    {"sub- and superscript characters", R"(x_1+x_{n}+y{}^{2}+y{}^{10}+z{}^{n+1})",
     "x Index 1 plus x Index n plus y Quadrat plus y hoch 10 plus z hoch Anfang Exponent n plus "
     "1 Ende Exponent"},
    {"typed brackets, digits and words stay", R"(2(a+b)=\text{für} 3,5)",
     "2 Klammer auf a plus b Klammer zu ist gleich für 3,5"},
    {"start-up formula", nullptr,
     "12 mal 3 geteilt durch 2 mal das Integral von 1 bis 10 über Klammer auf Klammer auf 4 x "
     "Klammer zu mal Bruch mit Zähler 2 plus 5 und Nenner 3 plus 5 Ende Bruch Klammer zu hoch "
     "Anfang Exponent 1 plus die Summe von x gleich 1 bis 3 über Bruch mit Zähler x plus 5 und "
     "Nenner 5 Ende Bruch Ende Summe Ende Exponent Ende Integral plus 3 mal das Integral von 1 "
     "bis 3 über Bruch mit Zähler x plus 5 und Nenner 5 Ende Bruch Ende Integral",
     "12 mal 3 geteilt durch 2 mal", BuildSampleFormula},
    {"empty formula", nullptr, "leere Formel", nullptr, [](TFormulaLine*) {}},
    {"new function entries: empty parts are 'leer'", nullptr,
     "leer durch leer leer hoch leer Quadratwurzel aus leer Sinus leer", "leer durch leer",
     [](TFormulaLine* line) {
       AddFunction(line, fkBruch);
       AddFunction(line, fkPotenz);
       AddFunction(line, fkWurzel);
       AddFunction(line, fkUser, u"sin");
     }},
    {"unknown kind as a fraction, a fraction without Second as its First", nullptr,
     "a durch b c plus 1", "a durch b",
     [](TFormulaLine* line) {
       AddStacked(line, 9, u"a", u"b");
       TFormulaEntry& alone = AddFunction(line, fkBruch);
       RemoveSecond(alone.Second);
       AppendTermEntry(alone.First, u"c + 1");
     }},
    {"an entry neither term nor function is left out", nullptr, "a c", "a",
     [](TFormulaLine* line) {
       AppendTermEntry(line, u"a");
       AppendTermEntry(line, u"b")->IsFunction = 2;
       AppendTermEntry(line, u"c");
     }},
    {"mathematical letters and digits as the plain ones", nullptr, "x durch 2 A plus 1", nullptr,
     [](TFormulaLine* line) {
       AddStacked(line, fkBruch, u"\U0001D465", u"2");
       AppendTermEntry(line, u"\U0001D400+\U0001D7CF");
     }},
    {"a variant or an accented Greek letter is a single letter too", nullptr, "theta durch ά",
     nullptr, [](TFormulaLine* line) { AddStacked(line, fkBruch, u"\u03D1", u"\u03AC"); }},
    {"a term alone; blanks and control characters say nothing", nullptr, "x minus 1", "leer",
     [](TFormulaLine* line) {
       AppendTermEntry(line, u" \u00A0\u0007 ");
       AppendTermEntry(line, u"x\u2212 1");
     }},
};

class SpeechCaseTest : public testing::TestWithParam<TSpeechCase> {};

TEST_P(SpeechCaseTest, SaysTheFormula) {
  const TSpeechCase& row = GetParam();
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  if (row.Latex != nullptr) {
    TTextError error;
    ASSERT_TRUE(FormulaFromLatex(Utf16FromUtf8(row.Latex), &cursor, line, error))
        << error.Describe();
  } else {
    line.reset(CreateLine(&cursor));
    row.Build(line.get());
  }
  EXPECT_EQ(Utf8FromUtf16(SpeechFromFormula(line.get())), row.Speech) << TreeText(line.get());
  // As a function's part it says the same, but an empty one is only "leer".
  const std::string asPart = row.Speech == std::string("leere Formel") ? "leer" : row.Speech;
  EXPECT_EQ(Utf8FromUtf16(SpeechFromPart(line.get())), asPart) << "as a part";
  if (row.FirstEntry != nullptr) {
    EXPECT_EQ(Utf8FromUtf16(SpeechFromEntry(*EntryAt(*line, 0))), row.FirstEntry);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, SpeechCaseTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

// Every level of the deepest nesting a document may hold is said and ended.
TEST(SpeechTest, SaysNestingOf1000LevelsWithEveryEnd) {
  TFormulaTree tree;
  BuildChain(tree.Root(), fkWurzel, 1000);
  std::string expected;
  for (int level = 0; level < 1000; ++level) expected += "dritte Wurzel aus x plus ";
  expected += "Ende Wurzel";
  for (int level = 1; level < 1000; ++level) expected += " Ende Wurzel";
  EXPECT_EQ(Utf8FromUtf16(SpeechFromFormula(tree.Root())), expected);
}

// Whatever the tree holds (unknown kinds, absent and empty parts, damaged
// entries, every character), the words stand apart by single blanks.
TEST(SpeechTest, RandomTreesGiveWordsWithSingleBlanks) {
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    TFormulaTree tree;
    BuildRandomTree(tree.Root(), seed);
    const std::string speech = Utf8FromUtf16(SpeechFromFormula(tree.Root()));
    ASSERT_FALSE(speech.empty()) << seed;
    EXPECT_EQ(speech.find("  "), std::string::npos) << seed << ": " << speech;
    EXPECT_NE(speech.front(), ' ') << seed;
    EXPECT_NE(speech.back(), ' ') << seed;
  }
}

// A sign's name is many times the sign: a long text is cut, not grown to
// gigabytes.
TEST(SpeechTest, CutsWhatNoOneCouldListenTo) {
  TFormulaTree tree;
  AppendTermEntry(tree.Root(), std::u16string(100000, u'\u22FC'));
  AppendTermEntry(tree.Root(), u"x");
  const std::u16string speech = SpeechFromFormula(tree.Root());
  EXPECT_LT(speech.size(), std::size_t{1} << 21);
  EXPECT_TRUE(speech.ends_with(u" … gekürzt")) << Utf8FromUtf16(speech.substr(speech.size() - 80));
}

}  // namespace
