// The one seam between the layout code and the platform: the canvas
// operations that measuring, drawing and painting rely on. Only the QImage
// implementation knows Qt.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/FontDesc.h"

struct TSize {
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  bool operator==(const TSize&) const = default;
};

// What a pixel read outside the bitmap returns: a value no colour has.
inline constexpr std::uint32_t kNoColor = 0xFFFFFFFFu;

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // Advance width and the font's full cell height, whatever the characters.
  virtual TSize TextExtent(std::u16string_view text) = 0;
  // Draws with the top-left corner of the text cell at (x, y), in the font's colour.
  virtual void TextOut(std::int32_t x, std::int32_t y, std::u16string_view text) = 0;
  // After this, text leaves the pixels between its glyphs untouched.
  virtual void SetTransparentText() = 0;

  // Resets face, height, style, colour and character set to `font`.
  virtual void SetFont(const TFontDesc& font) = 0;
  virtual const TFontDesc& Font() const = 0;
  // Positive: cell height; negative: character height; 0: platform default.
  virtual void SetFontHeight(std::int32_t height) = 0;
  // Point size and height convert at the canvas resolution, halves away from zero.
  // The same rule for every canvas, so it lives here rather than in each.
  std::int32_t FontPointSize() const {
    return PointSizeFromHeight(Font().Height, kScreenPixelsPerInch);
  }
  void SetFontPointSize(std::int32_t points) {
    SetFontHeight(HeightFromPointSize(points, kScreenPixelsPerInch));
  }

  virtual void SetPenColor(std::uint32_t color) = 0;
  virtual void SetPenWidth(std::int32_t width) = 0;
  virtual std::int32_t PenWidth() const = 0;
  virtual void SetBrushColor(std::uint32_t color) = 0;

  // A line covers its start point but not its end point; the pen stays at the end.
  virtual void MoveTo(std::int32_t x, std::int32_t y) = 0;
  virtual void LineTo(std::int32_t x, std::int32_t y) = 0;
  // Fills from (x1, y1) up to but not including (x2, y2) in the brush colour.
  virtual void FillRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;

  // The colour at (x, y), or kNoColor outside the bitmap.
  virtual std::uint32_t Pixel(std::int32_t x, std::int32_t y) const = 0;
  // What Pixel() reads back where the bitmap was filled with `color`. A system
  // colour comes back as the RGB value it stands for, so comparisons with a
  // fill colour go through this.
  virtual std::uint32_t PixelValueOf(std::uint32_t color) const { return color; }
  // Keeps the pixels at the top-left, fills new area with the brush colour.
  virtual void Resize(std::int32_t width, std::int32_t height) = 0;
  virtual std::int32_t Width() const = 0;
  virtual std::int32_t Height() const = 0;
};
