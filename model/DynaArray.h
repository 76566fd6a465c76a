// A growable array of fixed-size records that also carries a cursor.
//
// The array moves bytes and nothing else: elements are relocated by plain byte
// copies, so an element type must be relocatable that way. The address of the
// current element is published in a variable owned by the caller (the cursor
// variable); several arrays may share one such variable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Obtains a zero-filled block, or nullptr when none can be had. Replaceable so
// that tests can make allocation fail.
using TBlockAllocator = void* (*)(std::size_t bytes);
using TBlockReleaser = void (*)(void* block);

// Shows the allocation failure text to the user. The program installs a
// message box at start; tests install their own.
using TAllocFailureReporter = std::function<void(const std::string& message)>;

void SetBlockAllocator(TBlockAllocator allocate, TBlockReleaser release);
void ResetBlockAllocator();
void SetAllocFailureReporter(TAllocFailureReporter reporter);

// "Error while trying to allocate N bytes of RAM. Not enough memory."
std::string AllocFailureText(std::uint64_t bytes);
// The same message where the size asked for is not known (an allocation of
// the language's own failed).
inline constexpr const char* kNoMemoryText =
    "Error while trying to allocate memory. Not enough memory.";
// Tells the reporter that `bytes` could not be had; never throws.
void ReportAllocFailure(std::uint64_t bytes) noexcept;
// Gives the reporter any other failure message; never throws.
void ReportFailureText(const std::string& message) noexcept;

class TDynaArray {
 public:
  static constexpr std::uint32_t kGrowStep = 100;

  TDynaArray(std::uint32_t elementSize, void** cursorVar);
  virtual ~TDynaArray();
  TDynaArray(const TDynaArray&) = delete;
  TDynaArray& operator=(const TDynaArray&) = delete;

  // No bounds check: callers check.
  void* Select(std::int32_t index);
  // Returns the new all-zero element, or nullptr when its block could not be
  // allocated; the array is then left exactly as it was before the call.
  void* Append();
  // Allocates at once the block that `count` elements will need (still a
  // whole multiple of 100), for a caller that knows how many it is about to
  // append: appending them then moves nothing. Only an empty array reserves;
  // false (after the usual message) when the block cannot be had.
  bool Reserve(std::uint32_t count);
  void Delete(std::int32_t index);
  void Swap(std::int32_t a, std::int32_t b);
  void Rewind();
  bool Next();

  std::uint32_t Count() const { return count_; }
  std::int32_t CurrentIndex() const { return currentIndex_; }
  void* Current() const { return current_; }
  std::uint32_t AllocatedBytes() const { return allocatedBytes_; }
  std::uint32_t ElementSize() const { return elementSize_; }
  void** CursorVar() const { return cursorVar_; }
  // Address of element i without touching the cursor; for read-only walks.
  void* At(std::uint32_t index) const { return data_ + std::size_t{index} * elementSize_; }

 private:
  // Block size for n >= 1 elements; may exceed what 32 bits can hold.
  std::uint64_t BlockSizeFor(std::uint64_t n) const;
  bool Reallocate(std::uint64_t newBytes);
  void* ObtainBlock(std::uint32_t bytes) const;
  // Releases data_ with the releaser of its allocator (and forgets nothing
  // else: callers reset the fields).
  void ReleaseBlock();
  void Publish(void* element);

  void** cursorVar_;
  void* current_ = nullptr;
  unsigned char* data_ = nullptr;
  // The releaser that belongs to the allocator data_ came from: a test may
  // change the allocator while the array holds a block.
  TBlockReleaser release_ = nullptr;
  std::uint32_t count_ = 0;
  std::int32_t currentIndex_ = -1;
  std::uint32_t allocatedBytes_ = 0;
  std::uint32_t growStep_ = kGrowStep;
  std::uint32_t elementSize_;
};
