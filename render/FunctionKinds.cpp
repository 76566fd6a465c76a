#include "render/FunctionKinds.h"

#include <array>
#include <string_view>

#include "render/Decorations.h"

namespace {

std::int32_t Halve(std::int32_t value) { return RoundHalfEven(value / 2.0); }

TInsets NoInsets(TLayoutState&, const TFormulaEntry&, std::int32_t) { return {}; }

// The sign sits left of the content, the root's overline and its closing
// stroke above it and right of it.
TInsets RootInsets(TLayoutState&, const TFormulaEntry&, std::int32_t contentHeight) {
  return {contentHeight, Halve(contentHeight), contentHeight / 3, 0};
}

// Left of the content: "(" and the sign, in a font as tall as the content.
TInsets BigOperatorInsets(TLayoutState& state, std::u16string_view signAndSpace,
                          std::int32_t contentHeight) {
  TCanvas& canvas = state.Canvas;
  TFontScope font(canvas, state.BaseFont, contentHeight);
  const std::int32_t open = canvas.TextExtent(u"(").cx;
  const std::int32_t sign = canvas.TextExtent(signAndSpace).cx;
  return {Sum(open, sign), 0, canvas.TextExtent(u")").cx, 0};
}

// The sign is measured with the space that follows it in the row.
constexpr char16_t kSumAndSpace[] = {kSumSign, u' '};
constexpr char16_t kIntegralAndSpace[] = {kIntegralSign, u' '};

TInsets SumInsets(TLayoutState& state, const TFormulaEntry&, std::int32_t contentHeight) {
  return BigOperatorInsets(state, {kSumAndSpace, 2}, contentHeight);
}

TInsets IntegralInsets(TLayoutState& state, const TFormulaEntry&, std::int32_t contentHeight) {
  return BigOperatorInsets(state, {kIntegralAndSpace, 2}, contentHeight);
}

// Room for the parentheses at either side, and a margin of a fifth of that
// above and below, which raises the content.
TInsets SurroundInsets(std::int32_t side) {
  const std::int32_t margin = RoundHalfEven(side / 5.0);
  return {side, margin, side, margin};
}

TInsets PowerInsets(TLayoutState&, const TFormulaEntry&, std::int32_t contentHeight) {
  return SurroundInsets(Halve(contentHeight));
}

TInsets AbsoluteInsets(TLayoutState&, const TFormulaEntry&, std::int32_t contentHeight) {
  return SurroundInsets(RoundHalfEven(contentHeight / 4.0));
}

// The name stays in the formula font; the parentheses span the content.
TInsets UserInsets(TLayoutState& state, const TFormulaEntry& entry, std::int32_t contentHeight) {
  TCanvas& canvas = state.Canvas;
  const std::int32_t name = canvas.TextExtent(TextOf(entry.Text1)).cx;
  TFontScope font(canvas, state.BaseFont, contentHeight);
  const std::int32_t open = canvas.TextExtent(u"(").cx;
  return {Sum(name, open), 0, canvas.TextExtent(u")").cx, 0};
}

constexpr TKindRules kUnknownKind{TArrangement::Stacked, NoInsets, DrawNoDecoration};

// Indexed by TFunctionKind.
constexpr std::array<TKindRules, kFunctionKindCount> kKindRules{{
    {TArrangement::Stacked, NoInsets, DrawNoDecoration},                 // fkBruch
    {TArrangement::Stacked, RootInsets, DrawRootSign},                   // fkWurzel
    {TArrangement::Stacked, SumInsets, DrawSumSign},                     // fkSumme
    {TArrangement::BaseAndExponent, PowerInsets, DrawPowerParentheses},  // fkPotenz
    {TArrangement::Stacked, AbsoluteInsets, DrawAbsoluteBars},           // fkBetrag
    {TArrangement::Stacked, IntegralInsets, DrawIntegralSign},           // fkIntegral
    {TArrangement::Stacked, UserInsets, DrawFunctionName},               // fkUser
}};

}  // namespace

const TKindRules& KindRules(std::uint32_t kind) {
  return kind < kKindRules.size() ? kKindRules[kind] : kUnknownKind;
}
