#include <gtest/gtest.h>

#include "model/Ansi.h"
#include "model/FontDesc.h"

namespace {

TEST(Ansi, Windows1252RoundTripsAndReplacesTheRest) {
  EXPECT_EQ(AnsiToUtf16("\x80\xE4\x9F"), u"\u20AC\u00E4\u0178");
  EXPECT_EQ(Utf16ToAnsi(u"\u20AC\u00E4x"), "\x80\xE4x");
  EXPECT_EQ(Utf16ToAnsi(u"\u2211\U0001D400"), "???") << "outside the code page, surrogates too";
}

TEST(Rounding, HalvesGoAwayOrToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfAway(2.5), 3);
  EXPECT_EQ(RoundHalfAway(-2.5), -3);
  EXPECT_EQ(RoundHalfEven(1e30), 2147483647);
}

TEST(Rounding, PointSizesAndHeightsConvertAtTheResolution) {
  EXPECT_EQ(PointSizeFromHeight(-13, 96), 10);
  EXPECT_EQ(HeightFromPointSize(10, 96), -13);
  EXPECT_EQ(HeightFromPointSize(12, 120), -20);
  EXPECT_EQ(HeightFromPointSize(5, 96), -7);  // 6.67
  EXPECT_EQ(PointSizeFromHeight(-2, 96), 2);  // 1.5 goes away from zero
}

}  // namespace
