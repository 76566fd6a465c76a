// The document font dialog: it opens on the current face, style and size;
// ended without a change by OK, Enter or Escape it gives the font back
// exactly, a picked colour aside, and is whole again the next time; what the
// user changes takes effect, and nothing else.
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

// Ends the dialog the row's way, changing nothing but the colour where the
// row picks one. Enter and Escape go to the face list, which has the focus
// when the dialog opens, and must end the whole dialog.
void End(TFontDialog* dialog, const QString& how, QListView* faces) {
  if (how.startsWith("Farbe")) {
    Answer<QColorDialog>([](QColorDialog* colours) {
      colours->setCurrentColor(QColor(0, 128, 255));
      colours->accept();
    });
    Click(dialog->ColorBtn);
  }
  if (how == "Enter" || how == "Escape") {
    if (faces == nullptr) return dialog->reject();
    QTest::keyClick(faces, how == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
  } else {
    Click(dialog->OKBtn);
  }
  if (dialog->isVisible()) {
    Problems() << how + " left the dialog open";
    dialog->reject();
  }
}

}  // namespace

class FontDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QM_VERIFY_NO_PROBLEMS(); }

  // Opened twice, the dialog shows the face, style and size of the font both
  // times; ended the row's way without a change of the font, it gives the font
  // back exactly, a picked colour aside.
  void opensOnTheFontAndGivesItBack_data() {
    QTest::addColumn<TFontDesc>("font");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("how");

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
      for (const char* how : {"OK", "Farbe..., then OK", "Enter", "Escape"}) {
        QTest::addRow("%s: %s", row.name, how)
            << row.font << row.family << row.points << QString(how);
      }
    }
  }

  void opensOnTheFontAndGivesItBack() {
    QFETCH(TFontDesc, font);
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(QString, how);

    TFontDialog dialog(nullptr);
    dialog.SetFont(font);
    TFontDesc expected = font;
    if (how.startsWith("Farbe")) expected.Color = 0x00FF8000u;
    for (int opening = 0; opening < 2; ++opening) {
      QFont shown;
      Answer<TFontDialog>([&](TFontDialog* opened) {
        shown = opened->FontChooser->currentFont();
        QListView* faces = FaceList(opened);
        if (faces == nullptr || !faces->isVisible() || !opened->FontChooser->isVisible()) {
          Problems() << "no face list shows the face";
        }
        if (ListShowing(opened->FontChooser, QString::number(points)) == nullptr) {
          Problems() << "no size list shows the size";
        }
        SaveArtefact(opened->grab().toImage(), "font-dialog-" + family);
        End(opened, how, faces);
      });
      QCOMPARE(dialog.Execute(), how != "Escape");

      QVERIFY(!family.isEmpty());
      QCOMPARE(shown.family(), family);
      QCOMPARE(shown.bold(), (font.Style & fsBold) != 0);
      QCOMPARE(shown.italic(), (font.Style & fsItalic) != 0);
      QCOMPARE(shown.pointSize(), points);
      // Not a condensed cut of the face when a regular one is installed.
      QVERIFY(shown.stretch() == QFont::AnyStretch || shown.stretch() == QFont::Unstretched);

      QCOMPARE(QString::fromStdString(dialog.Font().Name), QString::fromStdString(expected.Name));
      QCOMPARE(dialog.Font().Style, expected.Style);
      QCOMPARE(dialog.Font().Height, expected.Height);
      QVERIFY(dialog.Font() == expected);
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
