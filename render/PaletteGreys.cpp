#include "render/PaletteGreys.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "render/CpuTargets.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// GCC 12's own AVX-512 intrinsics leave a vector undefined on purpose
// (`_mm512_undefined_epi32`), which it then warns about where they inline.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// A grey's darkness is how far it is below white: 255 less its level. The
// scans store each pixel's darkness, so that white, the usual background,
// is 0, as the filter byte at the start of each row is; the least and most
// darkness are kept.
struct TGreyRange {
  int Least = 0;
  int Most = 0;
};

// The range from the lanes of the vectors of least and most darkness.
template <std::size_t kLanes>
TGreyRange RangeOf(const std::uint8_t (&least)[kLanes], const std::uint8_t (&most)[kLanes]) {
  return {*std::min_element(least, least + kLanes), *std::max_element(most, most + kLanes)};
}

#if defined(__x86_64__)
// 32 pixels at a time, taken apart into their blue, green, red and alpha
// bytes: whether each is grey (blue, green and red agree) and opaque, and
// the blue bytes in order give the indices, the least and most darkness kept
// along the way.
[[QM_TARGET_AVX2]] bool MapGreysAvx2(const QImage& source, QImage& indexed, TGreyRange& range) {
  const int width = source.width();
  // Each half's four pixels as their blue, green, red and alpha bytes.
  const __m256i byChannel = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,
                                             0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i ones = _mm256_set1_epi8(-1);
  __m256i least = ones;
  __m256i most = _mm256_setzero_si256();
  __m256i alphas = ones;
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    __m256i other = _mm256_setzero_si256();
    for (int x = 0; x < width; x += 32) {
      const int start = std::min(x, width - 32);
      __m256i eight[4];
      for (int i = 0; i < 4; ++i) {
        eight[i] = _mm256_shuffle_epi8(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + start + 8 * i)), byChannel);
      }
      const __m256i blueGreen01 = _mm256_unpacklo_epi32(eight[0], eight[1]);
      const __m256i redAlpha01 = _mm256_unpackhi_epi32(eight[0], eight[1]);
      const __m256i blueGreen23 = _mm256_unpacklo_epi32(eight[2], eight[3]);
      const __m256i redAlpha23 = _mm256_unpackhi_epi32(eight[2], eight[3]);
      const __m256i blue = _mm256_unpacklo_epi64(blueGreen01, blueGreen23);
      const __m256i green = _mm256_unpackhi_epi64(blueGreen01, blueGreen23);
      const __m256i red = _mm256_unpacklo_epi64(redAlpha01, redAlpha23);
      alphas = _mm256_and_si256(alphas, _mm256_unpackhi_epi64(redAlpha01, redAlpha23));
      other = _mm256_or_si256(
          other, _mm256_or_si256(_mm256_xor_si256(blue, green), _mm256_xor_si256(green, red)));
      const __m256i darkness = _mm256_xor_si256(_mm256_permutevar8x32_epi32(blue, order), ones);
      least = _mm256_min_epu8(least, darkness);
      most = _mm256_max_epu8(most, darkness);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + start), darkness);
    }
    if (!_mm256_testz_si256(other, other)) return false;
  }
  if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(alphas, ones)) != -1) return false;
  alignas(32) std::uint8_t low[32], high[32];
  _mm256_store_si256(reinterpret_cast<__m256i*>(low), least);
  _mm256_store_si256(reinterpret_cast<__m256i*>(high), most);
  range = RangeOf(low, high);
  return true;
}

// As MapGreysAvx2, 64 pixels at a time.
[[QM_TARGET_AVX512]] bool MapGreysAvx512(const QImage& source, QImage& indexed, TGreyRange& range) {
  const int width = source.width();
  // Blue copied over red and green, alpha kept: each grey pixel's own value.
  alignas(64) std::int8_t spreadBytes[64];
  // The blue bytes of the 32 pixels of two vectors, in order.
  alignas(64) std::int8_t blueBytes[64];
  for (int i = 0; i < 64; ++i) {
    spreadBytes[i] = static_cast<std::int8_t>(i % 4 == 3 ? i % 16 : i % 16 / 4 * 4);
    blueBytes[i] = static_cast<std::int8_t>(i % 32 * 4);
  }
  const __m512i spread = _mm512_load_si512(spreadBytes);
  const __m512i blues = _mm512_load_si512(blueBytes);
  __m512i least = _mm512_set1_epi8(-1);
  __m512i most = _mm512_setzero_si512();
  __m512i alphas = _mm512_set1_epi8(-1);
  for (int y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    __m512i other = _mm512_setzero_si512();
    for (int x = 0; x < width; x += 64) {
      const int start = std::min(x, width - 64);
      __m512i sixteen[4];
      for (int i = 0; i < 4; ++i) {
        sixteen[i] = _mm512_loadu_si512(in + start + 16 * i);
        const __m512i grey = _mm512_shuffle_epi8(sixteen[i], spread);
        other = _mm512_ternarylogic_epi32(other, sixteen[i], grey, 0xF6);  // other | (a ^ b)
        alphas = _mm512_and_si512(alphas, sixteen[i]);
      }
      const __m512i low = _mm512_permutex2var_epi8(sixteen[0], blues, sixteen[1]);
      const __m512i high = _mm512_permutex2var_epi8(sixteen[2], blues, sixteen[3]);
      const __m512i darkness = _mm512_xor_si512(
          _mm512_inserti64x4(low, _mm512_castsi512_si256(high), 1), _mm512_set1_epi8(-1));
      least = _mm512_min_epu8(least, darkness);
      most = _mm512_max_epu8(most, darkness);
      _mm512_storeu_si512(out + start, darkness);
    }
    if (_mm512_test_epi32_mask(other, other) != 0) return false;
  }
  if (_mm512_cmpneq_epi32_mask(_mm512_srli_epi32(alphas, 24), _mm512_set1_epi32(0xFF)) != 0) {
    return false;
  }
  alignas(64) std::uint8_t low[64], high[64];
  _mm512_store_si512(low, least);
  _mm512_store_si512(high, most);
  range = RangeOf(low, high);
  return true;
}
#endif

// The greys' palette from the lightest to the darkest, and the indices
// moved down to start at the lightest (no move for a white background).
QList<QRgb> GreyTable(QImage& indexed, TGreyRange range) {
  if (range.Least > 0) {
    const auto least = static_cast<uchar>(range.Least);
    for (int y = 0; y < indexed.height(); ++y) {
      uchar* row = indexed.scanLine(y);
      for (int x = 0; x < indexed.width(); ++x) row[x] = static_cast<uchar>(row[x] - least);
    }
  }
  QList<QRgb> table;
  table.reserve(range.Most - range.Least + 1);
  for (int darkness = range.Least; darkness <= range.Most; ++darkness) {
    const int grey = 255 - darkness;
    table.push_back(qRgb(grey, grey, grey));
  }
  return table;
}

}  // namespace

bool IndexGreys(const QImage& source, QImage& indexed, QList<QRgb>& table, TVectorUnits units) {
#if defined(__x86_64__)
  TGreyRange range;
  bool greys = false;
  if (units == TVectorUnits::Avx512 && source.width() >= 64) {
    greys = MapGreysAvx512(source, indexed, range);
  } else if (units != TVectorUnits::Plain && source.width() >= 32) {
    greys = MapGreysAvx2(source, indexed, range);
  }
  if (greys) table = GreyTable(indexed, range);
  return greys;
#else
  (void)source, (void)indexed, (void)table, (void)units;
  return false;
#endif
}
