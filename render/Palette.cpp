#include "render/Palette.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

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

constexpr int kGroup = 8;

// Whether the eight pixels from `pixels` on are all `colour`.
bool GroupIs(const QRgb* pixels, QRgb colour) {
  std::uint32_t differ = 0;
  for (int i = 0; i < kGroup; ++i) differ |= pixels[i] ^ colour;
  return differ == 0;
}

// Pixels in runs of one colour (the background, the strokes) go eight at a
// time with one comparison of them all and one store of their indices;
// other pixels look up their colour only where it changes.
bool MapRow(const QRgb* in, uchar* out, int width, TColourIndex& index) {
  QRgb colour = in[0];
  int colourIndex = index.IndexOf(colour);
  if (colourIndex < 0) return false;
  std::uint64_t group = 0x0101010101010101u * static_cast<std::uint8_t>(colourIndex);
  int x = 0;
  while (x < width) {
    if (x + kGroup <= width && GroupIs(in + x, colour)) {
      std::memcpy(out + x, &group, kGroup);
      x += kGroup;
      continue;
    }
    for (const int end = std::min(x + kGroup, width); x < end; ++x) {
      if (in[x] != colour) {
        colour = in[x];
        colourIndex = index.IndexOf(colour);
        if (colourIndex < 0) return false;
      }
      out[x] = static_cast<uchar>(colourIndex);
    }
    group = 0x0101010101010101u * static_cast<std::uint8_t>(colourIndex);
  }
  return true;
}

// A row like the one above it (above and below the formula) is copied whole.
bool MapPixels(const QImage& source, QImage& indexed, TColourIndex& index) {
  const int width = source.width();
  const auto rowBytes = static_cast<std::size_t>(width) * sizeof(QRgb);
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    if (y > 0 && std::memcmp(in, source.constScanLine(y - 1), rowBytes) == 0) {
      std::memcpy(out, indexed.constScanLine(y - 1), static_cast<std::size_t>(width));
    } else if (!MapRow(in, out, width, index)) {
      return false;
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
