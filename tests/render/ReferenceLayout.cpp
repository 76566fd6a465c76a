#include "tests/render/ReferenceLayout.h"

#include <algorithm>

#include "render/Decorations.h"
#include "render/FunctionKinds.h"

namespace {

// Written independently of the kind table, from the inset rules themselves.
void SetReferenceInsets(TLayoutState& s, TFormulaEntry& e, std::int32_t Hc) {
  TCanvas& c = s.Canvas;
  std::int32_t L = 0, T = 0, R = 0, B = 0;
  switch (e.Kind) {
    case fkWurzel:
      L = Hc;
      T = RoundHalfEven(Hc / 2.0);
      R = Hc / 3;
      break;
    case fkSumme:
    case fkIntegral:
      c.SetFontHeight(Hc);
      L = c.TextExtent(u"(").cx + c.TextExtent(e.Kind == fkSumme ? u"\u2211 " : u"\u222B ").cx;
      R = c.TextExtent(u")").cx;
      c.SetFont(s.BaseFont);
      break;
    case fkPotenz:
      L = RoundHalfEven(Hc / 2.0);
      T = RoundHalfEven(L / 5.0);
      R = L;
      B = T;
      break;
    case fkBetrag:
      L = RoundHalfEven(Hc / 4.0);
      T = RoundHalfEven(L / 5.0);
      R = L;
      B = T;
      break;
    case fkUser:
      L = c.TextExtent(TextOf(e.Text1)).cx;
      c.SetFontHeight(Hc);
      L += c.TextExtent(u"(").cx;
      R = c.TextExtent(u")").cx;
      c.SetFont(s.BaseFont);
      break;
    default:
      break;
  }
  e.LeftInset = L;
  e.TopInset = T;
  e.RightInset = R;
  e.BottomInset = B;
}

void Pass1Function(TLayoutState& s, TFormulaEntry& e, std::int32_t& Height) {
  e.BottomInset = e.RightInset = e.LeftInset = e.TopInset = 0;
  std::int32_t W1 = 0, H1 = 0, W2 = 0, H2 = 0;
  ReferenceDrawTheLine(s, e.First, W1, H1, true);
  e.FirstWidth = W1;
  if (e.Second != nullptr) H1 += s.ItemSpacing;
  if (e.Second != nullptr) ReferenceDrawTheLine(s, e.Second, W2, H2, true);
  e.SecondWidth = W2;
  SetReferenceInsets(s, e, H1 + H2);
  Height = std::max(Height, H1 + H2 + e.TopInset + e.BottomInset);
  e.BoxWidth = std::max(W1, W2) + e.LeftInset + e.RightInset;
  e.BoxHeight = H1 + H2 + e.TopInset + e.BottomInset;
}

void Pass1Power(TLayoutState& s, TFormulaEntry& e, std::int32_t& Height) {
  std::int32_t W1 = 0, H1 = 0, W2 = 0, H2 = 0;
  ReferenceDrawTheLine(s, e.First, W1, H1, true);
  e.FirstWidth = W1;
  e.FirstHeight = H1;
  if (e.Second != nullptr) H1 += s.ItemSpacing;
  if (e.Second != nullptr) ReferenceDrawTheLine(s, e.Second, W2, H2, true);
  e.SecondWidth = W2;
  e.SecondHeight = H2;
  SetReferenceInsets(s, e, H1 + H2);
  Height = std::max(Height, H1 + H2 + e.TopInset + e.BottomInset);
  e.BoxWidth = W1 + W2 + e.LeftInset + e.RightInset;
  e.BoxHeight = H1 + H2 + e.TopInset + e.BottomInset;
}

void Pass2Term(TLayoutState& s, TFormulaEntry& e, std::int32_t& Width, std::int32_t& Height,
               bool MeasureOnly) {
  const std::u16string t = ConvertOperators(TextOf(e.Text1));
  const TSize size = s.Canvas.TextExtent(t);
  if (!MeasureOnly) {
    s.Canvas.TextOut(s.CurX + s.ItemSpacing / 2, s.CurY + (Height - size.cy) / 2, t);
  }
  e.BoxWidth = s.ItemSpacing + size.cx;
  e.BoxHeight = size.cy;
  Height = std::max(Height, size.cy);
  Width += size.cx + s.ItemSpacing;
  s.CurX += size.cx + s.ItemSpacing;
}

void Pass2Function(TLayoutState& s, TFormulaEntry& e, std::int32_t& Width, std::int32_t& Height,
                   bool MeasureOnly) {
  const std::int32_t L = e.LeftInset, T = e.TopInset, R = e.RightInset, B = e.BottomInset;
  const std::int32_t Xs = s.CurX, Ys = s.CurY;
  const std::int32_t Yt = Ys + (Height - T - B - e.BoxHeight) / 2;
  if (!MeasureOnly) KindRules(e.Kind).Decorate(s, e, Xs, Yt);
  s.CurX = Xs + L + (e.BoxWidth - e.FirstWidth - L - R) / 2;
  s.CurY = Yt + T;
  std::int32_t W1 = 0, H1 = 0, W2 = 0, H2 = 0;
  ReferenceDrawTheLine(s, e.First, W1, H1, MeasureOnly);
  e.FirstWidth = W1;
  if (e.Second != nullptr) H1 += s.ItemSpacing;
  s.CurX = Xs + L + (e.BoxWidth - e.SecondWidth - L - R) / 2;
  s.CurY = Yt + T + H1;
  if (e.Second != nullptr) ReferenceDrawTheLine(s, e.Second, W2, H2, MeasureOnly);
  e.SecondWidth = W2;
  s.CurY = Ys;
  Height = std::max(Height, H1 + H2 + T + B);
  e.BoxWidth = std::max(W1, W2) + L + R;
  e.BoxHeight = H1 + H2 + T + B;
  Width += e.BoxWidth;
  s.CurX = Xs + e.BoxWidth;
  if (e.Second != nullptr && !MeasureOnly) {
    DrawBar(s, Yt + T + H1 - s.ItemSpacing / 2, Xs + L, Xs + L + std::max(W1, W2));
  }
}

void Pass2Power(TLayoutState& s, TFormulaEntry& e, std::int32_t& Width, std::int32_t& Height,
                bool MeasureOnly) {
  const std::int32_t L = e.LeftInset, T = e.TopInset, R = e.RightInset, B = e.BottomInset;
  const std::int32_t Xs = s.CurX, Ys = s.CurY;
  const std::int32_t Yt = Ys + (Height - T - B - e.BoxHeight) / 2;
  std::int32_t P = 0;
  if (!MeasureOnly) P = KindRules(e.Kind).Decorate(s, e, Xs, Yt);
  s.CurX = Xs + L + e.SecondWidth + P;
  s.CurY = Yt + T;
  std::int32_t W1 = 0, H1 = 0, W2 = 0, H2 = 0;
  ReferenceDrawTheLine(s, e.First, W1, H1, MeasureOnly);
  s.CurX = Xs + L;
  s.CurY = Yt + T + e.FirstHeight;
  if (e.Second != nullptr) ReferenceDrawTheLine(s, e.Second, W2, H2, MeasureOnly);
  e.SecondWidth = W2;
  s.CurY = Ys;
  Height = std::max(Height, H1 + H2 + T + B);
  e.BoxWidth = W1 + W2 + L + R;
  e.BoxHeight = H1 + H2 + T + B;
  Width += e.BoxWidth;
  s.CurX = Xs + e.BoxWidth;
}

}  // namespace

