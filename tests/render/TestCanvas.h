// A canvas with fixed metrics that records what is drawn on it, so that
// layout and drawing can be checked to the pixel without a font engine.
// Plain C++: usable wherever Qt is not wanted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/FontDesc.h"
#include "render/Canvas.h"
#include "render/DrawOps.h"

struct TTextOp {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::u16string Text;
  std::int32_t FontHeight = 0;
  std::int32_t PointSize = 0;
  std::uint32_t Color = 0;
  bool operator==(const TTextOp&) const = default;
};

using TDrawOp = std::variant<TTextOp, TLineOp, TFillOp>;

// One line of text per operation, for failure messages.
std::string Describe(const TDrawOp& op);

class TTestCanvas : public TCanvas {
 public:
  static constexpr std::int32_t kCharWidth = 8;
  static constexpr std::int32_t kTextHeight = 16;

  // Every UTF-16 code unit is `charWidth` wide and every extent `textHeight`
  // high, whatever the font. The bitmap starts filled with white.
  explicit TTestCanvas(std::int32_t width = 0, std::int32_t height = 0,
                       std::int32_t charWidth = kCharWidth, std::int32_t textHeight = kTextHeight);

  TSize TextExtent(std::u16string_view text) override;
  void TextOut(std::int32_t x, std::int32_t y, std::u16string_view text) override;
  void SetTransparentText() override { transparentText_ = true; }

  void SetFont(const TFontDesc& font) override { font_ = font; }
  const TFontDesc& Font() const override { return font_; }
  void SetFontHeight(std::int32_t height) override { font_.Height = height; }

  void SetPenColor(std::uint32_t color) override { penColor_ = color; }
  void SetPenWidth(std::int32_t width) override { penWidth_ = width; }
  std::int32_t PenWidth() const override { return penWidth_; }
  void SetBrushColor(std::uint32_t color) override { brushColor_ = color; }

  void MoveTo(std::int32_t x, std::int32_t y) override;
  void LineTo(std::int32_t x, std::int32_t y) override;
  void FillRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;

  // The colour of the last fill inside the bitmap (glyphs and lines leave no
  // pixels here), kNoColor outside.
  std::uint32_t Pixel(std::int32_t x, std::int32_t y) const override;
  void Resize(std::int32_t width, std::int32_t height) override;
  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }

  const std::vector<TDrawOp>& Ops() const { return ops_; }
  std::vector<TTextOp> Texts() const;
  std::vector<TLineOp> Lines() const;
  std::vector<TFillOp> Fills() const;
  void ClearOps() { ops_.clear(); }
  bool TransparentText() const { return transparentText_; }
  std::uint32_t PenColor() const { return penColor_; }
  std::uint32_t BrushColor() const { return brushColor_; }

 private:
  std::int32_t width_;
  std::int32_t height_;
  std::int32_t charWidth_;
  std::int32_t textHeight_;
  TFontDesc font_;
  std::uint32_t penColor_ = 0;
  std::int32_t penWidth_ = 1;
  std::uint32_t brushColor_ = kWhite;
  std::uint32_t fillColor_ = kWhite;
  std::int32_t penX_ = 0;
  std::int32_t penY_ = 0;
  bool transparentText_ = false;
  std::vector<TDrawOp> ops_;
};
