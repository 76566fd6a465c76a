// The reader on files that no writer of ours makes: old, odd, damaged and hostile ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "docfile/DocFile.h"
#include "tests/docfile/DocTestSupport.h"

namespace {

struct TDecoded {
  bool ok = false;
  std::string error;
  TDocument doc;
  TEntryCursor cursor = nullptr;
  TDecoded() = default;
  TDecoded(const TDecoded&) = delete;
  ~TDecoded() { doc.Release(); }
};

void Decode(const std::vector<std::uint8_t>& bytes, TDecoded& out) {
  out.ok = DecodeDocument(bytes, &out.cursor, out.doc, out.error);
}

struct TOddFileCase {
  const char* description;
  std::vector<std::uint8_t> bytes;
  std::string expectedTree;  // DescribeLine of the root
};

void PrintTo(const TOddFileCase& c, std::ostream* os) { *os << c.description; }

class OddFileTest : public ::testing::TestWithParam<TOddFileCase> {};

TEST_P(OddFileTest, ReadsAsTheFormatSays) {
  TDecoded read;
  Decode(GetParam().bytes, read);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(DescribeLine(read.doc.Root), GetParam().expectedTree);
  EXPECT_EQ(read.doc.Font, TStoredFont{}) << "the font block was not found where it belongs";
}

const std::string kBlankLayout = " 0 0 0 0 0 0 0 0 0 0";

INSTANTIATE_TEST_SUITE_P(
    Cases, OddFileTest,
    ::testing::Values(
        TOddFileCase{"root presence word 0 opens as no formula", TBytes().U32(0).Tail().Get(), "-"},
        TOddFileCase{"any non-zero presence word means present",
                     TBytes().U32(7).U32(0).Tail().Get(), "[]"},
        TOddFileCase{"a negative text length means the empty text",
                     TBytes().U32(1).U32(1).Image(0, 0).U32(-2).U32(0).Tail().Get(),
                     "[(0 0 '' ''" + kBlankLayout + ")]"},
        TOddFileCase{"IsFunction 2 has no sub-sequence blocks",
                     TBytes()
                         .U32(1)
                         .U32(2)
                         .Image(2, 5)
                         .U32(0)
                         .U32(0)
                         .Image(0, 0)
                         .U32(1)
                         .U8(0x78)
                         .U8(0)
                         .U32(0)
                         .Tail()
                         .Get(),
                     "[(2 5 '' ''" + kBlankLayout + ")(0 0 '120,' ''" + kBlankLayout + ")]"},
        TOddFileCase{"a function kind out of range is taken as stored",
                     TBytes().U32(1).U32(1).Image(1, 99).U32(0).U32(0).U32(0).U32(0).Tail().Get(),
                     "[(1 99 '' ''" + kBlankLayout + " - -)]"},
        TOddFileCase{"the pointer slots are ignored",
                     TBytes()
                         .U32(1)
                         .U32(1)
                         .U32(0)
                         .U32(0)
                         .U32(5)
                         .U32(5)
                         .U32(5)
                         .U32(5)
                         .Zeros(40)
                         .U32(0)
                         .U32(0)
                         .Tail()
                         .Get(),
                     "[(0 0 '' ''" + kBlankLayout + ")]"},
        TOddFileCase{"bytes after the margin are accepted",
                     TBytes().U32(1).U32(0).Tail().U32(0xDEADBEEF).Get(), "[]"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// A file with a 40-byte face name: the rest of the name is skipped, not
// taken for the pitch and size.
TEST(DocReaderTest, LongFaceNameIsCutAndItsRestSkipped) {
  std::vector<std::uint8_t> bytes = TBytes().U32(0).U8(0).U32(kWindowTextColor).U8(40).Get();
  bytes.insert(bytes.end(), 40, 'n');
  bytes = TBytes().Raw(bytes).U8(2).U32(120).U32(12).U8(fsItalic).U32(kWhite).Zeros(8).Get();
  TDecoded read;
  Decode(bytes, read);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.doc.Font.Name, std::string(31, 'n'));
  EXPECT_EQ(read.doc.Font.Pitch, 2);
  EXPECT_EQ(read.doc.Font.PixelsPerInch, 120);
  EXPECT_EQ(read.doc.Font.Size, 12);
  EXPECT_EQ(read.doc.Font.Style, fsItalic);
}

struct TMarginCase {
  const char* description;
  double stored;
  std::int32_t shown;
};

void PrintTo(const TMarginCase& c, std::ostream* os) { *os << c.description; }

class MarginTest : public ::testing::TestWithParam<TMarginCase> {};

TEST_P(MarginTest, OpensInRangeWithHalvesToEven) {
  EXPECT_EQ(MarginFromStored(GetParam().stored), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarginTest,
    ::testing::Values(
        TMarginCase{"20.5 goes down to the even 20", 20.5, 20},
        TMarginCase{"21.5 goes up to the even 22", 21.5, 22},
        TMarginCase{"a fraction below the half rounds down", 7.49, 7},
        TMarginCase{"1500 is brought to 1000", 1500, 1000},
        TMarginCase{"999.5 goes to 1000", 999.5, 1000}, TMarginCase{"negative is 0", -3, 0},
        TMarginCase{"not a number is 0", std::nan(""), 0},
        TMarginCase{"infinity is 1000", std::numeric_limits<double>::infinity(), 1000},
        TMarginCase{"minus infinity is 0", -std::numeric_limits<double>::infinity(), 0}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(DocFontTest, PointSizeIsKeptAcrossResolutions) {
  TStoredFont stored;
  stored.PixelsPerInch = 120;
  stored.Size = 12;
  stored.Style = fsBold | fsUnderline;
  const TFontDesc font = FontFromStored(stored);
  EXPECT_EQ(font.Height, -16);  // 12 pt at 96 ppi
  EXPECT_EQ(font.Style, fsBold | fsUnderline);

  const TStoredFont back = StoredFromFont(font);
  EXPECT_EQ(back.PixelsPerInch, 96);
  EXPECT_EQ(back.Size, 12);
  EXPECT_EQ(StoredFromFont(TFontDesc{}), TStoredFont{}) << "the initial font is 10 pt at 96 ppi";
}

// Below 72 pixels per inch a point is less than a pixel, so the size read
// through the whole pixel height at that resolution comes out larger; the
// size opens as the next save writes it.
TEST(DocFontTest, SizeIsReadThroughItsHeightAtThatResolution) {
  struct {
    std::int32_t pixelsPerInch, size, opensAs;
  } const kCases[] = {
      {48, 1, 2},                                               // one pixel, 2 points
      {36, 3, 4},                                               // two pixels, 4 points
      {36, 10, 10},                                             // five pixels, 10 points
      {1, 10, 0},                                               // no pixel, 0 points
      {72, 7, 7},   {120, 12, 12}, {0, 10, 10}, {-96, 10, 10},  // the size kept
  };
  for (const auto& c : kCases) {
    TStoredFont stored;
    stored.PixelsPerInch = c.pixelsPerInch;
    stored.Size = c.size;
    EXPECT_EQ(StoredFromFont(FontFromStored(stored)).Size, c.opensAs)
        << c.size << " pt at " << c.pixelsPerInch << " ppi";
  }
}

// A chain of fractions, each holding the next in its numerator.
std::vector<std::uint8_t> NestedDocument(int depth) {
  TBytes bytes;
  bytes.U32(1).U32(1);
  for (int level = 0; level < depth; ++level) bytes.Image(1, fkBruch).U32(0).U32(0).U32(1).U32(1);
  bytes.Image(0, 0).U32(0).U32(0);
  for (int level = 0; level < depth; ++level) bytes.U32(0);  // each Second absent
  return bytes.Tail().Get();
}

TEST(DocReaderTest, NestingIsLimitedTo1000Levels) {
  TDecoded deepest;
  Decode(NestedDocument(kMaxNestingDepth), deepest);
  EXPECT_TRUE(deepest.ok) << deepest.error;

  TDecoded tooDeep;
  Decode(NestedDocument(kMaxNestingDepth + 1), tooDeep);
  EXPECT_FALSE(tooDeep.ok);
  EXPECT_EQ(tooDeep.error, kTooDeep);
  EXPECT_EQ(tooDeep.doc.Root, nullptr);
}

// What the reader refuses, the writer refuses before writing anything; what
// it takes, the writer measures at exactly the size it then writes.
TEST(DocWriterLimitTest, RefusesWhatTheReaderWouldRefuse) {
  TDecoded deepest;
  Decode(NestedDocument(kMaxNestingDepth), deepest);
  ASSERT_TRUE(deepest.ok) << deepest.error;
  std::string error;
  EXPECT_TRUE(CheckDocumentForWriting(deepest.doc, error)) << error;
  EXPECT_EQ(MeasureDocument(deepest.doc).Bytes, EncodeDocument(deepest.doc).size());

  // One level more, made in memory as an editor could make it.
  TFormulaEntry* innermost = EntryAt(*deepest.doc.Root, 0);
  while (EntryAt(*innermost->First, 0)->IsFunction == 1) innermost = EntryAt(*innermost->First, 0);
  AppendFunctionEntry(innermost->First, fkWurzel);
  EXPECT_FALSE(CheckDocumentForWriting(deepest.doc, error));
  EXPECT_EQ(error, kTooDeepToSave);
}

TEST(DocWriterLimitTest, MeasuresEveryKindOfBlock) {
  TEntryCursor cursor = nullptr;
  TDocument sample;
  sample.Root = CreateLine(&cursor);
  BuildSampleFormula(sample.Root);
  SetText(EntryAt(*sample.Root, 0)->Text2, u"\U0001D465 two units");
  sample.Font.Name = std::string(40, 'x');  // cut to 31 when written
  EXPECT_EQ(MeasureDocument(sample).Bytes, EncodeDocument(sample).size());
  EXPECT_EQ(MeasureDocument(TDocument{}).Bytes, EncodeDocument(TDocument{}).size());
  sample.Release();
}

struct THostileCase {
  const char* description;
  std::vector<std::uint8_t> bytes;
  std::string error;
};

void PrintTo(const THostileCase& c, std::ostream* os) { *os << c.description; }

class HostileFileTest : public ::testing::TestWithParam<THostileCase> {};

TEST_P(HostileFileTest, IsRefusedWithoutTouchingTheTarget) {
  TDecoded read;
  TStoredFont before;
  before.Name = "Before";
  read.doc.Font = before;
  read.doc.Margin = 33;
  Decode(GetParam().bytes, read);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, GetParam().error);
  EXPECT_EQ(read.doc.Root, nullptr);
  EXPECT_EQ(read.doc.Font, before);
  EXPECT_EQ(read.doc.Margin, 33);
}

// An empty formula with the given resolution, point size and margin.
std::vector<std::uint8_t> WithFont(std::int32_t pixelsPerInch, std::int32_t size, double margin) {
  TStoredFont font;
  font.PixelsPerInch = pixelsPerInch;
  font.Size = size;
  return EncodeDocument(nullptr, font, kWhite, margin);
}

std::vector<std::uint8_t> Padded(TBytes bytes, std::size_t size) {
  return bytes.Zeros(size - bytes.Get().size()).Get();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileFileTest,
    ::testing::Values(
        THostileCase{"a count of two billion in a 100-byte file",
                     Padded(TBytes().U32(1).U32(2000000000), 100), kReadBeyondEnd},
        THostileCase{"a count one more than the file can hold",
                     TBytes().U32(1).U32(2).Image(0, 0).U32(0).U32(0).Tail().Get(), kReadBeyondEnd},
        THostileCase{"a text length of 2^31 - 1",
                     Padded(TBytes().U32(1).U32(1).Image(0, 0).U32(0x7FFFFFFF), 200),
                     kReadBeyondEnd},
        THostileCase{"a text one unit longer than the rest of the file",
                     TBytes().U32(1).U32(1).Image(0, 0).U32(42).Zeros(82).Get(), kReadBeyondEnd},
        THostileCase{
            "a sub-sequence count beyond the file",
            TBytes().U32(1).U32(1).Image(1, 0).U32(0).U32(0).U32(1).U32(0x10000).Tail().Get(),
            kReadBeyondEnd},
        THostileCase{"a file ending inside the margin",
                     [] {
                       std::vector<std::uint8_t> b = TBytes().U32(1).U32(0).Tail().Get();
                       b.pop_back();
                       return b;
                     }(),
                     kReadBeyondEnd},
        THostileCase{"a file ending inside the colour",
                     TBytes()
                         .U32(0)
                         .Raw([] {
                           std::vector<std::uint8_t> t = TBytes::TailBytes();
                           t.resize(t.size() - 10);
                           return t;
                         }())
                         .Get(),
                     kReadBeyondEnd},
        THostileCase{"an empty file", {}, kReadBeyondEnd},
        // What no writer of the editor could have written reads as damaged.
        THostileCase{"a negative count", TBytes().U32(1).U32(-5).Tail().Get(), kReadBeyondEnd},
        THostileCase{
            "a negative sub-sequence count",
            TBytes().U32(1).U32(1).Image(1, 0).U32(0).U32(0).U32(1).U32(-1).U32(0).Tail().Get(),
            kReadBeyondEnd},
        THostileCase{"a margin that is no number",
                     WithFont(kScreenPixelsPerInch, 10, std::nan("")), kReadBeyondEnd},
        THostileCase{"an infinite margin",
                     WithFont(kScreenPixelsPerInch, 10, -std::numeric_limits<double>::infinity()),
                     kReadBeyondEnd},
        THostileCase{"zero pixels per inch", WithFont(0, 10, 20), kReadBeyondEnd},
        THostileCase{"negative pixels per inch", WithFont(-96, 10, 20), kReadBeyondEnd},
        THostileCase{"a size whose pixel height passes 32 bits",
                     WithFont(kScreenPixelsPerInch, -1676190048, 20), kReadBeyondEnd}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(DocReaderTest, EveryTruncationIsAnErrorAndLeavesTheTargetAlone) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* sample = CreateLine(&cursor);
  BuildSampleFormula(sample);
  const std::vector<std::uint8_t> bytes = EncodeDocument(sample, TStoredFont{}, 0x00102030, 17.0);

  TDocument target;
  target.Root = sample;
  target.Margin = 5;
  TEntryCursor* const open = &cursor;
  const TEntryCursor cursorBefore = cursor;
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    std::string error;
    const std::span<const std::uint8_t> head(bytes.data(), size);
    ASSERT_FALSE(DecodeDocument(head, open, target, error)) << "length " << size;
    EXPECT_EQ(error, kReadBeyondEnd) << "length " << size;
    ASSERT_EQ(target.Root, sample);
    EXPECT_EQ(target.Margin, 5);
    EXPECT_EQ(target.Background, kWhite);
    EXPECT_EQ(cursor, cursorBefore) << "the cursor points into a released tree";
  }
  std::string error;
  ASSERT_TRUE(DecodeDocument(bytes, open, target, error)) << error;
  EXPECT_NE(target.Root, sample) << "the old tree is released, ASan tells if not";
  target.Release();
}

// Values that an old document may hold, odd as they are, still open.
TEST(DocReaderTest, OddButPossibleFontsAndMarginsOpen) {
  const struct {
    std::int32_t pixelsPerInch, size;
    double margin;
  } kCases[] = {{1, 0, 20}, {96, -13, 20}, {96, 1610612735, 20}, {600, 10, -1.3e72}, {96, 10, 1e300}};
  for (const auto& c : kCases) {
    TDecoded read;
    Decode(WithFont(c.pixelsPerInch, c.size, c.margin), read);
    EXPECT_TRUE(read.ok) << c.pixelsPerInch << " ppi, " << c.size << " pt, margin " << c.margin;
  }
}

// Random bytes are no document: the first count or length of such a file
// is almost never one the rest of it could hold.
TEST(DocReaderTest, RandomBytesAlmostNeverOpen) {
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> length(0, 4096);
  std::uniform_int_distribution<int> byte(0, 255);
  int opened = 0;
  for (int file = 0; file < 1000; ++file) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length(random)));
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(byte(random));
    TDecoded read;
    Decode(bytes, read);
    opened += read.ok ? 1 : 0;
  }
  EXPECT_LE(opened, 1);
}

// A small file can describe a tree of far more record blocks than its own
// size: each of its sequences holds a block of 100 records. Such a file is
// refused from its counts alone, before a single block is allocated.
int gBlocks = 0;
void* CountingAllocate(std::size_t bytes) {
  ++gBlocks;
  return std::calloc(1, bytes);
}

void AppendPowers(TBytes& bytes, int depth) {
  if (depth == 0) {
    bytes.Image(0, 0).U32(0).U32(0);
    return;
  }
  bytes.Image(1, fkPotenz).U32(0).U32(0);
  for (int part = 0; part < 2; ++part) {
    bytes.U32(1).U32(1);
    AppendPowers(bytes, depth - 1);
  }
}

TEST(DocReaderTest, ADocumentOfTooManyBlocksIsRefusedBeforeAnyIsMade) {
  // 17 trees of 1023 powers each, as a picture's document may carry them:
  // under 4 MiB, some 280 MB of blocks (two of 8,000 bytes a power).
  TBytes bytes;
  bytes.U32(1).U32(17);
  for (int tree = 0; tree < 17; ++tree) AppendPowers(bytes, 10);
  const std::vector<std::uint8_t> document = bytes.Tail().Get();
  ASSERT_LT(document.size(), std::size_t{4} << 20);

  gBlocks = 0;
  SetBlockAllocator(CountingAllocate, std::free);
  TDecoded read;
  Decode(document, read);
  ResetBlockAllocator();
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, kTooManyBlocks);
  EXPECT_EQ(gBlocks, 0);
}

// The writer refuses what the reader would refuse as damaged.
TEST(DocWriterLimitTest, RefusesAMarginOrFontNoReaderTakes) {
  TDocument document;
  std::string error;
  document.Margin = std::nan("");
  EXPECT_FALSE(CheckDocumentForWriting(document, error));
  EXPECT_EQ(error, kNotStorable);
  document.Margin = 20;
  document.Font.PixelsPerInch = 0;
  EXPECT_FALSE(CheckDocumentForWriting(document, error));
  document.Font.PixelsPerInch = 96;
  EXPECT_TRUE(CheckDocumentForWriting(document, error)) << error;
}

// Fails every block allocation after the first `gAllowed` ones.
int gAllowed = 0;
void* CountedAllocate(std::size_t bytes) {
  return gAllowed-- > 0 ? std::calloc(1, bytes) : nullptr;
}

TEST(DocReaderTest, MemoryRunningOutMidwayIsAnErrorWithoutLeaks) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* sample = CreateLine(&cursor);
  BuildSampleFormula(sample);
  const std::vector<std::uint8_t> bytes = EncodeDocument(sample, TStoredFont{}, kWhite, 20.0);
  freetheline(sample);

  std::vector<std::string> reported;
  SetAllocFailureReporter([&](const std::string& m) { reported.push_back(m); });
  for (int allowed = 0; allowed < 4; ++allowed) {
    gAllowed = allowed;
    SetBlockAllocator(CountedAllocate, std::free);
    TDecoded read;
    Decode(bytes, read);
    ResetBlockAllocator();
    EXPECT_FALSE(read.ok) << allowed << " allocations allowed";
    EXPECT_EQ(read.error, kOutOfMemory);
  }
  SetAllocFailureReporter([](const std::string&) {});
  EXPECT_EQ(reported.size(), 4u);
}

}  // namespace
