// libFuzzer targets over the formula text readers; FUZZ_MATHML chooses
// MathML, FUZZ_STARMATH LibreOffice's StarMath, otherwise LaTeX. Besides crashes, leaks and hangs they check that
// a refusal says what and where, and that whatever is read is written as
// text that reads again and, from the second writing on, stays the same.
#include <cstdlib>
#include <string>

#include "textio/FormulaText.h"
#include "tools/fuzz/Quiet.h"

namespace {

bool Read(const std::u16string& text, TEntryCursor* cursor, TOwnedLine& line, TTextError& error) {
#ifdef FUZZ_MATHML
  return FormulaFromMathML(Utf8FromUtf16(text), cursor, line, error);
#elif defined(FUZZ_STARMATH)
  return FormulaFromStarMath(text, cursor, line, error);
#else
  return FormulaFromLatex(text, cursor, line, error);
#endif
}

std::u16string Write(const TFormulaLine* line) {
#ifdef FUZZ_MATHML
  return MathMLFromFormula(line);
#elif defined(FUZZ_STARMATH)
  return StarMathFromFormula(line);
#else
  return LatexFromFormula(line);
#endif
}

std::u16string WrittenAfterReading(const std::u16string& text, TEntryCursor* cursor) {
  TOwnedLine line;
  TTextError error;
  if (!Read(text, cursor, line, error)) std::abort();  // what was written must read
  return Write(line.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietAllocFailures();

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  TTextError error;
  // MathML as bytes: its declaration may name another encoding.
#ifdef FUZZ_MATHML
  const bool read = FormulaFromMathML(bytes, &cursor, line, error);
#elif defined(FUZZ_STARMATH)
  const bool read = FormulaFromStarMath(Utf16FromUtf8(bytes), &cursor, line, error);
#else
  const bool read = FormulaFromLatex(Utf16FromUtf8(bytes), &cursor, line, error);
#endif
  if (!read) {
    if (error.Message.empty() || line != nullptr || error.Line < 1 || error.Column < 1) {
      std::abort();
    }
    return 0;
  }
  const std::u16string second = WrittenAfterReading(Write(line.get()), &cursor);
  const std::u16string third = WrittenAfterReading(second, &cursor);
  if (WrittenAfterReading(third, &cursor) != third) std::abort();
  return 0;
}
