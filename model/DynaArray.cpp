#include "model/DynaArray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>

namespace {

void* DefaultAllocate(std::size_t bytes) { return std::calloc(1, bytes); }
void DefaultRelease(void* block) { std::free(block); }

TBlockAllocator gAllocate = DefaultAllocate;
TBlockReleaser gRelease = DefaultRelease;

TAllocFailureReporter& Reporter() {
  static TAllocFailureReporter reporter = [](const std::string& message) {
    std::cerr << message << '\n';
  };
  return reporter;
}

}  // namespace

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

TDynaArray::~TDynaArray() {
  if (data_ != nullptr) gRelease(data_);
  data_ = nullptr;
  current_ = nullptr;
  currentIndex_ = -1;
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
  auto* block = newBytes > std::numeric_limits<std::uint32_t>::max()
                    ? nullptr
                    : static_cast<unsigned char*>(gAllocate(static_cast<std::uint32_t>(newBytes)));
  if (block == nullptr) {
    Reporter()(AllocFailureText(newBytes));
    return false;
  }
  if (data_ != nullptr) {
    std::memcpy(block, data_, newBytes < allocatedBytes_ ? newBytes : allocatedBytes_);
    gRelease(data_);
  }
  data_ = block;
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
    gRelease(data_);
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
