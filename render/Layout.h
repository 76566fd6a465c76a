// The layout of an entry sequence: measuring, placing and drawing one row of
// the formula, recursing into the sequences nested in function entries.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "model/FontDesc.h"
#include "model/FormulaTree.h"
#include "render/Canvas.h"
#include "render/HitMap.h"

inline constexpr std::int32_t kItemSpacing = 10;

// Sizes and positions stay within this many pixels either way. Roots nested a
// few dozen deep grow by half their height per level; without a bound their
// sizes would overflow 32 bits. Sums of up to seven bounded values still fit.
inline constexpr std::int32_t kCoordLimit = 1 << 28;

inline std::int32_t ClampCoord(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, -kCoordLimit, kCoordLimit));
}

// The bounded sum of sizes and positions.
template <typename... T>
std::int32_t Sum(T... values) {
  return ClampCoord((std::int64_t{0} + ... + static_cast<std::int64_t>(values)));
}

// "/", "-" and "*" become the typographic division slash, minus and times.
std::u16string ConvertOperators(std::u16string_view text);

// Shared by every recursion level of one layout.
struct TLayoutState {
  explicit TLayoutState(TCanvas& canvas) : Canvas(canvas) {}

  std::int32_t CurX = 0;
  std::int32_t CurY = 0;
  std::int32_t ItemSpacing = kItemSpacing;
  TCanvas& Canvas;
  TFontDesc BaseFont;
  std::uint32_t Background = kWhite;

  // Sizes of the sequences measured so far in the outermost DrawTheLine call
  // under way. Sizes depend on nothing but the sequence and the font, so each
  // sequence is measured once per call instead of once per pass of every
  // sequence above it; the outermost call starts afresh.
  std::unordered_map<const TFormulaLine*, TSize> Measured;
  std::int32_t Depth = 0;

  // When set, the drawing pass records where it placed each entry.
  THitMap* Hits = nullptr;
};

// Lays out `Line` at (CurX, CurY) and, unless MeasureOnly, draws it. Writes
// the layout fields of every entry below it, returns its size, leaves CurX
// advanced by Width and CurY where it was. An absent line is 0 by 0.
void DrawTheLine(TLayoutState& state, TFormulaLine* Line, std::int32_t& Width, std::int32_t& Height,
                 bool MeasureOnly);
