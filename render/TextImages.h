// Text at the sizes where Qt stops caching glyph bitmaps: the large signs and
// parentheses of sums, integrals, powers and named functions.
//
// Beyond kLargestCachedGlyph pixels Qt fills each glyph's outline anew at
// every paint. That runs the font's hinting program every time, and the
// outline it gives depends on what the shared font face hinted before, so
// the first paint of a process shades the edges of these glyphs differently
// from later ones. Here such text is rendered once, from glyph bitmaps made
// without hinting (a function of the font, the size and the glyph alone),
// and every paint copies that image.
#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QString>

// Qt draws glyphs up to this pixel size from its own bitmap cache.
inline constexpr int kLargestCachedGlyph = 64;

// Whether text in `font` (a pixel-sized font) is drawn from images: beyond
// that size, unless underlined or struck out, lines only Qt's drawing adds.
inline bool DrawnAsImage(const QFont& font) {
  return font.pixelSize() > kLargestCachedGlyph && !font.underline() && !font.strikeOut();
}

// Text in one colour, premultiplied, with the place of its top-left corner
// relative to the text's origin on the baseline. A null image for text
// without ink.
struct TTextImage {
  QImage Image;
  QPoint Offset;
};

// The image of `text` in `font` (a pixel-sized font) and `color`, made on
// first use and kept for the process; safe to call from several threads.
TTextImage LargeTextImage(const QFont& font, QRgb color, const QString& text);
