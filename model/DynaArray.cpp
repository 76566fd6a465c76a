#include "model/DynaArray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define QM_POISON(block, bytes) ASAN_POISON_MEMORY_REGION(block, bytes)
#define QM_UNPOISON(block, bytes) ASAN_UNPOISON_MEMORY_REGION(block, bytes)
#else
#define QM_POISON(block, bytes) ((void)(block), (void)(bytes))
#define QM_UNPOISON(block, bytes) ((void)(block), (void)(bytes))
#endif

namespace {

void* DefaultAllocate(std::size_t bytes) { return std::calloc(1, bytes); }
void DefaultRelease(void* block) { std::free(block); }

TBlockAllocator gAllocate = DefaultAllocate;
TBlockReleaser gRelease = DefaultRelease;

// Released blocks of one step, already zero-filled again, kept for the next
// array of that size (one size at a time: all lines of a formula share it). Every short line holds
// such a block, and a formula read or pasted makes thousands of them: taking one from the shelf
// costs neither a fresh page from the system nor a memset of the whole block. Arrays are built on
// one thread and released on another, hence the lock. The shelf is never destroyed, so arrays
// released during program exit still find it.
class TBlockShelf {
 public:
  // nullptr when there was no memory to make it: blocks then come from the
  // allocator and go back to it.
  static TBlockShelf* Instance() noexcept {
    try {
      static auto* shelf = new TBlockShelf;
      return shelf;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }

  void* Take(std::size_t bytes) {
    const std::lock_guard lock(mutex_);
    if (bytes != blockBytes_ || blocks_.empty()) return nullptr;
    void* block = blocks_.back();
    blocks_.pop_back();
    QM_UNPOISON(block, bytes);
    return block;
  }

  // false when the block is not of the shelf's size, the shelf is full or has
  // no room left to note it: arrays are released in destructors, which must
  // not throw.
  bool Put(void* block, std::size_t bytes) noexcept {
    const std::lock_guard lock(mutex_);
    if (blocks_.empty() && bytes != blockBytes_) blockBytes_ = bytes;
    if (bytes != blockBytes_ || (blocks_.size() + 1) * bytes > kMaxShelvedBytes) return false;
    try {
      blocks_.push_back(block);
    } catch (const std::bad_alloc&) {
      return false;
    }
    QM_POISON(block, bytes);
    return true;
  }

 private:
  static constexpr std::size_t kMaxShelvedBytes = std::size_t{64} << 20;
  std::mutex mutex_;
  std::size_t blockBytes_ = 0;
  std::vector<void*> blocks_;
};

TAllocFailureReporter& Reporter() {
  static TAllocFailureReporter reporter = [](const std::string& message) {
    std::cerr << message << '\n';
  };
  return reporter;
}

}  // namespace

// Telling the user is worth less than the failure itself: a reporter that
// cannot make its message (no memory left for it) changes nothing.
void ReportAllocFailure(std::uint64_t bytes) noexcept {
  try {
    ReportFailureText(AllocFailureText(bytes));
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing more can be done
  }
}

void ReportFailureText(const std::string& message) noexcept {
  try {
    Reporter()(message);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing more can be done
  }
}

void SetBlockAllocator(TBlockAllocator allocate, TBlockReleaser release) {
  gAllocate = allocate;
  gRelease = release;
}

void ResetBlockAllocator() { SetBlockAllocator(DefaultAllocate, DefaultRelease); }

void SetAllocFailureReporter(TAllocFailureReporter reporter) { Reporter() = std::move(reporter); }

std::string AllocFailureText(std::uint64_t bytes) {
  return "Error while trying to allocate " + std::to_string(bytes) +
         " bytes of RAM. Not enough memory.";
}

TDynaArray::TDynaArray(std::uint32_t elementSize, void** cursorVar)
    : cursorVar_(cursorVar), elementSize_(elementSize) {}

// The shared cursor may still point into this array's block; it must not be
// left pointing into freed memory.
TDynaArray::~TDynaArray() {
  if (data_ != nullptr) {
    if (cursorVar_ != nullptr && *cursorVar_ >= data_ && *cursorVar_ < data_ + allocatedBytes_) {
      *cursorVar_ = nullptr;
    }
    ReleaseBlock();
  }
  data_ = nullptr;
  current_ = nullptr;
  currentIndex_ = -1;
}

// A block of one step comes from the shelf while the program's own allocator
// is in use; tests that replace the allocator see every block.
void* TDynaArray::ObtainBlock(std::uint32_t bytes) const {
  const bool shelved = gAllocate == DefaultAllocate && bytes == BlockSizeFor(1);
  TBlockShelf* shelf = shelved ? TBlockShelf::Instance() : nullptr;
  void* block = shelf != nullptr ? shelf->Take(bytes) : nullptr;
  return block != nullptr ? block : gAllocate(bytes);
}

// Bytes past the last element are zero (a block starts zero-filled, and
// Delete clears the slot it frees), so clearing the elements in use makes the
// whole block zero again before it is shelved.
void TDynaArray::ReleaseBlock() {
  const bool shelvable = release_ == DefaultRelease && allocatedBytes_ == BlockSizeFor(1);
  if (shelvable) {
    std::memset(data_, 0,
                std::min<std::size_t>(std::size_t{count_} * elementSize_, allocatedBytes_));
    TBlockShelf* shelf = TBlockShelf::Instance();
    if (shelf != nullptr && shelf->Put(data_, allocatedBytes_)) return;
  }
  release_(data_);
}

void TDynaArray::Publish(void* element) {
  current_ = element;
  if (cursorVar_ != nullptr) *cursorVar_ = element;
}

std::uint64_t TDynaArray::BlockSizeFor(std::uint64_t n) const {
  return ((n - 1) / growStep_ + 1) * elementSize_ * growStep_;
}

// Replaces the block by a zero-filled one of newBytes, keeping the leading
// bytes that fit. On failure the old block stays and the user is told; a
// size beyond the 32-bit bookkeeping is a failure like any other.
bool TDynaArray::Reallocate(std::uint64_t newBytes) {
  auto* block =
      newBytes > std::numeric_limits<std::uint32_t>::max()
          ? nullptr
          : static_cast<unsigned char*>(ObtainBlock(static_cast<std::uint32_t>(newBytes)));
  if (block == nullptr) {
    ReportAllocFailure(newBytes);
    return false;
  }
  if (data_ != nullptr) {
    std::memcpy(block, data_, newBytes < allocatedBytes_ ? newBytes : allocatedBytes_);
    ReleaseBlock();
  }
  data_ = block;
  release_ = gRelease;
  allocatedBytes_ = static_cast<std::uint32_t>(newBytes);
  return true;
}

void* TDynaArray::Select(std::int32_t index) {
  currentIndex_ = index;
  Publish(data_ + static_cast<std::ptrdiff_t>(index) * elementSize_);
  return current_;
}

bool TDynaArray::Reserve(std::uint32_t count) {
  if (count_ != 0 || count == 0) return true;
  const std::uint64_t bytes = BlockSizeFor(count);
  return (bytes == allocatedBytes_ && data_ != nullptr) || Reallocate(bytes);
}

void* TDynaArray::Append() {
  const std::uint64_t newCount = std::uint64_t{count_} + 1;
  const std::uint64_t bytes = BlockSizeFor(newCount);
  // A reserved block is larger than the count needs until it is filled.
  if ((bytes > allocatedBytes_ || data_ == nullptr) && !Reallocate(bytes)) return nullptr;
  count_ = static_cast<std::uint32_t>(newCount);
  void* element = Select(static_cast<std::int32_t>(count_ - 1));
  // A slot freed by an earlier Delete may still hold its old bytes.
  std::memset(element, 0, elementSize_);
  return element;
}

void TDynaArray::Delete(std::int32_t index) {
  if (index < 0 || static_cast<std::uint32_t>(index) >= count_) return;
  unsigned char* gap = data_ + static_cast<std::size_t>(index) * elementSize_;
  const std::size_t behind =
      (count_ - 1 - static_cast<std::uint32_t>(index)) * std::size_t{elementSize_};
  std::memmove(gap, gap + elementSize_, behind);
  --count_;
  std::memset(data_ + std::size_t{count_} * elementSize_, 0, elementSize_);
  if (count_ == 0) {
    ReleaseBlock();
    data_ = nullptr;
    allocatedBytes_ = 0;
  } else if (const std::uint64_t bytes = BlockSizeFor(count_); bytes != allocatedBytes_) {
    // A failed shrink keeps the larger block, which still holds every element.
    Reallocate(bytes);
  }
  currentIndex_ = -1;
  Publish(nullptr);
}

void TDynaArray::Swap(std::int32_t a, std::int32_t b) {
  const auto inRange = [this](std::int32_t i) {
    return i >= 0 && static_cast<std::uint32_t>(i) < count_;
  };
  if (!inRange(a) || !inRange(b)) return;
  if (a != b) {
    unsigned char* pa = data_ + static_cast<std::size_t>(a) * elementSize_;
    unsigned char* pb = data_ + static_cast<std::size_t>(b) * elementSize_;
    unsigned char temp[256];
    for (std::size_t done = 0; done < elementSize_; done += sizeof temp) {
      const std::size_t n = std::min<std::size_t>(sizeof temp, elementSize_ - done);
      std::memcpy(temp, pa + done, n);
      std::memcpy(pa + done, pb + done, n);
      std::memcpy(pb + done, temp, n);
    }
  }
  Select(b);
}

void TDynaArray::Rewind() {
  if (count_ > 0) Select(0);
}

bool TDynaArray::Next() {
  if (count_ == 0 || currentIndex_ < 0 || static_cast<std::uint32_t>(currentIndex_) >= count_) {
    return false;
  }
  Select(currentIndex_);
  ++currentIndex_;
  return true;
}
