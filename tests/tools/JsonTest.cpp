// The JSON reader and writer: exact UTF-16 both ways, strict grammar, and a
// depth limit that keeps any input from exhausting the stack.
#include <gtest/gtest.h>

#include "tools/Json.h"

namespace {

TJsonValue Parse(std::string_view text, int maxDepth = 64) {
  TJsonValue value;
  std::string error;
  EXPECT_TRUE(ParseJson(text, maxDepth, value, error)) << error;
  return value;
}

TEST(JsonTest, EveryCodeUnitSurvivesWritingAndReading) {
  std::u16string all;
  for (char32_t unit = 0; unit <= 0xFFFF; ++unit) all.push_back(static_cast<char16_t>(unit));
  // Lone surrogates at both ends and a reversed pair in the middle.
  all += u'\xDC00';
  all += u'\xD800';
  const std::u16string reversed = {u'\xDE00', u'\xD83D'};
  all = reversed + all + std::u16string(1, u'\xD800');

  const std::string written = WriteJson(TJsonValue::MakeString(all));
  const TJsonValue read = Parse(written);
  ASSERT_EQ(read.Type, TJsonValue::TType::String);
  EXPECT_TRUE(read.String == all);
}

TEST(JsonTest, WritesCharactersAsUtf8AndLoneSurrogatesAsEscapes) {
  const std::u16string text = u"ä\u2211\U0001D400" + std::u16string(1, u'\xD800') + u"\"\\\n\x01";
  EXPECT_EQ(WriteJson(TJsonValue::MakeString(text)),
            "\"ä\u2211\U0001D400\\uD800\\\"\\\\\\n\\u0001\"\n");
}

TEST(JsonTest, EscapedPairsAndRawUtf8ReadAsTheSameUnits) {
  EXPECT_TRUE(Parse(R"("\ud83d\ude00")").String == Parse("\"\U0001F600\"").String);
  EXPECT_TRUE(Parse(R"("\u00e4\/")").String == u"ä/");
}

TEST(JsonTest, KeepsNumbersAsWrittenAndMembersInOrder) {
  const TJsonValue value = Parse(R"({"b": -0, "a": 1.25e-3, "c": [true, null]})");
  ASSERT_EQ(value.Members.size(), 3u);
  EXPECT_EQ(value.Members[0].Key, "b");
  EXPECT_EQ(value.Members[0].Value.Number, "-0");
  EXPECT_EQ(value.Members[1].Value.Number, "1.25e-3");
  EXPECT_EQ(value.Members[2].Value.Items[0].Bool, true);
  EXPECT_EQ(value.Members[2].Value.Items[1].Type, TJsonValue::TType::Null);
}

struct TBadJsonCase {
  const char* description;
  std::string text;
  std::string messagePart;
};

void PrintTo(const TBadJsonCase& c, std::ostream* os) { *os << c.description; }

class BadJsonTest : public ::testing::TestWithParam<TBadJsonCase> {};

TEST_P(BadJsonTest, IsRefusedWithAPlace) {
  TJsonValue value;
  std::string error;
  EXPECT_FALSE(ParseJson(GetParam().text, 8, value, error));
  EXPECT_NE(error.find(GetParam().messagePart), std::string::npos) << error;
  EXPECT_NE(error.find("Zeile"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadJsonTest,
    ::testing::Values(TBadJsonCase{"empty input", "", "Ende"},
                      TBadJsonCase{"trailing comma", "[1,]", "unbekannter Wert"},
                      TBadJsonCase{"leading zero", "012", "nach dem Ende"},
                      TBadJsonCase{"bare dot", "1.", "Dezimalpunkt"},
                      TBadJsonCase{"plus sign", "+1", "unbekannter Wert"},
                      TBadJsonCase{"string without end", "\"abc", "ohne Ende"},
                      TBadJsonCase{"raw control character", "\"a\tb\"", "Steuerzeichen"},
                      TBadJsonCase{"unknown escape", R"("\x41")", "Escape"},
                      TBadJsonCase{"short \\u escape", R"("\u12")", "Hexadezimal"},
                      TBadJsonCase{"overlong UTF-8", "\"\xC0\x80\"", "UTF-8"},
                      TBadJsonCase{"surrogate encoded in UTF-8", "\"\xED\xA0\x80\"", "UTF-8"},
                      TBadJsonCase{"cut UTF-8 sequence", "\"\xE2\x88\"", "UTF-8"},
                      TBadJsonCase{"duplicate key", R"({"a": 1, "a": 2})", "doppelter"},
                      TBadJsonCase{"missing colon", R"({"a" 1})", "':'"},
                      TBadJsonCase{"text after the value", "{} x", "nach dem Ende"},
                      TBadJsonCase{"nesting beyond the limit", "[[[[[[[[[]]]]]]]]]", "zu tief"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(JsonTest, DepthLimitIsExactAndHoldsForHugeNesting) {
  Parse("[[[[[[[[]]]]]]]]", 8);
  TJsonValue value;
  std::string error;
  const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
  EXPECT_FALSE(ParseJson(deep, 2000, value, error));
  EXPECT_NE(error.find("zu tief"), std::string::npos);
}

}  // namespace
