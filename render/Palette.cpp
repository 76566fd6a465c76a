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
  // A colour found in its own slot, the common case, takes no loop.
  int IndexOf(QRgb colour) {
    const std::uint32_t slot = (colour * 2654435761u) >> (32 - kSlotBits);
    if (colours_[slot] == colour && used_[slot]) return indices_[slot];
    return Probe(colour, slot);
  }

  const QList<QRgb>& Table() const { return table_; }

 private:
  [[gnu::noinline]] int Probe(QRgb colour, std::uint32_t slot) {
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

  static constexpr int kSlotBits = 10;
  static constexpr std::uint32_t kSlots = 1u << kSlotBits;
  std::array<bool, kSlots> used_;
  std::array<QRgb, kSlots> colours_{};
  std::array<std::uint8_t, kSlots> indices_{};
  QList<QRgb> table_;
};

// Eight pixels are looked at together, as two vectors of four, which the
// compiler keeps in vector registers: a group in which a colour changes has
// its pixels looked up one by one, which costs less than telling more
// finely where in the group the change is.
constexpr int kGroup = 8;
using TFourPixels = QRgb __attribute__((vector_size(16)));

TFourPixels LoadFour(const QRgb* pixels) {
  TFourPixels four;
  std::memcpy(&four, pixels, sizeof four);
  return four;
}

bool NoneSet(TFourPixels bits) {
  std::uint64_t halves[2];
  std::memcpy(halves, &bits, sizeof halves);
  return (halves[0] | halves[1]) == 0;
}

// Whether all pixels of the group are `colour` (four copies).
bool GroupIs(const QRgb* pixels, TFourPixels colour) {
  return NoneSet((LoadFour(pixels) ^ colour) | (LoadFour(pixels + 4) ^ colour));
}

bool GroupIsLike(const QRgb* pixels, const QRgb* other) {
  return NoneSet((LoadFour(pixels) ^ LoadFour(other)) |
                 (LoadFour(pixels + 4) ^ LoadFour(other + 4)));
}

// Each pixel from `x` to `end` looked up; the index of the last one, -1
// when the palette is full (or there is no pixel).
int LookUp(const QRgb* in, uchar* out, int x, int end, TColourIndex& index) {
  int colourIndex = -1;
  for (; x < end; ++x) {
    colourIndex = index.IndexOf(in[x]);
    if (colourIndex < 0) return -1;
    out[x] = static_cast<uchar>(colourIndex);
  }
  return colourIndex;
}

// One row, a group at a time: a group all of the colour of the pixel before
// it is stored in one write, a group like the one above it is copied from
// there, any other is looked up. `above` and `outAbove` are null on the
// first row.
bool MapRow(const QRgb* in, const QRgb* above, uchar* out, const uchar* outAbove, int width,
            TColourIndex& index) {
  QRgb colour = in[0];
  const int first = index.IndexOf(colour);
  if (first < 0) return false;
  TFourPixels colours{colour, colour, colour, colour};
  std::uint64_t indices = 0x0101010101010101u * static_cast<std::uint8_t>(first);
  int x = 0;
  for (; x + kGroup <= width; x += kGroup) {
    if (GroupIs(in + x, colours)) {
      std::memcpy(out + x, &indices, kGroup);
    } else if (above != nullptr && GroupIsLike(in + x, above + x)) {
      std::memcpy(out + x, outAbove + x, kGroup);
    } else {
      const int last = LookUp(in, out, x, x + kGroup, index);
      if (last < 0) return false;
      if (in[x + kGroup - 1] != colour) {
        colour = in[x + kGroup - 1];
        colours = TFourPixels{colour, colour, colour, colour};
        indices = 0x0101010101010101u * static_cast<std::uint8_t>(last);
      }
    }
  }
  return x == width || LookUp(in, out, x, width, index) >= 0;
}

bool MapPixels(const QImage& source, QImage& indexed, TColourIndex& index) {
  const QRgb* above = nullptr;
  const uchar* outAbove = nullptr;
  const auto rowBytes = static_cast<std::size_t>(source.width()) * sizeof(QRgb);
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    // A row like the one above (above and below the formula) is copied whole.
    if (above != nullptr && std::memcmp(in, above, rowBytes) == 0) {
      std::memcpy(out, outAbove, static_cast<std::size_t>(source.width()));
    } else if (!MapRow(in, above, out, outAbove, source.width(), index)) {
      return false;
    }
    above = in;
    outAbove = out;
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
