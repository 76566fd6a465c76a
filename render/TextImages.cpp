#include "render/TextImages.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "render/PictureLimit.h"

namespace {

// Formulas use a handful of large signs; edited at many sizes, the cache
// starts afresh beyond this many texts rather than grow without end.
constexpr std::size_t kMaxCachedTexts = 1024;

struct TPlacedGlyph {
  QImage Mask;  // coverage, 8 bits
  QPoint At;    // top-left relative to the text's origin on the baseline
};

// Glyphs stand on whole pixels, as Qt places them when it does not position
// glyphs by fractions of a pixel.
std::vector<TPlacedGlyph> PlaceGlyphs(const QFont& font, const QString& text) {
  QFont unhinted(font);
  unhinted.setHintingPreference(QFont::PreferNoHinting);
  QTextLayout layout(text, unhinted);
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  std::vector<TPlacedGlyph> glyphs;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QRawFont raw = run.rawFont();
    const QList<quint32> indexes = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < indexes.size(); ++i) {
      QImage mask = raw.alphaMapForGlyph(indexes[i], QRawFont::PixelAntialiasing);
      if (mask.isNull()) continue;
      const QRectF box = raw.boundingRect(indexes[i]);
      const QPoint origin(qRound(positions[i].x()), qRound(positions[i].y() - line.ascent()));
      glyphs.push_back({mask.convertToFormat(QImage::Format_Alpha8),
                        origin + QPoint(qRound(box.x()), qRound(box.y()))});
    }
  }
  return glyphs;
}

QImage Tinted(const QImage& mask, QRgb color) {
  QImage tinted(mask.size(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < mask.height(); ++y) {
    const uchar* coverage = mask.constScanLine(y);
    auto* out = reinterpret_cast<QRgb*>(tinted.scanLine(y));
    for (int x = 0; x < mask.width(); ++x) {
      out[x] = qPremultiply(qRgba(qRed(color), qGreen(color), qBlue(color), coverage[x]));
    }
  }
  return tinted;
}

TTextImage RenderTextImage(const QFont& font, QRgb color, const QString& text) {
  // Text beyond the picture limit only stands in pictures that are refused,
  // and its glyphs alone would take gigabytes: nothing is rendered for it.
  const QFontMetrics metrics(font);
  if (!PictureFits({metrics.horizontalAdvance(text), metrics.height()})) return {};
  const std::vector<TPlacedGlyph> glyphs = PlaceGlyphs(font, text);
  QRect bounds;
  for (const TPlacedGlyph& glyph : glyphs) bounds |= QRect(glyph.At, glyph.Mask.size());
  if (bounds.isEmpty()) return {};
  TTextImage textImage{QImage(bounds.size(), QImage::Format_ARGB32_Premultiplied),
                       bounds.topLeft()};
  textImage.Image.fill(Qt::transparent);
  QPainter painter(&textImage.Image);
  for (const TPlacedGlyph& glyph : glyphs) {
    painter.drawImage(glyph.At - bounds.topLeft(), Tinted(glyph.Mask, color));
  }
  return textImage;
}

using TTextKey = std::tuple<QString, QRgb, QString>;

}  // namespace

TTextImage LargeTextImage(const QFont& font, QRgb color, const QString& text) {
  static std::mutex mutex;
  static std::map<TTextKey, TTextImage> images;
  TTextKey key{font.key(), color, text};
  {
    const std::lock_guard lock(mutex);
    const auto found = images.find(key);
    if (found != images.end()) return found->second;
  }
  // Rendered outside the lock: another thread may render the same text at
  // the same time, and either image is the same.
  TTextImage rendered = RenderTextImage(font, color, text);
  const std::lock_guard lock(mutex);
  if (images.size() >= kMaxCachedTexts) images.clear();
  images.emplace(std::move(key), rendered);
  return rendered;
}
