// Drawing a recorded paint again: at scale 1 it is the screen picture, at
// scale k every position, font and stroke is k times as large.
#include <gtest/gtest.h>

#include <QPaintEngine>
#include <QPainter>
#include <climits>
#include <vector>

#include "render/Replay.h"
#include "tests/render/Artefacts.h"
#include "tests/export/ExportSupport.h"

namespace {

struct TDeviceText {
  QPointF Baseline;
  QString Text;
  int PixelSize = 0;
};

struct TDeviceOps {
  std::vector<TDeviceText> Texts;
  std::vector<QRectF> Rects;
  std::vector<QLineF> Lines;
};

// Keeps what reaches a paint device: texts with their font size, filled
// rectangles and lines, in device coordinates.
class TOpsEngine : public QPaintEngine {
 public:
  TOpsEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState&) override {}
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
  void drawPath(const QPainterPath&) override {}
  void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
  Type type() const override { return QPaintEngine::User; }

  void drawTextItem(const QPointF& at, const QTextItem& item) override {
    Ops.Texts.push_back({at, item.text(), item.font().pixelSize()});
  }
  void drawRects(const QRectF* rects, int count) override {
    Ops.Rects.insert(Ops.Rects.end(), rects, rects + count);
  }
  void drawLines(const QLineF* lines, int count) override {
    Ops.Lines.insert(Ops.Lines.end(), lines, lines + count);
  }

  TDeviceOps Ops;
};

class TOpsDevice : public QPaintDevice {
 public:
  explicit TOpsDevice(QSize size) : size_(size) {}
  QPaintEngine* paintEngine() const override { return &engine_; }
  const TDeviceOps& Ops() const { return engine_.Ops; }

 protected:
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
      case PdmWidth:
        return size_.width();
      case PdmHeight:
        return size_.height();
      case PdmWidthMM:
        return size_.width() * 254 / 960;
      case PdmHeightMM:
        return size_.height() * 254 / 960;
      case PdmDpiX:
      case PdmDpiY:
      case PdmPhysicalDpiX:
      case PdmPhysicalDpiY:
        return kScreenPixelsPerInch;
      case PdmDepth:
        return 32;
      case PdmNumColors:
        return INT_MAX;
      case PdmDevicePixelRatio:
        return 1;
      case PdmDevicePixelRatioScaled:
        return static_cast<int>(devicePixelRatioFScale());
      default:
        return 0;
    }
  }

 private:
  QSize size_;
  mutable TOpsEngine engine_;
};

TDeviceOps ReplayedOps(const TPicture& picture, int scale) {
  const TSize size = picture.Recording.Size;
  TOpsDevice device(QSize(size.cx, size.cy) * scale);
  QPainter painter(&device);
  ReplayRecording(painter, picture.Recording, {scale, false});
  painter.end();
  return device.Ops();
}

TEST(ReplayTest, TwiceTheScaleIsTwiceEveryPositionFontAndStroke) {
  TFormulaTree tree;
  BuildShowcase(tree.Root());
  const TPicture picture = ShowcasePicture(tree);
  const TDeviceOps once = ReplayedOps(picture, 1);
  const TDeviceOps twice = ReplayedOps(picture, 2);

  ASSERT_GT(once.Texts.size(), 20u);
  ASSERT_EQ(twice.Texts.size(), once.Texts.size());
  for (std::size_t i = 0; i < once.Texts.size(); ++i) {
    EXPECT_EQ(twice.Texts[i].Text, once.Texts[i].Text) << i;
    EXPECT_EQ(twice.Texts[i].Baseline, once.Texts[i].Baseline * 2) << i;
    EXPECT_EQ(twice.Texts[i].PixelSize, once.Texts[i].PixelSize * 2) << i;
  }
  ASSERT_EQ(twice.Rects.size(), once.Rects.size());
  for (std::size_t i = 0; i < once.Rects.size(); ++i) {
    EXPECT_EQ(twice.Rects[i], QRectF(once.Rects[i].topLeft() * 2, once.Rects[i].size() * 2)) << i;
  }
  ASSERT_FALSE(once.Lines.empty()) << "the root's slanted strokes";
  ASSERT_EQ(twice.Lines.size(), once.Lines.size());
  for (std::size_t i = 0; i < once.Lines.size(); ++i) {
    EXPECT_EQ(twice.Lines[i], QLineF(once.Lines[i].p1() * 2, once.Lines[i].p2() * 2)) << i;
  }
}

QImage Replayed(const TPicture& picture, int scale) {
  const TSize size = picture.Recording.Size;
  QImage image(QSize(size.cx, size.cy) * scale, QImage::Format_RGB32);
  image.fill(Qt::red);  // the recording's own background fill must cover it
  QPainter painter(&image);
  ReplayRecording(painter, picture.Recording, {scale, false});
  return image;
}

// Only the slanted strokes are drawn differently (smoothed): a small part
// of the picture.
TEST(ReplayTest, AtScaleOneItIsTheScreenPictureButForSmoothedSlants) {
  TFormulaTree tree;
  BuildShowcase(tree.Root());
  const TPicture picture = ShowcasePicture(tree, 0x00F0FFFF);
  const QImage replayed = Replayed(picture, 1);
  ASSERT_EQ(replayed.size(), picture.Bitmap.size());
  int differing = 0;
  for (int y = 0; y < replayed.height(); ++y) {
    for (int x = 0; x < replayed.width(); ++x) {
      differing += replayed.pixel(x, y) != picture.Bitmap.pixel(x, y);
    }
  }
  EXPECT_LT(differing, replayed.width() * replayed.height() / 500);
  EXPECT_EQ(InkBox(replayed), InkBox(picture.Bitmap));
  SaveArtefact(replayed, "replay-1x.png");
}

TEST(ReplayTest, InkScalesWithThePicture) {
  TFormulaTree tree;
  BuildShowcase(tree.Root());
  const TPicture picture = ShowcasePicture(tree);
  const QRect once = InkBox(picture.Bitmap);
  for (int scale : {2, 3, 4}) {
    const QRect scaled = InkBox(Replayed(picture, scale));
    EXPECT_NEAR(scaled.left(), once.left() * scale, scale) << scale;
    EXPECT_NEAR(scaled.top(), once.top() * scale, 2 * scale) << scale;
    EXPECT_NEAR(scaled.right(), once.right() * scale, 2 * scale) << scale;
    EXPECT_NEAR(scaled.bottom(), once.bottom() * scale, 2 * scale) << scale;
  }
}

}  // namespace
