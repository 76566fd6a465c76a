#include "tests/textio/TreeText.h"

#include "textio/FormulaText.h"

namespace {

constexpr const char* kKindNames[] = {"frac", "root", "sum", "pow", "abs", "int", "fn"};

// Only the texts the kind draws.
std::string TextsOf(const TFormulaEntry& entry) {
  const std::string t1 = Utf8FromUtf16(TextOf(entry.Text1));
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

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

bool SameTexts(const TFormulaEntry& x, const TFormulaEntry& y) {
  const std::u16string_view a1 = TextOf(x.Text1);
  const std::u16string_view b1 = TextOf(y.Text1);
  switch (x.Kind) {
    case fkWurzel:
      return (a1 == u"2" ? u"" : a1) == (b1 == u"2" ? u"" : b1);
    case fkUser:
      return Trim(a1) == Trim(b1);
    case fkSumme:
    case fkIntegral:
      return a1 == b1 && TextOf(x.Text2) == TextOf(y.Text2);
    default:
      return true;
  }
}

}  // namespace

std::string TreeText(const TFormulaLine* line) {
  std::string text;
  if (line == nullptr) return text;
  for (std::uint32_t i = 0; i < line->Count(); ++i) {
    const TFormulaEntry& entry = *EntryAt(*line, i);
    if (!text.empty()) text += ' ';
    if (entry.IsFunction == 0) {
      text += "\"" + Utf8FromUtf16(TextOf(entry.Text1)) + "\"";
      continue;
    }
    text += entry.Kind < kFunctionKindCount ? kKindNames[entry.Kind] : "kind?";
    text += TextsOf(entry) + "(" + TreeText(entry.First) + ")";
    if (entry.Second != nullptr) text += "(" + TreeText(entry.Second) + ")";
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

bool SameFormula(const TFormulaLine* a, const TFormulaLine* b) {
  if (a == nullptr || b == nullptr) return a == b;
  if (a->Count() != b->Count()) return false;
  for (std::uint32_t i = 0; i < a->Count(); ++i) {
    const TFormulaEntry& x = *EntryAt(*a, i);
    const TFormulaEntry& y = *EntryAt(*b, i);
    if (x.IsFunction != y.IsFunction) return false;
    if (x.IsFunction == 0) {
      if (Trim(TextOf(x.Text1)) != Trim(TextOf(y.Text1))) return false;
      continue;
    }
    if (x.Kind != y.Kind || !SameTexts(x, y) || !SameFormula(x.First, y.First) ||
        !SameFormula(x.Second, y.Second)) {
      return false;
    }
  }
  return true;
}
