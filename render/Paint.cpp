#include "render/Paint.h"

#include <algorithm>

#include "render/Layout.h"
#include "render/PictureLimit.h"

namespace {

// The margin field keeps to 0..1000, but a number typed beyond that takes
// effect until the field loses the focus. Past this limit the picture would
// no longer fit comfortably in memory, so larger values are held here.
constexpr std::int32_t kMaxMargin = 4000;

TSize WithMargins(TSize formula, std::int32_t margin) {
  return {Sum(formula.cx, 2 * margin), Sum(formula.cy, 2 * margin)};
}

}  // namespace

// The formula is drawn into the bitmap at its old size and the bitmap takes
// the new size only afterwards, so a grown picture lacks what fell outside;
// the next paint, at the new size, completes it.
TSize PaintFormula(TCanvas& canvas, const TPaintInput& input) {
  canvas.SetPenColor(input.Background);
  canvas.SetBrushColor(input.Background);
  canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
  const std::int32_t margin = std::clamp(input.Margin, 0, kMaxMargin);

  TLayoutState state(canvas);
  state.CurX = margin;
  state.CurY = margin;
  state.BaseFont = input.Font;
  state.Background = input.Background;
  state.Hits = input.Hits;
  if (state.Hits != nullptr) state.Hits->Clear();
  canvas.SetFont(input.Font);
  canvas.SetTransparentText();

  // Measured before anything is drawn: a picture beyond the limit gets no
  // bitmap, and drawing its large signs into the old one would cost
  // gigabytes for nothing.
  TSize size;
  DrawTheLine(state, input.Root, size.cx, size.cy, true);
  if (PictureFits(WithMargins(size, margin))) {
    state.CurX = margin;
    canvas.SetFont(input.Font);
    DrawTheLine(state, input.Root, size.cx, size.cy, false);
  }
  size = WithMargins(size, margin);
  canvas.Resize(size.cx, size.cy);
  return size;
}

bool RepaintCompletes(const TCanvas& canvas, TSize before, TSize size) {
  return size != before && canvas.Width() == size.cx && canvas.Height() == size.cy;
}

TSize PaintComplete(TCanvas& canvas, const TPaintInput& input) {
  const TSize before{canvas.Width(), canvas.Height()};
  const TSize size = PaintFormula(canvas, input);
  if (!RepaintCompletes(canvas, before, size)) return size;
  return PaintFormula(canvas, input);
}
