#include "model/FontDesc.h"

#include <cmath>
#include <limits>

namespace {

std::int32_t Clamp32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value <= std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t RoundHalfAway(double value) { return Clamp32(std::round(value)); }

std::int32_t RoundHalfEven(double value) {
  if (std::isnan(value) || std::isinf(value)) return Clamp32(value);
  return Clamp32(std::nearbyint(value));  // the default rounding mode is to-even
}

std::int32_t PointSizeFromHeight(std::int32_t height, std::int32_t pixelsPerInch) {
  if (pixelsPerInch == 0) return 0;
  return RoundHalfAway(-(static_cast<double>(height) * 72.0 / pixelsPerInch));
}

std::int32_t HeightFromPointSize(std::int32_t pointSize, std::int32_t pixelsPerInch) {
  return RoundHalfAway(-(static_cast<double>(pointSize) * pixelsPerInch / 72.0));
}
