#include "render/QImageCanvas.h"

#include <QGuiApplication>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "render/PictureLimit.h"
#include "render/QtFont.h"
#include "render/TextImages.h"

namespace {

// Fonts of many sizes come and go while formulas are edited; beyond this
// many the cache starts afresh rather than grow without end.
constexpr std::size_t kMaxCachedFonts = 512;
constexpr int kReferencePixelSize = 100;
// Strings kept per font before that font's caches start afresh.
constexpr std::size_t kMaxCachedTexts = 4096;

// A cache entry for `key`, made by `make` when missing.
template <typename TMap, typename TKey, typename TMake>
typename TMap::mapped_type& Cached(TMap& map, TKey&& key, TMake make) {
  auto found = map.find(key);
  if (found != map.end()) return found->second;
  if (map.size() >= kMaxCachedTexts) map.clear();
  return map.emplace(std::forward<TKey>(key), make()).first->second;
}

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

TFontKey KeyOf(const TFontDesc& font) { return {font.Name, font.Style, font.Pitch, font.Height}; }

// What fonts measure, shared by every canvas of the process: a batch paints
// its pictures with the same few fonts on several threads, and every
// question to Qt's fonts takes the font database's one lock, so that the
// threads mostly waited for each other. Values are copied out, and Qt is
// asked outside the store's own lock; a full map starts afresh.
class TSharedMeasures {
 public:
  static TSharedMeasures& Instance() {
    static TSharedMeasures measures;
    return measures;
  }

  template <typename TMake>
  int PixelSize(const TFontKey& key, TMake make) {
    return Shared(pixelSizes_, key, make);
  }
  template <typename TMake>
  std::pair<int, int> HeightAndAscent(const TFontKey& key, TMake make) {
    return Shared(cells_, key, make);
  }
  template <typename TMake>
  int Advance(const TFontKey& key, std::u16string_view text, TMake make) {
    return Shared(advances_, std::pair(key, std::u16string(text)), make);
  }

 private:
  template <typename TMap, typename TMake>
  typename TMap::mapped_type Shared(TMap& map, const typename TMap::key_type& key, TMake make) {
    {
      const std::lock_guard lock(mutex_);
      const auto found = map.find(key);
      if (found != map.end()) return found->second;
    }
    const typename TMap::mapped_type value = make();
    const std::lock_guard lock(mutex_);
    if (map.size() >= kMaxCachedFonts * kMaxCachedTexts / 64) map.clear();
    map.emplace(key, value);
    return value;
  }

  std::mutex mutex_;
  std::map<TFontKey, int> pixelSizes_;
  std::map<TFontKey, std::pair<int, int>> cells_;
  std::map<std::pair<TFontKey, std::u16string>, int> advances_;
};

// The pixel size that the platform's default font has on a 96 dpi bitmap.
int DefaultPixelSize() {
  const QFont font = QGuiApplication::font();
  if (font.pixelSize() > 0) return font.pixelSize();
  return std::max(1, RoundHalfAway(font.pointSizeF() * kScreenPixelsPerInch / 72.0));
}

}  // namespace

