// The one limit on the size of a picture: the bitmap on screen and every
// exported picture at every scale. Larger pictures are refused from the
// layout's size before anything is allocated for them, so that no formula
// can make the program ask for gigabytes.
#pragma once

#include <cstdint>
#include <string>

#include "render/Canvas.h"

// 100 million pixels: 400 MB as 32-bit pixels.
inline constexpr std::int64_t kMaxPicturePixels = 100'000'000;

inline std::int64_t PicturePixels(TSize size, int scale = 1) {
  if (size.cx <= 0 || size.cy <= 0) return 0;
  return std::int64_t{size.cx} * scale * (std::int64_t{size.cy} * scale);
}

inline bool PictureFits(TSize size, int scale = 1) {
  return PicturePixels(size, scale) <= kMaxPicturePixels;
}

// "Das Bild ist zu groß: W × H Pixel (höchstens 100 Millionen Pixel)."
inline std::string PictureTooLargeText(TSize size, int scale = 1) {
  return "Das Bild ist zu groß: " + std::to_string(std::int64_t{size.cx} * scale) + " × " +
         std::to_string(std::int64_t{size.cy} * scale) + " Pixel (höchstens 100 Millionen Pixel).";
}
