// Documents as JSON: every stored value comes back, and JSON that does not
// describe a document is refused with the field it is about.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "tests/docfile/DocTestSupport.h"
#include "tools/DocJson.h"

namespace {

class DocJsonTest : public ::testing::Test {
 protected:
  TEntryCursor Cursor = nullptr;
  TDocument Original;
  TDocument Back;
  void TearDown() override {
    Original.Release();
    Back.Release();
  }

  // Document -> JSON text -> document.
  void RoundTrip() {
    TJsonValue json;
    std::string error;
    ASSERT_TRUE(ParseJson(DocumentJson(Original), kMaxJsonDepth, json, error)) << error;
    ASSERT_TRUE(DocumentFromJson(json, &Cursor, Back, error)) << error;
  }
};

TEST_F(DocJsonTest, SampleWithLayoutAndOddTextsComesBackExactly) {
  Original.Root = CreateLine(&Cursor);
  BuildSampleFormula(Original.Root);
  TFormulaEntry* odd = AppendFunctionEntry(Original.Root, fkUser);
  SetText(odd->Text1, std::u16string{u'\xDFFF', u'x', u'\xD800'});
  SetText(odd->Text2, u"\U0001D400\"\\\n");
  std::int32_t v = std::numeric_limits<std::int32_t>::min();
  for (const auto field : kLayoutFields) odd->*field = v++;
  Original.Font.Name = "\x80\x81\x8A\xFF";  // euro, an unassigned byte, S caron, y diaeresis
  Original.Font.Charset = 255;
  Original.Font.PixelsPerInch = -1;
  Original.Background = 0x80000005;
  Original.Margin = 0.1 + 0.2;
  RoundTrip();
  EXPECT_EQ(DescribeLine(Back.Root), DescribeLine(Original.Root));
  EXPECT_EQ(Back.Font, Original.Font);
  EXPECT_EQ(Back.Background, Original.Background);
  EXPECT_EQ(Back.Margin, Original.Margin);
}

TEST_F(DocJsonTest, MarginsThatAreNoNumberAndSignedZeroComeBack) {
  for (const double margin :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), -0.0, 5e-324, 1e308}) {
    Original.Margin = margin;
    RoundTrip();
    EXPECT_TRUE(std::isnan(margin) ? std::isnan(Back.Margin)
                                   : std::bit_cast<std::uint64_t>(Back.Margin) ==
                                         std::bit_cast<std::uint64_t>(margin))
        << margin;
  }
}

TEST_F(DocJsonTest, NullFormulaIsNoFormulaAndAbsentFieldsAreThoseOfANewDocument) {
  RoundTrip();
  EXPECT_EQ(Back.Root, nullptr);

  TJsonValue json;
  std::string error;
  ASSERT_TRUE(ParseJson(R"({"Formula": [{}]})", 8, json, error));
  ASSERT_TRUE(DocumentFromJson(json, &Cursor, Original, error)) << error;
  ASSERT_NE(Original.Root, nullptr);
  EXPECT_EQ(DescribeLine(Original.Root), "[(0 0 '' '' 0 0 0 0 0 0 0 0 0 0)]");
  EXPECT_EQ(Original.Font, TStoredFont{});
  EXPECT_EQ(Original.Background, kWhite);
  EXPECT_EQ(Original.Margin, 20.0);
}

// A document JSON nested `depth` functions deep.
std::string Nested(int depth) {
  std::string text = R"({"Formula": )";
  for (int i = 0; i < depth; ++i) text += R"([{"IsFunction": 1, "First": )";
  text += "[]";
  for (int i = 0; i < depth; ++i) text += "}]";
  return text + "}";
}

struct TRefusedCase {
  const char* description;
  std::string json;
  std::string messagePart;
};

void PrintTo(const TRefusedCase& c, std::ostream* os) { *os << c.description; }

class RefusedJsonTest : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(RefusedJsonTest, NamesTheFieldAndBuildsNothing) {
  TJsonValue json;
  std::string error;
  ASSERT_TRUE(ParseJson(GetParam().json, kMaxJsonDepth, json, error)) << error;
  TEntryCursor cursor = nullptr;
  TDocument doc;
  doc.Margin = 7;
  EXPECT_FALSE(DocumentFromJson(json, &cursor, doc, error));
  EXPECT_NE(error.find(GetParam().messagePart), std::string::npos) << error;
  EXPECT_EQ(doc.Root, nullptr);
  EXPECT_EQ(doc.Margin, 7);
  EXPECT_EQ(cursor, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedJsonTest,
    ::testing::Values(
        TRefusedCase{"not an object", "[]", "erwartet ein Objekt"},
        TRefusedCase{"an unknown field at the top", R"({"Formel": []})", "Formel"},
        TRefusedCase{"an unknown font field", R"({"Font": {"Height": 3}})", "Font.Height"},
        TRefusedCase{"an unknown entry field deep down",
                     R"({"Formula": [{"IsFunction": 1, "First": [{"Txt": ""}]}]})",
                     "Formula[0].First[0].Txt"},
        TRefusedCase{"a kind that is text", R"({"Formula": [{"Kind": "3"}]})", "Formula[0].Kind"},
        TRefusedCase{"a kind with a fraction", R"({"Formula": [{"Kind": 1.5}]})", "1.5"},
        TRefusedCase{"a negative IsFunction", R"({"Formula": [{"IsFunction": -1}]})", "IsFunction"},
        TRefusedCase{"a charset beyond a byte", R"({"Font": {"Charset": 256}})", "Font.Charset"},
        TRefusedCase{"a colour beyond 32 bits", R"({"Background": 4294967296})", "Background"},
        TRefusedCase{"a layout value beyond 32 bits",
                     R"({"Formula": [{"Layout": [0,0,0,0,0,0,0,0,0,2147483648]}]})", "Layout[9]"},
        TRefusedCase{"nine layout values", R"({"Formula": [{"Layout": [0,0,0,0,0,0,0,0,0]}]})",
                     "10 ganze Zahlen"},
        TRefusedCase{"a term with a sub-sequence", R"({"Formula": [{"Second": []}]})",
                     "IsFunction 1"},
        TRefusedCase{"a face name beyond 31 bytes",
                     R"({"Font": {"Name": "abcdefghijklmnopqrstuvwxyz012345"}})", "31"},
        TRefusedCase{"a face name outside Windows-1252", R"({"Font": {"Name": "\u03a3"}})",
                     "Windows-1252"},
        TRefusedCase{"a margin string that names nothing", R"({"Margin": "zwanzig"})", "Margin"},
        TRefusedCase{"a margin beyond double", R"({"Margin": 1e400})", "Margin"},
        TRefusedCase{"nesting one level beyond the limit", Nested(kMaxNestingDepth + 1), kTooDeep}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(DocJsonDepthTest, NestingUpToTheLimitIsBuilt) {
  TJsonValue json;
  std::string error;
  ASSERT_TRUE(ParseJson(Nested(kMaxNestingDepth), kMaxJsonDepth, json, error)) << error;
  TEntryCursor cursor = nullptr;
  TDocument doc;
  EXPECT_TRUE(DocumentFromJson(json, &cursor, doc, error)) << error;
  doc.Release();
}

}  // namespace
