#include "tests/textio/TreeText.h"

namespace {

constexpr const char* kKindNames[] = {"frac", "root", "sum", "pow", "abs", "int", "fn"};

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

// Only the texts the kind draws.
std::string TextsOf(const TFormulaEntry& entry, bool drawn) {
  std::u16string_view text1 = TextOf(entry.Text1);
  if (drawn && entry.Kind == fkWurzel && text1 == u"2") text1 = {};
  if (drawn && entry.Kind == fkUser) text1 = Trim(text1);
  const std::string t1 = Utf8FromUtf16(text1);
  const std::string t2 = Utf8FromUtf16(TextOf(entry.Text2));
  switch (entry.Kind) {
    case fkWurzel:
    case fkUser:
      return t1.empty() ? "" : "[" + t1 + "]";
    case fkSumme:
    case fkIntegral:
      return t1.empty() && t2.empty() ? "" : "[" + t1 + "," + t2 + "]";
    default:
      return "";
  }
}

}  // namespace

std::string TreeText(const TFormulaLine* line, bool drawn) {
  std::string text;
  if (line == nullptr) return text;
  for (std::uint32_t i = 0; i < line->Count(); ++i) {
    const TFormulaEntry& entry = *EntryAt(*line, i);
    if (!text.empty()) text += ' ';
    if (entry.IsFunction == 0) {
      const std::u16string_view term = TextOf(entry.Text1);
      text += "\"" + Utf8FromUtf16(drawn ? Trim(term) : term) + "\"";
      continue;
    }
    text += entry.Kind < kFunctionKindCount ? kKindNames[entry.Kind] : "kind?";
    text += TextsOf(entry, drawn) + "(" + TreeText(entry.First, drawn) + ")";
    if (entry.Second != nullptr) text += "(" + TreeText(entry.Second, drawn) + ")";
  }
  return text;
}

void MakeEditable(TFormulaLine* line) {
  for (std::uint32_t i = line->Count(); i-- > 0;) {
    TFormulaEntry* entry = EntryAt(*line, i);
    if (entry->IsFunction > 1) {
      DeleteEntry(line, static_cast<std::int32_t>(i));
      continue;
    }
    if (entry->IsFunction == 0) continue;
    if (entry->Kind >= kFunctionKindCount) entry->Kind = fkBruch;
    if (entry->First == nullptr) entry->First = CreateLine(line->CursorVar());
    const bool needsSecond = entry->Kind == fkBruch || entry->Kind == fkPotenz;
    if (needsSecond && entry->Second == nullptr) entry->Second = CreateLine(line->CursorVar());
    MakeEditable(entry->First);
    if (entry->Second != nullptr) MakeEditable(entry->Second);
  }
}

std::string WriteFormula(TForm form, const TFormulaLine* line) {
  switch (form) {
    case TForm::Latex:
      return Utf8FromUtf16(LatexFromFormula(line));
    case TForm::MathML:
      return Utf8FromUtf16(MathMLFromFormula(line));
    case TForm::StarMath:
      return Utf8FromUtf16(StarMathFromFormula(line));
  }
  return {};
}

bool ReadFormula(TForm form, std::string_view text, TEntryCursor* cursor, TOwnedLine& out,
                 TTextError& error) {
  switch (form) {
    case TForm::Latex:
      return FormulaFromLatex(Utf16FromUtf8(text), cursor, out, error);
    case TForm::MathML:
      return FormulaFromMathML(text, cursor, out, error);
    case TForm::StarMath:
      return FormulaFromStarMath(Utf16FromUtf8(text), cursor, out, error);
  }
  return false;
}
