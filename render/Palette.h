// Pictures of few colours as palette images: a formula in one colour on one
// background has little more than the shades of its antialiased edges, so a
// PNG of one byte per pixel holds it losslessly in a fraction of the time and
// space that 24 or 32 bits take.
#pragma once

#include <QImage>

#include "render/CpuTargets.h"

inline constexpr int kMaxPaletteColours = 256;

// The same pixels (alpha included) as an 8-bit palette image with the
// image's resolution and texts; a null image when `image` has more than 256
// colours. The scan uses the vector units this processor has, at most
// `units` (the tests try each).
QImage PaletteImage(const QImage& image, TVectorUnits units = TVectorUnits::Avx512);
