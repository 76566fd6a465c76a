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
// changed, the picture is incomplete until the next paint.
TSize PaintFormula(TCanvas& canvas, const TPaintInput& input);

// Paints until the size is stable (at most two runs): the complete picture,
// as the second paint on screen shows it.
TSize PaintComplete(TCanvas& canvas, const TPaintInput& input);
