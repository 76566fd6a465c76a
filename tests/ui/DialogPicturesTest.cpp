// What the dialogs look like: the drawn button pictures, captions that fit
// beside them, and every dialog fixed in size and centred on the screen. The
// dialogs are saved as pictures for a look by eye.
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "tests/ui/DialogDriver.h"
#include "tests/ui/DialogMaker.h"
#include "ui/BetragEFUnit.h"
#include "ui/BruchEFUnit.h"
#include "ui/ButtonPictures.h"
#include "ui/IntegralEFUnit.h"
#include "ui/PotenzEFUnit.h"
#include "ui/SummeEFUnit.h"
#include "ui/UserEFUinit.h"
#include "ui/WurzelEFUnit.h"

using namespace DialogDriver;

Q_DECLARE_METATYPE(TButtonPicture)

namespace {

enum class TInk { Green, Red, Grey, Other, None };

TInk InkOf(QRgb pixel) {
  if (qAlpha(pixel) < 128) return TInk::None;
  const QColor colour = QColor::fromRgba(pixel);
  if (colour.hsvSaturation() < 40) return TInk::Grey;
  const int hue = colour.hsvHue();
  if (hue >= 90 && hue <= 150) return TInk::Green;
  if (hue <= 15 || hue >= 345) return TInk::Red;
  return TInk::Other;
}

int CountInk(const QImage& image, TInk ink) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += InkOf(image.pixel(x, y)) == ink ? 1 : 0;
  }
  return count;
}

// Picture, the gap the style leaves after it, and caption.
int ContentWidth(const QPushButton& button) {
  return button.iconSize().width() + 4 + button.fontMetrics().horizontalAdvance(button.text());
}

QRect ContentsRect(const QPushButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  option.icon = button.icon();
  option.iconSize = button.iconSize();
  return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

}  // namespace

class DialogPicturesTest : public QObject {
  Q_OBJECT

 private slots:
  void picturesHaveTheirColours_data();
  void picturesHaveTheirColours();
  void dialogsAreFixedCentredAndReadable_data();
  void dialogsAreFixedCentredAndReadable();
};

void DialogPicturesTest::picturesHaveTheirColours_data() {
  QTest::addColumn<TButtonPicture>("picture");
  QTest::addColumn<int>("size");
  QTest::addColumn<int>("ink");

  QTest::newRow("check mark, panel size") << TButtonPicture::CheckMark << 18 << int(TInk::Green);
  QTest::newRow("cross, panel size") << TButtonPicture::Cross << 18 << int(TInk::Red);
  QTest::newRow("chasing arrows, panel size")
      << TButtonPicture::CycleArrows << 18 << int(TInk::Green);
  QTest::newRow("arrow up, move size") << TButtonPicture::ArrowUp << 16 << int(TInk::Red);
  QTest::newRow("arrow down, move size") << TButtonPicture::ArrowDown << 16 << int(TInk::Red);
}

void DialogPicturesTest::picturesHaveTheirColours() {
  QFETCH(TButtonPicture, picture);
  QFETCH(int, size);
  QFETCH(int, ink);

  const QImage normal = ButtonPixmap(picture, size).toImage();
  const QImage disabled = DisabledButtonPixmap(picture, size).toImage();
  const QIcon icon = ButtonIcon(picture, size);
  SaveArtefact(normal.scaled(size * 4, size * 4),
               QString("picture-%1-%2").arg(int(picture)).arg(size));
  SaveArtefact(disabled.scaled(size * 4, size * 4),
               QString("picture-%1-%2-disabled").arg(int(picture)).arg(size));

  QCOMPARE(normal.size(), QSize(size, size));
  QVERIFY(CountInk(normal, static_cast<TInk>(ink)) > size * size / 8);
  QCOMPARE(CountInk(normal, TInk::Other), 0);
  QCOMPARE(InkOf(normal.pixel(0, size - 1)), TInk::None);  // a transparent ground
  QVERIFY(CountInk(disabled, TInk::Grey) > size);
  QCOMPARE(CountInk(disabled, static_cast<TInk>(ink)), 0);
  QCOMPARE(icon.pixmap(size, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32),
           disabled.convertToFormat(QImage::Format_ARGB32));
}

void DialogPicturesTest::dialogsAreFixedCentredAndReadable_data() {
  QTest::addColumn<QString>("dialog");
  for (const char* name : kEditingDialogs) QTest::newRow(name) << name;
}

void DialogPicturesTest::dialogsAreFixedCentredAndReadable() {
  QFETCH(QString, dialog);

  TTestDocument document;
  const std::unique_ptr<QDialog> shown = MakeDialog(dialog, document);
  shown->show();
  QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
  SaveArtefact(shown->grab().toImage(), "dialog-" + dialog);

  QCOMPARE(shown->minimumSize(), shown->maximumSize());
  const QRect screen = shown->screen()->availableGeometry();
  const QRect frame = shown->frameGeometry();
  QVERIFY(std::abs(frame.center().x() - screen.center().x()) <= 1);
  QVERIFY(std::abs(frame.center().y() - screen.center().y()) <= 1);
  for (const QPushButton* button : shown->findChildren<QPushButton*>()) {
    QVERIFY2(ContentWidth(*button) <= ContentsRect(*button).width(),
             qPrintable(button->text() + " does not fit beside its picture"));
    QVERIFY(!button->icon().isNull());
  }
  for (const QLabel* label : shown->findChildren<QLabel*>()) {
    QVERIFY2(label->mapTo(shown.get(), QPoint(label->width(), 0)).x() <= shown->width(),
             qPrintable(label->text() + " runs out of the dialog"));
  }
  shown->hide();
}

QTEST_MAIN(DialogPicturesTest)
#include "DialogPicturesTest.moc"
