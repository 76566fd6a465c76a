// The lines and fills that canvases which keep a record of their drawing
// write down: the fixed-metrics test canvas and the recorder.
#pragma once

#include <cstdint>

// A line from (X1, Y1) up to, not including, (X2, Y2).
struct TLineOp {
  std::int32_t X1 = 0;
  std::int32_t Y1 = 0;
  std::int32_t X2 = 0;
  std::int32_t Y2 = 0;
  std::int32_t PenWidth = 1;
  std::uint32_t Color = 0;
  bool operator==(const TLineOp&) const = default;
};

// The area from (X1, Y1) up to, not including, (X2, Y2).
struct TFillOp {
  std::int32_t X1 = 0;
  std::int32_t Y1 = 0;
  std::int32_t X2 = 0;
  std::int32_t Y2 = 0;
  std::uint32_t Color = 0;
  bool operator==(const TFillOp&) const = default;
};
