// The drawing around a function entry's sequences: signs, parentheses,
// strokes, names, bounds and indices, and the bar under First. One function
// per kind; the kind table (FunctionKinds.h) picks them.
#pragma once

#include <cstdint>

#include "model/FormulaTree.h"
#include "render/Canvas.h"
#include "render/Layout.h"

inline constexpr char16_t kSumSign = u'\u2211';
inline constexpr char16_t kIntegralSign = u'\u222B';

// Sets the canvas font back to the formula font when the scope ends, so no
// temporary height or point size outlives the decoration that set it.
class TFontScope {
 public:
  TFontScope(TCanvas& canvas, const TFontDesc& baseFont) : canvas_(canvas), baseFont_(baseFont) {}
  TFontScope(TCanvas& canvas, const TFontDesc& baseFont, std::int32_t height)
      : TFontScope(canvas, baseFont) {
    canvas_.SetFontHeight(height);
  }
  // A paint that failed leaves through here: setting the font back may fail
  // too, and must not end the program (the canvas is then drawn afresh).
  ~TFontScope() {
    try {
      canvas_.SetFont(baseFont_);
    } catch (...) {  // NOLINT(bugprone-empty-catch)
    }
  }
  TFontScope(const TFontScope&) = delete;
  TFontScope& operator=(const TFontScope&) = delete;

 private:
  TCanvas& canvas_;
  const TFontDesc& baseFont_;
};

// A pen width for the length of a scope.
class TPenWidthScope {
 public:
  TPenWidthScope(TCanvas& canvas, std::int32_t width)
      : canvas_(canvas), previous_(canvas.PenWidth()) {
    canvas_.SetPenWidth(width);
  }
  ~TPenWidthScope() { canvas_.SetPenWidth(previous_); }
  TPenWidthScope(const TPenWidthScope&) = delete;
  TPenWidthScope& operator=(const TPenWidthScope&) = delete;

 private:
  TCanvas& canvas_;
  std::int32_t previous_;
};

std::int32_t DrawNoDecoration(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                              std::int32_t yt);
std::int32_t DrawRootSign(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                          std::int32_t yt);
std::int32_t DrawSumSign(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                         std::int32_t yt);
std::int32_t DrawIntegralSign(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                              std::int32_t yt);
std::int32_t DrawPowerParentheses(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                                  std::int32_t yt);
std::int32_t DrawAbsoluteBars(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                              std::int32_t yt);
std::int32_t DrawFunctionName(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                              std::int32_t yt);

// The horizontal bar between First and Second, from x1 up to x2.
void DrawBar(TLayoutState& state, std::int32_t y, std::int32_t x1, std::int32_t x2);

// The font of the bounds of a sum or integral whose box is `boxHeight` high:
// half the formula font's point size unless the box is at least three font
// heights tall, never below one point. Sets it on the canvas.
void SetBoundFont(TLayoutState& state, std::int32_t boxHeight);

// How far the ink of a sign drawn at (x, top) in a cell `cellHeight` high
// lies from the cell's top (>= 0) and bottom (<= 0) edges, read in column x
// against the background. A pixel outside the bitmap counts as ink.
struct TInkGaps {
  std::int32_t Top = 0;
  std::int32_t Bottom = 0;
};
TInkGaps FindInk(const TLayoutState& state, std::int32_t x, std::int32_t top,
                 std::int32_t cellHeight);
