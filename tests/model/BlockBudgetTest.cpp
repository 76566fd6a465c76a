#include "model/BlockBudget.h"

#include "model/FormulaTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

struct TBudgetCase {
  const char* What;
  std::uint64_t Budget;
  std::vector<std::uint64_t> Counts;  // sequences taken in order
  int Accepted;                       // how many of them fit
};

// A block of 100 records as they are in memory.
constexpr std::uint64_t kBlock = 100 * sizeof(TFormulaEntry);
constexpr int kBlocksInDefault = static_cast<int>(TBlockBudget::kDefaultBytes / kBlock);

const TBudgetCase kCases[] = {
    {"an empty sequence holds no block", 0, {0, 0, 0}, 3},
    {"one entry costs a whole block of 100", kBlock, {1, 1}, 1},
    {"101 entries cost two blocks", 2 * kBlock, {101, 1}, 1},
    {"exactly the budget fits", 3 * kBlock, {100, 200}, 2},
    {"once refused, always refused", kBlock, {200, 0, 1}, 0},
    {"an absurd count cannot overflow into a small cost",
     TBlockBudget::kDefaultBytes,
     {std::numeric_limits<std::uint64_t>::max()},
     0},
    {"the default budget takes some 33,000 small sequences",
     TBlockBudget::kDefaultBytes,
     std::vector<std::uint64_t>(kBlocksInDefault, 1),
     kBlocksInDefault},
};

TEST(BlockBudgetTest, CountsWholeBlocksAndRefusesPastTheBudget) {
  for (const TBudgetCase& c : kCases) {
    TBlockBudget budget(c.Budget);
    int accepted = 0;
    for (std::uint64_t count : c.Counts) accepted += budget.TakeSequence(count) ? 1 : 0;
    EXPECT_EQ(accepted, c.Accepted) << c.What;
    EXPECT_EQ(budget.Exhausted(), accepted < static_cast<int>(c.Counts.size())) << c.What;
  }
  EXPECT_EQ(TBlockBudget::SequenceBytes(1), 8000u) << "records are 80 bytes in memory";
  TBlockBudget full(TBlockBudget::kDefaultBytes);
  for (int i = 0; i < kBlocksInDefault; ++i) full.TakeSequence(1);
  EXPECT_FALSE(full.TakeSequence(1)) << "one block more passes 256 MiB";
}

}  // namespace
