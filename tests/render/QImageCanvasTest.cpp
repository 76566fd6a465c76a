// The QImage canvas: what the layout relies on, checked pixel by pixel.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <string>

#include "render/Decorations.h"
#include "render/QImageCanvas.h"
#include "render/QtFont.h"
#include "render/TextImages.h"

namespace {

constexpr std::uint32_t kInk = 0x00000000;
constexpr std::uint32_t kRed = 0x000000FF;  // red in the lowest byte

// A white canvas with black pen and black text.
class QImageCanvasTest : public ::testing::Test {
 protected:
  QImageCanvasTest() : canvas_(40, 30) {
    canvas_.SetBrushColor(kWhite);
    canvas_.FillRect(0, 0, 40, 30);
    canvas_.SetPenColor(kInk);
    TFontDesc font;
    font.Color = kInk;
    canvas_.SetFont(font);
  }

  // The pixels in ink, as (x, y) pairs, in rows from the top.
  std::vector<std::pair<int, int>> InkedPixels() const {
    std::vector<std::pair<int, int>> inked;
    for (int y = 0; y < canvas_.Height(); ++y) {
      for (int x = 0; x < canvas_.Width(); ++x) {
        if (canvas_.Pixel(x, y) != kWhite) inked.emplace_back(x, y);
      }
    }
    return inked;
  }

  TQImageCanvas canvas_;
};

using TPixels = std::vector<std::pair<int, int>>;

struct TLineCase {
  const char* description;
  int x1, y1, x2, y2;
  TPixels expected;
};

// A line covers its start point but not its end point, whichever way it runs.
TEST_F(QImageCanvasTest, LinesCoverTheirStartButNotTheirEnd) {
  const TLineCase cases[] = {
      {"to the right", 2, 5, 6, 5, {{2, 5}, {3, 5}, {4, 5}, {5, 5}}},
      {"to the left", 6, 5, 2, 5, {{3, 5}, {4, 5}, {5, 5}, {6, 5}}},
      {"down", 3, 1, 3, 4, {{3, 1}, {3, 2}, {3, 3}}},
      {"up", 3, 4, 3, 1, {{3, 2}, {3, 3}, {3, 4}}},
      {"down and right at 45 degrees", 1, 1, 5, 5, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}},
      {"up and left at 45 degrees", 5, 5, 1, 1, {{2, 2}, {3, 3}, {4, 4}, {5, 5}}},
      {"no length: nothing", 4, 4, 4, 4, {}},
  };
  for (const TLineCase& c : cases) {
    canvas_.FillRect(0, 0, 40, 30);
    canvas_.MoveTo(c.x1, c.y1);
    canvas_.LineTo(c.x2, c.y2);
    EXPECT_EQ(InkedPixels(), c.expected) << c.description;
  }
}

TEST_F(QImageCanvasTest, SlantedLineReachesItsEndPointWithoutCoveringIt) {
  canvas_.MoveTo(2, 3);
  canvas_.LineTo(12, 7);
  const TPixels inked = InkedPixels();
  ASSERT_EQ(inked.size(), 10u) << "one pixel per column from 2 to 11";
  EXPECT_EQ(canvas_.Pixel(2, 3), kInk);
  EXPECT_EQ(canvas_.Pixel(12, 7), kWhite);
  // The last pixel lies in the column before the end, on the line's row there
  // (7 - 0.4) or the one above.
  EXPECT_EQ(inked.back().first, 11);
  EXPECT_GE(inked.back().second, 6);
}

TEST_F(QImageCanvasTest, EndPointKeepsWhatWasDrawnThereBefore) {
  canvas_.SetPenColor(kRed);
  canvas_.MoveTo(8, 8);
  canvas_.LineTo(8, 9);  // one red pixel at (8, 8)
  canvas_.SetPenColor(kInk);
  canvas_.MoveTo(4, 4);
  canvas_.LineTo(8, 8);
  EXPECT_EQ(canvas_.Pixel(8, 8), kRed);
  EXPECT_EQ(canvas_.Pixel(7, 7), kInk);
  EXPECT_EQ(canvas_.Pixel(4, 4), kInk);
}

TEST_F(QImageCanvasTest, TwoPixelPenCoversTheColumnAndTheNextOne) {
  canvas_.SetPenWidth(2);
  canvas_.MoveTo(10, 2);
  canvas_.LineTo(10, 6);
  TPixels expected;
  for (int y = 2; y < 6; ++y) {
    expected.emplace_back(10, y);
    expected.emplace_back(11, y);
  }
  EXPECT_EQ(InkedPixels(), expected);
  EXPECT_EQ(canvas_.PenWidth(), 2);
}