// A straight line is a rectangle: from the start up to, not including, the
// end, as wide as the pen, growing right of or below the line's axis. That
// makes a 2-pixel bar cover exactly columns x and x + 1.
QRect AxisLineRect(QPoint from, QPoint to, int penWidth) {
  const int width = std::max(penWidth, 1);
  const QPoint step(to.x() > from.x()   ? 1
                    : to.x() < from.x() ? -1
                                        : 0,
                    to.y() > from.y()   ? 1
                    : to.y() < from.y() ? -1
                                        : 0);
  const QPoint last = to - step;
  const int left = std::min(from.x(), last.x());
  const int top = std::min(from.y(), last.y());
  const int right = std::max(from.x(), last.x()) + (step.x() == 0 ? width - 1 : 0);
  const int bottom = std::max(from.y(), last.y()) + (step.y() == 0 ? width - 1 : 0);
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

TQImageCanvas::TQImageCanvas(std::int32_t width, std::int32_t height)
    : painter_(std::make_unique<QPainter>()) {
  Resize(width, height);
  Realise();
}

TQImageCanvas::~TQImageCanvas() { EndPainting(); }

const QImage& TQImageCanvas::Image() const {
  EndPainting();
  return image_;
}

void TQImageCanvas::EndPainting() const {
  if (painter_->isActive()) painter_->end();
}

QPainter* TQImageCanvas::ActivePainter() {
  if (image_.isNull()) return nullptr;
  if (!painter_->isActive()) {
    painter_->begin(&image_);
    painterFontStale_ = true;
  }
  return painter_.get();
}

// --- fonts ---------------------------------------------------------------

int TQImageCanvas::CellHeightAt(const TFontDesc& font, int pixelSize) const {
  return QFontMetrics(QFontFromDesc(font, pixelSize)).height();
}

// Qt sizes a font by its character height; the cell height (ascent plus
// descent) is larger by a factor of the face. Start from that factor and walk
// to the closest cell height; heights grow with the pixel size.
int TQImageCanvas::SearchCellHeight(const TFontDesc& font, std::int32_t cellHeight) {
  const int reference = std::max(1, CellHeightAt(font, kReferencePixelSize));
  const double estimate = static_cast<double>(cellHeight) * kReferencePixelSize / reference;
  int best = static_cast<int>(std::clamp(std::lround(estimate), 1L, long{kMaxPixelSize}));
  auto distance = [&](int size) {
    return std::llabs(static_cast<long long>(CellHeightAt(font, size)) - cellHeight);
  };
  long long bestDistance = distance(best);
  for (int step : {-1, 1}) {
    for (int next = best + step; next >= 1 && next <= kMaxPixelSize; next += step) {
      const long long d = distance(next);
      if (d >= bestDistance) break;
      best = next;
      bestDistance = d;
    }
  }
  return best;
}

int TQImageCanvas::PixelSizeFor(const TFontDesc& font) {
  if (font.Height == 0) return DefaultPixelSize();
  if (font.Height < 0)
    return static_cast<int>(std::min<std::int64_t>(-std::int64_t{font.Height}, kMaxPixelSize));
  return TSharedMeasures::Instance().PixelSize(KeyOf(font),
                                               [&] { return SearchCellHeight(font, font.Height); });
}

void TQImageCanvas::Realise() {
  auto found = fonts_.find(TFontKeyView{font_.Name, font_.Style, font_.Pitch, font_.Height});
  if (found == fonts_.end()) {
    const TFontKey key = KeyOf(font_);
    if (fonts_.size() >= kMaxCachedFonts) {
      fonts_.clear();
      realised_ = nullptr;  // a new font may come to lie where the old one did
    }
    const QFont qfont = QFontFromDesc(font_, PixelSizeFor(font_));
    const auto [height, ascent] = TSharedMeasures::Instance().HeightAndAscent(key, [&] {
      const QFontMetrics metrics(qfont);
      return std::pair(metrics.height(), metrics.ascent());
    });
    found = fonts_.emplace(key, TRealisedFont{qfont, height, ascent, DrawnAsImage(qfont), {}, {}})
                .first;
  }
  if (realised_ != &found->second) painterFontStale_ = true;
  realised_ = &found->second;
}

void TQImageCanvas::SetFont(const TFontDesc& font) {
  font_ = font;
  Realise();
}

void TQImageCanvas::SetFontHeight(std::int32_t height) {
  font_.Height = height;
  Realise();
}

// --- text ------------------------------------------------------------------

TSize TQImageCanvas::TextExtent(std::u16string_view text) {
  const int advance = Cached(realised_->Advances, std::u16string(text), [&] {
    return TSharedMeasures::Instance().Advance(KeyOf(font_), text, [&] {
      return QFontMetrics(realised_->Font).horizontalAdvance(ToQString(text));
    });
  });
  return {advance, realised_->Height};
}

void TQImageCanvas::TextOut(std::int32_t x, std::int32_t y, std::u16string_view text) {
  QPainter* painter = ActivePainter();
  if (painter == nullptr || text.empty()) return;
  if (realised_->Large) {
    DrawLargeText(*painter, x, y, text);
  } else {
    DrawShapedText(*painter, x, y, text);
  }
}

// The same pixels as QPainter::drawText, without shaping the text anew.
void TQImageCanvas::DrawShapedText(QPainter& painter, std::int32_t x, std::int32_t y,
                                   std::u16string_view text) {
  if (painterFontStale_) {
    painter.setFont(realised_->Font);
    painterFontStale_ = false;
  }
  const QStaticText& shaped = Cached(realised_->Shaped, std::u16string(text), [&] {
    QStaticText made(ToQString(text));
    made.setTextFormat(Qt::PlainText);
    made.prepare(QTransform(), realised_->Font);
    return made;
  });
  painter.setPen(ColorFromValue(font_.Color));
  painter.drawStaticText(x, y, shaped);
}

void TQImageCanvas::DrawLargeText(QPainter& painter, std::int32_t x, std::int32_t y,
                                  std::u16string_view text) {
  const TTextImage image =
      LargeTextImage(realised_->Font, ColorFromValue(font_.Color).rgb(), ToQString(text));
  if (image.Image.isNull()) return;
  const QPoint origin(x, y + realised_->Ascent);
  painter.drawImage(origin + image.Offset, image.Image);
}

// --- lines and areas -------------------------------------------------------

void TQImageCanvas::MoveTo(std::int32_t x, std::int32_t y) { penPos_ = QPoint(x, y); }

void TQImageCanvas::LineTo(std::int32_t x, std::int32_t y) {
  const QPoint from = penPos_;
  const QPoint to(x, y);
  penPos_ = to;
  QPainter* painter = ActivePainter();
  if (painter == nullptr || from == to) return;
  if (from.x() == to.x() || from.y() == to.y()) {
    DrawAxisLine(*painter, from, to);
  } else {
    DrawSlantedLine(*painter, from, to);
  }
}

void TQImageCanvas::DrawAxisLine(QPainter& painter, QPoint from, QPoint to) {
  painter.fillRect(AxisLineRect(from, to, penWidth_), ColorFromValue(penColor_));
}

// QPainter's aliased lines light both end points. For the 1-pixel pen the end
// point gets its previous colour back, so a line covers its start but not its
// end, whichever way it runs. Wider slanted lines use a flat cap, which ends
// them at the end point's edge.
void TQImageCanvas::DrawSlantedLine(QPainter& painter, QPoint from, QPoint to) {
  const bool thin = penWidth_ <= 1;
  const bool endInside = image_.rect().contains(to);
  const QRgb endPixel = endInside ? image_.pixel(to) : 0;
  painter.setPen(QPen(ColorFromValue(penColor_), thin ? 1 : penWidth_, Qt::SolidLine,
                      thin ? Qt::SquareCap : Qt::FlatCap));
  painter.drawLine(from, to);
  if (thin && endInside) painter.fillRect(QRect(to, QSize(1, 1)), QColor::fromRgb(endPixel));
}

void TQImageCanvas::FillRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  QPainter* painter = ActivePainter();
  if (painter == nullptr) return;
  const QRect area(QPoint(std::min(x1, x2), std::min(y1, y2)),
                   QPoint(std::max(x1, x2) - 1, std::max(y1, y2) - 1));
  painter->fillRect(area, ColorFromValue(brushColor_));
}

