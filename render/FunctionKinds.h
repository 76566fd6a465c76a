// What distinguishes the function kinds in layout and drawing, in one table:
// how a kind arranges its two sequences, the room it keeps around them (the
// insets) and what it draws there (the decorations).
#pragma once

#include <cstdint>

#include "model/FormulaTree.h"
#include "render/Layout.h"

struct TInsets {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
  bool operator==(const TInsets&) const = default;
};

enum class TArrangement {
  // First above Second with a bar between them when Second is present.
  Stacked,
  // Second (the base) at the left in parentheses, First (the exponent) raised
  // at its right.
  BaseAndExponent,
};

// `contentHeight` is the height of First, plus the spacing and the height of
// Second when Second is present.
using TInsetRule = TInsets (*)(TLayoutState& state, const TFormulaEntry& entry,
                               std::int32_t contentHeight);
// Draws around the box whose top-left corner is (xs, yt), reading the layout
// fields that measuring left. Returns the width that the exponent of a power
// is moved right by (0 for the other kinds).
using TDecorationRule = std::int32_t (*)(TLayoutState& state, const TFormulaEntry& entry,
                                         std::int32_t xs, std::int32_t yt);

struct TKindRules {
  TArrangement Arrangement;
  TInsetRule Insets;
  TDecorationRule Decorate;
};

// The rules of `kind`; an unknown kind is a fraction without decorations.
const TKindRules& KindRules(std::uint32_t kind);