void ReferenceDrawTheLine(TLayoutState& s, TFormulaLine* Line, std::int32_t& Width,
                          std::int32_t& Height, bool MeasureOnly) {
  Width = 0;
  Height = 0;
  const std::int32_t X0 = s.CurX, Y0 = s.CurY;
  s.Canvas.SetPenColor(s.Canvas.Font().Color);
  if (Line == nullptr) return;
  // Each entry is held by its own reference: the nested calls move the cursor.
  Line->Rewind();
  while (Line->Next()) {
    TFormulaEntry& e = *AsEntry(Line->Current());
    if (e.IsFunction == 0) Height = std::max(Height, s.Canvas.TextExtent(u"0").cy);
    if (e.IsFunction == 1 && e.Kind != fkPotenz) Pass1Function(s, e, Height);
    if (e.IsFunction == 1 && e.Kind == fkPotenz) Pass1Power(s, e, Height);
  }
  Width = 0;
  s.CurX = X0;
  s.CurY = Y0;
  Line->Rewind();
  while (Line->Next()) {
    TFormulaEntry& e = *AsEntry(Line->Current());
    if (e.IsFunction == 0) Pass2Term(s, e, Width, Height, MeasureOnly);
    if (e.IsFunction == 1 && e.Kind != fkPotenz) Pass2Function(s, e, Width, Height, MeasureOnly);
    if (e.IsFunction == 1 && e.Kind == fkPotenz) Pass2Power(s, e, Width, Height, MeasureOnly);
  }
}
