#include "model/FormulaTree.h"

#include <cstring>

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
  return new TFormulaLine(sizeof(TFormulaEntry), cursor);
}

TFormulaEntry* AppendTermEntry(TFormulaLine* line, std::u16string_view text) {
  TFormulaEntry* entry = AsEntry(line->Append());
  if (entry == nullptr) return nullptr;
  entry->IsFunction = 0;
  SetText(entry->Text1, text);
  return entry;
}

TFormulaEntry* AppendFunctionEntry(TFormulaLine* line, std::uint32_t kind) {
  TFormulaEntry* entry = AsEntry(line->Append());
  if (entry == nullptr) return nullptr;
  entry->IsFunction = 1;
  entry->Kind = kind;
  entry->First = CreateLine(line->CursorVar());
  if (kind == fkBruch || kind == fkPotenz) entry->Second = CreateLine(line->CursorVar());
  // Creating the sub-sequences does not move the cursor, but keep the promise
  // that the new entry is current explicitly.
  line->Select(static_cast<std::int32_t>(line->Count() - 1));
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
