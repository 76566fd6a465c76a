// LibreOffice Math's command language: what its users type and copy, what
// we write for it, and what is refused with which message.
#include <gtest/gtest.h>

#include "model/Utf.h"
#include "tests/textio/TreeText.h"

namespace {

struct TReadCase {
  const char* What;
  const char* StarMath;
  const char* Tree;
};

// The first rows are texts as LibreOffice Math 7.4 puts them on the clipboard.
const TReadCase kReadCases[] = {
    {"LibreOffice's quadratic formula: a fraction of groups, ± and a root",
     "x = {-b +- sqrt{b^2 - 4ac}} over {2a}",
     "\"x = \" frac(\"-b ± \" root(pow(\"2\")(\"b\") \" - 4ac\"))(\"2a\")"},
    {"over takes the name or number right before it", "1 + a over 2",
     "\"1 + \" frac(\"a\")(\"2\")"},
    {"a sum with bounds takes one term", "sum from{i=1} to{n} i^2 + 1",
     "sum[i=1,n](pow(\"2\")(\"i\")) \" + 1\""},
    {"an integral with a braced body and a symbol word as bound",
     "int from 0 to infinity {e^{-x}} dx", "int[0,∞](pow(\"-x\")(\"e\")) \" dx\""},
    {"nroot has its index first", "nroot{3}{x+1}", "root[3](\"x+1\")"},
    {"abs, and left lline right rline, are absolute values", "abs{x} + left lline y right rline",
     "abs(\"x\") \" + \" abs(\"y\")"},
    {"left ( right ) keeps its brackets as text, and a power raises them", "left( a+b right)^2",
     "pow(\"2\")(\" a+b\")"},
    {"func names a function, sin is one already", "func f(x) = sin x",
     "fn[f](\"x\") \" = \" fn[sin](\"x\")"},
    {"a name's scripts become script characters", "sin^2 x", "fn[sin²](\"x\")"},
    {"a name with nothing to apply to is text", "x = sin", "\"x = sin\""},
    {"signs and words for × · ÷ ± ∓ and the relations",
     "a times b cdot c div d -+ e <= f >= g <> h approx i", "\"a*b⋅c÷d ∓ e ≤ f ≥ g ≠ h≈i\""},
    {"Greek names, in capitals and italic", "%alpha + %OMEGA + %ibeta", "\"α + Ω + β\""},
    {"quoted text is text, reserved words in it too", "\"over\" + \"a\\\"b\"", "\"over + a\"b\""},
    {"a subscript makes script characters", "x_1 + x_n", "\"x₁ + xₙ\""},
    {"a style is dropped, its content kept", "bold x + color red y + size 12 z", "\"x + y + z\""},
    {"a group beside a term keeps a term of its own", "a {b}", "\"a \" \"b\""},
    {"a comment runs to the end of its line", "x %% the unknown\n+ 1", "\"x  + 1\""},
    {"escaped brackets need no partner", "\\( x", "\"( x\""},
};

class StarMathReadTest : public testing::TestWithParam<TReadCase> {};

TEST_P(StarMathReadTest, ReadsAsLibreOfficeShowsIt) {
  const TReadCase& row = GetParam();
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  ASSERT_TRUE(FormulaFromStarMath(Utf16FromUtf8(row.StarMath), &cursor, line, error))
      << row.What << ": " << error.Describe();
  EXPECT_EQ(TreeText(line.get()), row.Tree) << row.What;
}

INSTANTIATE_TEST_SUITE_P(Rows, StarMathReadTest, testing::ValuesIn(kReadCases));

struct TRefusedCase {
  const char* What;
  const char* StarMath;
  const char* Message;  // Describe(): with line and column
};

const TRefusedCase kRefusedCases[] = {
    {"an unclosed group", "sqrt{x", "Zeile 1, Spalte 5: Die Klammer „{“ wird nicht geschlossen."},
    {"over without a numerator", "over 2", "Zeile 1, Spalte 1: Vor „over“ fehlt der Zähler."},
    {"a command without its argument", "x = sqrt",
     "Zeile 1, Spalte 5: Nach „sqrt“ fehlt ein Argument."},
    {"a construct we have no kind for", "prod from{i} x",
     "Zeile 1, Spalte 1: „prod“ wird nicht unterstützt."},
    {"a place holder left by LibreOffice", "<?> over 2",
     "Zeile 1, Spalte 1: Der Platzhalter „<?>“ ist noch nicht ausgefüllt."},
    {"a matrix", "matrix{a # b}", "Zeile 1, Spalte 1: „matrix“ wird nicht unterstützt."},
    {"an unknown symbol, on the second line", "x +\n%foo",
     "Zeile 2, Spalte 1: Unbekanntes Symbol „%foo“."},
    {"left without right", "left( x", "Zeile 1, Spalte 1: „left“ ohne passendes „right“."},
    {"a fraction inside a bound", "sum from{{1} over {2}} x",
     "Zeile 1, Spalte 14: In Grenzen, Wurzelexponenten und Funktionsnamen steht nur Text, kein "
     "„over“."},
    {"an unclosed quote", "\"abc",
     "Zeile 1, Spalte 1: Der Text „\"“ wird nicht mit „\"“ geschlossen."},
    {"a subscript without script characters", "x_{q}",
     "Zeile 1, Spalte 2: Tiefstellung von „q“: nur Ziffern, + − = ( ) und einige Buchstaben haben "
     "tiefgestellte Zeichen."},
};

class StarMathRefusedTest : public testing::TestWithParam<TRefusedCase> {};

TEST_P(StarMathRefusedTest, SaysWhatAndWhere) {
  const TRefusedCase& row = GetParam();
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  EXPECT_FALSE(FormulaFromStarMath(Utf16FromUtf8(row.StarMath), &cursor, line, error)) << row.What;
  EXPECT_EQ(line, nullptr);
  EXPECT_EQ(error.Describe(), row.Message) << row.What;
}

INSTANTIATE_TEST_SUITE_P(Rows, StarMathRefusedTest, testing::ValuesIn(kRefusedCases));

struct TWriteCase {
  const char* What;
  const char* Latex;  // the tree, as LaTeX
  const char* StarMath;
};

const TWriteCase kWriteCases[] = {
    {"a fraction is a group of its own", "2 \\times \\frac{a}{b}", "2  times {{a} over {b}}"},
    {"a root with and without index", "\\sqrt{x} + \\sqrt[3]{y}", "sqrt{x} + nroot{3}{y}"},
    {"sum and integral with bounds, the body in the brackets the picture draws",
     "\\sum_{i=1}^{n} (i) + \\int_{0}^{\\infty} \\left(x\\right)",
     "sum from {i=1} to {n} left(i right) + int from {0} to {infinity} left(x right)"},
    {"a power keeps the brackets around its base", "(x+1)^{2}", "left(x+1 right)^{2}"},
    {"an absolute value", "|x|", "abs{x}"},
    {"LibreOffice's own function word, and func for any other name",
     "\\sin^{2}(x) + \\operatorname{f}(y)", "sin^{2}left(x right) + func f left(y right)"},
    {"reserved words in term text go into quotes", "\\text{over in sin}",
     "\"over\" \"in\" \"sin\""},
    {"a sign without its operands is text, and so is an unmatched bracket", "{=}{x +}{(}",
     "\"=\"{x \"+\"}{\"(\"}"},
    {"braces, quotes, bars and carets of a term are text",
     "\\{a\\}\\text{\"\\textasciicircum}\\vert", "\"{\"a\"}\\\"^|\""},
    {"a blank beside a command word is one more than the text has", "a \\cdot b", "a  cdot  b"},
    {"Greek letters and signs as they are", "\\alpha\\le\\beta", "α<=β"},
};

class StarMathWriteTest : public testing::TestWithParam<TWriteCase> {};

TEST_P(StarMathWriteTest, WritesWhatLibreOfficeReads) {
  const TWriteCase& row = GetParam();
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  ASSERT_TRUE(FormulaFromLatex(Utf16FromUtf8(row.Latex), &cursor, line, error)) << row.What;
  const std::string written = Utf8FromUtf16(StarMathFromFormula(line.get()));
  EXPECT_EQ(written, row.StarMath) << row.What;
  TOwnedLine back;
  ASSERT_TRUE(FormulaFromStarMath(Utf16FromUtf8(written), &cursor, back, error))
      << row.What << ": " << error.Describe();
  EXPECT_EQ(TreeText(back.get(), true), TreeText(line.get(), true)) << row.What;
}

INSTANTIATE_TEST_SUITE_P(Rows, StarMathWriteTest, testing::ValuesIn(kWriteCases));

}  // namespace

