// Formula trees for layout tests and benchmarks: hand-built ones, chains
// nested to a given depth, long flat rows and seeded random trees.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/FormulaTree.h"

// A root line with its own cursor variable, released with everything below.
class TFormulaTree {
 public:
  TFormulaTree() : root_(CreateLine(&cursor_)) {}
  ~TFormulaTree() { freetheline(root_); }
  TFormulaTree(const TFormulaTree&) = delete;
  TFormulaTree& operator=(const TFormulaTree&) = delete;

  TFormulaLine* Root() const { return root_; }

 private:
  TEntryCursor cursor_ = nullptr;
  TFormulaLine* root_;
};

// A function entry with its texts; First is present, Second as the kind has it.
TFormulaEntry& AddFunction(TFormulaLine* line, std::uint32_t kind, std::u16string_view text1 = u"",
                           std::u16string_view text2 = u"");
// Creates Second when it is absent.
TFormulaLine* SecondOf(TFormulaEntry& entry);
// A function whose First and (created if need be) Second hold one term each.
TFormulaEntry& AddStacked(TFormulaLine* line, std::uint32_t kind, std::u16string_view upper,
                          std::u16string_view lower);

// `depth` functions of `kind`, each nested in the First of the one before,
// with a term beside every nested function and in every present Second.
void BuildChain(TFormulaLine* line, std::uint32_t kind, int depth);
// `terms` terms in one row.
void BuildFlatRow(TFormulaLine* line, int terms);
// `entries` entries in one row, four a group: a term, then a fraction of two
// terms, as a long document is typed.
void BuildTermsAndFractions(TFormulaLine* line, int entries);

struct TRandomTreeShape {
  int MaxDepth = 8;
  int MaxEntries = 120;
};

// Every kind, unknown kinds and IsFunction values, absent and empty
// sequences, empty texts and operators, and layout fields holding leftovers.
// The same seed builds the same tree.
void BuildRandomTree(TFormulaLine* line, std::uint32_t seed, TRandomTreeShape shape = {});

// The ten layout fields of an entry, in record order from BottomInset.
using TLayoutFields = std::array<std::int32_t, 10>;
struct TEntryLayout {
  std::uint32_t IsFunction = 0;
  std::uint32_t Kind = 0;
  TLayoutFields Fields{};
  bool operator==(const TEntryLayout&) const = default;
};
// Every entry below `line`, in pre-order.
std::vector<TEntryLayout> CollectLayoutFields(const TFormulaLine* line);
// The fields alone, without what kind of entry holds them.
std::vector<TLayoutFields> FieldsOf(const std::vector<TEntryLayout>& layouts);
// Sets all ten layout fields of every entry below `line` to `value`.
void FillLayoutFields(TFormulaLine* line, std::int32_t value);
