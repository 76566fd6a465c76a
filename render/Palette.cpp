#include "render/Palette.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "render/CpuTargets.h"
#include "render/PaletteGreys.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Colours to palette indices: open addressing over four times as many slots
// as a palette has colours, so a probe rarely goes past its first slot.
class TColourIndex {
 public:
  // An empty slot holds a colour that is never looked for there: 0, whose
  // own slot is 0, and 1 in slots 0 and 1. So finding a colour in its slot
  // or the next one needs no look at `used_`.
  TColourIndex() {
    used_.fill(false);
    colours_.fill(0);
    colours_[0] = colours_[1] = 1;
  }

  // The colour's index, a new one if it has none; -1 once the palette is full.
  // A colour found in its own slot or the next, nearly always, takes no
  // loop and no turn that the processor could guess wrong.
  int IndexOf(QRgb colour) {
    const std::uint32_t slot = SlotOf(colour);
    const std::uint32_t next = slot + 1;
    const bool here = colours_[slot] == colour;
    if (here || colours_[next] == colour) return indices_[here ? slot : next];
    return Probe(colour, slot);
  }

  const QList<QRgb>& Table() const { return table_; }

  static constexpr int kSlotBits = 10;
  static constexpr std::uint32_t kSlots = 1u << kSlotBits;

  static constexpr std::uint32_t SlotOf(QRgb colour) {
    return (colour * 2654435761u) >> (32 - kSlotBits);
  }

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

  std::array<bool, kSlots + 1> used_;
  std::array<QRgb, kSlots + 1> colours_;
  std::array<std::uint8_t, kSlots + 1> indices_{};
  QList<QRgb> table_;
};

static_assert(TColourIndex::SlotOf(0) == 0 && TColourIndex::SlotOf(1) > 1,
              "the empty slots' colours must stay unfound");

constexpr int kWord = 64;
constexpr int kGroup = 8;

// A bit for each of the 64 pixels from `in` that is not `background`.
std::uint64_t OtherBitsPlain(const QRgb* in, QRgb background) {
  std::uint64_t same = 0;
#if defined(__SSE2__)
  const __m128i colour = _mm_set1_epi32(static_cast<int>(background));
  for (int i = 0; i < kWord / 4; ++i) {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i));
    const int bits = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(four, colour)));
    same |= std::uint64_t{static_cast<unsigned>(bits)} << (4 * i);
  }
#else
  for (int i = 0; i < kWord; ++i) same |= std::uint64_t{in[i] == background} << i;
#endif
  return ~same;
}

// The top bit of each byte of `otherBits` that is not zero: the groups of
// eight pixels with some colour other than the background.
std::uint64_t MarkedGroups(std::uint64_t otherBits) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  return (otherBits | ((otherBits & kLow7) + kLow7)) & ~kLow7;
}

// The places of the marked groups of the 64 pixels at `start` written to
// `places`, always eight of them, of which the first are the marked ones;
// their number.
int ListGroupsPlain(std::uint64_t marked, std::uint32_t start, std::uint32_t* places) {
  int count = 0;
  for (int g = 0; g < kWord / kGroup; ++g) {
    places[count] = start + static_cast<std::uint32_t>(g * kGroup);
    count += static_cast<int>((marked >> (8 * g + 7)) & 1u);
  }
  return count;
}

#if defined(__x86_64__)

[[QM_TARGET_AVX2]] std::uint64_t OtherBitsAvx2(const QRgb* in, QRgb background) {
  const __m256i colour = _mm256_set1_epi32(static_cast<int>(background));
  std::uint64_t same = 0;
  for (int i = 0; i < kWord / 8; ++i) {
    const __m256i eight = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 8 * i));
    const int bits = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(eight, colour)));
    same |= std::uint64_t{static_cast<std::uint8_t>(bits)} << (8 * i);
  }
  return ~same;
}

[[QM_TARGET_AVX512]] std::uint64_t OtherBitsAvx512(const QRgb* in, QRgb background) {
  const __m512i colour = _mm512_set1_epi32(static_cast<int>(background));
  std::uint64_t other = 0;
  for (int i = 0; i < kWord / 16; ++i) {
    const __m512i sixteen = _mm512_loadu_si512(in + 16 * i);
    other |= std::uint64_t{_mm512_cmpneq_epi32_mask(sixteen, colour)} << (16 * i);
  }
  return other;
}

// As ListGroupsPlain, with the marked groups' numbers gathered in one step.
[[QM_TARGET_AVX2]] int ListGroupsBmi2(std::uint64_t marked, std::uint32_t start,
                                      std::uint32_t* places) {
  const std::uint64_t numbers = _pext_u64(0x3830282018100800u, (marked >> 7) * 0xFF);
  const __m256i offsets = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(numbers)));
  const __m256i first = _mm256_set1_epi32(static_cast<int>(start));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(places), _mm256_add_epi32(offsets, first));
  return static_cast<int>(_mm_popcnt_u64(marked));
}
#endif

