// The layout as designed, written out step by step with nothing remembered:
// every nested sequence is laid out again in each of the two passes of the
// sequence above it, so the work doubles with every level of nesting. Kept
// only as the reference that DrawTheLine must agree with, field for field
// and stroke for stroke. Draws through the same decorations.
#pragma once

#include <cstdint>

#include "model/FormulaTree.h"
#include "render/Layout.h"

void ReferenceDrawTheLine(TLayoutState& state, TFormulaLine* Line, std::int32_t& Width,
                          std::int32_t& Height, bool MeasureOnly);
