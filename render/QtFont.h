// Conversions between the document's plain font and colour values and Qt's.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

#include "model/FontDesc.h"

// RGB with red in the lowest byte; a top byte of 0x80 names a system colour
// by index, taken from the application palette.
QColor ColorFromValue(std::uint32_t value);
std::uint32_t ValueFromColor(const QColor& color);

// Face and style of the document font, at the given pixel size (character
// height). Used by the canvas and by widgets that show document text.
QFont QFontFromDesc(const TFontDesc& font, int pixelSize);
