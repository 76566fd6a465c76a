// The painting of the whole picture: background, margin and formula, with
// the bitmap sized to the result. Knows nothing of widgets.
#pragma once

#include <cstdint>

#include "model/FontDesc.h"
#include "model/FormulaTree.h"
#include "render/Canvas.h"
#include "render/HitMap.h"

struct TPaintInput {
  TFormulaLine* Root = nullptr;
  TFontDesc Font;
  std::int32_t Margin = 20;
  std::uint32_t Background = kWhite;
  // When set, filled afresh with where this paint placed each entry.
  THitMap* Hits = nullptr;
};

// One paint on the canvas's bitmap at its current size, then resized to
// the formula plus twice the margin. Returns that size. When the size
// changed, the picture is incomplete until the next paint. A picture beyond
// the pixel limit (PictureLimit.h) is measured but not drawn.
TSize PaintFormula(TCanvas& canvas, const TPaintInput& input);

// Whether a paint that made `size` of a bitmap of size `before` is completed
// by painting once more: the bitmap took the new size after the paint drew.
// A canvas that refused the size (a picture beyond the limit) has no bitmap
// to complete, and a paint at an unchanged size was complete.
bool RepaintCompletes(const TCanvas& canvas, TSize before, TSize size);

// Paints until the size is stable (at most two runs): the complete picture,
// as the second paint on screen shows it.
TSize PaintComplete(TCanvas& canvas, const TPaintInput& input);
