// The editor on a screen of two device pixels per logical pixel: the
// picture, the symbol palette and the button pictures are drawn at the
// device's pixels, while layout and sizes stay logical.
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "render/Paint.h"
#include "tests/ui/DialogDriver.h"
#include "ui/ButtonPictures.h"
#include "ui/MainUnit.h"

using namespace DialogDriver;

namespace {

// Of the image's 2 × 2 blocks, those whose pixels are not all alike: none
// in a 1x picture blown up to twice its size.
int MixedBlocks(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  int mixed = 0;
  for (int y = 0; y + 1 < argb.height(); y += 2) {
    for (int x = 0; x + 1 < argb.width(); x += 2) {
      const QRgb first = argb.pixel(x, y);
      mixed += argb.pixel(x + 1, y) != first || argb.pixel(x, y + 1) != first ||
                       argb.pixel(x + 1, y + 1) != first
                   ? 1
                   : 0;
    }
  }
  return mixed;
}

// Pixels neither transparent nor opaque: the soft edges of a picture.
int SoftPixels(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  int soft = 0;
  for (int y = 0; y < argb.height(); ++y) {
    for (int x = 0; x < argb.width(); ++x) {
      const int alpha = qAlpha(argb.pixel(x, y));
      soft += alpha > 0 && alpha < 255 ? 1 : 0;
    }
  }
  return soft;
}

}  // namespace

class HiDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void pictureIsDrawnAtTwiceThePixelsWithLogicalLayout() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(50);
    QCOMPARE(form.PaintBox1->devicePixelRatioF(), 2.0);

    TQImageCanvas logical;
    const TSize size = PaintComplete(logical, form.PaintInput());
    const QSize expected(size.cx, size.cy);
    QCOMPARE(QSize(form.FormulaBitmap.Width(), form.FormulaBitmap.Height()), expected);
    QCOMPARE(form.PaintBox1->size(), expected);

    const QImage device = form.PaintBox1->DeviceImage();
    QCOMPARE(device.size(), expected * 2);
    QCOMPARE(device.devicePixelRatio(), 2.0);
    const QImage blownUp = form.FormulaBitmap.Image().scaled(expected * 2);
    QCOMPARE(MixedBlocks(blownUp), 0);
    QVERIFY2(MixedBlocks(device) > 200, qPrintable(QString::number(MixedBlocks(device))));

    // What the paint box shows is that picture.
    const QImage shown = form.PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), expected * 2);
    QCOMPARE(shown, device.convertToFormat(QImage::Format_RGB32));
    // A repaint of the windowing layer with nothing changed keeps that image.
    form.PaintBox1->repaint();
    QCOMPARE(form.PaintBox1->DeviceImage().cacheKey(), device.cacheKey());
    SaveArtefact(device, "hidpi-picture");
    SaveArtefact(form.grab().toImage(), "hidpi-main-window");

    // A change of the margin repaints at both ratios; the document keeps logical pixels.
    form.RandEd->setValue(40);
    QTest::qWait(50);
    QCOMPARE(form.PaintBox1->DeviceImage().size(), (expected + QSize(40, 40)) * 2);
    form.Changed = false;
  }

  void paletteIsDrawnAtTwiceThePixels() {
    TTestDocument document;
    TTermEditForm editor(document.Context());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QImage palette = editor.PaintBox1->grab().toImage();
    QCOMPARE(palette.size(), editor.PaintBox1->size() * 2);
    QVERIFY(MixedBlocks(palette) > 1000);
    SaveArtefact(palette, "hidpi-palette");
  }

  void buttonPicturesAreDrawnAtTwiceThePixels_data() {
    QTest::addColumn<int>("picture");
    QTest::newRow("check mark") << int(TButtonPicture::CheckMark);
    QTest::newRow("cross") << int(TButtonPicture::Cross);
    QTest::newRow("chasing arrows") << int(TButtonPicture::CycleArrows);
    QTest::newRow("arrow up") << int(TButtonPicture::ArrowUp);
  }
  void buttonPicturesAreDrawnAtTwiceThePixels() {
    QFETCH(int, picture);
    const QIcon icon = ButtonIcon(static_cast<TButtonPicture>(picture), kPanelPictureSize);
    const QSize logical(kPanelPictureSize, kPanelPictureSize);
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
      const QPixmap pixmap = icon.pixmap(logical, 2.0, mode);
      QCOMPARE(pixmap.size(), logical * 2);
      QCOMPARE(pixmap.deviceIndependentSize().toSize(), logical);
      // Drawn at 2x, the soft edge stays about one device pixel wide; the 1x
      // picture scaled up would have edges twice as wide.
      const QPixmap single = icon.pixmap(logical, 1.0, mode);
      const QImage blownUp =
          single.toImage().scaled(logical * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      QVERIFY(SoftPixels(pixmap.toImage()) < SoftPixels(blownUp) * 3 / 4);
    }
  }
};

int main(int argc, char* argv[]) {
  // Before the application starts: the ratio belongs to its screens.
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  HiDpiTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "HiDpiTest.moc"
