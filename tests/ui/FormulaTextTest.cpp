// The formula as text in the real main window: the two ways out to the
// clipboard, "Einfügen" (Strg+V) with each kind of clipboard content, and
// the "Formel als Text..." dialog with its preview, its messages, OK and
// "Abbrechen".
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <functional>

#include "render/Clipboard.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/Program.h"
#include "textio/FormulaText.h"
#include "ui/FormelTextUnit.h"
#include "ui/FormulaClipboard.h"

using namespace DialogDriver;

namespace {

using TFill = std::function<void(TMainForm&)>;

QString Latex(const TFormulaLine* line) {
  return QString::fromStdU16String(LatexFromFormula(line));
}

QByteArray Utf8(const char* text) { return QByteArray(text); }

// Only the given formats of what "In die Zwischenablage kopieren" offers,
// with MathML and LaTeX text of other formulas besides when `withText`.
void KeepCopiedFormats(TMainForm& main, const QStringList& formats, bool withText = false) {
  main.CopyBtn->click();
  const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
  auto* kept = new QMimeData;
  for (const QString& format : formats) kept->setData(format, copied->data(format));
  if (withText) {
    kept->setText("\\frac{1}{2}");
    kept->setData(kMathMLMimeType, Utf8("<math><mi>M</mi></math>"));
  }
  QGuiApplication::clipboard()->setMimeData(kept);
}

void PutText(const QString& text) { QGuiApplication::clipboard()->setText(text); }

void PutData(const QString& format, const QByteArray& bytes) {
  auto* data = new QMimeData;
  data->setData(format, bytes);
  QGuiApplication::clipboard()->setMimeData(data);
}

}  // namespace

Q_DECLARE_METATYPE(TFill)

class FormulaTextTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TProgram> program_;
  QString sample_;

  TMainForm& Main() { return program_->MainForm; }

  void PressPaste() { PressKeys(Main(), Qt::Key_V, Qt::ControlModifier); }

  // Opens "Formel als Text..." from the menu and answers it with `act`.
  void WithTextDialog(std::function<void(TFormelTextForm*)> act) {
    Answer<TFormelTextForm>(std::move(act));
    Main().FormulaTextAction->trigger();
  }

 private slots:
  void init() {
    StartProgram(program_);
    sample_ = Latex(Main().RootLine);
    QGuiApplication::clipboard()->clear();
  }
  void cleanup() { EndProgram(program_); }

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
    QTest::addColumn<TFill>("fill");
    QTest::addColumn<QString>("appended");
    QTest::addColumn<QString>("message");
    const QString sample = "SAMPLE";
    const QString four = "4 Einträge eingefügt.";
    QTest::newRow("the document of \"In die Zwischenablage kopieren\"")
        << TFill([](TMainForm& main) { main.CopyBtn->click(); }) << sample << four;
    QTest::newRow("the document before MathML and text")
        << TFill([](TMainForm& main) { KeepCopiedFormats(main, {kDocumentMimeType}, true); })
        << sample << four;
    QTest::newRow("a PNG that carries the formula")
        << TFill([](TMainForm& main) { KeepCopiedFormats(main, {"image/png"}); }) << sample << four;
    QTest::newRow("an SVG that carries the formula")
        << TFill([](TMainForm& main) { KeepCopiedFormats(main, {"image/svg+xml"}); }) << sample
        << four;
    QTest::newRow("MathML as application/mathml+xml") << TFill([](TMainForm&) {
      PutData(kMathMLMimeType, Utf8("<math><mfrac><mi>a</mi><mi>b</mi></mfrac></math>"));
    }) << "\\frac{a}{b}"
                                                      << "1 Eintrag eingefügt.";
    QTest::newRow("MathML as text")
        << TFill([](TMainForm&) { PutText("<math><msqrt><mn>2</mn></msqrt></math>"); })
        << "\\sqrt{2}"
        << "1 Eintrag eingefügt.";
    QTest::newRow("LaTeX as text") << TFill([](TMainForm&) { PutText("$\\frac{1}{2} + x^2$"); })
                                   << "\\frac{1}{2} + \\left(x\\right)^{2}"
                                   << "3 Einträge eingefügt.";
    QTest::newRow("an empty clipboard") << TFill([](TMainForm&) {}) << "" << kNothingToPaste;
    QTest::newRow("a picture without a formula") << TFill([](TMainForm&) {
      QImage plain(20, 20, QImage::Format_RGB32);
      plain.fill(Qt::white);
      QGuiApplication::clipboard()->setImage(plain);
    }) << "" << kNothingToPaste;
    QTest::newRow("LaTeX with a mistake")
        << TFill([](TMainForm&) { PutText("\\frac{1}{\\foo}"); }) << ""
        << "Zeile 1, Spalte 10: Unbekannter Befehl „\\foo“.";
    QTest::newRow("MathML that is no XML")
        << TFill([](TMainForm&) { PutData(kMathMLMimeType, Utf8("<math><mi>x</math>")); }) << ""
        << "Zeile 1, Spalte 19: Die MathML ist kein gültiges XML.";
  }

  void pasteAppendsTheBestOffer() {
    QFETCH(TFill, fill);
    QFETCH(QString, appended);
    QFETCH(QString, message);
    fill(Main());
    PressPaste();
    if (appended == "SAMPLE") appended = sample_;
    QCOMPARE(Latex(Main().RootLine), sample_ + appended);
    QCOMPARE(Main().statusBar()->currentMessage(), message);
    const bool pasted = !appended.isEmpty();
    QCOMPARE(Main().windowTitle().contains('*'), pasted);
    QCOMPARE(Main().UndoAction->isEnabled(), pasted);
    if (!pasted) return;
    QCOMPARE(Main().UndoAction->text(), QString("&Rückgängig: Einfügen"));
    Main().UndoAction->trigger();
    QCOMPARE(Latex(Main().RootLine), sample_);
  }

  void textDialogShowsTheFormulaAndItsPreview() {
    QImage preview;
    QString shown;
    WithTextDialog([&](TFormelTextForm* dialog) {
      shown = dialog->Edit1->toPlainText();
      preview = dialog->Preview->pixmap().toImage();
      Click(dialog->OKBtn);  // unchanged: nothing happens
    });
    QCOMPARE(shown, sample_);
    // The preview is the picture of the main window: same font, margin, colour.
    QCOMPARE(preview.convertToFormat(QImage::Format_RGB32),
             SettledPicture(Main()).convertToFormat(QImage::Format_RGB32));
    QVERIFY(!Main().UndoAction->isEnabled());
    QVERIFY(!Main().windowTitle().contains('*'));
  }

  void textDialogReplacesTheFormulaAsOneStep() {
    QImage before;
    QImage after;
    WithTextDialog([&](TFormelTextForm* dialog) {
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
    QCOMPARE(Latex(Main().RootLine), QString("\\sqrt[3]{x}"));
    QVERIFY(before != after);  // the preview followed the typing
    QCOMPARE(after.convertToFormat(QImage::Format_RGB32),
             SettledPicture(Main()).convertToFormat(QImage::Format_RGB32));
    QCOMPARE(Main().UndoAction->text(), QString("&Rückgängig: Formel als Text"));
    Main().UndoAction->trigger();
    QCOMPARE(Latex(Main().RootLine), sample_);
  }

  void textDialogKeepsAMistakeAndCancelChangesNothing() {
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
