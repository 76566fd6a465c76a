// The document font dialog: confirmed without a change it gives the font
// back exactly, however it is confirmed; it opens on the current face, style
// and size; Enter and Escape end the whole dialog, which is whole again the
// next time.
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

// The dialog's own OK button, not the hidden one of the embedded chooser.
QPushButton* OkButton(TFontDialog* dialog) {
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == "OK" && !dialog->FontChooser->isAncestorOf(button)) return button;
  }
  return nullptr;
}

// Confirms the dialog the way the row names, changing nothing but the
// colour where the row picks one.
void Confirm(TFontDialog* dialog, const QString& how) {
  if (how == "Enter in the face list") {
    QListView* faces = FaceList(dialog);
    if (faces == nullptr) return dialog->reject();
    QTest::keyClick(faces, Qt::Key_Return);
  } else if (how == "Farbe..., then OK") {
    Answer<QColorDialog>([](QColorDialog* colours) {
      colours->setCurrentColor(QColor(0, 128, 255));
      colours->accept();
    });
    Click(dialog->ColorBtn);
    Click(OkButton(dialog));
  } else {
    Click(OkButton(dialog));
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
  void cleanup() {
    const QStringList problems = Problems();
    Problems().clear();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
  }

  void unchangedConfirmKeepsTheFont_data() {
    QTest::addColumn<TFontDesc>("font");
    QTest::addColumn<QString>("how");

    TFontDesc mono = FontOf("DejaVu Sans Mono", fsBold);
    mono.Pitch = 2;
    mono.Charset = 1;
    mono.Color = 0x000000FFu;
    const struct {
      const char* name;
      TFontDesc font;
    } fonts[] = {
        {"start-up font, not installed", TFontDesc{}},
        {"Times New Roman bold, not installed", FontOf("Times New Roman", fsBold)},
        {"DejaVu Serif regular", FontOf("DejaVu Serif", 0)},
        {"DejaVu Sans regular", FontOf("DejaVu Sans", 0)},
        {"DejaVu Sans bold italic with effects", FontOf("DejaVu Sans", kAllStyles, -19)},
        {"DejaVu Sans Mono, pitch 2, charset 1", mono},
    };
    for (const auto& row : fonts) {
      for (const char* how : {"OK", "Enter in the face list", "Farbe..., then OK"}) {
        QTest::addRow("%s: %s", row.name, how) << row.font << QString(how);
      }
    }
  }

  void unchangedConfirmKeepsTheFont() {
    QFETCH(TFontDesc, font);
    QFETCH(QString, how);

    TFontDialog dialog(nullptr);
    dialog.SetFont(font);
    Answer<TFontDialog>([how](TFontDialog* shown) { Confirm(shown, how); });
    QVERIFY(dialog.Execute());

    TFontDesc expected = font;
    if (how.startsWith("Farbe")) expected.Color = 0x00FF8000u;
    QCOMPARE(QString::fromStdString(dialog.Font().Name), QString::fromStdString(expected.Name));
    QCOMPARE(dialog.Font().Style, expected.Style);
    QCOMPARE(dialog.Font().Height, expected.Height);
    QVERIFY(dialog.Font() == expected);
  }

  void opensOnTheCurrentFont_data() {
    QTest::addColumn<TFontDesc>("font");
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<int>("points");

    const QString resolved = QFontInfo(QFont("Microsoft Sans Serif")).family();
    QTest::newRow("start-up font: the face it resolves to")
        << TFontDesc{} << resolved << false << false << 10;
    QTest::newRow("DejaVu Serif regular")
        << FontOf("DejaVu Serif", 0, -16) << "DejaVu Serif" << false << false << 12;
    QTest::newRow("DejaVu Sans bold italic")
        << FontOf("DejaVu Sans", fsBold | fsItalic, -19) << "DejaVu Sans" << true << true << 14;
    QTest::newRow("DejaVu Serif italic")
        << FontOf("DejaVu Serif", fsItalic) << "DejaVu Serif" << false << true << 10;
  }

  void opensOnTheCurrentFont() {
    QFETCH(TFontDesc, font);
    QFETCH(QString, family);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(int, points);

    TFontDialog dialog(nullptr);
    dialog.SetFont(font);
    QFont shown;
    QString style;
    Answer<TFontDialog>([&](TFontDialog* opened) {
      shown = opened->FontChooser->currentFont();
      const QListView* faces = FaceList(opened);
      if (faces == nullptr || !faces->isVisible()) Problems() << "no face list shows the face";
      const QListView* sizes = ListShowing(opened->FontChooser, QString::number(points));
      if (sizes == nullptr) Problems() << "no size list shows the size";
      SaveArtefact(opened->grab().toImage(), "font-dialog-" + family);
      opened->reject();
    });
    QVERIFY(!dialog.Execute());

    QVERIFY(!family.isEmpty());
    QCOMPARE(shown.family(), family);
    QCOMPARE(shown.bold(), bold);
    QCOMPARE(shown.italic(), italic);
    QCOMPARE(shown.pointSize(), points);
    // Not a condensed cut of the face when a regular one is installed.
    QVERIFY(shown.stretch() == QFont::AnyStretch || shown.stretch() == QFont::Unstretched);
    QVERIFY(dialog.Font() == font);
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
      Click(OkButton(shown));
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
