#include "render/Replay.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

#include "render/QImageCanvas.h"
#include "render/QtFont.h"
#include "render/TextImages.h"

namespace {

class TPainterStateGuard {
 public:
  explicit TPainterStateGuard(QPainter& painter) : painter_(painter) { painter_.save(); }
  ~TPainterStateGuard() { painter_.restore(); }
  TPainterStateGuard(const TPainterStateGuard&) = delete;
  TPainterStateGuard& operator=(const TPainterStateGuard&) = delete;

 private:
  QPainter& painter_;
};

// A font as the screen drew it, and the same face at the replay's scale.
struct TScaledFont {
  QFont Font;
  int Ascent = 0;  // of the screen font, where the screen put the baseline
  // Drawn from an image, as the screen draws large text, on a bitmap.
  bool AsImage = false;
};

class TReplayer {
 public:
  TReplayer(QPainter& painter, const TRecording& recording, const TReplayOptions& options)
      : painter_(painter),
        background_(recording.Background),
        options_(options),
        raster_(painter.device()->devType() == QInternal::Image),
        pdf_(painter.paintEngine() != nullptr &&
             painter.paintEngine()->type() == QPaintEngine::Pdf) {}

  void operator()(const TRecordedText& text);
  void operator()(const TLineOp& line);
  void operator()(const TFillOp& fill);

 private:
  const TScaledFont& FontFor(const TFontDesc& font);
  QPoint Scaled(std::int32_t x, std::int32_t y) const {
    return {x * options_.Scale, y * options_.Scale};
  }
  void DrawWords(QPointF origin, const QString& text);

  QPainter& painter_;
  std::uint32_t background_;
  TReplayOptions options_;
  bool raster_;
  bool pdf_;
  // Chooses the pixel size for a font height exactly as the screen canvas did.
  TQImageCanvas screenFonts_;
  std::map<std::tuple<std::string, std::uint8_t, std::uint8_t, std::int32_t>, TScaledFont> fonts_;
};

// The face is named as the font engine resolved it on screen, so that a
// vector file names the font its text was measured in, not a requested one
// that the reader's system may lack or substitute differently.
const TScaledFont& TReplayer::FontFor(const TFontDesc& font) {
  const auto key = std::make_tuple(font.Name, font.Style, font.Pitch, font.Height);
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second;
  const int pixelSize = screenFonts_.PixelSizeFor(font);
  const QFont screenFont = QFontFromDesc(font, pixelSize);
  const int scaledSize = std::min(pixelSize * options_.Scale, TQImageCanvas::kMaxPixelSize);
  QFont scaled = QFontFromDesc(font, scaledSize);
  scaled.setFamily(QFontInfo(screenFont).family());
  const TScaledFont made{scaled, QFontMetrics(screenFont).ascent(),
                         raster_ && DrawnAsImage(scaled)};
  return fonts_.emplace(key, made).first->second;
}

void TReplayer::operator()(const TRecordedText& text) {
  if (text.Text.empty()) return;
  const TScaledFont& font = FontFor(text.Font);
  const QString string =
      QString::fromUtf16(text.Text.data(), static_cast<qsizetype>(text.Text.size()));
  const QColor color = ColorFromValue(text.Font.Color);
  const QPoint origin = Scaled(text.X, text.Y + font.Ascent);
  if (font.AsImage) {
    const TTextImage image = LargeTextImage(font.Font, color.rgb(), string);
    if (!image.Image.isNull()) painter_.drawImage(origin + image.Offset, image.Image);
    return;
  }
  painter_.setFont(font.Font);
  painter_.setPen(color);
  if (pdf_) {
    DrawWords(origin, string);
  } else {
    painter_.drawText(origin, string);
  }
  if (options_.Drawn != nullptr) {
    const qreal width = QFontMetricsF(painter_.font()).horizontalAdvance(string);
    options_.Drawn->push_back({text.Text, origin, width});
  }
}

// The PDF writer's text layer gives the space glyph the character it finds
// first for it, a tab. Drawn word by word, each where the whole text put it,
// the text needs no space glyph: readers see the gaps and give spaces.
void TReplayer::DrawWords(QPointF origin, const QString& text) {
  const QFontMetricsF metrics(painter_.font());
  qsizetype start = 0;
  while (start < text.size()) {
    const qsizetype end = text.indexOf(' ', start);
    const qsizetype wordEnd = end < 0 ? text.size() : end;
    if (wordEnd > start) {
      const qreal x = metrics.horizontalAdvance(text.left(start));
      painter_.drawText(origin + QPointF(x, 0), text.mid(start, wordEnd - start));
    }
    start = wordEnd + 1;
  }
}

// Straight lines cover the same pixels as on screen, scaled; slanted ones run
// through the centres of the screen's end pixels, smoothed.
void TReplayer::operator()(const TLineOp& line) {
  const QPoint from(line.X1, line.Y1);
  const QPoint to(line.X2, line.Y2);
  if (from == to) return;
  const QColor color = ColorFromValue(line.Color);
  const int scale = options_.Scale;
  if (from.x() == to.x() || from.y() == to.y()) {
    const QRect covered = AxisLineRect(from, to, line.PenWidth);
    painter_.fillRect(QRect(covered.topLeft() * scale, covered.size() * scale), color);
    return;
  }
  const bool thin = line.PenWidth <= 1;
  painter_.setPen(QPen(color, std::max(line.PenWidth, 1) * scale, Qt::SolidLine,
                       thin ? Qt::SquareCap : Qt::FlatCap));
  const QPointF centre(0.5, 0.5);
  painter_.drawLine((QPointF(from) + centre) * scale, (QPointF(to) + centre) * scale);
}

void TReplayer::operator()(const TFillOp& fill) {
  if (options_.Transparent && fill.Color == background_) return;
  const QPoint topLeft = Scaled(std::min(fill.X1, fill.X2), std::min(fill.Y1, fill.Y2));
  const QSize size(std::abs(fill.X2 - fill.X1) * options_.Scale,
                   std::abs(fill.Y2 - fill.Y1) * options_.Scale);
  painter_.fillRect(QRect(topLeft, size), ColorFromValue(fill.Color));
}

}  // namespace

void ReplayRecording(QPainter& painter, const TRecording& recording,
                     const TReplayOptions& options) {
  const TPainterStateGuard guard(painter);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  TReplayer replayer(painter, recording, options);
  for (const TRecordedOp& op : recording.Ops) std::visit(replayer, op);
}
