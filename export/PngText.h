// Reading one text chunk of a PNG file with a reader of our own: every
// chunk length is checked against the file before anything is read or
// allocated for it, and only the chunk with the wanted keyword is decoded,
// wherever it stands (before or after the image data). Plain C++ and zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The eight bytes every PNG file starts with.
inline constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

enum class TPngTextResult {
  Found,
  Missing,   // no such chunk before IEND, or no PNG at all
  Damaged,   // a length beyond the file, a bad checksum, a stream that does not inflate
  TooLarge,  // the text would be longer than the caller's limit
};

// The text of the first tEXt, zTXt or iTXt chunk whose keyword is `keyword`,
// as its bytes (Latin-1 for tEXt and zTXt, UTF-8 for iTXt). At most
// `maxText` bytes are ever allocated for it, however much it claims.
TPngTextResult ReadPngText(std::span<const std::uint8_t> png, std::string_view keyword,
                           std::size_t maxText, std::string& text);
