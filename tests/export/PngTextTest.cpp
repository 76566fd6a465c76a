// Our own PNG chunk walk: the formula's text chunk is found wherever it
// stands and in every text form, and no length a file claims is trusted.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <tuple>
#include <vector>

#include "export/Inflate.h"
#include "export/PngText.h"

namespace {

std::string BigEndian(std::uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
  const std::string typeAndData = type + data;
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(typeAndData.data()),
                          static_cast<uInt>(typeAndData.size()));
  return BigEndian(static_cast<std::uint32_t>(data.size())) + typeAndData +
         BigEndian(static_cast<std::uint32_t>(crc));
}

std::string Deflated(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
           static_cast<uLong>(text.size()));
  out.resize(size);
  return out;
}

const std::string kSignature(kPngSignature);
const std::string kHeader =
    Chunk("IHDR", BigEndian(1) + BigEndian(1) + std::string("\x08\x02\0\0\0", 5));
const std::string kPixels = Chunk("IDAT", Deflated(std::string(4, '\0')));
const std::string kEnd = Chunk("IEND", "");
const std::string kKey("Quillmora\0", 10);

std::string Png(const std::string& beforePixels, const std::string& afterPixels = "") {
  return kSignature + kHeader + beforePixels + kPixels + afterPixels + kEnd;
}

std::string WithCrcBroken(std::string chunk) {
  chunk.back() ^= 1;
  return chunk;
}

// Found wherever it stands and in every text form, or Missing, Damaged or
// TooLarge for the limit of 1000 bytes, with the text left alone.
TEST(PngTextTest, FindsTheFormulaChunkOrSaysWhyNot) {
  using enum TPngTextResult;
  const std::string kUnchanged = "unchanged";
  const std::tuple<const char*, std::string, TPngTextResult, std::string> cases[] = {
      {"tEXt before the pixels", Png(Chunk("tEXt", kKey + "QUJD")), Found, "QUJD"},
      {"zTXt after the pixels", Png("", Chunk("zTXt", kKey + '\0' + Deflated("QUJD"))), Found,
       "QUJD"},
      {"iTXt, plain", Png(Chunk("iTXt", kKey + std::string("\0\0de\0Formel\0", 12) + "QUJD")),
       Found, "QUJD"},
      {"iTXt, compressed", Png(Chunk("iTXt", kKey + std::string("\1\0\0\0", 4) + Deflated("QUJD"))),
       Found, "QUJD"},
      {"the first of two", Png(Chunk("tEXt", kKey + "eins") + Chunk("tEXt", kKey + "zwei")), Found,
       "eins"},
      {"another keyword only", Png(Chunk("tEXt", std::string("Quillmoras\0x", 12))), Missing,
       kUnchanged},
      {"after IEND", Png("") + Chunk("tEXt", kKey + "QUJD"), Missing, kUnchanged},
      {"a wrong checksum", Png(WithCrcBroken(Chunk("tEXt", kKey + "QUJD"))), Damaged, kUnchanged},
      {"a stream that does not inflate", Png(Chunk("zTXt", kKey + '\0' + "kaputt")), Damaged,
       kUnchanged},
      {"a stream cut short",
       Png(Chunk("zTXt", kKey + '\0' + Deflated(std::string(500, 'Q')).substr(0, 6))), Damaged,
       kUnchanged},
      {"a small stream inflating beyond the limit",
       Png(Chunk("zTXt", kKey + '\0' + Deflated(std::string(1 << 20, 'Q')))), TooLarge, kUnchanged},
      {"plain text beyond the limit", Png(Chunk("tEXt", kKey + std::string(1001, 'Q'))), TooLarge,
       kUnchanged},
      {"our chunk claiming 2 GB",
       kSignature + kHeader + BigEndian(0x7FFFFFF0) + "tEXt" + kKey + "QUJD", Damaged, kUnchanged},
      {"another chunk claiming 2 GB before ours",
       kSignature + kHeader + BigEndian(0x7FFFFFF0) + "IDAT" + Chunk("tEXt", kKey + "QUJD"),
       Missing, kUnchanged},
      {"no PNG", "GIF89a", Missing, kUnchanged},
  };
  for (const auto& [description, png, result, expected] : cases) {
    std::string text = kUnchanged;
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(png.data()), png.size());
    EXPECT_EQ(ReadPngText(bytes, "Quillmora", 1000, text), result) << description;
    EXPECT_EQ(text, expected) << description;
  }
}

// The one inflate that PNG text chunks and PDF streams share.
TEST(InflateCappedTest, StopsAtTheCapAndAtDamage) {
  const std::string text(100000, 'x');
  const std::string stream = Deflated(text);
  const struct {
    const char* what;
    std::string stream;
    std::size_t cap;
    TInflateResult result;
  } cases[] = {
      {"a whole stream within the cap", stream, text.size(), TInflateResult::Done},
      {"one byte more than the cap allows", stream, text.size() - 1, TInflateResult::TooLarge},
      {"a small stream claiming far more than the cap", stream, 1000, TInflateResult::TooLarge},
      {"a stream cut short", stream.substr(0, stream.size() / 2), text.size(),
       TInflateResult::Damaged},
      {"no zlib stream at all", "not deflated", text.size(), TInflateResult::Damaged},
      {"nothing", "", text.size(), TInflateResult::Damaged},
  };
  for (const auto& c : cases) {
    std::string out = "untouched";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.stream.data());
    EXPECT_EQ(InflateCapped({bytes, c.stream.size()}, c.cap, out), c.result) << c.what;
    EXPECT_EQ(out, c.result == TInflateResult::Done ? text : "untouched") << c.what;
  }
}

}  // namespace
