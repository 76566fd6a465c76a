// What a formula tree being read will cost in record blocks, counted before
// anything is allocated. Every non-empty sequence holds at least one block of
// 100 records, so a text or file of many small functions asks for far more
// memory than its own size; the readers refuse it once the blocks pass the
// budget instead of allocating them.
#pragma once

#include <cstdint>

// What every reader says when a formula would pass the budget.
inline constexpr const char* kBlockBudgetPassed =
    "Die Formel ist zu groß: sie bräuchte mehr als 256 MiB Arbeitsspeicher.";

class TBlockBudget {
 public:
  // About 256 MB of blocks: some 33,000 non-empty sequences.
  static constexpr std::uint64_t kDefaultBytes = std::uint64_t{256} << 20;

  explicit TBlockBudget(std::uint64_t bytes = kDefaultBytes) : left_(bytes) {}

  // Counts the blocks of a sequence of `count` entries. False, and from then
  // on always false, once the budget would be passed.
  bool TakeSequence(std::uint64_t count);
  bool Exhausted() const { return exhausted_; }
  std::uint64_t Left() const { return left_; }

  // Bytes of the blocks a sequence of `count` entries holds (0 when empty).
  static std::uint64_t SequenceBytes(std::uint64_t count);

 private:
  std::uint64_t left_;
  bool exhausted_ = false;
};