namespace {

struct TLooksCase {
  const char* What;
  const char* Text;
  bool StarMath;
};

const TLooksCase kLooksCases[] = {
    {"LibreOffice Math's copy", "x = {-b +- sqrt{b^2 - 4ac}} over {2a}", true},
    {"bounds of an integral", "int from 0 to 1 x dx", true},
    {"an absolute value by its bars", "left lline x right rline", true},
    {"a backslash makes it LaTeX", "\\sqrt{2} over 3", false},
    {"no StarMath word", "x^2 + 1", false},
    {"a word only as part of a name", "cover + sqrt2 + tops", false},
};

TEST(StarMathLooksTest, NoBackslashAndOneOfItsWords) {
  for (const TLooksCase& row : kLooksCases) {
    EXPECT_EQ(LooksLikeStarMath(Utf16FromUtf8(row.Text)), row.StarMath) << row.What;
  }
}

struct THostileCase {
  const char* What;
  std::u16string Text;
  const char* Message;  // nullptr: read
};

std::u16string Repeated(std::u16string_view piece, std::size_t times) {
  std::u16string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Each shape at a size that would take far longer if it were read in more
// than linear time or recursed without bound. Under the sanitizers and a
// busy machine the bound is looser than the 2 s of a release build.
TEST(StarMathHostileTest, ReadOrRefusedInBoundedTime) {
  const THostileCase cases[] = {
      {"nested roots without braces", Repeated(u"sqrt ", 400000) + u"x", kTextTooDeep},
      {"open braces", Repeated(u"{", 1000000), kTextTooDeep},
      {"a chain of fractions", u"a" + Repeated(u" over a", 200000), kTextTooDeep},
      {"a chain of powers", u"x" + Repeated(u"^2", 200000), kTextTooDeep},
      {"prefix signs", u"a over " + Repeated(u"-", 400000) + u"b", kTextTooDeep},
      {"many groups", Repeated(u"{a}", 400000), kFormulaTooLarge},
      {"many Greek names", Repeated(u"%alpha cdot ", 400000), nullptr},
      {"an unclosed quote", u"\"" + Repeated(u"a", 4000000),
       "Der Text „\"“ wird nicht mit „\"“ geschlossen."},
      {"blanks between names and words", Repeated(u"a  cdot  ", 500000), nullptr},
      {"over the size limit", std::u16string(kMaxFormulaTextBytes + 1, u'a'), kTextTooLarge},
  };
  for (const THostileCase& row : cases) {
    TEntryCursor cursor = nullptr;
    TOwnedLine line;
    TTextError error;
    const bool read = FormulaFromStarMath(row.Text, &cursor, line, error);
    EXPECT_EQ(read, row.Message == nullptr) << row.What << ": " << error.Describe();
    if (row.Message != nullptr) {
      EXPECT_EQ(error.Message, row.Message) << row.What;
    }
  }
}

}  // namespace

namespace {

struct TLatexWordCase {
  const char* What;
  const char* Latex;
  const char* Message;  // nullptr: read
};

// Read as LaTeX, LibreOffice's words are refused with a message that says
// so, wherever the paste did not take the text as StarMath.
const TLatexWordCase kLatexWordCases[] = {
    {"over between names", "a over b",
     "Zeile 1, Spalte 3: „over“ ist kein LaTeX: der Text sieht nach der Schreibweise von "
     "LibreOffice Math aus; in LaTeX heißt es „\\frac{a}{b}“."},
    {"sqrt before a group, beside a backslash command", "\\alpha + sqrt{2}",
     "Zeile 1, Spalte 10: „sqrt“ ist kein LaTeX: der Text sieht nach der Schreibweise von "
     "LibreOffice Math aus; in LaTeX heißt es „\\sqrt{x}“."},
    {"over after a number, inside a sum's operand", "\\sum_i 2over 3",
     "Zeile 1, Spalte 9: „over“ ist kein LaTeX: der Text sieht nach der Schreibweise von "
     "LibreOffice Math aus; in LaTeX heißt es „\\frac{a}{b}“."},
    {"the words as text", "\\text{over} + \\operatorname{sqrt}(x)", nullptr},
    {"the words inside longer names", "cover + sqrt2 + overall", nullptr},
};

TEST(LatexStarMathWordTest, TheWordsAreNamedNotTakenAsLetters) {
  for (const TLatexWordCase& row : kLatexWordCases) {
    TEntryCursor cursor = nullptr;
    TOwnedLine line;
    TTextError error;
    const bool read = FormulaFromLatex(Utf16FromUtf8(row.Latex), &cursor, line, error);
    EXPECT_EQ(read, row.Message == nullptr) << row.What;
    if (row.Message != nullptr) {
      EXPECT_EQ(error.Describe(), row.Message) << row.What;
    }
  }
}

TEST(LatexStarMathWordTest, ATermSpellingTheWordsComesBackFromLatex) {
  TEntryCursor cursor = nullptr;
  TOwnedLine line(CreateLine(&cursor));
  AppendTermEntry(line.get(), u"2over x sqrt");
  const std::u16string latex = LatexFromFormula(line.get());
  TOwnedLine back;
  TTextError error;
  ASSERT_TRUE(FormulaFromLatex(latex, &cursor, back, error)) << error.Describe();
  EXPECT_EQ(TreeText(back.get()), "\"2over x sqrt\"") << Utf8FromUtf16(latex);
}

}  // namespace
