#include "export/RunDeflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 258;
// The tokens of one block: its codes follow the part of the picture it
// holds, and the tokens kept at a time stay few, whatever the picture.
constexpr std::size_t kBlockTokens = std::size_t{1} << 14;

constexpr int kLiteralLengthSymbols = 286;
constexpr int kDistanceSymbols = 30;
constexpr int kCodeLengthSymbols = 19;
constexpr int kEndOfBlock = 256;
constexpr int kFirstLengthSymbol = 257;
constexpr int kMaxCodeBits = 15;
constexpr int kMaxCodeLengthBits = 7;
// The most a block's header takes (3 + 14 bits, 19 code lengths of 3 bits,
// 316 code lengths of at most 7 + 7 bits), and the most a token takes (a
// length and a distance code of 15 bits each, with 5 and 13 extra bits).
constexpr std::size_t kMaxHeaderBytes = 600;
constexpr std::size_t kMaxTokenBytes = 6;

constexpr std::array<std::uint16_t, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                    15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                    67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, kDistanceSymbols> kDistanceBase{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, kDistanceSymbols> kDistanceExtra{
    0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a block's header gives the code lengths' own lengths.
constexpr std::array<std::uint8_t, kCodeLengthSymbols> kCodeLengthOrder{
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
// Code-length symbols that repeat: the previous length 3 to 6 times, a zero
// length 3 to 10 times, and 11 to 138 times.
constexpr int kRepeatPrevious = 16;
constexpr int kRepeatZero = 17;
constexpr int kRepeatZeroLong = 18;

// The length symbol's index (0 to 28) for each match length.
constexpr auto kLengthIndex = [] {
  std::array<std::uint8_t, kMaxMatch + 1> index{};
  std::size_t code = 0;
  for (std::size_t length = kMinMatch; length <= kMaxMatch; ++length) {
    while (code + 1 < kLengthBase.size() && kLengthBase[code + 1] <= length) ++code;
    index[length] = static_cast<std::uint8_t>(code);
  }
  return index;
}();

int DistanceSymbol(std::size_t distance) {
  int symbol = kDistanceSymbols - 1;
  while (kDistanceBase[static_cast<std::size_t>(symbol)] > distance) --symbol;
  return symbol;
}

std::uint64_t Load64(const std::uint8_t* at) {
  std::uint64_t value = 0;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// How many of the first bytes of two differing words are the same: the first
// byte in memory is the low one on a little-endian machine.
std::size_t SameBytes(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t differ = a ^ b;
  const int bit = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                             : std::countl_zero(differ);
  return static_cast<std::size_t>(bit / 8);
}

// How many bytes from `at` on repeat those from `from` on, up to `limit`;
// sixteen at a time.
std::size_t RepeatLength(const std::uint8_t* at, const std::uint8_t* from, std::size_t limit) {
  std::size_t n = 0;
  for (; n + 16 <= limit; n += 16) {
    const std::uint64_t a = Load64(at + n);
    const std::uint64_t b = Load64(from + n);
    const std::uint64_t c = Load64(at + n + 8);
    const std::uint64_t d = Load64(from + n + 8);
    if (((a ^ b) | (c ^ d)) != 0) return a != b ? n + SameBytes(a, b) : n + 8 + SameBytes(c, d);
  }
  while (n < limit && at[n] == from[n]) ++n;
  return n;
}

// The first kMinMatch bytes of a word.
constexpr std::uint64_t kMinMatchBytes =
    std::endian::native == std::endian::little ? 0xffffffu : 0xffffffull << 40;

// How long the repeat from `at` of the bytes from `from` on is, up to
// `limit`; 0 when shorter than a match. Most bytes that are no repeat are
// told by their first word alone.
std::size_t MatchLength(const std::uint8_t* at, const std::uint8_t* from, std::size_t limit) {
  if (limit >= 8 && ((Load64(at) ^ Load64(from)) & kMinMatchBytes) != 0) return 0;
  const std::size_t length = RepeatLength(at, from, limit);
  return length >= kMinMatch ? length : 0;
}

// A literal byte (Distance 0) or a repeat of Value bytes.
struct TToken {
  std::uint16_t Value;
  std::uint16_t Distance;
};

// Bits as they are sent: a code, reversed (deflate sends a code's first bit
// first), and any extra bits after it.
struct TCode {
  std::uint32_t Bits;
  std::uint8_t Length;
};

// `code` followed by `extra` bits of `value`.
TCode WithExtra(TCode code, std::uint32_t value, int extra) {
  return {code.Bits | value << code.Length, static_cast<std::uint8_t>(code.Length + extra)};
}

// Code lengths of at most `limit` bits for the symbols with a frequency,
// forming a complete code, as inflaters want it: Huffman's lengths, and
// where some are too long, the rarest symbols lengthened until the code
// fits and then the most frequent shortened while the code has room.
template <std::size_t N>
void CodeLengths(std::array<std::uint32_t, N> frequency, int limit,
                 std::array<std::uint8_t, N>& lengths) {
  lengths.fill(0);
  // A code of one symbol would have no bits: every code has two at least.
  for (std::size_t s = 0, used = std::ranges::count_if(frequency, [](auto f) { return f > 0; });
       used < 2; ++s) {
    if (frequency[s] == 0) {
      frequency[s] = 1;
      ++used;
    }
  }
  // The symbols by frequency: sorted as numbers of the frequency above the
  // symbol, which sorts several times faster than comparing through the table.
  std::array<std::uint64_t, N> keys{};
  std::size_t m = 0;
  for (std::size_t s = 0; s < N; ++s) {
    if (frequency[s] > 0) keys[m++] = std::uint64_t{frequency[s]} << 16 | s;
  }
  std::sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(m));
  std::array<std::uint16_t, N> order{};
  for (std::size_t i = 0; i < m; ++i) order[i] = static_cast<std::uint16_t>(keys[i]);
  // Huffman's tree with two queues: the leaves in order of frequency, and the
  // inner nodes, which are made in order of weight. Node m + k is inner node k.
  std::array<std::uint32_t, N> innerWeight{};
  std::array<std::uint16_t, 2 * N> parent{};
  std::size_t leaf = 0;
  std::size_t inner = 0;
  const auto weight = [&](std::size_t node) {
    return node < m ? frequency[order[node]] : innerWeight[node - m];
  };
  const auto lightest = [&](std::size_t made) {
    if (leaf < m && (inner >= made || frequency[order[leaf]] <= innerWeight[inner])) return leaf++;
    return m + inner++;
  };
  for (std::size_t k = 0; k + 1 < m; ++k) {
    const std::size_t a = lightest(k);
    const std::size_t b = lightest(k);
    innerWeight[k] = weight(a) + weight(b);
    parent[a] = parent[b] = static_cast<std::uint16_t>(m + k);
  }
  std::array<std::uint16_t, N> depth{};  // of the inner nodes; the root's is 0
  for (std::size_t k = m - 2; k-- > 0;) depth[k] = depth[parent[m + k] - m] + 1;
  const std::uint32_t full = std::uint32_t{1} << limit;
  std::uint32_t kraft = 0;
  for (std::size_t i = 0; i < m; ++i) {
    const int length = std::min<int>(depth[parent[i] - m] + 1, limit);
    lengths[order[i]] = static_cast<std::uint8_t>(length);
    kraft += full >> length;
  }
  for (std::size_t i = 0; kraft > full; i = (i + 1) % m) {
    std::uint8_t& length = lengths[order[i]];
    if (length < limit) kraft -= full >> ++length;
  }
  while (kraft < full) {
    for (std::size_t i = m; i-- > 0 && kraft < full;) {
      std::uint8_t& length = lengths[order[i]];
      if (length > 1 && kraft + (full >> length) <= full) kraft += full >> length--;
    }
  }
}

// The canonical codes of the lengths (RFC 1951, 3.2.2).
template <std::size_t N>
std::array<TCode, N> CanonicalCodes(const std::array<std::uint8_t, N>& lengths) {
  std::array<std::uint16_t, kMaxCodeBits + 2> count{};
  for (const std::uint8_t length : lengths) ++count[length];
  count[0] = 0;
  std::array<std::uint16_t, kMaxCodeBits + 2> next{};
  for (int bits = 1, code = 0; bits <= kMaxCodeBits; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = static_cast<std::uint16_t>(code);
  }
  std::array<TCode, N> codes{};
  for (std::size_t s = 0; s < N; ++s) {
    const int length = lengths[s];
    if (length == 0) continue;
    std::uint32_t code = next[length]++;
    // Reversed as 16 bits, of which the code is the top `length`.
    code = ((code & 0x5555u) << 1) | ((code >> 1) & 0x5555u);
    code = ((code & 0x3333u) << 2) | ((code >> 2) & 0x3333u);
    code = ((code & 0x0f0fu) << 4) | ((code >> 4) & 0x0f0fu);
    code = ((code & 0x00ffu) << 8) | ((code >> 8) & 0x00ffu);
    codes[s] = {code >> (16 - length), static_cast<std::uint8_t>(length)};
  }
  return codes;
}

// Bits in deflate's order, the first in the lowest bit of a byte, into
// `out` after what it holds. Put gathers bits, up to 56 between two
// Flush calls (a token takes 48 at most); Flush stores their whole bytes
// with one store of eight.
class TBitWriter {
 public:
  explicit TBitWriter(QByteArray& out) : out_(out), used_(static_cast<std::size_t>(out.size())) {}

  // Room for `bytes` more.
  void Reserve(std::size_t bytes) {
    Sync();
    out_.resize(static_cast<qsizetype>(used_ + bytes + sizeof buffer_));
    next_ = reinterpret_cast<std::uint8_t*>(out_.data()) + used_;
  }
  void Put(std::uint32_t bits, int count) {
    buffer_ |= std::uint64_t{bits} << count_;
    count_ += count;
  }
  void Put(TCode code) { Put(code.Bits, code.Length); }
  void Flush() {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(next_, &buffer_, sizeof buffer_);
    } else {
      for (std::size_t i = 0; i < sizeof buffer_; ++i)
        next_[i] = static_cast<std::uint8_t>(buffer_ >> (8 * i));
    }
    next_ += count_ >> 3;
    buffer_ >>= count_ & ~7;  // less than 64: whole bytes of less than 64 bits
    count_ &= 7;
  }
  // Up to the next whole byte; `out` then ends there.
  void Finish() {
    count_ = (count_ + 7) / 8 * 8;
    Flush();
    Sync();
    out_.resize(static_cast<qsizetype>(used_));
  }

 private:
  void Sync() {
    if (next_ != nullptr) {
      used_ = static_cast<std::size_t>(next_ - reinterpret_cast<std::uint8_t*>(out_.data()));
    }
  }

  QByteArray& out_;
  std::size_t used_;
  std::uint8_t* next_ = nullptr;
  std::uint64_t buffer_ = 0;
  int count_ = 0;
};

struct TCodeLengthItem {
  std::uint8_t Symbol;
  std::uint8_t Extra;  // the repeat count's extra bits
};

// The code lengths of both codes as one sequence, repeats shortened.
std::vector<TCodeLengthItem> CodeLengthItems(const std::vector<std::uint8_t>& lengths) {
  std::vector<TCodeLengthItem> items;
  for (std::size_t i = 0; i < lengths.size();) {
    const std::uint8_t length = lengths[i];
    std::size_t run = 1;
    while (i + run < lengths.size() && lengths[i + run] == length) ++run;
    i += run;
    if (length == 0) {
      for (; run >= 11; run -= std::min<std::size_t>(run, 138)) {
        items.push_back(
            {kRepeatZeroLong, static_cast<std::uint8_t>(std::min<std::size_t>(run, 138) - 11)});
      }
      if (run >= 3) {
        items.push_back({kRepeatZero, static_cast<std::uint8_t>(run - 3)});
        run = 0;
      }
    } else {
      items.push_back({length, 0});
      --run;
      for (; run >= 3; run -= std::min<std::size_t>(run, 6)) {
        items.push_back(
            {kRepeatPrevious, static_cast<std::uint8_t>(std::min<std::size_t>(run, 6) - 3)});
      }
    }
    for (; run > 0; --run) items.push_back({length, 0});
  }
  return items;
}

struct TFrequencies {
  std::array<std::uint32_t, kLiteralLengthSymbols> LiteralLength{};
  std::array<std::uint32_t, kDistanceSymbols> Distance{};
};

// One block with codes of its own (RFC 1951, 3.2.7).
void WriteBlock(TBitWriter& bits, const std::vector<TToken>& tokens, TFrequencies frequencies,
                std::size_t period, int periodSymbol, bool last) {
  frequencies.LiteralLength[kEndOfBlock] = 1;
  std::array<std::uint8_t, kLiteralLengthSymbols> literalLengths{};
  std::array<std::uint8_t, kDistanceSymbols> distanceLengths{};
  CodeLengths(frequencies.LiteralLength, kMaxCodeBits, literalLengths);
  CodeLengths(frequencies.Distance, kMaxCodeBits, distanceLengths);
  std::size_t literalCount = kLiteralLengthSymbols;
  while (literalCount > kFirstLengthSymbol && literalLengths[literalCount - 1] == 0) --literalCount;
  std::size_t distanceCount = kDistanceSymbols;
  while (distanceCount > 1 && distanceLengths[distanceCount - 1] == 0) --distanceCount;
  std::vector<std::uint8_t> allLengths(
      literalLengths.begin(), literalLengths.begin() + static_cast<std::ptrdiff_t>(literalCount));
  allLengths.insert(allLengths.end(), distanceLengths.begin(),
                    distanceLengths.begin() + static_cast<std::ptrdiff_t>(distanceCount));
  const std::vector<TCodeLengthItem> items = CodeLengthItems(allLengths);
  std::array<std::uint32_t, kCodeLengthSymbols> itemFrequency{};
  for (const TCodeLengthItem& item : items) ++itemFrequency[item.Symbol];
  std::array<std::uint8_t, kCodeLengthSymbols> itemLengths{};
  CodeLengths(itemFrequency, kMaxCodeLengthBits, itemLengths);
  std::size_t itemLengthCount = kCodeLengthSymbols;
  while (itemLengthCount > 4 && itemLengths[kCodeLengthOrder[itemLengthCount - 1]] == 0) {
    --itemLengthCount;
  }

  bits.Reserve(kMaxHeaderBytes + kMaxTokenBytes * (tokens.size() + 1));
  bits.Put(last ? 1 : 0, 1);
  bits.Put(2, 2);  // codes of its own
  bits.Put(static_cast<std::uint32_t>(literalCount - kFirstLengthSymbol), 5);
  bits.Put(static_cast<std::uint32_t>(distanceCount - 1), 5);
  bits.Put(static_cast<std::uint32_t>(itemLengthCount - 4), 4);
  bits.Flush();
  for (std::size_t i = 0; i < itemLengthCount; ++i) {
    bits.Put(itemLengths[kCodeLengthOrder[i]], 3);
    bits.Flush();
  }
  const std::array<TCode, kCodeLengthSymbols> itemCodes = CanonicalCodes(itemLengths);
  for (const TCodeLengthItem& item : items) {
    bits.Put(itemCodes[item.Symbol]);
    if (item.Symbol == kRepeatPrevious) bits.Put(item.Extra, 2);
    if (item.Symbol == kRepeatZero) bits.Put(item.Extra, 3);
    if (item.Symbol == kRepeatZeroLong) bits.Put(item.Extra, 7);
    bits.Flush();
  }

  const std::array<TCode, kLiteralLengthSymbols> literalCodes = CanonicalCodes(literalLengths);
  const std::array<TCode, kDistanceSymbols> distanceCodes = CanonicalCodes(distanceLengths);
  // Every length and both distances with their extra bits, ready to send.
  std::array<TCode, kMaxMatch + 1> lengthCodes{};
  for (std::size_t length = kMinMatch; length <= kMaxMatch; ++length) {
    const std::size_t index = kLengthIndex[length];
    lengthCodes[length] =
        WithExtra(literalCodes[kFirstLengthSymbol + index],
                  static_cast<std::uint32_t>(length - kLengthBase[index]), kLengthExtra[index]);
  }
  const auto symbol = static_cast<std::size_t>(periodSymbol);
  const TCode byteBefore = distanceCodes[0];
  const TCode rowAbove = symbol == 0
                             ? byteBefore
                             : WithExtra(distanceCodes[symbol],
                                         static_cast<std::uint32_t>(period - kDistanceBase[symbol]),
                                         kDistanceExtra[symbol]);
  for (const TToken token : tokens) {
    if (token.Distance == 0) {
      bits.Put(literalCodes[token.Value]);
    } else {
      bits.Put(lengthCodes[token.Value]);
      bits.Put(token.Distance == 1 ? byteBefore : rowAbove);
    }
    bits.Flush();
  }
  bits.Put(literalCodes[kEndOfBlock]);
  bits.Flush();
}

}  // namespace

void AppendRunDeflate(QByteArray& out, std::span<const std::uint8_t> data, std::size_t period) {
  const bool rows = period > 1 && period <= kWindow;
  const int periodSymbol = rows ? DistanceSymbol(period) : 0;
  TBitWriter bits(out);
  bits.Reserve(2);
  // The zlib header: deflate with a 32 KiB window, made by the fastest
  // method, no dictionary, with its check bits.
  bits.Put(0x78, 8);
  bits.Put(0x01, 8);
  bits.Flush();
  std::vector<TToken> tokens;
  tokens.reserve(std::min(kBlockTokens, data.size() + 1));
  TFrequencies frequencies;
  const std::uint8_t* const d = data.data();
  const std::size_t n = data.size();
  for (std::size_t i = 0; i < n;) {
    const std::size_t limit = std::min(kMaxMatch, n - i);
    std::size_t length = i >= 1 ? MatchLength(d + i, d + i - 1, limit) : 0;
    std::size_t distance = 1;
    if (rows && length < limit && i >= period) {
      const std::size_t above = MatchLength(d + i, d + i - period, limit);
      if (above > length) {
        length = above;
        distance = period;
      }
    }
    if (length > 0) {
      tokens.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)});
      ++frequencies.LiteralLength[kFirstLengthSymbol + kLengthIndex[length]];
      ++frequencies.Distance[distance == 1 ? 0 : static_cast<std::size_t>(periodSymbol)];
      i += length;
    } else {
      tokens.push_back({d[i], 0});
      ++frequencies.LiteralLength[d[i]];
      ++i;
    }
    if (tokens.size() == kBlockTokens && i < n) {
      WriteBlock(bits, tokens, frequencies, period, periodSymbol, false);
      tokens.clear();
      frequencies = {};
    }
  }
  WriteBlock(bits, tokens, frequencies, period, periodSymbol, true);
  bits.Finish();
  const std::uint32_t adler = libdeflate_adler32(1, d, n);
  const char check[4] = {static_cast<char>(adler >> 24), static_cast<char>(adler >> 16),
                         static_cast<char>(adler >> 8), static_cast<char>(adler)};
  out.append(check, 4);
}
