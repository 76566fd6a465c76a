// The formula as text in the real main window: the two ways out to the
// clipboard, "Einfügen" (Strg+V) with each kind of clipboard content, and
// the "Formel als Text..." dialog with its preview, its messages, OK and
// "Abbrechen".
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <functional>

#include "export/Clipboard.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/Program.h"
#include "textio/FormulaText.h"
#include "ui/FormelTextUnit.h"
#include "ui/FormulaClipboard.h"

using namespace DialogDriver;

namespace {

QString Latex(const TFormulaLine* line) {
  return QString::fromStdU16String(LatexFromFormula(line));
}

// What the clipboard offers before "Einfügen": format and content, where
// kCopied takes the format from what "In die Zwischenablage kopieren" offers
// and kPlain is a PNG without a formula.
using TOffer = std::vector<std::pair<const char*, const char*>>;
constexpr const char* kCopied = "copied";
constexpr const char* kPlain = "plain";
constexpr const char* kBinary = "binary";  // bytes with NUL and control characters

struct TPasteCase {
  const char* Name;
  TOffer Offer;
  QString Appended;  // the LaTeX appended; "SAMPLE" for the start-up formula
  QString Message;
};

const QString kFour = "4 Einträge eingefügt.";
const QString kOne = "1 Eintrag eingefügt.";
const TPasteCase kPasteCases[] = {
    {"the document before all else",
     {{kDocumentMimeType, kCopied},
      {"image/png", kCopied},
      {"text/plain", "\\frac{1}{2}"},
      {kMathMLMimeType, "<math><mi>M</mi></math>"}},
     "SAMPLE",
     kFour},
    {"a PNG that carries the formula", {{"image/png", kCopied}}, "SAMPLE", kFour},
    {"an SVG that carries the formula", {{"image/svg+xml", kCopied}}, "SAMPLE", kFour},
    {"MathML as application/mathml+xml",
     {{kMathMLMimeType, "<math><mfrac><mi>a</mi><mi>b</mi></mfrac></math>"}},
     "\\frac{a}{b}",
     kOne},
    {"MathML as text",
     {{"text/plain", "<math><msqrt><mn>2</mn></msqrt></math>"}},
     "\\sqrt{2}",
     kOne},
    {"LaTeX as text",
     {{"text/plain", "$\\frac{1}{2} + x^2$"}},
     "\\frac{1}{2} + \\left(x\\right)^{2}",
     "3 Einträge eingefügt."},
    {"an empty clipboard", {}, "", kNothingToPaste},
    {"a picture without a formula", {{"image/png", kPlain}}, "", kNothingToPaste},
    {"LaTeX with a mistake: refused, and said so, with the place",
     {{"text/plain", "\\frac{1}{\\foo}"}},
     "",
     "Die Zwischenablage enthält keine lesbare Formel: Zeile 1, Spalte 10: Unbekannter Befehl "
     "„\\foo“."},
    {"MathML that is no XML",
     {{kMathMLMimeType, "<math><mi>x</math>"}},
     "",
     "Die Zwischenablage enthält keine lesbare Formel: Zeile 1, Spalte 14: Die MathML ist kein "
     "gültiges XML."},
    {"binary bytes with NUL are no text, not a LaTeX mistake",
     {{"text/plain", kBinary}},
     "",
     kNothingToPaste},
    {"bytes that are no UTF-8 are no text either",
     {{"text/plain", "\xff\xfe$\x80x"}},
     "",
     kNothingToPaste},
};

QByteArray PlainPng() {
  QImage plain(20, 20, QImage::Format_RGB32);
  plain.fill(Qt::white);
  QByteArray png;
  QBuffer buffer(&png);
  plain.save(&buffer, "PNG");
  return png;
}

void FillClipboard(TMainForm& main, const TOffer& offer) {
  main.CopyBtn->click();
  const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
  auto* data = new QMimeData;
  for (const auto& [format, content] : offer) {
    data->setData(format, content == kCopied   ? copied->data(format)
                          : content == kPlain  ? PlainPng()
                          : content == kBinary ? QByteArray("x\0\x01$y", 5)
                                               : QByteArray(content));
  }
  QGuiApplication::clipboard()->setMimeData(data);
}

}  // namespace

class FormulaTextTest : public TProgramTest {
  Q_OBJECT

 private:
  QString sample_;

  void PressPaste() { PressKeys(Main(), Qt::Key_V, Qt::ControlModifier); }

  // Opens "Formel als Text..." from the menu and answers it with `act`.
  void WithTextDialog(std::function<void(TFormelTextForm*)> act) {
    Answer<TFormelTextForm>(std::move(act));
    Main().FormulaTextAction->trigger();
  }

 private slots:
  void init() {
    StartProgram();
    sample_ = Latex(Main().RootLine);
    QGuiApplication::clipboard()->clear();
  }
  void cleanup() { EndProgram(); }

