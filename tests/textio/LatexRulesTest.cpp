// How LaTeX is read as its authors mean it (where a summand, an integrand
// and a function's argument end), what the writer makes so that pdflatex
// compiles it and the reader gives the tree back, and texts shaped to be
// slow or large, which are read or refused in bounded time.
#include <gtest/gtest.h>

#include <string>

#include "tests/render/FormulaTrees.h"
#include "tests/textio/TreeText.h"

namespace {

std::string ReadLatex(const std::string& text) {
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  if (ReadFormula(TForm::Latex, text, &cursor, line, error)) return TreeText(line.get());
  return std::to_string(error.Column) + " " + error.Message;
}

struct TRuleCase {
  const char* What;
  const char* Text;
  const char* Expected;  // the tree, or the column with the message
};

class LatexRuleTest : public testing::TestWithParam<TRuleCase> {};

TEST_P(LatexRuleTest, ReadsAsMeant) {
  EXPECT_EQ(ReadLatex(GetParam().Text), GetParam().Expected) << GetParam().What;
}

const TRuleCase kRules[] = {
    {"a relation sign ends the summand", R"~(\sum_{k=1}^{n} k = \frac{n(n+1)}{2})~",
     R"~(sum[k=1,n]("k") " = " frac("n(n+1)")("2"))~"},
    {"a relation command ends the summand", R"~(\sum_k a_k < \infty)~",
     R"~(sum[k,]("aₖ") " < ∞")~"},
    {"the differential ends the integrand", R"~(\int_0^1 x^2 dx = \frac{1}{3})~",
     R"~(int[0,1](pow("2")("x") " dx") " = " frac("1")("3"))~"},
    {"a thin space before the differential", R"~(\int f(x)\,dx + C)~",
     R"~(int("f(x) dx") " + C")~"},
    {"an upright d and a Greek variable", R"~(\int \mathrm{d}\theta + \int g\,\mathrm{d}x)~",
     R"~(int("dθ") " + " int("g dx"))~"},
    {"a d inside a word is no differential", R"~(\int and x)~", R"~(int("and x"))~"},
    {"brackets after the sign hold the integrand and keep the differential",
     R"~(\int_0^1 (x+1)\,dx = 1)~", R"~(int[0,1]("(x+1) dx") " = 1")~"},
    {"what follows an integrand in \\left( \\right) stays outside, as the writer puts it",
     R"~(\int\left(x\right)dx)~", R"~(int("x") "dx")~"},
    {"a comma and a spacing command end the summand", R"~(\sum_i a_i, \sum_j b_j \quad c)~",
     R"~(sum[i,]("aᵢ") ", " sum[j,]("bⱼ") "   c")~"},
    {"an unmatched parenthesis ends the summand", R"~((\sum_k a_k) + 1)~",
     R"~("(" sum[k,]("aₖ") ") + 1")~"},
    {"an inner summand ends where the outer one does", R"~(\sum_i \sum_j a = 0)~",
     R"~(sum[i,](sum[j,]("a")) " = 0")~"},
    {"a function's argument ends at a plus", R"~(\sin^2 x + \cos^2 x = 1)~",
     R"~(fn[sin²]("x") " + " fn[cos²]("x") " = 1")~"},
    {"a function's argument may be bars", R"~(\ln|x| + 1)~", R"~(fn[ln](abs("x")) " + 1")~"},
    {"or a \\left \\right pair", R"~(\exp\left[x\right] y)~", R"~(fn[exp]("[x]") " y")~"},
    {"a function applied to a function nests", R"~(\sin\cos x)~", R"~(fn[sin](fn[cos]("x")))~"},
    {"names with nothing to apply to are text", R"~(\sin\cos\tan)~", R"~("sin cos tan")~"},
    {"a name alone in its group is text", R"~(\frac{\log}{2})~", R"~(frac("log")("2"))~"},
    {"an index on a name", R"~(\log_2 x)~", R"~(fn[log₂]("x"))~"},
    {"a negative exponent on a name", R"~(\cos^{-1} y)~", R"~(fn[cos⁻¹]("y"))~"},
    {"an exponent on an operator name without argument", R"~(\operatorname{f}^2)~", R"~("f²")~"},
    {"an upright name is the function, not si and n squared", R"~(\mathrm{sin}^2 x)~",
     R"~(fn[sin²]("x"))~"},
    {"a font's argument is raised whole", R"~(\mathbf{ab}^2)~", R"~(pow("2")("ab"))~"},
    {"an integrand's function ends before the differential",
     R"~(\int_0^{2\pi} \sin\theta \, d\theta = 0)~", R"~(int[0,2π](fn[sin]("θ") "   dθ") " = 0")~"},
    {"a script without a character of its own names the script as typed", R"~(x_{x_x})~",
     "2 Tiefstellung von „x_x“: nur Ziffern, + − = ( ) und einige Buchstaben haben "
     "tiefgestellte Zeichen."},
    {"a name's script without script characters is refused where it stands", R"~(\sin^{q} x)~",
     "5 Hochstellung von „q“: nur Ziffern, + − = ( ) und einige Buchstaben haben "
     "hochgestellte Zeichen."},
    {"a tilde in text is a non-breaking space", R"~(\text{a~b})~", "\"a\u00A0b\""},
    {"scripts after an empty group are characters of the text", R"~(x{}^{2}{}_{1} {}^{3})~",
     R"~("x²₁ ³")~"},
    {"an empty group before a power that has no script form still raises it", R"~({}^{\frac12})~",
     R"~(pow(frac("1")("2"))())~"},
    {"a long name is quoted cut",
     R"~(\abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz)~",
     "1 Unbekannter Befehl „\\abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefg…“."},
    {"a size command before a size command is refused, not nested", R"~(\big\big\big()~",
     "1 Nach dem Größenbefehl fehlt ein Begrenzer wie „(“ oder „|“."},
};

INSTANTIATE_TEST_SUITE_P(Rules, LatexRuleTest, testing::ValuesIn(kRules),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

struct TExportCase {
  const char* What;
  std::uint32_t Kind;  // kTerm: the term alone; else a function of "a" named Text
  const char16_t* Text;
  const char* Latex;
};

constexpr std::uint32_t kTerm = 99;

class LatexExportTest : public testing::TestWithParam<TExportCase> {};

// Written as pdflatex takes it with amsmath, and read back as the same tree.
TEST_P(LatexExportTest, WritesWhatPdflatexTakesAndReadsBack) {
  const TExportCase& row = GetParam();
  TFormulaTree tree;
  if (row.Kind == kTerm) {
    AppendTermEntry(tree.Root(), row.Text);
  } else {
    TFormulaEntry& entry = AddFunction(tree.Root(), row.Kind, row.Text);
    AppendTermEntry(entry.First, u"a");
  }
  const std::string latex = WriteFormula(TForm::Latex, tree.Root());
  EXPECT_EQ(latex, row.Latex) << row.What;
  EXPECT_EQ(ReadLatex(latex), TreeText(tree.Root())) << row.What;
}

const TExportCase kExports[] = {
    {"subscript characters after a letter", kTerm, u"x\u1D62 + a\u2081\u2082",
     R"~(x_{i} + a_{12})~"},
    {"superscripts on an empty group, not a power", kTerm, u"x\u00B2\u207F", R"~(x{}^{2n})~"},
    {"an index with no character before it", kTerm, u"\u2081 x", R"~({}_{1} x)~"},
    {"scripts after a Greek letter", kTerm, u"\u03B1\u00B2\u03B2\u1D62",
     R"~(\alpha{}^{2}\beta_{i})~"},
    {"a word with an umlaut as text", kTerm, u"Fl\u00E4che = ab", R"~(\text{Fläche} = ab)~"},
    {"the Latin-1 signs", kTerm, u"\u00B1\u00D7\u00B7\u00F7\u00AC",
     R"~(\pm\text{\texttimes}\text{\textperiodcentered}\div\neg)~"},
    {"a minus sign and a non-breaking space", kTerm, u"a\u2212b\u00A0c",
     R"~(a\text{\textminus}b\text{~}c)~"},
    {"an arrow", kTerm, u"x\u2192y", R"~(x\to{}y)~"},
    {"a function name's exponent", fkUser, u"sin\u00B2", R"~(\sin^{2}\left(a\right))~"},
    {"a function name's index", fkUser, u"log\u2082", R"~(\log_{2}\left(a\right))~"},
    {"an operator name with an exponent", fkUser, u"f\u207B\u00B9",
     R"~(\operatorname{f}^{-1}\left(a\right))~"},
    {"a power keeps its parentheses", fkPotenz, u"", R"~(\left(\right)^{a})~"},
};

INSTANTIATE_TEST_SUITE_P(Exports, LatexExportTest, testing::ValuesIn(kExports),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

struct THostileCase {
  const char* What;
  std::string Text;
  const char* Expected;  // what is left of the result after its first blank
};

// Each shape took seconds or ended the program before; each is read or
// refused now (how fast is bench_textio's to measure).
TEST(LatexHostileTest, ReadOrRefused) {
  const std::string tooLarge = kFormulaTooLarge;
  const THostileCase rows[] = {
      {"400,000 size commands, once a recursion each", Repeat("\\big", 400000),
       "Nach dem Größenbefehl fehlt ein Begrenzer wie „(“ oder „|“."},
      {"indices after many blanks at the start of a row",
       std::string(200000, ' ') + "x" + Repeat("_1", 20000), nullptr},
      {"powers after many unmatched parentheses", std::string(100000, '(') + Repeat("x^2", 5000),
       nullptr},
      {"a million small fractions ask for gigabytes", Repeat("\\frac12", 1000000),
       tooLarge.c_str()},
      {"400,000 empty groups", Repeat("{}", 400000), tooLarge.c_str()},
      {"many summands, each ending at a relation", Repeat("\\sum_k a_k = ", 5000), nullptr},
      {"many integrals, each ending at its differential", Repeat("\\int x\\,dx + ", 5000), nullptr},
      {"integrals nested without brackets, the deepest a formula may be",
       Repeat("\\int x", 999) + "dx", nullptr},
      {"names nested without brackets beyond what the caller's stack holds", Repeat("\\sin ", 2000),
       nullptr},
  };
  for (const THostileCase& row : rows) {
    const std::string result = ReadLatex(row.Text);
    if (row.Expected != nullptr) {
      EXPECT_EQ(result.substr(result.find(' ') + 1), row.Expected) << row.What;
    } else {
      EXPECT_TRUE(result.starts_with("\"") || result.starts_with("sum") ||
                  result.starts_with("int") || result.starts_with("pow"))
          << row.What << ": " << result.substr(0, 200);
    }
  }
}

}  // namespace