TEST_F(QImageCanvasTest, FillLeavesOutRightAndBottomEdges) {
  canvas_.SetBrushColor(kRed);
  canvas_.FillRect(5, 6, 8, 8);
  EXPECT_EQ(InkedPixels(), (TPixels{{5, 6}, {6, 6}, {7, 6}, {5, 7}, {6, 7}, {7, 7}}));
  EXPECT_EQ(canvas_.Pixel(5, 6), kRed);
}

TEST_F(QImageCanvasTest, PixelReadsTheDocumentColourValueOrNoColourOutside) {
  const std::uint32_t colour = 0x00336699;  // blue 0x33, green 0x66, red 0x99
  canvas_.SetBrushColor(colour);
  canvas_.FillRect(0, 0, 1, 1);
  EXPECT_EQ(canvas_.Pixel(0, 0), colour);
  EXPECT_EQ(canvas_.Image().pixel(0, 0), qRgb(0x99, 0x66, 0x33));
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {40, 0}, {0, 30}, {1 << 30, 1 << 30}}) {
    EXPECT_EQ(canvas_.Pixel(x, y), kNoColor) << x << ", " << y;
  }
}

TEST_F(QImageCanvasTest, SystemColourReadsBackAsTheColourItStandsFor) {
  const std::uint32_t windowColour = 0x80000005;
  canvas_.SetBrushColor(windowColour);
  canvas_.FillRect(0, 0, 40, 30);
  EXPECT_EQ(canvas_.Pixel(3, 3), canvas_.PixelValueOf(windowColour));
  EXPECT_EQ(canvas_.PixelValueOf(0x00336699), 0x00336699u);
}

TEST_F(QImageCanvasTest, ResizeKeepsTheTopLeftAndFillsNewAreaWithTheBrush) {
  canvas_.MoveTo(1, 1);
  canvas_.LineTo(3, 1);
  canvas_.SetBrushColor(kRed);
  canvas_.Resize(60, 50);
  EXPECT_EQ(canvas_.Width(), 60);
  EXPECT_EQ(canvas_.Height(), 50);
  EXPECT_EQ(canvas_.Pixel(1, 1), kInk);
  EXPECT_EQ(canvas_.Pixel(39, 29), kWhite);
  EXPECT_EQ(canvas_.Pixel(40, 29), kRed);
  EXPECT_EQ(canvas_.Pixel(59, 49), kRed);
  canvas_.Resize(2, 2);
  EXPECT_EQ(canvas_.Pixel(1, 1), kInk);
  EXPECT_EQ(canvas_.Pixel(2, 1), kNoColor);
}

TEST_F(QImageCanvasTest, UnallocatableSizeLeavesANullImageThatIgnoresDrawing) {
  canvas_.Resize(1 << 28, 1 << 28);
  EXPECT_TRUE(canvas_.Image().isNull());
  canvas_.MoveTo(0, 0);
  canvas_.LineTo(5, 5);
  canvas_.TextOut(0, 0, u"x");
  canvas_.FillRect(0, 0, 5, 5);
  EXPECT_EQ(canvas_.Pixel(0, 0), kNoColor);
  canvas_.Resize(10, 10);
  EXPECT_EQ(canvas_.Pixel(0, 0), kWhite) << "drawable again once it has a size";
}

// Text never erases what lies under it.
TEST_F(QImageCanvasTest, TextLeavesTheLineUnderIt) {
  canvas_.MoveTo(0, 10);
  canvas_.LineTo(40, 10);
  canvas_.TextOut(2, 2, u"   ");  // a cell across the line without a glyph
  canvas_.TextOut(20, 2, u"x");
  for (int x = 0; x < 40; ++x) EXPECT_EQ(canvas_.Pixel(x, 10), kInk) << x;
}

TEST_F(QImageCanvasTest, TextCellStandsAtItsTopLeftCorner) {
  canvas_.SetFontHeight(20);
  const TSize cell = canvas_.TextExtent(u"H");
  canvas_.TextOut(5, 4, u"H");
  const TPixels inked = InkedPixels();
  ASSERT_FALSE(inked.empty());
  for (auto [x, y] : inked) {
    EXPECT_GE(x, 5);
    EXPECT_LT(x, 5 + cell.cx);
    EXPECT_GE(y, 4);
    EXPECT_LT(y, 4 + cell.cy);
  }
}

TEST_F(QImageCanvasTest, ExtentHeightIsTheCellWhateverTheCharacters) {
  canvas_.SetFontHeight(-13);
  const std::int32_t cell = canvas_.TextExtent(u"x").cy;
  EXPECT_GT(cell, 13);
  for (std::u16string_view text : {u"", u".", u"\u2211", u"Hgjq", u"   "}) {
    EXPECT_EQ(canvas_.TextExtent(text).cy, cell);
  }
  EXPECT_EQ(canvas_.TextExtent(u"").cx, 0);
  EXPECT_EQ(canvas_.TextExtent(u"ab").cx,
            canvas_.TextExtent(u"a").cx + canvas_.TextExtent(u"b").cx);
}

