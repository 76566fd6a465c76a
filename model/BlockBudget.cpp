#include "model/BlockBudget.h"

#include "model/FormulaTree.h"

namespace {
// The records in memory, not their 64-byte image in a document.
constexpr std::uint64_t kEntryBytes = sizeof(TFormulaEntry);
}  // namespace

std::uint64_t TBlockBudget::SequenceBytes(std::uint64_t count) {
  if (count == 0) return 0;
  const std::uint64_t steps = (count - 1) / TDynaArray::kGrowStep + 1;
  return steps * TDynaArray::kGrowStep * kEntryBytes;
}

bool TBlockBudget::TakeSequence(std::uint64_t count) {
  if (exhausted_) return false;
  // A count near 2^64 would overflow the product: it is past any budget.
  const std::uint64_t bytes = count > left_ ? left_ + 1 : SequenceBytes(count);
  if (bytes > left_) {
    exhausted_ = true;
    return false;
  }
  left_ -= bytes;
  return true;
}
