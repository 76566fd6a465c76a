#include "export/PngText.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "export/Inflate.h"

namespace {

// Length, type and checksum around every chunk's data.
constexpr std::size_t kChunkFrame = 12;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::string_view AsChars(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The checksum covers the type and the data.
bool ChecksumHolds(std::span<const std::uint8_t> typeAndData, const std::uint8_t* stored) {
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::size_t done = 0; done < typeAndData.size();) {
    const auto step = static_cast<uInt>(
        std::min<std::size_t>(typeAndData.size() - done, std::numeric_limits<uInt>::max()));
    crc = crc32(crc, typeAndData.data() + done, step);
    done += step;
  }
  return crc == BigEndian32(stored);
}

TPngTextResult Inflated(std::span<const std::uint8_t> stream, std::size_t maxText,
                        std::string& text) {
  switch (InflateCapped(stream, maxText, text)) {
    case TInflateResult::Done:
      return TPngTextResult::Found;
    case TInflateResult::TooLarge:
      return TPngTextResult::TooLarge;
    case TInflateResult::Damaged:
      return TPngTextResult::Damaged;
  }
  return TPngTextResult::Damaged;
}

TPngTextResult Plain(std::string_view rest, std::size_t maxText, std::string& text) {
  if (rest.size() > maxText) return TPngTextResult::TooLarge;
  text.assign(rest);
  return TPngTextResult::Found;
}

// `data` follows the keyword and its terminating zero.
TPngTextResult DecodeText(std::string_view type, std::span<const std::uint8_t> data,
                          std::size_t maxText, std::string& text) {
  if (type == "tEXt") return Plain(AsChars(data), maxText, text);
  if (type == "zTXt") {
    if (data.empty() || data[0] != 0) return TPngTextResult::Damaged;  // method 0: zlib
    return Inflated(data.subspan(1), maxText, text);
  }
  // iTXt: compression flag, method, language tag, translated keyword, text.
  if (data.size() < 2) return TPngTextResult::Damaged;
  const bool compressed = data[0] != 0;
  std::string_view rest = AsChars(data.subspan(2));
  for (int skipped = 0; skipped < 2; ++skipped) {
    const std::size_t zero = rest.find('\0');
    if (zero == std::string_view::npos) return TPngTextResult::Damaged;
    rest.remove_prefix(zero + 1);
  }
  const auto bytes = data.last(rest.size());
  return compressed ? Inflated(bytes, maxText, text) : Plain(rest, maxText, text);
}

bool IsTextChunk(std::string_view type) {
  return type == "tEXt" || type == "zTXt" || type == "iTXt";
}

// Every text chunk starts with its keyword and a zero byte.
bool IsKeyword(std::string_view data, std::string_view keyword) {
  return data.size() > keyword.size() && data.starts_with(keyword) && data[keyword.size()] == '\0';
}

}  // namespace

TPngTextResult ReadPngText(std::span<const std::uint8_t> png, std::string_view keyword,
                           std::size_t maxText, std::string& text) {
  if (!AsChars(png).starts_with(kPngSignature)) return TPngTextResult::Missing;
  std::size_t pos = kPngSignature.size();
  while (png.size() - pos >= kChunkFrame) {
    const std::size_t length = BigEndian32(png.data() + pos);
    const std::string_view type = AsChars(png.subspan(pos + 4, 4));
    const std::size_t available = png.size() - pos - kChunkFrame;
    const auto data = png.subspan(pos + 8, std::min(length, available));
    const bool ours = IsTextChunk(type) && IsKeyword(AsChars(data), keyword);
    // Nothing behind a chunk that claims more than the file holds can be
    // trusted: it ends the walk, as damage when it is the formula's chunk.
    if (length > available) return ours ? TPngTextResult::Damaged : TPngTextResult::Missing;
    if (type == "IEND") break;
    if (ours) {
      if (!ChecksumHolds(png.subspan(pos + 4, length + 4), data.data() + length)) {
        return TPngTextResult::Damaged;
      }
      return DecodeText(type, data.subspan(keyword.size() + 1), maxText, text);
    }
    pos += kChunkFrame + length;
  }
  return TPngTextResult::Missing;
}