  void copyAsLatexAndAsMathML() {
    Main().CopyLatexAction->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), sample_);
    QVERIFY(sample_.startsWith("12 \\times 3 / 2 \\times\\int_{1}^{10}"));

    Main().CopyMathMLAction->trigger();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const QString mathml = QString::fromUtf8(data->data(kMathMLMimeType));
    QVERIFY(mathml.startsWith("<math xmlns=\"http://www.w3.org/1998/Math/MathML\""));
    QVERIFY(mathml.contains(">" + sample_.toHtmlEscaped() + "</annotation>"));
    QCOMPARE(data->text(), mathml);
    QVERIFY(Main().statusBar()->currentMessage().contains("MathML"));
  }

  // Each kind of clipboard content: what "Einfügen" appends as one step, or
  // the message it shows when it appends nothing.
  void pasteAppendsTheBestOffer_data() {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < std::size(kPasteCases); ++i) {
      QTest::newRow(kPasteCases[i].Name) << static_cast<int>(i);
    }
  }

  void pasteAppendsTheBestOffer() {
    QFETCH(int, row);
    const TPasteCase& c = kPasteCases[row];
    FillClipboard(Main(), c.Offer);
    PressPaste();
    const QString appended = c.Appended == "SAMPLE" ? sample_ : c.Appended;
    QCOMPARE(Latex(Main().RootLine), sample_ + appended);
    QCOMPARE(Main().statusBar()->currentMessage(), c.Message);
    const bool pasted = !appended.isEmpty();
    QCOMPARE(Main().windowTitle().contains('*'), pasted);
    QCOMPARE(Main().UndoAction->isEnabled(), pasted);
    if (!pasted) return;
    QCOMPARE(Main().UndoAction->text(), QString("&Rückgängig: Einfügen"));
    Main().UndoAction->trigger();
    QCOMPARE(Latex(Main().RootLine), sample_);
  }

  void textDialogReplacesTheFormulaAsOneStep() {
    QString shown;
    QImage before;
    QImage after;
    WithTextDialog([&](TFormelTextForm* dialog) {
      shown = dialog->Edit1->toPlainText();
      dialog->Edit1->selectAll();
      QTest::keyClicks(dialog->Edit1, "\\sqrt[3]{");
      before = dialog->Preview->pixmap().toImage();
      QVERIFY(!dialog->ErrorLabel->text().isEmpty());  // "{" not yet closed
      QTest::keyClicks(dialog->Edit1, "x}");
      after = dialog->Preview->pixmap().toImage();
      QVERIFY(dialog->ErrorLabel->text().isEmpty());
      SaveArtefact(after, "formula-text-preview");
      QTest::keyClick(dialog->Edit1, Qt::Key_Return, Qt::ShiftModifier);
      QVERIFY(dialog->isVisible());  // Shift+Enter only breaks the line
      QVERIFY(dialog->Edit1->toPlainText().endsWith('\n'));
      QTest::keyClick(dialog->Edit1, Qt::Key_Backspace);
      QTest::keyClick(dialog->Edit1, Qt::Key_Return);
    });
    QCOMPARE(shown, sample_);
    QCOMPARE(Latex(Main().RootLine), QString("\\sqrt[3]{x}"));
    QVERIFY(before != after);  // the preview followed the typing
    // The preview is the picture of the main window: same font, margin, colour.
    QCOMPARE(after.convertToFormat(QImage::Format_RGB32),
             SettledPicture(Main()).convertToFormat(QImage::Format_RGB32));
    QCOMPARE(Main().UndoAction->text(), QString("&Rückgängig: Formel als Text"));
    Main().UndoAction->trigger();
    QCOMPARE(Latex(Main().RootLine), sample_);
  }

  // OK on the unchanged text, and "Abbrechen" after a mistake, change nothing.
  void textDialogKeepsAMistakeAndCancelChangesNothing() {
    WithTextDialog([](TFormelTextForm* dialog) { Click(dialog->OKBtn); });
    QString message;
    int caret = -1;
    bool stillOpen = false;
    WithTextDialog([&](TFormelTextForm* dialog) {
      dialog->Edit1->selectAll();
      QTest::keyClicks(dialog->Edit1, "a + \\foo + b");
      message = dialog->ErrorLabel->text();
      QTest::keyClick(dialog->Edit1, Qt::Key_Return);
      stillOpen = dialog->isVisible();
      caret = dialog->Edit1->textCursor().position();
      dialog->Edit1->selectAll();  // "Abbrechen" drops a formula that can be read, too
      QTest::keyClicks(dialog->Edit1, "\\frac{1}{2}");
      Click(dialog->CancelBtn);
    });
    QCOMPARE(message, QString("Zeile 1, Spalte 5: Unbekannter Befehl „\\foo“."));
    QVERIFY(stillOpen);
    QCOMPARE(caret, 4);
    QCOMPARE(Latex(Main().RootLine), sample_);
    QVERIFY(!Main().UndoAction->isEnabled());
    QVERIFY(!Main().windowTitle().contains('*'));
  }
};

QTEST_MAIN(FormulaTextTest)
#include "FormulaTextTest.moc"
