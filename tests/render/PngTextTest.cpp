// Our own PNG chunk walk: the formula's text chunk is found wherever it
// stands and in every text form, and no length a file claims is trusted.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "render/PngText.h"

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

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);
const std::string kHeader =
    Chunk("IHDR", BigEndian(1) + BigEndian(1) + std::string("\x08\x02\0\0\0", 5));
const std::string kPixels = Chunk("IDAT", Deflated(std::string(4, '\0')));
const std::string kEnd = Chunk("IEND", "");
const std::string kKey("Quillmora\0", 10);

std::string Png(const std::string& beforePixels, const std::string& afterPixels = "") {
  return kSignature + kHeader + beforePixels + kPixels + afterPixels + kEnd;
}

struct TChunkCase {
  const char* description;
  std::string png;
  TPngTextResult result;
  std::string text;
};

void PrintTo(const TChunkCase& c, std::ostream* os) { *os << c.description; }

class PngTextTest : public ::testing::TestWithParam<TChunkCase> {};

TEST_P(PngTextTest, FindsTheFormulaChunkOrSaysWhyNot) {
  const std::string& png = GetParam().png;
  std::string text = "unchanged";
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(png.data()), png.size());
  EXPECT_EQ(ReadPngText(bytes, "Quillmora", 1000, text), GetParam().result);
  EXPECT_EQ(text, GetParam().text);
}

std::string WithCrcBroken(std::string chunk) {
  chunk.back() ^= 1;
  return chunk;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PngTextTest,
    ::testing::Values(
        TChunkCase{"tEXt before the pixels", Png(Chunk("tEXt", kKey + "QUJD")),
                   TPngTextResult::Found, "QUJD"},
        TChunkCase{"zTXt after the pixels", Png("", Chunk("zTXt", kKey + '\0' + Deflated("QUJD"))),
                   TPngTextResult::Found, "QUJD"},
        TChunkCase{"iTXt, plain",
                   Png(Chunk("iTXt", kKey + std::string("\0\0de\0Formel\0", 12) + "QUJD")),
                   TPngTextResult::Found, "QUJD"},
        TChunkCase{"iTXt, compressed",
                   Png(Chunk("iTXt", kKey + std::string("\1\0\0\0", 4) + Deflated("QUJD"))),
                   TPngTextResult::Found, "QUJD"},
        TChunkCase{"the first of two",
                   Png(Chunk("tEXt", kKey + "eins") + Chunk("tEXt", kKey + "zwei")),
                   TPngTextResult::Found, "eins"},
        TChunkCase{"another keyword only", Png(Chunk("tEXt", std::string("Quillmoras\0x", 12))),
                   TPngTextResult::Missing, "unchanged"},
        TChunkCase{"after IEND", Png("") + Chunk("tEXt", kKey + "QUJD"), TPngTextResult::Missing,
                   "unchanged"},
        TChunkCase{"a wrong checksum", Png(WithCrcBroken(Chunk("tEXt", kKey + "QUJD"))),
                   TPngTextResult::Damaged, "unchanged"},
        TChunkCase{"a stream that does not inflate", Png(Chunk("zTXt", kKey + '\0' + "kaputt")),
                   TPngTextResult::Damaged, "unchanged"},
        TChunkCase{"a stream cut short",
                   Png(Chunk("zTXt", kKey + '\0' + Deflated(std::string(500, 'Q')).substr(0, 6))),
                   TPngTextResult::Damaged, "unchanged"},
        TChunkCase{"a small stream inflating beyond the limit",
                   Png(Chunk("zTXt", kKey + '\0' + Deflated(std::string(1 << 20, 'Q')))),
                   TPngTextResult::TooLarge, "unchanged"},
        TChunkCase{"plain text beyond the limit", Png(Chunk("tEXt", kKey + std::string(1001, 'Q'))),
                   TPngTextResult::TooLarge, "unchanged"},
        TChunkCase{"our chunk claiming 2 GB",
                   kSignature + kHeader + BigEndian(0x7FFFFFF0) + "tEXt" + kKey + "QUJD",
                   TPngTextResult::Damaged, "unchanged"},
        TChunkCase{
            "another chunk claiming 2 GB before ours",
            kSignature + kHeader + BigEndian(0x7FFFFFF0) + "IDAT" + Chunk("tEXt", kKey + "QUJD"),
            TPngTextResult::Missing, "unchanged"},
        TChunkCase{"no PNG", "GIF89a", TPngTextResult::Missing, "unchanged"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
