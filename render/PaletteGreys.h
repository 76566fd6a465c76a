// Pictures in shades of grey, opaque, as the default black on white is,
// need no search for their colours: a pixel's index is how much darker it
// is than the lightest grey, and the palette the run of greys from the
// lightest to the darkest, which is exact and, with antialiased black on
// white, every grey there is anyway.
#pragma once

#include <QImage>
#include <QList>

#include "render/CpuTargets.h"

// `source` (32-bit) indexed into `indexed` (8-bit, the same size) with the
// greys' palette in `table`; false, with `indexed` undefined, when a pixel
// is not an opaque grey or `units` (which the processor must have) are
// plain.
bool IndexGreys(const QImage& source, QImage& indexed, QList<QRgb>& table, TVectorUnits units);
