#include "tests/render/FormulaTrees.h"

#include <iterator>
#include <random>

namespace {

constexpr std::int32_t TFormulaEntry::*kLayoutFields[] = {
    &TFormulaEntry::BottomInset, &TFormulaEntry::RightInset,  &TFormulaEntry::LeftInset,
    &TFormulaEntry::TopInset,    &TFormulaEntry::BoxWidth,    &TFormulaEntry::BoxHeight,
    &TFormulaEntry::FirstWidth,  &TFormulaEntry::SecondWidth, &TFormulaEntry::FirstHeight,
    &TFormulaEntry::SecondHeight};
static_assert(std::size(kLayoutFields) == std::tuple_size_v<TLayoutFields>);

constexpr std::u16string_view kTermTexts[] = {u"",    u"1",      u"x + 5", u" 12 * 3 / 2 *",
                                              u"a-b", u"( 4x )", u"*/-",   u"\u00E4\u00DF",
                                              u"   ", u"n"};
constexpr std::u16string_view kFirstTexts[] = {u"", u"2", u"3", u"x=1", u"sin", u"n+1"};
constexpr std::u16string_view kSecondTexts[] = {u"", u"10", u"n", u"\u221E"};
// The seven kinds and some that no dialog makes.
constexpr std::uint32_t kKinds[] = {fkBruch,    fkWurzel, fkSumme, fkPotenz, fkBetrag,
                                    fkIntegral, fkUser,   9,       7,        0xFFFFFFFFu};

class TRandomTreeBuilder {
 public:
  TRandomTreeBuilder(std::uint32_t seed, TRandomTreeShape shape) : random_(seed), shape_(shape) {}

  void FillLine(TFormulaLine* line, int depth) {
    const int count = Below(5);
    for (int i = 0; i < count && entries_ < shape_.MaxEntries; ++i) AddEntry(line, depth);
  }

 private:
  int Below(int limit) { return static_cast<int>(random_() % static_cast<std::uint32_t>(limit)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T, std::size_t N>
  const T& Pick(const T (&choices)[N]) {
    return choices[Below(static_cast<int>(N))];
  }

  void AddEntry(TFormulaLine* line, int depth) {
    ++entries_;
    TFormulaEntry* entry = nullptr;
    if (depth >= shape_.MaxDepth || Chance(35)) {
      entry = AppendTermEntry(line, Pick(kTermTexts));
    } else if (Chance(5)) {
      // A record from a damaged file: neither term nor function.
      entry = AppendTermEntry(line, Pick(kTermTexts));
      entry->IsFunction = 2 + static_cast<std::uint32_t>(Below(3));
      entry->Kind = Pick(kKinds);
    } else {
      entry = &AddFunction(line, Pick(kKinds), Pick(kFirstTexts), Pick(kSecondTexts));
      FillSequences(*entry, depth);
    }
    ScrambleLayoutFields(*entry);
  }

  void FillSequences(TFormulaEntry& entry, int depth) {
    if (entry.Second != nullptr && Chance(10)) {
      RemoveSecond(entry.Second);
    } else if (entry.Second != nullptr || Chance(40)) {
      FillLine(SecondOf(entry), depth + 1);
    }
    if (Chance(8)) {
      freetheline(entry.First);  // as a damaged file may leave it
      entry.First = nullptr;
    } else {
      FillLine(entry.First, depth + 1);
    }
  }

  // Whatever a reused slot or a document left there; layout must not read it.
  void ScrambleLayoutFields(TFormulaEntry& entry) {
    for (auto field : kLayoutFields) entry.*field = Below(2001) - 1000;
  }

  std::mt19937 random_;
  TRandomTreeShape shape_;
  int entries_ = 0;
};

template <typename Visit>
void ForEachEntry(const TFormulaLine* line, Visit visit) {
  if (line == nullptr) return;
  for (std::uint32_t i = 0; i < line->Count(); ++i) {
    TFormulaEntry& entry = *EntryAt(*line, i);
    visit(entry);
    if (entry.IsFunction == 1) {
      ForEachEntry(entry.First, visit);
      ForEachEntry(entry.Second, visit);
    }
  }
}

}  // namespace

TFormulaEntry& AddFunction(TFormulaLine* line, std::uint32_t kind, std::u16string_view text1,
                           std::u16string_view text2) {
  TFormulaEntry* entry = AppendFunctionEntry(line, kind);
  SetText(entry->Text1, text1);
  SetText(entry->Text2, text2);
  return *entry;
}

TFormulaLine* SecondOf(TFormulaEntry& entry) {
  if (entry.Second == nullptr) entry.Second = CreateLine(entry.First->CursorVar());
  return entry.Second;
}

TFormulaEntry& AddStacked(TFormulaLine* line, std::uint32_t kind, std::u16string_view upper,
                          std::u16string_view lower) {
  TFormulaEntry& entry = AddFunction(line, kind);
  AppendTermEntry(entry.First, upper);
  AppendTermEntry(SecondOf(entry), lower);
  return entry;
}

void BuildChain(TFormulaLine* line, std::uint32_t kind, int depth) {
  for (int level = 0; level < depth; ++level) {
    TFormulaEntry& entry = AddFunction(line, kind, u"3", u"n");
    if (entry.Second != nullptr) AppendTermEntry(entry.Second, u"2");
    AppendTermEntry(entry.First, u"x + ");
    line = entry.First;
  }
}

void BuildFlatRow(TFormulaLine* line, int terms) {
  for (int i = 0; i < terms; ++i) AppendTermEntry(line, i % 2 == 0 ? u"12 * x" : u" - 3 / y");
}

void BuildTermsAndFractions(TFormulaLine* line, int entries) {
  for (int i = 0; i < entries / 4; ++i) {
    AppendTermEntry(line, u"12 * 3 / 2 * x + ");
    TFormulaEntry* fraction = AppendFunctionEntry(line, fkBruch);
    AppendTermEntry(fraction->First, u" 2 + 5 ");
    AppendTermEntry(fraction->Second, u" 3 + 5 ");
  }
}

void BuildRandomTree(TFormulaLine* line, std::uint32_t seed, TRandomTreeShape shape) {
  TRandomTreeBuilder(seed, shape).FillLine(line, 0);
}

std::vector<TEntryLayout> CollectLayoutFields(const TFormulaLine* line) {
  std::vector<TEntryLayout> layouts;
  ForEachEntry(line, [&](TFormulaEntry& entry) {
    TEntryLayout layout{entry.IsFunction, entry.Kind, {}};
    for (std::size_t i = 0; i < layout.Fields.size(); ++i)
      layout.Fields[i] = entry.*kLayoutFields[i];
    layouts.push_back(layout);
  });
  return layouts;
}

std::vector<TLayoutFields> FieldsOf(const std::vector<TEntryLayout>& layouts) {
  std::vector<TLayoutFields> fields;
  for (const TEntryLayout& layout : layouts) fields.push_back(layout.Fields);
  return fields;
}

void FillLayoutFields(TFormulaLine* line, std::int32_t value) {
  ForEachEntry(line, [&](TFormulaEntry& entry) {
    for (auto field : kLayoutFields) entry.*field = value;
  });
}
