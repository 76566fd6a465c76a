#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "model/FormulaTree.h"

namespace {

// Counts the entries of a tree with the system's own walk idiom.
int CountEntries(TFormulaLine* line) {
  if (line == nullptr) return 0;
  int n = 0;
  line->Rewind();
  while (line->Next()) {
    TFormulaEntry* entry = AsEntry(line->Current());
    ++n;
    if (entry->IsFunction == 1) n += CountEntries(entry->First) + CountEntries(entry->Second);
  }
  return n;
}

std::u16string Term(const TFormulaLine* line, std::uint32_t i) {
  const TFormulaEntry* e = EntryAt(*line, i);
  EXPECT_EQ(e->IsFunction, 0u);
  return std::u16string(TextOf(e->Text1));
}

class FormulaTreeTest : public ::testing::Test {
 protected:
  TEntryCursor CurrentEntry = nullptr;
  TFormulaLine* RootLine = CreateLine(&CurrentEntry);
  void TearDown() override { freetheline(RootLine); }
};

TEST_F(FormulaTreeTest, NewFunctionsHaveTheirSubSequences) {
  for (std::uint32_t kind = 0; kind < kFunctionKindCount; ++kind) {
    TFormulaEntry* e = AppendFunctionEntry(RootLine, kind);
    EXPECT_EQ(CurrentEntry, e);
    EXPECT_EQ(e->IsFunction, 1u);
    EXPECT_EQ(e->Kind, kind);
    ASSERT_NE(e->First, nullptr);
    EXPECT_EQ(e->First->Count(), 0u);
    EXPECT_EQ(e->First->CursorVar(), &CurrentEntry);
    const bool twoParts = kind == fkBruch || kind == fkPotenz;
    EXPECT_EQ(e->Second != nullptr, twoParts) << "kind " << kind;
  }
}

// A function whose sub-sequences cannot be had is not added: the line stays
// as it was, as when the line itself cannot grow.
int gBlocksLeft = 0;
TEST_F(FormulaTreeTest, AFunctionWithoutMemoryIsNotAddedAtAll) {
  std::vector<std::string> reports;
  SetAllocFailureReporter([&](const std::string& m) { reports.push_back(m); });
  SetBlockAllocator(
      [](std::size_t bytes) { return gBlocksLeft-- > 0 ? std::calloc(1, bytes) : nullptr; },
      std::free);
  gBlocksLeft = 0;
  EXPECT_EQ(AppendFunctionEntry(RootLine, fkBruch), nullptr);
  EXPECT_EQ(RootLine->Count(), 0u);
  EXPECT_EQ(AppendTermEntry(nullptr, u"x"), nullptr);
  EXPECT_EQ(AppendFunctionEntry(nullptr, fkBruch), nullptr);
  gBlocksLeft = 1;
  TFormulaEntry* fraction = AppendFunctionEntry(RootLine, fkBruch);
  ASSERT_NE(fraction, nullptr);
  EXPECT_EQ(AppendTermEntry(fraction->First, u"1"), nullptr);
  EXPECT_EQ(fraction->First->Count(), 0u);
  freetheline(RootLine);
  RootLine = nullptr;
  ResetBlockAllocator();
  SetAllocFailureReporter([](const std::string&) {});
  EXPECT_EQ(reports.size(), 2u);
  EXPECT_EQ(CurrentEntry, nullptr);
}

TEST_F(FormulaTreeTest, TermEntryHoldsItsTextOnly) {
  TFormulaEntry* e = AppendTermEntry(RootLine, u"12 * 3 / 2 *");
  EXPECT_EQ(CurrentEntry, e);
  EXPECT_EQ(TextOf(e->Text1), u"12 * 3 / 2 *");
  EXPECT_EQ(e->Text2, nullptr);
  EXPECT_EQ(e->First, nullptr);
  EXPECT_EQ(e->Second, nullptr);
  TFormulaEntry* empty = AppendTermEntry(RootLine, u"");
  EXPECT_EQ(TextOf(empty->Text1), u"");
}

TEST_F(FormulaTreeTest, DeletingANestedFunctionReleasesItsWholeSubtree) {
  AppendTermEntry(RootLine, u"a");
  TFormulaEntry* outer = AppendFunctionEntry(RootLine, fkBruch);
  TFormulaLine* level = outer->First;
  for (int depth = 0; depth < 20; ++depth) {
    AppendTermEntry(level, u"x");
    TFormulaEntry* f = AppendFunctionEntry(level, depth % kFunctionKindCount);
    SetText(f->Text1, u"index");
    SetText(f->Text2, u"bound");
    if (f->Second == nullptr) f->Second = CreateLine(&CurrentEntry);
    AppendTermEntry(f->Second, u"below");
    level = f->First;
  }
  AppendTermEntry(RootLine, u"b");
  EXPECT_EQ(CountEntries(RootLine), 3 + 20 * 3);

  DeleteEntry(RootLine, 1);  // ASan reports any leak or double free here
  EXPECT_EQ(CurrentEntry, nullptr);
  ASSERT_EQ(RootLine->Count(), 2u);
  EXPECT_EQ(Term(RootLine, 0), u"a");
  EXPECT_EQ(Term(RootLine, 1), u"b");
}

TEST_F(FormulaTreeTest, RemovingSecondReleasesIt) {
  TFormulaEntry* e = AppendFunctionEntry(RootLine, fkWurzel);
  e->Second = CreateLine(&CurrentEntry);
  AppendFunctionEntry(e->Second, fkBruch);
  RemoveSecond(e->Second);
  EXPECT_EQ(e->Second, nullptr);
  RemoveSecond(e->Second);  // absent: nothing happens
  EXPECT_EQ(e->Second, nullptr);
}

// The moved entries keep their parts, subtrees handed over as they are; the
// source keeps blanks, so releasing it afterwards releases nothing that moved
// (the sanitizers see a double or missing release).
TEST_F(FormulaTreeTest, MovingEntriesHandsOverWholeSubtreesAndLeavesBlanks) {
  BuildSampleFormula(RootLine);
  TFormulaLine* pasted = CreateLine(&CurrentEntry);
  AppendTermEntry(pasted, u"x");
  BuildSampleFormula(pasted);
  const TFormulaLine* integrand = EntryAt(*pasted, 2)->First;
  ASSERT_TRUE(MoveEntries(pasted, RootLine));
  EXPECT_EQ(RootLine->Count(), 9u);
  EXPECT_EQ(Term(RootLine, 4), u"x");
  EXPECT_EQ(EntryAt(*RootLine, 6)->Kind, static_cast<std::uint32_t>(fkIntegral));
  EXPECT_EQ(EntryAt(*RootLine, 6)->First, integrand);
  ASSERT_EQ(pasted->Count(), 5u);
  for (std::uint32_t i = 0; i < pasted->Count(); ++i) {
    const TFormulaEntry* left = EntryAt(*pasted, i);
    EXPECT_TRUE(left->Text1 == nullptr && left->First == nullptr && left->Second == nullptr);
  }
  freetheline(pasted);
  EXPECT_EQ(Term(RootLine, 5), u"12 * 3 / 2 *");
  EXPECT_EQ(CountEntries(RootLine), 2 * 15 + 1);  // the sample holds 15 entries
}

TEST_F(FormulaTreeTest, WalkDescendingIntoSubSequencesVisitsEachOuterEntryOnce) {
  BuildSampleFormula(RootLine);
  int outer = 0;
  RootLine->Rewind();
  while (RootLine->Next()) {
    TFormulaEntry* kept = AsEntry(CurrentEntry);
    if (kept->IsFunction == 1) CountEntries(kept->First);
    ++outer;
  }
  EXPECT_EQ(outer, 4);
}

TEST_F(FormulaTreeTest, SampleFormulaHasTheExactShapeAndTexts) {
  BuildSampleFormula(RootLine);
  ASSERT_EQ(RootLine->Count(), 4u);
  EXPECT_EQ(Term(RootLine, 0), u"12 * 3 / 2 *");
  EXPECT_EQ(Term(RootLine, 2), u"+ 3 * ");

  const TFormulaEntry* integral = EntryAt(*RootLine, 1);
  EXPECT_EQ(integral->Kind, fkIntegral);
  EXPECT_EQ(TextOf(integral->Text1), u"1");
  EXPECT_EQ(TextOf(integral->Text2), u"10");
  EXPECT_EQ(integral->Second, nullptr);
  ASSERT_EQ(integral->First->Count(), 1u);

  const TFormulaEntry* power = EntryAt(*integral->First, 0);
  EXPECT_EQ(power->Kind, fkPotenz);
  EXPECT_EQ(TextOf(power->Text1), u"");
  ASSERT_EQ(power->First->Count(), 2u);
  ASSERT_EQ(power->Second->Count(), 2u);
  EXPECT_EQ(Term(power->First, 0), u"1 + ");
  const TFormulaEntry* sum = EntryAt(*power->First, 1);
  EXPECT_EQ(sum->Kind, fkSumme);
  EXPECT_EQ(TextOf(sum->Text1), u"x=1");
  EXPECT_EQ(TextOf(sum->Text2), u"3");
  EXPECT_EQ(Term(sum->First, 0), u" x + 5 ");
  EXPECT_EQ(Term(sum->Second, 0), u"5");

  EXPECT_EQ(Term(power->Second, 0), u"( 4x ) * ");
  const TFormulaEntry* fraction = EntryAt(*power->Second, 1);
  EXPECT_EQ(fraction->Kind, fkBruch);
  EXPECT_EQ(TextOf(fraction->Text1), u"3");
  EXPECT_EQ(TextOf(fraction->Text2), u"");
  EXPECT_EQ(Term(fraction->First, 0), u" 2 + 5 ");
  EXPECT_EQ(Term(fraction->Second, 0), u" 3 + 5 ");

  const TFormulaEntry* last = EntryAt(*RootLine, 3);
  EXPECT_EQ(last->Kind, fkIntegral);
  EXPECT_EQ(TextOf(last->Text1), u"1");
  EXPECT_EQ(TextOf(last->Text2), u"3");
  EXPECT_EQ(Term(last->First, 0), u" x + 5 ");
  EXPECT_EQ(Term(last->Second, 0), u"5");
  EXPECT_EQ(CountEntries(RootLine), 15);
}

}  // namespace
