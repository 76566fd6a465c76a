#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/DynaArray.h"

namespace {

struct Record {
  std::uint32_t value;
  std::uint32_t pad[15];
};
static_assert(sizeof(Record) == 64);

class DynaArrayTest : public ::testing::Test {
 protected:
  void* cursor = reinterpret_cast<void*>(1);  // "unwritten" marker
  TDynaArray array{sizeof(Record), &cursor};

  Record* Add(std::uint32_t value) {
    auto* r = static_cast<Record*>(array.Append());
    r->value = value;
    return r;
  }
  std::vector<std::uint32_t> Values() const {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < array.Count(); ++i) {
      out.push_back(static_cast<const Record*>(array.At(i))->value);
    }
    return out;
  }
  static bool AllZero(const void* p) {
    static const Record zero{};
    return std::memcmp(p, &zero, sizeof zero) == 0;
  }
};

TEST_F(DynaArrayTest, ConstructionLeavesCursorUntouchedAndHasNoBlock) {
  EXPECT_EQ(cursor, reinterpret_cast<void*>(1));
  EXPECT_EQ(array.Count(), 0u);
  EXPECT_EQ(array.AllocatedBytes(), 0u);
  EXPECT_EQ(array.CurrentIndex(), -1);
}

TEST_F(DynaArrayTest, GrowsAtTheHundredAndFirstAndShrinksBackAtAHundred) {
  void* first = Add(0);
  EXPECT_EQ(array.AllocatedBytes(), 6400u);
  EXPECT_EQ(cursor, first);
  for (std::uint32_t i = 1; i < 100; ++i) Add(i);
  EXPECT_EQ(array.AllocatedBytes(), 6400u);

  void* hundredFirst = Add(100);
  EXPECT_EQ(array.AllocatedBytes(), 12800u);
  EXPECT_NE(array.At(0), first) << "the block must have been replaced";
  EXPECT_EQ(cursor, hundredFirst);
  EXPECT_EQ(array.At(100), hundredFirst);

  array.Delete(100);
  EXPECT_EQ(array.AllocatedBytes(), 6400u);
  std::vector<std::uint32_t> expected(100);
  for (std::uint32_t i = 0; i < 100; ++i) expected[i] = i;
  EXPECT_EQ(Values(), expected);

  for (int i = 99; i >= 0; --i) array.Delete(i);
  EXPECT_EQ(array.AllocatedBytes(), 0u);
  Add(7);
  EXPECT_EQ(array.AllocatedBytes(), 6400u);
}

TEST_F(DynaArrayTest, AppendAfterDeleteHandsOutZeroBytes) {
  Record* r = Add(1);
  std::memset(r, 0xAB, sizeof *r);
  Add(2);
  array.Delete(1);
  array.Delete(0);
  Add(3);
  void* again = array.Append();
  EXPECT_TRUE(AllZero(again));
  EXPECT_EQ(cursor, again);
}

// A released block of one step is used again by the next array: it must come
// back zero-filled however its first owner filled, deleted and swapped.
TEST(DynaArrayReuseTest, ABlockUsedBeforeIsZeroFilledAgain) {
  struct TShape {
    std::uint32_t appended;
    std::vector<std::int32_t> deleted;
  };
  const TShape shapes[] = {{1, {}}, {100, {0, 50}}, {7, {6, 0}}, {150, {120, 3}}};
  for (const TShape& shape : shapes) {
    void* cursor = nullptr;
    {
      TDynaArray used(sizeof(Record), &cursor);
      for (std::uint32_t i = 0; i < shape.appended; ++i) {
        std::memset(used.Append(), 0xA5, sizeof(Record));
      }
      used.Swap(0, static_cast<std::int32_t>(used.Count()) - 1);
      for (std::int32_t index : shape.deleted) used.Delete(index);
    }
    TDynaArray fresh(sizeof(Record), &cursor);
    ASSERT_NE(fresh.Append(), nullptr);
    for (std::uint32_t i = 0; i < TDynaArray::kGrowStep; ++i) {
      const auto* bytes = static_cast<const unsigned char*>(fresh.At(i));
      EXPECT_TRUE(
          std::all_of(bytes, bytes + sizeof(Record), [](unsigned char b) { return b == 0; }))
          << shape.appended << " appended, slot " << i;
    }
  }
}

TEST_F(DynaArrayTest, DeleteClosesTheGapAndClearsTheCursor) {
  struct Case {
    const char* what;
    int index;
    std::vector<std::uint32_t> left;
  };
  for (const Case& c : {Case{"first of three", 0, {2, 3}}, Case{"last of three", 2, {1, 2}},
                        Case{"middle", 1, {1, 3}}}) {
    TDynaArray a(sizeof(Record), &cursor);
    for (std::uint32_t v : {1u, 2u, 3u}) static_cast<Record*>(a.Append())->value = v;
    a.Delete(c.index);
    std::vector<std::uint32_t> values;
    for (std::uint32_t i = 0; i < a.Count(); ++i)
      values.push_back(static_cast<Record*>(a.At(i))->value);
    EXPECT_EQ(values, c.left) << c.what;
    EXPECT_EQ(cursor, nullptr) << c.what;
    EXPECT_EQ(a.CurrentIndex(), -1) << c.what;
    EXPECT_FALSE(a.Next()) << c.what;
  }
}

