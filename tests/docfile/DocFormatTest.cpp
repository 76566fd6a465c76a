// The bytes the writer produces, and that reading them gives the document back.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "docfile/DocFile.h"
#include "tests/docfile/DocTestSupport.h"

namespace {

class DocFormatTest : public ::testing::Test {
 protected:
  TEntryCursor CurrentEntry = nullptr;
  TFormulaLine* Root = CreateLine(&CurrentEntry);
  void TearDown() override { freetheline(Root); }

  // Reads `bytes` and expects the tree `Root` holds, with the given file size.
  void ExpectRoundTrip(const std::vector<std::uint8_t>& bytes) {
    TEntryCursor readCursor = nullptr;
    TDocument read;
    std::string error;
    ASSERT_TRUE(DecodeDocument(bytes, &readCursor, read, error)) << error;
    EXPECT_EQ(DescribeLine(read.Root), DescribeLine(Root));
    read.Release();
  }
};

TEST_F(DocFormatTest, WorkedExampleIsExactlyTheseBytes) {
  AppendTermEntry(Root, u"ab");
  const std::vector<std::uint8_t> bytes = EncodeDocument(Root, TStoredFont{}, kWhite, 20.0);

  std::vector<std::uint8_t> expected = TBytes()
                                           .U32(1)
                                           .U32(1)
                                           .U32(0)
                                           .U32(0)
                                           .U32(1)  // Text1 slot: not empty
                                           .Zeros(12 + 40)
                                           .U32(2)
                                           .U8('a')
                                           .U8(0)
                                           .U8('b')
                                           .U8(0)
                                           .U32(0)
                                           .Get();
  const std::vector<std::uint8_t> font = {0x00, 0x08, 0x00, 0x00, 0x80, 0x14};
  expected.insert(expected.end(), font.begin(), font.end());
  const char* name = "Microsoft Sans Serif";
  expected.insert(expected.end(), name, name + std::strlen(name));
  const std::vector<std::uint8_t> tail = {0x00, 0x60, 0,    0, 0, 0x0A, 0, 0, 0, 0x00, 0xFF,
                                          0xFF, 0xFF, 0x00, 0, 0, 0,    0, 0, 0, 0x34, 0x40};
  expected.insert(expected.end(), tail.begin(), tail.end());

  ASSERT_EQ(expected.size(), 132u);
  EXPECT_EQ(bytes, expected);
}

TEST_F(DocFormatTest, EmptyFormulaTakes56Bytes) {
  const std::vector<std::uint8_t> bytes = EncodeDocument(Root, TStoredFont{}, kWhite, 20.0);
  EXPECT_EQ(bytes.size(), 56u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
            TBytes().U32(1).U32(0).Get());
}

struct TShapeCase {
  const char* description;
  std::function<void(TFormulaLine*)> build;
  std::size_t formulaBytes;  // the root sequence block alone
};

void PrintTo(const TShapeCase& c, std::ostream* os) { *os << c.description; }

class DocShapeTest : public DocFormatTest, public ::testing::WithParamInterface<TShapeCase> {};

TEST_P(DocShapeTest, HasTheSizeOfItsBlocksAndReadsBackTheSame) {
  GetParam().build(Root);
  const std::vector<std::uint8_t> bytes = EncodeDocument(Root, TStoredFont{}, kWhite, 20.0);
  EXPECT_EQ(bytes.size() - TBytes::TailBytes().size(), GetParam().formulaBytes);
  ExpectRoundTrip(bytes);
}

constexpr std::size_t kEntry = 64 + 4 + 4;  // image and two empty texts

INSTANTIATE_TEST_SUITE_P(
    Shapes, DocShapeTest,
    ::testing::Values(
        TShapeCase{"a text of three units takes 10 bytes",
                   [](TFormulaLine* l) { AppendTermEntry(l, u"abc"); }, 8 + kEntry + 6},
        TShapeCase{"characters beyond the BMP count as two code units each",
                   [](TFormulaLine* l) { AppendTermEntry(l, u"\U0001D400x"); }, 8 + kEntry + 6},
        TShapeCase{"a root without its Second is followed by First and one zero word",
                   [](TFormulaLine* l) { AppendFunctionEntry(l, fkWurzel); }, 8 + kEntry + 8 + 4},
        TShapeCase{"a fraction with empty parts writes two 8-byte blocks",
                   [](TFormulaLine* l) { AppendFunctionEntry(l, fkBruch); }, 8 + kEntry + 8 + 8},
        TShapeCase{"both texts of a function are kept, including lone surrogates",
                   [](TFormulaLine* l) {
                     TFormulaEntry* e = AppendFunctionEntry(l, fkSumme);
                     SetText(e->Text1, std::u16string(1, char16_t(0xD800)));
                     SetText(e->Text2, u"n");
                   },
                   8 + kEntry + 2 + 2 + 8 + 4},
        TShapeCase{"layout fields travel as stored, negative ones too",
                   [](TFormulaLine* l) {
                     TFormulaEntry* e = AppendTermEntry(l, u"");
                     std::int32_t v = -3;
                     for (const auto field : kLayoutFields) e->*field = v++ * 1000;
                   },
                   8 + kEntry}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(DocFormatTest, SampleFormulaReadsBackWithFontColourAndMargin) {
  BuildSampleFormula(Root);
  TStoredFont font;
  font.Name = "DejaVu Sans";
  font.Size = 14;
  font.Style = fsBold | fsItalic;
  font.Color = 0x00123456;
  const std::vector<std::uint8_t> bytes = EncodeDocument(Root, font, 0x00C0FFEE, 37.0);

  TEntryCursor cursor = nullptr;
  TDocument read;
  std::string error;
  ASSERT_TRUE(DecodeDocument(bytes, &cursor, read, error)) << error;
  EXPECT_EQ(DescribeLine(read.Root), DescribeLine(Root));
  EXPECT_EQ(read.Font, font);
  EXPECT_EQ(read.Background, 0x00C0FFEEu);
  EXPECT_EQ(read.Margin, 37.0);
  // Every sequence of the new tree is bound to the caller's cursor.
  EXPECT_EQ(read.Root->CursorVar(), &cursor);
  EXPECT_EQ(EntryAt(*read.Root, 1)->First->CursorVar(), &cursor);
  read.Release();
}

TEST_F(DocFormatTest, AbsentRootIsWrittenAsOneZeroWordAndReadAsNoFormula) {
  const std::vector<std::uint8_t> bytes = EncodeDocument(nullptr, TStoredFont{}, kWhite, 20.0);
  EXPECT_EQ(bytes.size(), 52u);
  TEntryCursor cursor = nullptr;
  TDocument read;
  std::string error;
  ASSERT_TRUE(DecodeDocument(bytes, &cursor, read, error)) << error;
  EXPECT_EQ(read.Root, nullptr);
}

TEST_F(DocFormatTest, FaceNameIsCutTo31BytesOnWriting) {
  TStoredFont font;
  font.Name = std::string(40, 'x');
  TEntryCursor cursor = nullptr;
  TDocument read;
  std::string error;
  ASSERT_TRUE(DecodeDocument(EncodeDocument(Root, font, kWhite, 20.0), &cursor, read, error));
  EXPECT_EQ(read.Font.Name, std::string(31, 'x'));
  read.Release();
}

}  // namespace
