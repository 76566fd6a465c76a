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

// Sixteen pixels are looked at together: four vectors of four, which the
// compiler keeps in vector registers.
constexpr int kGroup = 16;
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
  TFourPixels differ{};
  for (int i = 0; i < kGroup; i += 4) differ |= LoadFour(pixels + i) ^ colour;
  return NoneSet(differ);
}

bool GroupIsLike(const QRgb* pixels, const QRgb* other) {
  TFourPixels differ{};
  for (int i = 0; i < kGroup; i += 4) differ |= LoadFour(pixels + i) ^ LoadFour(other + i);
  return NoneSet(differ);
}

// The row so far: the last colour, its index, and both as copies for
// whole groups.
struct TRun {
  QRgb Colour;
  int Index;
  TFourPixels Colours;
  std::array<uchar, kGroup> Indices;

  void Set(QRgb colour, int index) {
    Colour = colour;
    Index = index;
    Colours = TFourPixels{colour, colour, colour, colour};
    Indices.fill(static_cast<uchar>(index));
  }
};

// Pixels from `x` to `end`: four at a time where all four have the last
// colour or those above them; else one by one, each taking the index of the
// pixel before or above it when it has its colour, and looking its colour
// up only when neither has it.
bool MapPixelsBetween(const QRgb* in, const QRgb* above, uchar* out, const uchar* outAbove, int x,
                      int end, TRun& run, TColourIndex& index) {
  while (x < end) {
    if (x + 4 <= end) {
      const TFourPixels four = LoadFour(in + x);
      if (NoneSet(four ^ run.Colours)) {
        std::memcpy(out + x, run.Indices.data(), 4);
        x += 4;
        continue;
      }
      if (above != nullptr && NoneSet(four ^ LoadFour(above + x))) {
        std::memcpy(out + x, outAbove + x, 4);
        x += 4;
        continue;
      }
    }
    int colourIndex = 0;
    for (const int stop = std::min(x + 4, end); x < stop; ++x) {
      colourIndex = index.IndexOf(in[x]);
      if (colourIndex < 0) return false;
      out[x] = static_cast<uchar>(colourIndex);
    }
    if (in[x - 1] != run.Colour) run.Set(in[x - 1], colourIndex);
  }
  return true;
}

// One row, sixteen pixels at a time where all have the last colour or are
// like those above them. `above` and `outAbove` are null on the first row.
bool MapRow(const QRgb* in, const QRgb* above, uchar* out, const uchar* outAbove, int width,
            TColourIndex& index) {
  const int first = index.IndexOf(in[0]);
  if (first < 0) return false;
  TRun run{};
  run.Set(in[0], first);
  for (int x = 0; x < width; x += kGroup) {
    if (x + kGroup > width) return MapPixelsBetween(in, above, out, outAbove, x, width, run, index);
    if (GroupIs(in + x, run.Colours)) {
      std::memcpy(out + x, run.Indices.data(), kGroup);
    } else if (above != nullptr && GroupIsLike(in + x, above + x)) {
      std::memcpy(out + x, outAbove + x, kGroup);
    } else if (!MapPixelsBetween(in, above, out, outAbove, x, x + kGroup, run, index)) {
      return false;
    }
  }
  return true;
}

bool MapPixels(const QImage& source, QImage& indexed, TColourIndex& index) {
  const QRgb* above = nullptr;
  const uchar* outAbove = nullptr;
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    if (!MapRow(in, above, out, outAbove, source.width(), index)) return false;
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
