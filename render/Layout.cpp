#include "render/Layout.h"

#include <algorithm>

#include "render/Decorations.h"
#include "render/FunctionKinds.h"

std::u16string ConvertOperators(std::u16string_view text) {
  std::u16string converted(text);
  for (char16_t& unit : converted) {
    switch (unit) {
      case u'/':
        unit = u'\u2215';
        break;
      case u'-':
        unit = u'\u2212';
        break;
      case u'*':
        unit = u'\u00D7';
        break;
      default:
        break;
    }
  }
  return converted;
}

namespace {

// A term is as high as the font's cell, whatever its text; any one character
// measures that.
constexpr std::u16string_view kCellProbe = u"0";

// The row under construction in the placing pass.
struct TRow {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  bool MeasureOnly = true;
};

// Counts nested DrawTheLine calls; the outermost one forgets what an earlier
// layout measured, since the formula may have changed since.
class TNesting {
 public:
  explicit TNesting(TLayoutState& state) : state_(state) {
    if (state_.Depth++ == 0) state_.Measured.clear();
  }
  ~TNesting() { --state_.Depth; }
  TNesting(const TNesting&) = delete;
  TNesting& operator=(const TNesting&) = delete;

 private:
  TLayoutState& state_;
};

TSize Measure(TLayoutState& state, TFormulaLine* line) {
  TSize size;
  DrawTheLine(state, line, size.cx, size.cy, true);
  return size;
}

// Pass 1 of a function entry: its insets and first box, from the sizes of
// its sequences.
void MeasureFunction(TLayoutState& state, TFormulaEntry& entry, std::int32_t& rowHeight) {
  const TKindRules& rules = KindRules(entry.Kind);
  const bool beside = rules.Arrangement == TArrangement::BaseAndExponent;
  const TSize first = Measure(state, entry.First);
  entry.FirstWidth = first.cx;
  if (beside) entry.FirstHeight = first.cy;
  const std::int32_t upperHeight = Sum(first.cy, entry.Second != nullptr ? state.ItemSpacing : 0);
  const TSize second = entry.Second != nullptr ? Measure(state, entry.Second) : TSize{};
  entry.SecondWidth = second.cx;
  if (beside) entry.SecondHeight = second.cy;
  const TInsets insets = rules.Insets(state, entry, Sum(upperHeight, second.cy));
  entry.LeftInset = insets.Left;
  entry.TopInset = insets.Top;
  entry.RightInset = insets.Right;
  entry.BottomInset = insets.Bottom;
  const std::int32_t contentWidth =
      beside ? Sum(first.cx, second.cx) : std::max(first.cx, second.cx);
  entry.BoxWidth = Sum(contentWidth, insets.Left, insets.Right);
  entry.BoxHeight = Sum(upperHeight, second.cy, insets.Top, insets.Bottom);
  rowHeight = std::max(rowHeight, entry.BoxHeight);
}

// Pass 1: the row is as high as its highest entry. Every term is as high as
// the formula font's cell, which is the canvas font whenever a term is met.
std::int32_t FindRowHeight(TLayoutState& state, const TFormulaLine& line) {
  std::int32_t height = 0;
  bool termSeen = false;
  for (std::uint32_t i = 0; i < line.Count(); ++i) {
    TFormulaEntry& entry = *EntryAt(line, i);
    if (entry.IsFunction == 0 && !termSeen) {
      height = std::max(height, state.Canvas.TextExtent(kCellProbe).cy);
      termSeen = true;
    } else if (entry.IsFunction == 1) {
      MeasureFunction(state, entry, height);
    }
  }
  return height;
}

// Only the drawing pass records, so the boxes are those on the picture.
THitMap* Recorder(const TLayoutState& state, const TRow& row) {
  return row.MeasureOnly ? nullptr : state.Hits;
}

void PlaceTerm(TLayoutState& state, TFormulaEntry& entry, TRow& row) {
  const std::u16string text = ConvertOperators(TextOf(entry.Text1));
  const TSize size = state.Canvas.TextExtent(text);
  const std::int32_t top = Sum(state.CurY, Sum(row.Height, -size.cy) / 2);
  if (!row.MeasureOnly) state.Canvas.TextOut(Sum(state.CurX, state.ItemSpacing / 2), top, text);
  if (THitMap* hits = Recorder(state, row)) {
    hits->SetBox({state.CurX, top, Sum(state.ItemSpacing, size.cx), size.cy});
  }
  entry.BoxWidth = Sum(state.ItemSpacing, size.cx);
  entry.BoxHeight = size.cy;
  row.Height = std::max(row.Height, size.cy);
  row.Width = Sum(row.Width, size.cx, state.ItemSpacing);
  state.CurX = Sum(state.CurX, size.cx, state.ItemSpacing);
}

// The content, not the box, is centred in the row: the insets stick out
// above and below by up to half of their sum.
std::int32_t BoxTop(const TFormulaEntry& entry, std::int32_t rowTop, std::int32_t rowHeight) {
  return Sum(rowTop, Sum(rowHeight, -entry.TopInset, -entry.BottomInset, -entry.BoxHeight) / 2);
}

// Pass 2's sizes replace pass 1's; the next entry starts right of the box.
void CloseBox(TLayoutState& state, TFormulaEntry& entry, TRow& row, std::int32_t xs,
              std::int32_t contentWidth, std::int32_t contentHeight) {
  entry.BoxWidth = Sum(contentWidth, entry.LeftInset, entry.RightInset);
  entry.BoxHeight = Sum(contentHeight, entry.TopInset, entry.BottomInset);
  row.Height = std::max(row.Height, entry.BoxHeight);
  row.Width = Sum(row.Width, entry.BoxWidth);
  state.CurX = Sum(xs, entry.BoxWidth);
}

// First over Second, each centred in the content area, the bar between them.
void PlaceStacked(TLayoutState& state, TFormulaEntry& entry, TRow& row) {
  const std::int32_t xs = state.CurX;
  const std::int32_t ys = state.CurY;
  const std::int32_t yt = BoxTop(entry, ys, row.Height);
  if (!row.MeasureOnly) KindRules(entry.Kind).Decorate(state, entry, xs, yt);
  const std::int32_t left = Sum(xs, entry.LeftInset);
  const std::int32_t room = Sum(entry.BoxWidth, -entry.LeftInset, -entry.RightInset);
  state.CurX = Sum(left, Sum(room, -entry.FirstWidth) / 2);
  state.CurY = Sum(yt, entry.TopInset);
  std::int32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  DrawTheLine(state, entry.First, w1, h1, row.MeasureOnly);
  entry.FirstWidth = w1;
  const std::int32_t firstHeight = h1;
  if (entry.Second != nullptr) h1 = Sum(h1, state.ItemSpacing);
  state.CurX = Sum(left, Sum(room, -entry.SecondWidth) / 2);
  state.CurY = Sum(yt, entry.TopInset, h1);
  THitMap* hits = Recorder(state, row);
  if (hits != nullptr) hits->EnterPart(TSequencePart::Second);
  if (entry.Second != nullptr) DrawTheLine(state, entry.Second, w2, h2, row.MeasureOnly);
  entry.SecondWidth = w2;
  state.CurY = ys;
  CloseBox(state, entry, row, xs, std::max(w1, w2), Sum(h1, h2));
  if (hits != nullptr) {
    // The bar and the gap around it belong to neither sequence.
    const std::int32_t top = Sum(yt, entry.TopInset);
    const std::int32_t width = std::max(w1, w2);
    hits->SetBox({xs, yt, entry.BoxWidth, entry.BoxHeight});
    hits->SetArea(TSequencePart::First, {left, top, width, firstHeight});
    if (entry.Second != nullptr) {
      hits->SetArea(TSequencePart::Second, {left, Sum(top, h1), width, h2});
    }
  }
  if (entry.Second != nullptr && !row.MeasureOnly) {
    // In the middle of the spacing between the two sequences.
    DrawBar(state, Sum(yt, entry.TopInset, h1, -(state.ItemSpacing / 2)), left,
            Sum(left, std::max(w1, w2)));
  }
}

// The base at the left, in parentheses; the exponent right of the closing
// parenthesis with its bottom on the base's top. The height left in the box
// now omits the spacing that pass 1 counted and that still centred the box.
void PlaceBaseAndExponent(TLayoutState& state, TFormulaEntry& entry, TRow& row) {
  const std::int32_t xs = state.CurX;
  const std::int32_t ys = state.CurY;
  const std::int32_t yt = BoxTop(entry, ys, row.Height);
  const std::int32_t parenthesis =
      row.MeasureOnly ? 0 : KindRules(entry.Kind).Decorate(state, entry, xs, yt);
  const TBox exponent{Sum(xs, entry.LeftInset, entry.SecondWidth, parenthesis),
                      Sum(yt, entry.TopInset), 0, 0};
  state.CurX = exponent.Left;
  state.CurY = exponent.Top;
  std::int32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  DrawTheLine(state, entry.First, w1, h1, row.MeasureOnly);
  const TBox base{Sum(xs, entry.LeftInset), Sum(yt, entry.TopInset, entry.FirstHeight), 0, 0};
  state.CurX = base.Left;
  state.CurY = base.Top;
  THitMap* hits = Recorder(state, row);
  if (hits != nullptr) hits->EnterPart(TSequencePart::Second);
  if (entry.Second != nullptr) DrawTheLine(state, entry.Second, w2, h2, row.MeasureOnly);
  entry.SecondWidth = w2;
  state.CurY = ys;
  CloseBox(state, entry, row, xs, Sum(w1, w2), Sum(h1, h2));
  if (hits != nullptr) {
    hits->SetBox({xs, yt, entry.BoxWidth, entry.BoxHeight});
    hits->SetArea(TSequencePart::First, {exponent.Left, exponent.Top, w1, h1});
    hits->SetArea(TSequencePart::Second, {base.Left, base.Top, w2, h2});
  }
}

// Pass 2: places, and draws unless measuring, every entry inside the row.
void PlaceEntries(TLayoutState& state, const TFormulaLine& line, TRow& row) {
  for (std::uint32_t i = 0; i < line.Count(); ++i) {
    TFormulaEntry& entry = *EntryAt(line, i);
    if (entry.IsFunction > 1) continue;  // not an entry this system writes: no size, no drawing
    THitMap* hits = Recorder(state, row);
    if (hits != nullptr) hits->Open(i);
    if (entry.IsFunction == 0) {
      PlaceTerm(state, entry, row);
    } else if (KindRules(entry.Kind).Arrangement == TArrangement::Stacked) {
      PlaceStacked(state, entry, row);
    } else {
      PlaceBaseAndExponent(state, entry, row);
    }
    if (hits != nullptr) hits->Close();
  }
}

}  // namespace

void DrawTheLine(TLayoutState& state, TFormulaLine* Line, std::int32_t& Width, std::int32_t& Height,
                 bool MeasureOnly) {
  Width = 0;
  Height = 0;
  const std::int32_t x0 = state.CurX;
  const std::int32_t y0 = state.CurY;
  state.Canvas.SetPenColor(state.Canvas.Font().Color);
  if (Line == nullptr) return;
  TNesting nesting(state);
  if (MeasureOnly) {
    if (auto known = state.Measured.find(Line); known != state.Measured.end()) {
      Width = known->second.cx;
      Height = known->second.cy;
      state.CurX = Sum(x0, Width);
      return;
    }
  }
  TRow row{0, FindRowHeight(state, *Line), MeasureOnly};
  state.CurX = x0;
  state.CurY = y0;
  PlaceEntries(state, *Line, row);
  Width = row.Width;
  Height = row.Height;
  if (MeasureOnly) state.Measured.emplace(Line, TSize{Width, Height});
}
