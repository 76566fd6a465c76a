// Formulas as text against one paint of the same formula: writing and
// reading LaTeX and MathML, and writing the German words, for the start-up
// formula, for a formula of 10,000 entries and for one row of 50,000 terms (a
// line that long must not be copied over and over while it is read). Text
// must cost well under a paint.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "model/Utf.h"
#include "render/Paint.h"
#include "render/QImageCanvas.h"
#include "tests/render/FormulaTrees.h"
#include "textio/FormulaText.h"
#include "textio/XmlReader.h"

namespace {

// 1,000 times a term, a fraction, a root, a power and a sum: 10,000 entries.
void BuildTenThousand(TFormulaLine* line) {
  for (int i = 0; i < 1000; ++i) {
    AppendTermEntry(line, u"x + ");
    AddStacked(line, fkBruch, u"1", u"n");
    AppendTermEntry(AddFunction(line, fkWurzel).First, u"2");
    TFormulaEntry& power = AddFunction(line, fkPotenz);
    AppendTermEntry(power.First, u"2");
    AppendTermEntry(power.Second, u"a");
    AppendTermEntry(AddFunction(line, fkSumme, u"i=1", u"n").First, u"i");
  }
}

void Build(TFormulaLine* line, std::int64_t which) {
  if (which == 0) return BuildSampleFormula(line);
  if (which == 1) return BuildTenThousand(line);
  BuildFlatRow(line, 50000);
}

void Label(benchmark::State& state) {
  constexpr const char* kLabels[] = {"start-up formula", "10,000 entries", "50,000 terms in a row"};
  state.SetLabel(kLabels[state.range(0)]);
}

void BM_Paint(benchmark::State& state) {
  TFormulaTree tree;
  Build(tree.Root(), state.range(0));
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = tree.Root();
  PaintComplete(canvas, input);  // at its size: every paint below is one run
  for (auto _ : state) benchmark::DoNotOptimize(PaintFormula(canvas, input));
  Label(state);
}

template <std::u16string (*Write)(const TFormulaLine*)>
void BM_Write(benchmark::State& state) {
  TFormulaTree tree;
  Build(tree.Root(), state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(Write(tree.Root()));
  Label(state);
}

// MathML is read from bytes, as from a file or the clipboard.
std::string MathMLBytes(const TFormulaLine* line) { return Utf8FromUtf16(MathMLFromFormula(line)); }

// Blocks from the system, as for the first formula a program reads: the
// shelf of released blocks is bypassed.
void* FreshBlock(std::size_t bytes) { return std::calloc(1, bytes); }

template <class TText, TText (*Write)(const TFormulaLine*),
          bool (*Read)(std::basic_string_view<typename TText::value_type>, TEntryCursor*,
                       TOwnedLine&, TTextError&),
          bool FreshBlocks = false>
void BM_Read(benchmark::State& state) {
  if (FreshBlocks) SetBlockAllocator(FreshBlock, std::free);
  TFormulaTree tree;
  Build(tree.Root(), state.range(0));
  const TText text = Write(tree.Root());
  for (auto _ : state) {
    TEntryCursor cursor = nullptr;
    TOwnedLine line;
    TTextError error;
    if (!Read(text, &cursor, line, error)) state.SkipWithError("not read");
    // Releasing the tree is not part of reading it.
    state.PauseTiming();
    line.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(text.size() * sizeof(text[0])));
  Label(state);
  ResetBlockAllocator();
}

// expat alone, every event to a handler that keeps nothing: the least a
// MathML read costs now.
class TIgnoringHandler : public TXmlHandler {
 public:
  bool StartElement(const TXmlName&, const TXmlAttributes&, std::size_t) override {
    return true;
  }
  bool EndElement() override { return true; }
  bool Text(std::string_view) override { return true; }
  bool Entity(std::string_view) override { return true; }
};

void BM_ExpatTokensOnly(benchmark::State& state) {
  TFormulaTree tree;
  Build(tree.Root(), state.range(0));
  const std::string xml = MathMLBytes(tree.Root());
  TIgnoringHandler handler;
  for (auto _ : state) benchmark::DoNotOptimize(ReadXml(xml, handler));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(xml.size()));
  Label(state);
}

// Hostile texts a user may paste, each to be read or refused within 2 s and
// 500 MB: what today's readers make of them, and how fast.
std::string Repeated(std::string_view piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

struct THostileText {
  const char* Name;
  bool MathML;
  std::string Text;
};

const std::vector<THostileText>& HostileTexts() {
  static const std::vector<THostileText> texts = {
      {"latex: 400,000 \\big", false, Repeated("\\big", 400000)},
      {"latex: 1M \\frac12", false, Repeated("\\frac12", 1000000)},
      {"latex: blanks, then 100,000 indices", false,
       std::string(800000, ' ') + "x" + Repeated("_1", 100000)},
      {"latex: 400,000 '(' then 100,000 powers", false,
       std::string(400000, '(') + Repeated("x^2", 100000)},
      {"latex: 16 MiB of '('", false, std::string(std::size_t{16} << 20, '(')},
      {"mathml: a function and an unclosed '('", true,
       "<math>" + Repeated("<mi>sin</mi><mo>&#x2061;</mo><mo>(</mo>", 25000) + "</math>"},
      {"mathml: a sum and '('", true,
       "<math>" + Repeated("<mo>&#x2211;</mo><mo>(</mo>", 40000) + "</math>"},
      {"mathml: 100,000 attributes", true, [] {
         std::string xml = "<math";
         for (int i = 0; i < 100000; ++i) xml += " a" + std::to_string(i) + "=\"1\"";
         return xml + "><mi>x</mi></math>";
       }()},
  };
  return texts;
}

void BM_ReadHostile(benchmark::State& state) {
  const THostileText& hostile = HostileTexts()[static_cast<std::size_t>(state.range(0))];
  const std::u16string latex = hostile.MathML ? u"" : Utf16FromUtf8(hostile.Text);
  bool read = false;
  for (auto _ : state) {
    TEntryCursor cursor = nullptr;
    TOwnedLine line;
    TTextError error;
    read = hostile.MathML ? FormulaFromMathML(hostile.Text, &cursor, line, error)
                          : FormulaFromLatex(latex, &cursor, line, error);
  }
  state.SetLabel(std::string(hostile.Name) + (read ? " (read)" : " (refused)"));
}

BENCHMARK(BM_Paint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Write<LatexFromFormula>)
    ->Name("BM_WriteLatex")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Write<MathMLFromFormula>)
    ->Name("BM_WriteMathML")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Write<SpeechFromFormula>)
    ->Name("BM_WriteSpeech")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMicrosecond);
// A text that can nest deeply is read on a thread of its own: wall time,
// and the CPU time of the whole process, which counts that thread too.
void ProcessTimed(benchmark::internal::Benchmark* read) {
  read->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_Read<std::u16string, LatexFromFormula, FormulaFromLatex>)
    ->Name("BM_ReadLatex")
    ->DenseRange(0, 2)
    ->Apply(ProcessTimed);
BENCHMARK(BM_Read<std::string, MathMLBytes, FormulaFromMathML>)
    ->Name("BM_ReadMathML")
    ->DenseRange(0, 2)
    ->Apply(ProcessTimed);
BENCHMARK(BM_Read<std::u16string, LatexFromFormula, FormulaFromLatex, true>)
    ->Name("BM_ReadLatexFreshBlocks")
    ->Arg(1)
    ->Apply(ProcessTimed);
BENCHMARK(BM_ExpatTokensOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadHostile)->DenseRange(0, 7)->Iterations(1)->Apply(ProcessTimed)->Unit(benchmark::kMillisecond);

}  // namespace