TEST_F(DynaArrayTest, OutOfRangeDeleteAndSwapChangeNothing) {
  Add(1);
  Add(2);
  void* before = cursor;
  for (int bad : {-1, 2, 1000}) {
    array.Delete(bad);
    array.Swap(bad, 0);
    array.Swap(0, bad);
  }
  EXPECT_EQ(Values(), (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(cursor, before);
  EXPECT_EQ(array.CurrentIndex(), 1);
}

TEST_F(DynaArrayTest, SwapMakesTheSecondIndexCurrent) {
  Add(1);
  Add(2);
  Add(3);
  array.Swap(0, 2);
  EXPECT_EQ(Values(), (std::vector<std::uint32_t>{3, 2, 1}));
  EXPECT_EQ(array.CurrentIndex(), 2);
  EXPECT_EQ(cursor, array.At(2));
  array.Swap(1, 1);
  EXPECT_EQ(Values(), (std::vector<std::uint32_t>{3, 2, 1}));
  EXPECT_EQ(cursor, array.At(1));
}

TEST_F(DynaArrayTest, IterationVisitsEveryElementOnceAndThenStops) {
  EXPECT_FALSE(array.Next()) << "new array";
  array.Rewind();
  EXPECT_FALSE(array.Next()) << "empty array after Rewind";
  for (std::uint32_t v : {10u, 20u, 30u}) Add(v);

  std::vector<std::uint32_t> seen;
  array.Rewind();
  while (array.Next()) seen.push_back(static_cast<Record*>(cursor)->value);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{10, 20, 30}));
  EXPECT_EQ(array.CurrentIndex(), 3);
  EXPECT_FALSE(array.Next());

  seen.clear();
  array.Select(1);
  while (array.Next()) seen.push_back(static_cast<Record*>(cursor)->value);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{20, 30}));
}

TEST_F(DynaArrayTest, NestedWalkOverArraysSharingTheCursor) {
  TDynaArray inner(sizeof(Record), &cursor);
  for (std::uint32_t v : {7u, 8u}) static_cast<Record*>(inner.Append())->value = v;
  for (std::uint32_t v : {1u, 2u, 3u}) Add(v);

  std::vector<std::uint32_t> outer;
  int innerVisits = 0;
  array.Rewind();
  while (array.Next()) {
    auto* kept = static_cast<Record*>(cursor);
    inner.Rewind();
    while (inner.Next()) ++innerVisits;
    outer.push_back(kept->value);
  }
  EXPECT_EQ(outer, (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(innerVisits, 6);
}

// Allocation failure, through an injected allocator.
int gAllowedAllocations = 0;
void* LimitedAllocate(std::size_t bytes) {
  if (gAllowedAllocations-- <= 0) return nullptr;
  return std::calloc(1, bytes);
}

class DynaArrayFailureTest : public DynaArrayTest {
 protected:
  std::vector<std::string> reports;
  void SetUp() override {
    SetAllocFailureReporter([this](const std::string& m) { reports.push_back(m); });
    SetBlockAllocator(LimitedAllocate, std::free);
  }
  void TearDown() override {
    ResetBlockAllocator();
    SetAllocFailureReporter([](const std::string&) {});
  }
};

TEST_F(DynaArrayFailureTest, FailedGrowthIsReportedAndLeavesTheArrayIntact) {
  gAllowedAllocations = 1;
  for (std::uint32_t i = 0; i < 100; ++i) ASSERT_NE(array.Append(), nullptr);
  static_cast<Record*>(array.At(99))->value = 99;

  EXPECT_EQ(array.Append(), nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "Error while trying to allocate 12800 bytes of RAM. Not enough memory.");
  EXPECT_EQ(array.Count(), 100u);
  EXPECT_EQ(array.AllocatedBytes(), 6400u);
  EXPECT_EQ(static_cast<Record*>(array.At(99))->value, 99u);
}

TEST_F(DynaArrayFailureTest, FailedShrinkKeepsTheLargerBlock) {
  gAllowedAllocations = 2;
  for (std::uint32_t i = 0; i < 101; ++i) static_cast<Record*>(array.Append())->value = i;
  array.Delete(0);
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(array.Count(), 100u);
  EXPECT_EQ(array.AllocatedBytes(), 12800u);
  EXPECT_EQ(static_cast<Record*>(array.At(99))->value, 100u);
}

TEST_F(DynaArrayFailureTest, BlockSizeBeyondThirtyTwoBitsIsAFailureNotAWrap) {
  gAllowedAllocations = 100;
  void* unused = nullptr;
  TDynaArray huge(50'000'000, &unused);  // 100 elements need 5e9 bytes
  EXPECT_EQ(huge.Append(), nullptr);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0],
            "Error while trying to allocate 5000000000 bytes of RAM. Not enough memory.");
  EXPECT_EQ(huge.Count(), 0u);
}

// A block goes back through the releaser of the allocator it came from,
// whatever allocator is installed by then; the shared cursor does not stay
// in a freed block.
int gCountedReleases = 0;
void CountedRelease(void* block) {
  ++gCountedReleases;
  std::free(block);
}

TEST(DynaArrayOwnershipTest, ABlockGoesBackWhereItCameFromAndTakesTheCursorWithIt) {
  gCountedReleases = 0;
  void* cursor = nullptr;
  void* elsewhere = &gCountedReleases;
  SetBlockAllocator([](std::size_t bytes) { return std::calloc(1, bytes); }, CountedRelease);
  auto* counted = new TDynaArray(8, &cursor);
  counted->Append();
  ResetBlockAllocator();
  auto* plain = new TDynaArray(8, &cursor);
  plain->Append();
  delete counted;  // the cursor is in `plain`'s block: it stays
  EXPECT_EQ(gCountedReleases, 1);
  EXPECT_EQ(cursor, plain->At(0));
  delete plain;
  EXPECT_EQ(cursor, nullptr);
  EXPECT_EQ(gCountedReleases, 1);
  cursor = elsewhere;
  { TDynaArray empty(8, &cursor); }
  EXPECT_EQ(cursor, elsewhere);
}

}  // namespace
