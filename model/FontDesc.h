// The description of the document font, as the document stores it and the
// canvas realises it. Plain data: no platform font lives here.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::int32_t kScreenPixelsPerInch = 96;
// The system's window-text colour, by palette index.
inline constexpr std::uint32_t kWindowTextColor = 0x80000008u;
inline constexpr std::uint32_t kWhite = 0x00FFFFFFu;

enum TFontStyleBits : std::uint8_t {
  fsBold = 1,
  fsItalic = 2,
  fsUnderline = 4,
  fsStrikeOut = 8,
};

struct TFontDesc {
  std::string Name = "Microsoft Sans Serif";  // ANSI (Windows-1252) bytes
  std::uint8_t Charset = 0;
  std::uint32_t Color = kWindowTextColor;
  std::uint8_t Pitch = 0;
  // Positive: cell height in pixels; negative: character height; 0: default.
  std::int32_t Height = -13;
  std::uint8_t Style = 0;

  bool operator==(const TFontDesc&) const = default;
};

// Rounds to the nearest integer, halves away from zero.
std::int32_t RoundHalfAway(double value);
// Rounds to the nearest integer, halves to the even neighbour.
std::int32_t RoundHalfEven(double value);

// point size = -(height * 72 / ppi) and height = -(size * ppi / 72).
std::int32_t PointSizeFromHeight(std::int32_t height, std::int32_t pixelsPerInch);
std::int32_t HeightFromPointSize(std::int32_t pointSize, std::int32_t pixelsPerInch);
