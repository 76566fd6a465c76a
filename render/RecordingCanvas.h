// A canvas that draws through to another one and keeps a record of what it
// drew, so that a paint can be drawn again later at another scale or on a
// vector device without laying the formula out a second time. Plain C++.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/FontDesc.h"
#include "render/Canvas.h"
#include "render/DrawOps.h"
#include "render/Paint.h"

// Text with its top-left cell corner at (X, Y). Font is the whole font in
// force, its Height the temporary one where a decoration set it, its Color
// the text's colour; CellHeight is what that font measured on the canvas.
struct TRecordedText {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::u16string Text;
  TFontDesc Font;
  std::int32_t CellHeight = 0;
  bool operator==(const TRecordedText&) const = default;
};

using TRecordedOp = std::variant<TRecordedText, TLineOp, TFillOp>;

// One paint, in the order it was drawn, with the size of the picture it
// made and the background it was painted on.
struct TRecording {
  TSize Size;
  std::uint32_t Background = kWhite;
  std::vector<TRecordedOp> Ops;
  bool operator==(const TRecording&) const = default;
};

class TRecordingCanvas : public TCanvas {
 public:
  // `inner` must outlive the recorder. Its bitmap stays the one that counts:
  // sizes and pixel reads (the ink scan of sums and integrals) go to it.
  explicit TRecordingCanvas(TCanvas& inner) : inner_(inner), penWidth_(inner.PenWidth()) {}

  const std::vector<TRecordedOp>& Ops() const { return ops_; }
  // Hands over what was recorded, with the inner bitmap's present size.
  TRecording TakeRecording(std::uint32_t background);

  TSize TextExtent(std::u16string_view text) override { return inner_.TextExtent(text); }
  void TextOut(std::int32_t x, std::int32_t y, std::u16string_view text) override;
  void SetTransparentText() override { inner_.SetTransparentText(); }

  void SetFont(const TFontDesc& font) override { inner_.SetFont(font); }
  const TFontDesc& Font() const override { return inner_.Font(); }
  void SetFontHeight(std::int32_t height) override { inner_.SetFontHeight(height); }

  void SetPenColor(std::uint32_t color) override;
  void SetPenWidth(std::int32_t width) override;
  std::int32_t PenWidth() const override { return inner_.PenWidth(); }
  void SetBrushColor(std::uint32_t color) override;

  void MoveTo(std::int32_t x, std::int32_t y) override;
  void LineTo(std::int32_t x, std::int32_t y) override;
  void FillRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;

  std::uint32_t Pixel(std::int32_t x, std::int32_t y) const override { return inner_.Pixel(x, y); }
  std::uint32_t PixelValueOf(std::uint32_t color) const override {
    return inner_.PixelValueOf(color);
  }
  void Resize(std::int32_t width, std::int32_t height) override { inner_.Resize(width, height); }
  std::int32_t Width() const override { return inner_.Width(); }
  std::int32_t Height() const override { return inner_.Height(); }

 private:
  TCanvas& inner_;
  std::vector<TRecordedOp> ops_;
  // The inner canvas does not tell its pen and brush, so the recorder keeps
  // its own copy of them; it sees every change that reaches the inner one.
  std::uint32_t penColor_ = 0;
  std::int32_t penWidth_ = 1;
  std::uint32_t brushColor_ = kWhite;
  std::int32_t penX_ = 0;
  std::int32_t penY_ = 0;
};

// One paint (PaintFormula) through a recorder. The recording shows the whole
// picture only when the bitmap already had the picture's size: then Complete
// is true. A paint that grew the bitmap is incomplete, and so is its record.
struct TRecordedPaint {
  TSize Size;
  bool Complete = false;
  TRecording Recording;
};
TRecordedPaint PaintFormulaRecorded(TCanvas& canvas, const TPaintInput& input);
// The same until the picture is complete, as PaintComplete paints: the
// record of the last paint.
TRecordedPaint PaintCompleteRecorded(TCanvas& canvas, const TPaintInput& input);
