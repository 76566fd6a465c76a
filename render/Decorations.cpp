#include "render/Decorations.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr std::u16string_view kOpen = u"(";
constexpr std::u16string_view kClose = u")";
// A root of this index is the plain square root, drawn without it.
constexpr std::u16string_view kSquareRootIndex = u"2";
// Bounds keep this far from the ink of their sign.
constexpr std::int32_t kBoundGap = 2;

// The index stands on the tick, where the sign turns down.
void DrawRootIndex(TLayoutState& state, std::u16string_view index, std::int32_t x,
                   std::int32_t tickY, std::int32_t cellHeight) {
  TFontScope font(state.Canvas, state.BaseFont, cellHeight);
  const TSize size = state.Canvas.TextExtent(index);
  state.Canvas.TextOut(x, tickY - size.cy, index);
  if (state.Hits != nullptr) state.Hits->AddOwnDrawing({x, tickY - size.cy, size.cx, size.cy});
}

// Bounds are not part of the box: they go over whatever lies above and below
// the sign, centred on it and kept off its ink.
void DrawBounds(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs, std::int32_t yt,
                std::int32_t signWidth, TInkGaps ink) {
  TCanvas& canvas = state.Canvas;
  TFontScope font(canvas, state.BaseFont);
  SetBoundFont(state, entry.BoxHeight);
  const std::u16string_view upper = TextOf(entry.Text2);
  const TSize upperSize = canvas.TextExtent(upper);
  const TBox upperCell{xs + (signWidth - upperSize.cx) / 2, yt + ink.Top - upperSize.cy - kBoundGap,
                       upperSize.cx, upperSize.cy};
  canvas.TextOut(upperCell.Left, upperCell.Top, upper);
  const std::u16string_view lower = TextOf(entry.Text1);
  const TSize lowerSize = canvas.TextExtent(lower);
  const TBox lowerCell{xs + (signWidth - lowerSize.cx) / 2,
                       yt + entry.BoxHeight + ink.Bottom + kBoundGap, lowerSize.cx, lowerSize.cy};
  canvas.TextOut(lowerCell.Left, lowerCell.Top, lower);
  // The bounds stand outside the box, yet a double-click there means the sum.
  if (state.Hits != nullptr) {
    state.Hits->AddOwnDrawing(upperCell);
    state.Hits->AddOwnDrawing(lowerCell);
  }
}

// Sums and integrals differ only in their sign. The parentheses and the sign
// span the whole box; the bounds are placed against the ink the sign left,
// which the bitmap alone knows.
std::int32_t DrawBigOperator(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                             std::int32_t yt, char16_t sign) {
  TCanvas& canvas = state.Canvas;
  const std::u16string_view signText(&sign, 1);
  TSize signSize;
  {
    TFontScope font(canvas, state.BaseFont, entry.BoxHeight);
    const std::int32_t openWidth = canvas.TextExtent(kOpen).cx;
    canvas.TextOut(xs + entry.LeftInset - openWidth, yt, kOpen);
    canvas.TextOut(xs + entry.BoxWidth - entry.RightInset, yt, kClose);
    signSize = canvas.TextExtent(signText);
    canvas.TextOut(xs, yt, signText);
  }
  const TInkGaps ink = FindInk(state, xs + signSize.cx / 2, yt, signSize.cy);
  DrawBounds(state, entry, xs, yt, signSize.cx, ink);
  return 0;
}

}  // namespace

void SetBoundFont(TLayoutState& state, std::int32_t boxHeight) {
  TCanvas& canvas = state.Canvas;
  canvas.SetFont(state.BaseFont);
  if (3 * std::llabs(std::int64_t{state.BaseFont.Height}) > boxHeight) {
    canvas.SetFontPointSize(canvas.FontPointSize() / 2);
  }
  if (canvas.FontPointSize() == 0) canvas.SetFontPointSize(1);
}

