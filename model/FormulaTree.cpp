#include "model/FormulaTree.h"

#include <cstring>
#include <memory>
#include <new>

std::u16string_view TextOf(const std::u16string* text) {
  return text != nullptr ? std::u16string_view(*text) : std::u16string_view();
}

void SetText(std::u16string*& slot, std::u16string_view text) {
  if (text.empty()) {
    delete slot;
    slot = nullptr;
  } else if (slot != nullptr) {
    slot->assign(text);
  } else {
    slot = new std::u16string(text);
  }
}

void ReleaseTexts(TFormulaEntry& entry) {
  delete entry.Text1;
  delete entry.Text2;
  entry.Text1 = nullptr;
  entry.Text2 = nullptr;
}

TFormulaLine* CreateLine(TEntryCursor* cursor) {
  auto* line = new (std::nothrow) TFormulaLine(sizeof(TFormulaEntry), cursor);
  if (line == nullptr) ReportAllocFailure(sizeof(TFormulaLine));
  return line;
}

TFormulaEntry* AppendTermEntry(TFormulaLine* line, std::u16string_view text) {
  TFormulaEntry* entry = line != nullptr ? AsEntry(line->Append()) : nullptr;
  if (entry == nullptr) return nullptr;
  entry->IsFunction = 0;
  SetText(entry->Text1, text);
  return entry;
}

// The sub-sequences are made before the entry is added, so that no entry is
// ever a function without its First.
TFormulaEntry* AppendFunctionEntry(TFormulaLine* line, std::uint32_t kind) {
  if (line == nullptr) return nullptr;
  std::unique_ptr<TFormulaLine> first(CreateLine(line->CursorVar()));
  std::unique_ptr<TFormulaLine> second;
  if (first != nullptr && (kind == fkBruch || kind == fkPotenz)) {
    second.reset(CreateLine(line->CursorVar()));
    if (second == nullptr) return nullptr;
  }
  TFormulaEntry* entry = first != nullptr ? AsEntry(line->Append()) : nullptr;
  if (entry == nullptr) return nullptr;
  entry->IsFunction = 1;
  entry->Kind = kind;
  entry->First = first.release();
  entry->Second = second.release();
  return entry;
}

void freetheline(TFormulaLine* line) {
  if (line == nullptr) return;
  line->Rewind();
  while (line->Next()) {
    // Freeing the sub-sequences moves the shared cursor, so keep the entry.
    TFormulaEntry* entry = AsEntry(line->Current());
    if (entry->IsFunction == 1) {
      freetheline(entry->First);
      freetheline(entry->Second);
    }
    ReleaseTexts(*entry);
  }
  delete line;
}

void DeleteEntry(TFormulaLine* line, std::int32_t index) {
  if (line == nullptr || index < 0 || static_cast<std::uint32_t>(index) >= line->Count()) return;
  TFormulaEntry* entry = AsEntry(line->Select(index));
  freetheline(entry->First);
  freetheline(entry->Second);
  entry->First = entry->Second = nullptr;
  ReleaseTexts(*entry);
  line->Delete(index);
}

void RemoveSecond(TFormulaLine*& second) {
  freetheline(second);
  second = nullptr;
}

bool MoveEntries(TFormulaLine* from, TFormulaLine* to) {
  for (std::uint32_t i = 0; i < from->Count(); ++i) {
    void* slot = to->Append();
    if (slot == nullptr) return false;
    // The record owns its texts and sequences; the blank left behind owns nothing.
    std::memcpy(slot, from->At(i), sizeof(TFormulaEntry));
    std::memset(from->At(i), 0, sizeof(TFormulaEntry));
  }
  return true;
}

namespace {

// A fraction-like function whose First and Second each hold one term.
TFormulaEntry* AppendStacked(TFormulaLine* line, std::uint32_t kind, std::u16string_view upper,
                             std::u16string_view lower) {
  TFormulaEntry* entry = AppendFunctionEntry(line, kind);
  if (entry == nullptr) return nullptr;
  AppendTermEntry(entry->First, upper);
  if (entry->Second == nullptr) entry->Second = CreateLine(line->CursorVar());
  AppendTermEntry(entry->Second, lower);
  return entry;
}

void SetBounds(TFormulaEntry* entry, std::u16string_view lower, std::u16string_view upper) {
  if (entry == nullptr) return;
  SetText(entry->Text1, lower);
  SetText(entry->Text2, upper);
}

}  // namespace

void BuildSampleFormula(TFormulaLine* line) {
  AppendTermEntry(line, u"12 * 3 / 2 *");

  TFormulaEntry* integral = AppendFunctionEntry(line, fkIntegral);
  if (integral != nullptr) {
    SetBounds(integral, u"1", u"10");
    TFormulaEntry* power = AppendFunctionEntry(integral->First, fkPotenz);
    if (power != nullptr) {
      AppendTermEntry(power->First, u"1 + ");
      SetBounds(AppendStacked(power->First, fkSumme, u" x + 5 ", u"5"), u"x=1", u"3");
      AppendTermEntry(power->Second, u"( 4x ) * ");
      SetBounds(AppendStacked(power->Second, fkBruch, u" 2 + 5 ", u" 3 + 5 "), u"3", u"");
    }
  }

  AppendTermEntry(line, u"+ 3 * ");
  SetBounds(AppendStacked(line, fkIntegral, u" x + 5 ", u"5"), u"1", u"3");
}
