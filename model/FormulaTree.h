// The formula: a tree of entries. Each entry sequence ("line") is a
// TDynaArray of TFormulaEntry records bound to the owner's cursor variable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/DynaArray.h"

using TFormulaLine = TDynaArray;

enum TFunctionKind : std::uint32_t {
  fkBruch = 0,
  fkWurzel = 1,
  fkSumme = 2,
  fkPotenz = 3,
  fkBetrag = 4,
  fkIntegral = 5,
  fkUser = 6,
};
inline constexpr std::uint32_t kFunctionKindCount = 7;

// One entry. The texts and sub-sequences are owning raw pointers (nullptr =
// empty text, absent sequence), so the record can be moved with memcpy and an
// all-zero record is a blank entry.
struct TFormulaEntry {
  std::uint32_t IsFunction;
  std::uint32_t Kind;
  std::u16string* Text1;
  std::u16string* Text2;
  TFormulaLine* First;
  TFormulaLine* Second;
  std::int32_t BottomInset;
  std::int32_t RightInset;
  std::int32_t LeftInset;
  std::int32_t TopInset;
  std::int32_t BoxWidth;
  std::int32_t BoxHeight;
  std::int32_t FirstWidth;
  std::int32_t SecondWidth;
  std::int32_t FirstHeight;
  std::int32_t SecondHeight;
};

// The cursor variable that every sequence of one tree shares.
using TEntryCursor = void*;

inline TFormulaEntry* AsEntry(void* element) { return static_cast<TFormulaEntry*>(element); }
inline TFormulaEntry* EntryAt(const TFormulaLine& line, std::uint32_t index) {
  return AsEntry(line.At(index));
}

std::u16string_view TextOf(const std::u16string* text);
void SetText(std::u16string*& slot, std::u16string_view text);
void ReleaseTexts(TFormulaEntry& entry);

// A new empty line, or nullptr (after the allocation message) when there is
// no memory for it, as a line that cannot grow reports.
TFormulaLine* CreateLine(TEntryCursor* cursor);
// Both return the new entry, or nullptr when the sequence (absent, too)
// could not grow; a function whose sub-sequences could not be made is not
// added at all.
TFormulaEntry* AppendTermEntry(TFormulaLine* line, std::u16string_view text);
TFormulaEntry* AppendFunctionEntry(TFormulaLine* line, std::uint32_t kind);
// Releases a sequence with everything below it; an absent one is ignored.
void freetheline(TFormulaLine* line);
void DeleteEntry(TFormulaLine* line, std::int32_t index);
void RemoveSecond(TFormulaLine*& second);
// Moves every entry of `from`, with everything below it, to the end of `to`
// (both bound to the same cursor variable). False when `to` could not grow:
// what was not moved stays in `from`, which the caller still releases.
bool MoveEntries(TFormulaLine* from, TFormulaLine* to);
// Fills an empty line with the formula shown at start.
void BuildSampleFormula(TFormulaLine* line);