// A positive height asks for a cell that high: no neighbouring pixel size
// comes closer.
TEST_F(QImageCanvasTest, PositiveHeightChoosesTheClosestCell) {
  TFontDesc font = canvas_.Font();
  for (std::int32_t height : {1, 7, 10, 16, 19, 33, 42, 100, 250}) {
    canvas_.SetFontHeight(height);
    font.Height = height;
    const int size = canvas_.PixelSizeFor(font);
    const int got = canvas_.TextExtent(u"(").cy;
    for (int neighbour : {size - 1, size + 1}) {
      if (neighbour < 1) continue;
      const int other = QFontMetrics(QFontFromDesc(font, neighbour)).height();
      EXPECT_LE(std::abs(got - height), std::abs(other - height)) << "height " << height;
    }
  }
}

TEST_F(QImageCanvasTest, NegativeHeightIsTheCharacterHeight) {
  TFontDesc font = canvas_.Font();
  font.Height = -13;
  EXPECT_EQ(canvas_.PixelSizeFor(font), 13);
  font.Height = -1'000'000;
  EXPECT_EQ(canvas_.PixelSizeFor(font), TQImageCanvas::kMaxPixelSize);
  font.Height = 0;
  EXPECT_GT(canvas_.PixelSizeFor(font), 0) << "the platform's default";
}

TEST_F(QImageCanvasTest, HugeFontsStillMeasureSanely) {
  for (std::int32_t height : {1'000'000, 1 << 28, -(1 << 28)}) {
    canvas_.SetFontHeight(height);
    const TSize size = canvas_.TextExtent(u"\u2211");
    EXPECT_GT(size.cx, 0) << height;
    EXPECT_GT(size.cy, 0) << height;
    canvas_.TextOut(0, 0, u"\u2211");
  }
}

// Text too large for any picture is never rendered: its glyphs alone would
// take gigabytes. Large text within the limit is.
TEST(TextImagesTest, OnlyTextWithinThePictureLimitIsRendered) {
  const struct {
    int pixels;
    QString text;
    bool rendered;
  } cases[] = {{200, "W", true}, {4000, "WWWWWWWW", false}};
  for (const auto& c : cases) {
    QFont font("DejaVu Sans");
    font.setPixelSize(c.pixels);
    EXPECT_EQ(!LargeTextImage(font, qRgb(0, 0, 0), c.text).Image.isNull(), c.rendered) << c.pixels;
  }
}

struct TPointCase {
  std::int32_t points;
  std::int32_t height;
};

TEST_F(QImageCanvasTest, PointSizesConvertAtNinetySixPixelsPerInch) {
  const TPointCase cases[] = {{10, -13}, {5, -7}, {1, -1}, {12, -16}, {0, 0}, {-6, 8}};
  for (const TPointCase& c : cases) {
    canvas_.SetFontPointSize(c.points);
    EXPECT_EQ(canvas_.Font().Height, c.height) << c.points << " points";
    EXPECT_EQ(canvas_.FontPointSize(), c.points) << c.height << " pixels";
  }
}

// The scan for a sign's ink, on a real glyph.
TEST_F(QImageCanvasTest, InkScanFindsTheSumSignsInk) {
  canvas_.Resize(80, 120);
  canvas_.SetBrushColor(kWhite);
  canvas_.FillRect(0, 0, 80, 120);
  canvas_.SetFontHeight(90);
  const TSize sign = canvas_.TextExtent(u"\u2211");
  canvas_.TextOut(10, 10, u"\u2211");
  TLayoutState state(canvas_);
  const TInkGaps gaps = FindInk(state, 10 + sign.cx / 2, 10, sign.cy);
  EXPECT_GT(gaps.Top, 0);
  EXPECT_LT(gaps.Top, sign.cy);
  EXPECT_LT(gaps.Bottom, 0);
  EXPECT_GT(gaps.Bottom, -sign.cy);
  const int x = 10 + sign.cx / 2;
  EXPECT_NE(canvas_.Pixel(x, 10 + gaps.Top), kWhite) << "the first inked row";
  EXPECT_EQ(canvas_.Pixel(x, 10 + gaps.Top - 1), kWhite);
  EXPECT_NE(canvas_.Pixel(x, 10 + sign.cy + gaps.Bottom), kWhite) << "the last inked row";
  EXPECT_EQ(canvas_.Pixel(x, 10 + sign.cy + gaps.Bottom + 1), kWhite);
}

}  // namespace
