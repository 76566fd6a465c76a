// Inflating a zlib stream with a cap on what it may grow to: a small
// stream can claim gigabytes, so the output is produced in fixed steps and
// the work stops at the cap instead of allocating what the stream claims.
// Plain C++ and zlib; the PNG chunk reader and the PDF rewriter share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

enum class TInflateResult {
  Done,
  Damaged,   // not a zlib stream, or one that ends early
  TooLarge,  // it would give more than the cap
};

TInflateResult InflateCapped(std::span<const std::uint8_t> stream, std::size_t maxBytes,
                             std::string& out);
