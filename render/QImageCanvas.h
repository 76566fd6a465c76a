// The canvas of the formula picture: a QImage drawn with QPainter. It owns
// its image, so the main window keeps one of these as its FormulaBitmap.
// Needs a QGuiApplication (fonts).
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <QStaticText>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "render/Canvas.h"

class QPainter;

// The pixels a horizontal or vertical line covers (see TCanvas::LineTo), for
// a pen `penWidth` wide.
QRect AxisLineRect(QPoint from, QPoint to, int penWidth);

// A font as the canvases' caches know it: name, style, pitch and height.
using TFontKey = std::tuple<std::string, std::uint8_t, std::uint8_t, std::int32_t>;

class TQImageCanvas : public TCanvas {
 public:
  // Fonts larger than this are drawn at this pixel size: beyond it the font
  // engine's metrics overflow and turn negative.
  static constexpr int kMaxPixelSize = 10000;

  explicit TQImageCanvas(std::int32_t width = 0, std::int32_t height = 0);
  ~TQImageCanvas() override;
  TQImageCanvas(const TQImageCanvas&) = delete;
  TQImageCanvas& operator=(const TQImageCanvas&) = delete;

  // The picture as drawn so far. A size beyond the picture limit, or one the
  // system cannot allocate, leaves a null image, on which drawing does nothing.
  const QImage& Image() const;

  TSize TextExtent(std::u16string_view text) override;
  void TextOut(std::int32_t x, std::int32_t y, std::u16string_view text) override;
  // Text never fills its cell here: it is always drawn transparent.
  void SetTransparentText() override {}

  void SetFont(const TFontDesc& font) override;
  const TFontDesc& Font() const override { return font_; }
  void SetFontHeight(std::int32_t height) override;

  void SetPenColor(std::uint32_t color) override { penColor_ = color; }
  void SetPenWidth(std::int32_t width) override { penWidth_ = width; }
  std::int32_t PenWidth() const override { return penWidth_; }
  void SetBrushColor(std::uint32_t color) override { brushColor_ = color; }

  void MoveTo(std::int32_t x, std::int32_t y) override;
  void LineTo(std::int32_t x, std::int32_t y) override;
  void FillRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;

  std::uint32_t Pixel(std::int32_t x, std::int32_t y) const override;
  std::uint32_t PixelValueOf(std::uint32_t color) const override;
  void Resize(std::int32_t width, std::int32_t height) override;
  std::int32_t Width() const override { return image_.width(); }
  std::int32_t Height() const override { return image_.height(); }

  // The Qt pixel size that realises a font height (see TCanvas::SetFontHeight).
  int PixelSizeFor(const TFontDesc& font);

 private:
  struct TRealisedFont {
    QFont Font;
    int Height = 0;  // of its cell: ascent and descent
    int Ascent = 0;
    // Above kLargestCachedGlyph pixels text is drawn from images, which
    // TextImages.h keeps for the process.
    bool Large = false;
    // A paint measures and draws the same few strings again and again;
    // shaping them was most of its cost. Kept per font: the advance widths
    // and the shaped texts.
    std::unordered_map<std::u16string, int> Advances;
    std::unordered_map<std::u16string, QStaticText> Shaped;
  };
  // Finding a font already realised allocates nothing: setting the formula
  // font back at the end of a decoration must not fail where nothing failed
  // before it.
  using TFontKeyView = std::tuple<std::string_view, std::uint8_t, std::uint8_t, std::int32_t>;

  void Realise();
  void DrawLargeText(QPainter& painter, std::int32_t x, std::int32_t y, std::u16string_view text);
  void DrawShapedText(QPainter& painter, std::int32_t x, std::int32_t y, std::u16string_view text);
  int SearchCellHeight(const TFontDesc& font, std::int32_t cellHeight);
  int CellHeightAt(const TFontDesc& font, int pixelSize) const;
  QPainter* ActivePainter();
  void EndPainting() const;
  void DrawAxisLine(QPainter& painter, QPoint from, QPoint to);
  void DrawSlantedLine(QPainter& painter, QPoint from, QPoint to);

  QImage image_;
  // Ended whenever the image itself is handed out or replaced.
  std::unique_ptr<QPainter> painter_;
  bool painterFontStale_ = true;
  TFontDesc font_;
  TRealisedFont* realised_ = nullptr;
  std::map<TFontKey, TRealisedFont, std::less<>> fonts_;
  std::uint32_t penColor_ = 0;
  std::int32_t penWidth_ = 1;
  std::uint32_t brushColor_ = kWhite;
  QPoint penPos_;
};
