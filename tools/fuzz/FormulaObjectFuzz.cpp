// libFuzzer target over reading LibreOffice's formula document: the zip in
// memory, content.xml bounded as it inflates, its MathML or StarMath
// annotation. A refusal says why; a formula read is written as a formula
// document that reads back the same.
#include <cstdlib>
#include <string>
#include <vector>

#include "export/FormulaObject.h"
#include "tools/fuzz/Quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietAllocFailures();

  TEntryCursor cursor = nullptr;
  TOwnedLine line;
  std::string error;
  if (!FormulaFromFormulaObject({data, size}, &cursor, line, error)) {
    if (error.empty() || line != nullptr) std::abort();
    return 0;
  }
  std::vector<std::uint8_t> zip;
  TOwnedLine back;
  if (!FormulaObjectFromFormula(line.get(), zip, error) ||
      !FormulaFromFormulaObject(zip, &cursor, back, error) ||
      LatexFromFormula(back.get()) != LatexFromFormula(line.get())) {
    std::abort();
  }
  return 0;
}