// --- pixels and size -------------------------------------------------------

// Straight from the scan line: the ink scan of sums and integrals reads a
// column of pixels at every paint. The bitmap is always 32-bit RGB.
std::uint32_t TQImageCanvas::Pixel(std::int32_t x, std::int32_t y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return kNoColor;
  const QRgb rgb = reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
  return static_cast<std::uint32_t>(qRed(rgb)) | static_cast<std::uint32_t>(qGreen(rgb)) << 8 |
         static_cast<std::uint32_t>(qBlue(rgb)) << 16;
}

std::uint32_t TQImageCanvas::PixelValueOf(std::uint32_t color) const {
  return ValueFromColor(ColorFromValue(color));
}

void TQImageCanvas::Resize(std::int32_t width, std::int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == image_.width() && height == image_.height()) return;
  EndPainting();
  QImage resized;
  // A picture beyond the limit gets no bitmap at all, not even the old one.
  if (width > 0 && height > 0 && PictureFits({width, height})) {
    resized = QImage(width, height, QImage::Format_RGB32);
  }
  if (!resized.isNull()) {
    resized.fill(ColorFromValue(brushColor_));
    if (!image_.isNull()) {
      QPainter copier(&resized);
      copier.drawImage(0, 0, image_);
    }
  }
  image_ = std::move(resized);
}