// The `count` pixels from `in` looked up into `out`; negative when the
// palette is full. No branch per pixel, so that a group's eight unroll into
// straight code.
[[gnu::always_inline]] inline int LookUp(const QRgb* in, uchar* out, int count,
                                         TColourIndex& index) {
  int all = 0;
  for (int i = 0; i < count; ++i) {
    const int colourIndex = index.IndexOf(in[i]);
    all |= colourIndex;
    out[i] = static_cast<uchar>(colourIndex);
  }
  return all;
}

// One row, in two passes that take no turn on what they find, since the
// places of the formula's strokes are too irregular for the processor to
// guess: the groups of eight pixels with a colour other than the background
// are listed, 64 pixels at a time, and then only those are looked up. The
// rest is the background, written all along first. The last 64 pixels
// overlap the ones before them.
template <std::uint64_t (*OtherBits)(const QRgb*, QRgb),
          int (*ListGroups)(std::uint64_t, std::uint32_t, std::uint32_t*)>
[[gnu::always_inline]] inline bool MapRowWith(const QRgb* in, uchar* out, int width,
                                              QRgb background, uchar backgroundIndex,
                                              std::uint32_t* places, TColourIndex& index) {
  std::memset(out, backgroundIndex, static_cast<std::size_t>(width));
  int count = 0;
  for (int x = 0; x < width; x += kWord) {
    const int start = std::min(x, width - kWord);
    count += ListGroups(MarkedGroups(OtherBits(in + start, background)),
                        static_cast<std::uint32_t>(start), places + count);
  }
  int all = 0;
  for (int i = 0; i < count; ++i) all |= LookUp(in + places[i], out + places[i], kGroup, index);
  return all >= 0;
}

using TMapRow = bool (*)(const QRgb*, uchar*, int, QRgb, uchar, std::uint32_t*, TColourIndex&);

bool MapRowPlain(const QRgb* in, uchar* out, int width, QRgb background, uchar backgroundIndex,
                 std::uint32_t* places, TColourIndex& index) {
  return MapRowWith<OtherBitsPlain, ListGroupsPlain>(in, out, width, background, backgroundIndex,
                                                     places, index);
}

#if defined(__x86_64__)
[[QM_TARGET_AVX2]] bool MapRowAvx2(const QRgb* in, uchar* out, int width, QRgb background,
                                   uchar backgroundIndex, std::uint32_t* places,
                                   TColourIndex& index) {
  return MapRowWith<OtherBitsAvx2, ListGroupsBmi2>(in, out, width, background, backgroundIndex,
                                                   places, index);
}

[[QM_TARGET_AVX512]] bool MapRowAvx512(const QRgb* in, uchar* out, int width, QRgb background,
                                       uchar backgroundIndex, std::uint32_t* places,
                                       TColourIndex& index) {
  return MapRowWith<OtherBitsAvx512, ListGroupsBmi2>(in, out, width, background, backgroundIndex,
                                                     places, index);
}
#endif

TMapRow MapRowFor(TVectorUnits units) {
#if defined(__x86_64__)
  if (units == TVectorUnits::Avx512) return MapRowAvx512;
  if (units == TVectorUnits::Avx2) return MapRowAvx2;
#endif
  (void)units;
  return MapRowPlain;
}

bool MapPixels(const QImage& source, QImage& indexed, TColourIndex& index, TVectorUnits units) {
  const TMapRow mapRow = MapRowFor(units);
  const int width = source.width();
  const int height = source.height();
  const QRgb background = *reinterpret_cast<const QRgb*>(source.constScanLine(0));
  const auto backgroundIndex = static_cast<uchar>(index.IndexOf(background));
  // Room for every group of a row, and the eight places the last word
  // writes. Without it, the picture keeps its 32 bits.
  const std::unique_ptr<std::uint32_t[]> places(
      new (std::nothrow) std::uint32_t[static_cast<std::size_t>(width / kGroup + kWord)]);
  if (!places) return false;
  for (int y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    // Narrow rows are looked up pixel by pixel.
    const bool mapped =
        width < kWord ? LookUp(in, out, width, index) >= 0
                      : mapRow(in, out, width, background, backgroundIndex, places.get(), index);
    if (!mapped) return false;
  }
  return true;
}

QList<QRgb> IndexedPixels(const QImage& source, QImage& indexed, TVectorUnits units) {
  QList<QRgb> greys;
  if (IndexGreys(source, indexed, greys, units)) return greys;
  TColourIndex index;
  if (!MapPixels(source, indexed, index, units)) return {};
  return index.Table();
}

}  // namespace

QImage PaletteImage(const QImage& image, TVectorUnits units) {
  if (image.isNull()) return {};
  units = VectorUnitsUpTo(units);
  // Palette entries are plain (not premultiplied) colours, as the 32-bit
  // writer stores them too.
  const QImage source =
      image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  QImage indexed(source.size(), QImage::Format_Indexed8);
  if (indexed.isNull()) return {};
  const QList<QRgb> table = IndexedPixels(source, indexed, units);
  if (table.isEmpty()) return {};
  indexed.setColorTable(table);
  indexed.setDotsPerMeterX(image.dotsPerMeterX());
  indexed.setDotsPerMeterY(image.dotsPerMeterY());
  for (const QString& key : image.textKeys()) indexed.setText(key, image.text(key));
  return indexed;
}
