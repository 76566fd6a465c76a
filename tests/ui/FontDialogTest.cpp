// The document font dialog: it opens on the current face, style and size;
// confirmed without a change it gives the font back exactly, a picked colour
// aside; Enter and Escape end the whole dialog, which is whole again the
// next time; what the user changes takes effect, and nothing else.
#include <QAbstractItemModel>
#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include "tests/ui/DialogDriver.h"
#include "ui/FontDialog.h"

using namespace DialogDriver;

Q_DECLARE_METATYPE(TFontDesc)

namespace {

TFontDesc FontOf(const char* name, std::uint8_t style, std::int32_t height = -13) {
  TFontDesc font;
  font.Name = name;
  font.Style = style;
  font.Height = height;
  return font;
}

constexpr std::uint8_t kAllStyles = fsBold | fsItalic | fsUnderline | fsStrikeOut;

// The chooser's list whose selected item reads `text`.
QListView* ListShowing(QFontDialog* chooser, const QString& text) {
  for (QListView* list : chooser->findChildren<QListView*>()) {
    if (list->currentIndex().data().toString() == text) return list;
  }
  return nullptr;
}

QListView* FaceList(TFontDialog* dialog) {
  return ListShowing(dialog->FontChooser, dialog->FontChooser->currentFont().family());
}

}  // namespace

class FontDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    const QStringList problems = Problems();
    Problems().clear();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
  }

  void opensOnTheFontAndUnchangedConfirmKeepsIt_data() {
    QTest::addColumn<TFontDesc>("font");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("colour");

    TFontDesc mono = FontOf("DejaVu Sans Mono", fsBold);
    mono.Pitch = 2;
    mono.Charset = 1;
    mono.Color = 0x000000FFu;
    // A face that is not installed shows as the face it resolves to.
    const auto resolved = [](const char* face) { return QFontInfo(QFont(face)).family(); };
    const struct {
      const char* name;
      TFontDesc font;
      QString family;
      int points;
    } fonts[] = {
        {"start-up font, not installed", TFontDesc{}, resolved("Microsoft Sans Serif"), 10},
        {"Times New Roman bold, not installed", FontOf("Times New Roman", fsBold),
         resolved("Times New Roman"), 10},
        {"DejaVu Serif regular", FontOf("DejaVu Serif", 0, -16), "DejaVu Serif", 12},
        {"DejaVu Serif italic", FontOf("DejaVu Serif", fsItalic), "DejaVu Serif", 10},
        {"DejaVu Sans regular", FontOf("DejaVu Sans", 0), "DejaVu Sans", 10},
        {"DejaVu Sans bold italic with effects", FontOf("DejaVu Sans", kAllStyles, -19),
         "DejaVu Sans", 14},
        {"DejaVu Sans Mono, pitch 2, charset 1", mono, "DejaVu Sans Mono", 10},
    };
    for (const auto& row : fonts) {
      for (const bool colour : {false, true}) {
        QTest::addRow("%s%s", row.name, colour ? ", Farbe... then OK" : ", OK")
            << row.font << row.family << row.points << colour;
      }
    }
  }

  void opensOnTheFontAndUnchangedConfirmKeepsIt() {
    QFETCH(TFontDesc, font);
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(bool, colour);

    TFontDialog dialog(nullptr);
    dialog.SetFont(font);
    QFont shown;
    Answer<TFontDialog>([&](TFontDialog* opened) {
      shown = opened->FontChooser->currentFont();
      const QListView* faces = FaceList(opened);
      if (faces == nullptr || !faces->isVisible()) Problems() << "no face list shows the face";
      const QListView* sizes = ListShowing(opened->FontChooser, QString::number(points));
      if (sizes == nullptr) Problems() << "no size list shows the size";
      SaveArtefact(opened->grab().toImage(), "font-dialog-" + family);
      if (colour) {
        Answer<QColorDialog>([](QColorDialog* colours) {
          colours->setCurrentColor(QColor(0, 128, 255));
          colours->accept();
        });
        Click(opened->ColorBtn);
      }
      Click(opened->OKBtn);
      if (opened->isVisible()) {
        Problems() << "OK left the dialog open";
        opened->reject();
      }
    });
    QVERIFY(dialog.Execute());

    QVERIFY(!family.isEmpty());
    QCOMPARE(shown.family(), family);
    QCOMPARE(shown.bold(), (font.Style & fsBold) != 0);
    QCOMPARE(shown.italic(), (font.Style & fsItalic) != 0);
    QCOMPARE(shown.pointSize(), points);
    // Not a condensed cut of the face when a regular one is installed.
    QVERIFY(shown.stretch() == QFont::AnyStretch || shown.stretch() == QFont::Unstretched);

    TFontDesc expected = font;
    if (colour) expected.Color = 0x00FF8000u;
    QCOMPARE(QString::fromStdString(dialog.Font().Name), QString::fromStdString(expected.Name));
    QCOMPARE(dialog.Font().Style, expected.Style);
    QCOMPARE(dialog.Font().Height, expected.Height);
    QVERIFY(dialog.Font() == expected);
  }

  // Either key, pressed in the face list, which has the focus when the dialog opens, ends the
  // whole dialog; the next opening shows the whole chooser again.
  void enterAndEscapeEndTheWholeDialog_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << false;
    QTest::newRow("Enter confirms") << int(Qt::Key_Return) << true;
  }

  void enterAndEscapeEndTheWholeDialog() {
    QFETCH(int, key);
    QFETCH(bool, confirmed);

    const TFontDesc font = FontOf("DejaVu Serif", fsItalic);
    TFontDialog dialog(nullptr);
    dialog.SetFont(font);
    for (int opening = 0; opening < 2; ++opening) {
      auto visibleParts = std::make_shared<bool>(false);
      Answer<TFontDialog>([key, visibleParts](TFontDialog* shown) {
        QListView* faces = FaceList(shown);
        *visibleParts = faces != nullptr && faces->isVisible() && shown->FontChooser->isVisible();
        if (faces == nullptr) return shown->reject();
        QTest::keyClick(faces, static_cast<Qt::Key>(key));
        if (shown->isVisible()) {
          Problems() << "the key left the dialog open";
          shown->reject();
        }
      });
      QCOMPARE(dialog.Execute(), confirmed);
      QVERIFY2(*visibleParts, "the face list is missing");
      QVERIFY(dialog.Font() == font);
    }
  }

  // What the user does change takes effect, and nothing else.
  void changedFaceSizeAndStyleTakeEffect() {
    TFontDesc font = FontOf("DejaVu Sans Mono", fsUnderline);
    font.Pitch = 2;
    TFontDialog dialog(nullptr);
    dialog.SetFont(font);
    Answer<TFontDialog>([](TFontDialog* shown) {
      QFont serif("DejaVu Serif");
      serif.setPointSize(14);
      serif.setBold(true);
      serif.setUnderline(true);
      shown->FontChooser->setCurrentFont(serif);
      Click(shown->OKBtn);
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(QString::fromStdString(dialog.Font().Name), QString("DejaVu Serif"));
    QCOMPARE(dialog.Font().Height, -19);  // 14 points at 96 pixels per inch
    QCOMPARE(dialog.Font().Style, std::uint8_t(fsBold | fsUnderline));
    QCOMPARE(dialog.Font().Pitch, std::uint8_t{0});
    QCOMPARE(dialog.Font().Color, font.Color);
  }
};

QTEST_MAIN(FontDialogTest)
#include "FontDialogTest.moc"
