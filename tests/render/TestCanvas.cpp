#include "tests/render/TestCanvas.h"

#include <algorithm>
#include <limits>
#include <sstream>

#include "model/Ansi.h"

namespace {

template <typename T>
std::vector<T> OpsOfType(const std::vector<TDrawOp>& ops) {
  std::vector<T> result;
  for (const TDrawOp& op : ops) {
    if (const T* typed = std::get_if<T>(&op)) result.push_back(*typed);
  }
  return result;
}

struct TDescriber {
  std::ostringstream& out;
  void operator()(const TTextOp& op) const {
    out << "text \"" << Utf16ToAnsi(op.Text) << "\" at (" << op.X << ", " << op.Y << ") height "
        << op.FontHeight << " points " << op.PointSize << " colour " << std::hex << op.Color;
  }
  void operator()(const TLineOp& op) const {
    out << "line (" << op.X1 << ", " << op.Y1 << ") to (" << op.X2 << ", " << op.Y2 << ") width "
        << op.PenWidth << " colour " << std::hex << op.Color;
  }
  void operator()(const TFillOp& op) const {
    out << "fill (" << op.X1 << ", " << op.Y1 << ") to (" << op.X2 << ", " << op.Y2 << ") colour "
        << std::hex << op.Color;
  }
};

}  // namespace

std::string Describe(const TDrawOp& op) {
  std::ostringstream out;
  std::visit(TDescriber{out}, op);
  return out.str();
}

TTestCanvas::TTestCanvas(std::int32_t width, std::int32_t height, std::int32_t charWidth,
                         std::int32_t textHeight)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      charWidth_(charWidth),
      textHeight_(textHeight) {}

TSize TTestCanvas::TextExtent(std::u16string_view text) {
  const auto width = static_cast<std::int64_t>(text.size()) * charWidth_;
  return {static_cast<std::int32_t>(
              std::min<std::int64_t>(width, std::numeric_limits<std::int32_t>::max())),
          textHeight_};
}

void TTestCanvas::TextOut(std::int32_t x, std::int32_t y, std::u16string_view text) {
  ops_.emplace_back(std::in_place_type<TTextOp>, TTextOp{x, y, std::u16string(text), font_.Height,
                                                         FontPointSize(), font_.Color});
}

void TTestCanvas::MoveTo(std::int32_t x, std::int32_t y) {
  penX_ = x;
  penY_ = y;
}

void TTestCanvas::LineTo(std::int32_t x, std::int32_t y) {
  ops_.emplace_back(std::in_place_type<TLineOp>, TLineOp{penX_, penY_, x, y, penWidth_, penColor_});
  MoveTo(x, y);
}

void TTestCanvas::FillRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  ops_.emplace_back(std::in_place_type<TFillOp>, TFillOp{x1, y1, x2, y2, brushColor_});
  fillColor_ = brushColor_;
}

std::uint32_t TTestCanvas::Pixel(std::int32_t x, std::int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kNoColor;
  return fillColor_;
}

void TTestCanvas::Resize(std::int32_t width, std::int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  // New area takes the brush colour; with one colour per bitmap, a grown
  // bitmap reads back as the brush colour everywhere.
  if (width > width_ || height > height_) fillColor_ = brushColor_;
  width_ = width;
  height_ = height;
}

std::vector<TTextOp> TTestCanvas::Texts() const { return OpsOfType<TTextOp>(ops_); }
std::vector<TLineOp> TTestCanvas::Lines() const { return OpsOfType<TLineOp>(ops_); }
std::vector<TFillOp> TTestCanvas::Fills() const { return OpsOfType<TFillOp>(ops_); }
