#include "export/Inflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>

TInflateResult InflateCapped(std::span<const std::uint8_t> stream, std::size_t maxBytes,
                             std::string& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return TInflateResult::Damaged;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in =
      static_cast<uInt>(std::min<std::size_t>(stream.size(), std::numeric_limits<uInt>::max()));
  std::string inflated;
  std::array<char, 16384> chunk{};
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_out = static_cast<uInt>(chunk.size());
    status = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = chunk.size() - z.avail_out;
    if (inflated.size() + produced > maxBytes) {
      inflateEnd(&z);
      return TInflateResult::TooLarge;
    }
    inflated.append(chunk.data(), produced);
  }
  inflateEnd(&z);
  if (status != Z_STREAM_END) return TInflateResult::Damaged;
  out = std::move(inflated);
  return TInflateResult::Done;
}