TInkGaps FindInk(const TLayoutState& state, std::int32_t x, std::int32_t top,
                 std::int32_t cellHeight) {
  const TCanvas& canvas = state.Canvas;
  const std::uint32_t background = canvas.PixelValueOf(state.Background);
  const std::int32_t bottom = top + cellHeight;
  std::int32_t row = top;
  while (canvas.Pixel(x, row) == background && row < bottom) ++row;
  TInkGaps gaps;
  gaps.Top = row - top;
  row = bottom;
  while (canvas.Pixel(x, row) == background && row > top) --row;
  gaps.Bottom = row - bottom;
  return gaps;
}

std::int32_t DrawNoDecoration(TLayoutState&, const TFormulaEntry&, std::int32_t, std::int32_t) {
  return 0;
}

std::int32_t DrawRootSign(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                          std::int32_t yt) {
  TCanvas& canvas = state.Canvas;
  const std::int32_t tickY = yt + entry.BoxHeight / 2;
  const std::int32_t tickEnd = xs + entry.LeftInset / 3;
  canvas.MoveTo(xs, tickY);
  canvas.LineTo(tickEnd, tickY);
  canvas.LineTo(xs + 2 * (entry.LeftInset / 3), yt + entry.BoxHeight);
  canvas.LineTo(xs + entry.LeftInset, yt);
  // The overline stops short so that the closing stroke falls at 45 degrees
  // onto the top-right corner of the content.
  canvas.LineTo(xs + entry.BoxWidth - entry.TopInset - entry.RightInset, yt);
  canvas.LineTo(xs + entry.BoxWidth - entry.RightInset, yt + entry.TopInset);
  const std::u16string_view index = TextOf(entry.Text1);
  if (index != kSquareRootIndex) DrawRootIndex(state, index, tickEnd, tickY, entry.TopInset);
  return 0;
}

std::int32_t DrawSumSign(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                         std::int32_t yt) {
  return DrawBigOperator(state, entry, xs, yt, kSumSign);
}

std::int32_t DrawIntegralSign(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                              std::int32_t yt) {
  return DrawBigOperator(state, entry, xs, yt, kIntegralSign);
}

// The parentheses are twice as tall as the base and centred on its rows.
// Both are placed by the width of ")", which the exponent also moves right by.
std::int32_t DrawPowerParentheses(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                                  std::int32_t yt) {
  TCanvas& canvas = state.Canvas;
  TFontScope font(canvas, state.BaseFont, 2 * entry.SecondHeight);
  const TSize close = canvas.TextExtent(kClose);
  const std::int32_t y =
      yt + entry.TopInset + entry.FirstHeight + (entry.SecondHeight - close.cy) / 2;
  canvas.TextOut(xs + entry.LeftInset - close.cx, y, kOpen);
  canvas.TextOut(xs + entry.LeftInset + entry.SecondWidth, y, kClose);
  return close.cx;
}

// Each bar runs over the full box height in the middle of its inset.
std::int32_t DrawAbsoluteBars(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                              std::int32_t yt) {
  TCanvas& canvas = state.Canvas;
  TPenWidthScope pen(canvas, 2);
  const std::int32_t bottom = yt + entry.BoxHeight;
  for (std::int32_t x : {xs + entry.LeftInset / 2, xs + entry.BoxWidth - entry.RightInset / 2}) {
    canvas.MoveTo(x, yt);
    canvas.LineTo(x, bottom);
  }
  return 0;
}

// The name in the formula font, centred in the box, then the argument in
// parentheses as tall as the box.
std::int32_t DrawFunctionName(TLayoutState& state, const TFormulaEntry& entry, std::int32_t xs,
                              std::int32_t yt) {
  TCanvas& canvas = state.Canvas;
  const std::u16string_view name = TextOf(entry.Text1);
  const TSize nameSize = canvas.TextExtent(name);
  canvas.TextOut(xs, yt + (entry.BoxHeight - nameSize.cy) / 2, name);
  TFontScope font(canvas, state.BaseFont, entry.BoxHeight);
  canvas.TextOut(xs + nameSize.cx, yt, kOpen);
  canvas.TextOut(xs + entry.BoxWidth - entry.RightInset, yt, kClose);
  return 0;
}

void DrawBar(TLayoutState& state, std::int32_t y, std::int32_t x1, std::int32_t x2) {
  state.Canvas.MoveTo(x1, y);
  state.Canvas.LineTo(x2, y);
}
