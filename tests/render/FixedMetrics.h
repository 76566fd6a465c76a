// Laying formulas out on the fixed-metrics canvas: every character 8 pixels
// wide, every text extent 16 high, so expected positions can be worked out
// by hand.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "render/Layout.h"
#include "tests/render/TestCanvas.h"
#include "tests/render/FormulaTrees.h"

// Lays `line` out with its top-left corner at (x, y), drawing unless told to
// measure only, the way a paint sets the canvas up.
inline TSize LayOut(TLayoutState& state, TFormulaLine* line, std::int32_t x = 20,
                    std::int32_t y = 20, bool measureOnly = false) {
  state.CurX = x;
  state.CurY = y;
  state.Canvas.SetFont(state.BaseFont);
  TSize size;
  DrawTheLine(state, line, size.cx, size.cy, measureOnly);
  return size;
}

// What a formula comes to on a fresh canvas of the given size.
struct TDrawing {
  TSize Size;
  std::vector<TDrawOp> Ops;
  bool operator==(const TDrawing&) const = default;
};

inline TDrawing DrawOnFreshCanvas(TFormulaLine* line, std::int32_t canvasSize = 400) {
  TTestCanvas canvas(canvasSize, canvasSize);
  TLayoutState state(canvas);
  TDrawing drawing;
  drawing.Size = LayOut(state, line);
  drawing.Ops = canvas.Ops();
  return drawing;
}

inline void PrintTo(const TDrawing& drawing, std::ostream* out) {
  *out << drawing.Size.cx << " by " << drawing.Size.cy;
  for (const TDrawOp& op : drawing.Ops) *out << "\n  " << Describe(op);
}

class FixedMetricsTest : public ::testing::Test {
 protected:
  TSize LayOutTree(std::int32_t x = 20, std::int32_t y = 20, bool measureOnly = false) {
    return LayOut(state_, tree_.Root(), x, y, measureOnly);
  }
  TFormulaEntry& Entry(std::uint32_t index) { return *EntryAt(*tree_.Root(), index); }

  TFormulaTree tree_;
  TTestCanvas canvas_{400, 400};
  TLayoutState state_{canvas_};
};

inline TTextOp Text(std::int32_t x, std::int32_t y, std::u16string text,
                    std::int32_t height = -13) {
  return TTextOp{x,
                 y,
                 std::move(text),
                 height,
                 PointSizeFromHeight(height, kScreenPixelsPerInch),
                 kWindowTextColor};
}

inline TLineOp Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                    std::int32_t width = 1) {
  return TLineOp{x1, y1, x2, y2, width, kWindowTextColor};
}

inline void PrintTo(const TTextOp& op, std::ostream* out) { *out << Describe(op); }
inline void PrintTo(const TLineOp& op, std::ostream* out) { *out << Describe(op); }
inline void PrintTo(const TFillOp& op, std::ostream* out) { *out << Describe(op); }
