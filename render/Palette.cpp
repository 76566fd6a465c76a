#include "render/Palette.h"

#include <array>
#include <cstdint>

namespace {

// Colours to palette indices: open addressing over four times as many slots
// as a palette has colours, so a probe rarely goes past its first slot.
class TColourIndex {
 public:
  TColourIndex() { used_.fill(false); }

  // The colour's index, a new one if it has none; -1 once the palette is full.
  int IndexOf(QRgb colour) {
    std::uint32_t slot = (colour * 2654435761u) >> (32 - kSlotBits);
    while (used_[slot]) {
      if (colours_[slot] == colour) return indices_[slot];
      slot = (slot + 1) & (kSlots - 1);
    }
    if (table_.size() == kMaxPaletteColours) return -1;
    used_[slot] = true;
    colours_[slot] = colour;
    indices_[slot] = static_cast<std::uint8_t>(table_.size());
    table_.push_back(colour);
    return indices_[slot];
  }

  const QList<QRgb>& Table() const { return table_; }

 private:
  static constexpr int kSlotBits = 10;
  static constexpr std::uint32_t kSlots = 1u << kSlotBits;
  std::array<bool, kSlots> used_;
  std::array<QRgb, kSlots> colours_{};
  std::array<std::uint8_t, kSlots> indices_{};
  QList<QRgb> table_;
};

// Pixels in runs of one colour (the background, the strokes) cost one
// comparison each.
bool MapPixels(const QImage& source, QImage& indexed, TColourIndex& index) {
  QRgb last = ~source.pixel(0, 0);
  int lastIndex = 0;
  const int width = source.width();
  const int height = source.height();
  for (int y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    for (int x = 0; x < width; ++x) {
      if (in[x] != last) {
        last = in[x];
        lastIndex = index.IndexOf(last);
        if (lastIndex < 0) return false;
      }
      out[x] = static_cast<uchar>(lastIndex);
    }
  }
  return true;
}

}  // namespace

QImage PaletteImage(const QImage& image) {
  if (image.isNull()) return {};
  // Palette entries are plain (not premultiplied) colours, as the 32-bit
  // writer stores them too.
  const QImage source =
      image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  QImage indexed(source.size(), QImage::Format_Indexed8);
  TColourIndex index;
  if (indexed.isNull() || !MapPixels(source, indexed, index)) return {};
  indexed.setColorTable(index.Table());
  indexed.setDotsPerMeterX(image.dotsPerMeterX());
  indexed.setDotsPerMeterY(image.dotsPerMeterY());
  for (const QString& key : image.textKeys()) indexed.setText(key, image.text(key));
  return indexed;
}
