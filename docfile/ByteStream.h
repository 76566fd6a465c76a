// Little-endian values over a byte buffer: appended to a vector by the
// writer, taken with a bounds check by the reader. Internal to docfile/.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

class TByteWriter {
 public:
  explicit TByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void U8(std::uint8_t value) { out_.push_back(value); }
  void U32(std::uint32_t value) {
    const std::uint8_t bytes[4] = {std::uint8_t(value), std::uint8_t(value >> 8),
                                   std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
    Bytes(bytes, sizeof bytes);
  }
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void F64(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    U32(static_cast<std::uint32_t>(bits));
    U32(static_cast<std::uint32_t>(bits >> 32));
  }
  void Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
  }
  void Utf16(std::u16string_view text) {
    if constexpr (std::endian::native == std::endian::little) {
      Bytes(text.data(), text.size() * 2);
    } else {
      for (const char16_t unit : text) {
        U8(std::uint8_t(unit));
        U8(std::uint8_t(unit >> 8));
      }
    }
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Every read either takes the whole value or fails and takes nothing.
class TByteReader {
 public:
  explicit TByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Remaining() const { return bytes_.size() - pos_; }

  bool U8(std::uint8_t& value) {
    if (Remaining() < 1) return false;
    value = bytes_[pos_++];
    return true;
  }
  bool U32(std::uint32_t& value) {
    if (Remaining() < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{bytes_[pos_ + i]} << (8 * i);
    pos_ += 4;
    return true;
  }
  bool I32(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (!U32(raw)) return false;
    value = static_cast<std::int32_t>(raw);
    return true;
  }
  bool F64(double& value) {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    if (Remaining() < 8) return false;
    U32(low);
    U32(high);
    value = std::bit_cast<double>(std::uint64_t{high} << 32 | low);
    return true;
  }
  bool Skip(std::uint64_t size) {
    if (Remaining() < size) return false;
    pos_ += static_cast<std::size_t>(size);
    return true;
  }
  bool Bytes(std::size_t size, std::string& out) {
    if (Remaining() < size) return false;
    out.assign(reinterpret_cast<const char*>(bytes_.data() + pos_), size);
    pos_ += size;
    return true;
  }
  bool Utf16(std::size_t units, std::u16string& out) {
    if (Remaining() / 2 < units) return false;
    out.resize(units);
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(out.data(), bytes_.data() + pos_, units * 2);
    } else {
      for (std::size_t i = 0; i < units; ++i) {
        out[i] = char16_t(bytes_[pos_ + 2 * i] | bytes_[pos_ + 2 * i + 1] << 8);
      }
    }
    pos_ += units * 2;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};
