// The formula as text in the real main window: the two ways out to the
// clipboard, "Einfügen" (Strg+V) with each kind of clipboard content, and
// the "Formel als Text..." dialog with its preview, its messages, OK and
// "Abbrechen".
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <functional>

#include "docfile/DocFile.h"
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

// Only the given formats of what "In die Zwischenablage kopieren" offers.
void KeepCopiedFormats(TMainForm& main, const QStringList& formats) {
  main.CopyBtn->click();
  const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
  auto* kept = new QMimeData;
  for (const QString& format : formats) kept->setData(format, copied->data(format));
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
    program_ = std::make_unique<TProgram>();
    Main().show();
    Main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&Main()));
    SettledPicture(Main());
    sample_ = Latex(Main().RootLine);
    QGuiApplication::clipboard()->clear();
  }
  void cleanup() {
    Main().Changed = false;  // close without asking
    program_.reset();
    QVERIFY2(Problems().isEmpty(), qPrintable(Problems().join("; ")));
    Problems().clear();
  }

  void theEditMenuOffersTheTextCommands() {
    QStringList entries;
    for (QAction* action : Main().EditMenu->actions()) entries << action->text();
    for (const char* entry :
         {"Als &LaTeX kopieren", "Als &MathML kopieren", "&Einfügen", "&Formel als Text..."}) {
      QVERIFY2(entries.contains(entry), entry);
    }
    QCOMPARE(Main().PasteAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
  }

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

  void pasteAppendsTheBestOfferAsOneStep_data() {
    QTest::addColumn<TFill>("fill");
    QTest::addColumn<QString>("appended");
    QTest::newRow("the document of \"In die Zwischenablage kopieren\"")
        << TFill([](TMainForm& main) { main.CopyBtn->click(); }) << "SAMPLE";
    QTest::newRow("a PNG that carries the formula")
        << TFill([](TMainForm& main) { KeepCopiedFormats(main, {"image/png"}); }) << "SAMPLE";
    QTest::newRow("an SVG that carries the formula")
        << TFill([](TMainForm& main) { KeepCopiedFormats(main, {"image/svg+xml"}); }) << "SAMPLE";
    QTest::newRow("MathML as application/mathml+xml") << TFill([](TMainForm&) {
      PutData(kMathMLMimeType, Utf8("<math><mfrac><mi>a</mi><mi>b</mi></mfrac></math>"));
    }) << "\\frac{a}{b}";
    QTest::newRow("MathML as text")
        << TFill([](TMainForm&) { PutText("<math><msqrt><mn>2</mn></msqrt></math>"); })
        << "\\sqrt{2}";
    QTest::newRow("LaTeX as text") << TFill([](TMainForm&) { PutText("$\\frac{1}{2} + x^2$"); })
                                   << "\\frac{1}{2} + \\left(x\\right)^{2}";
    QTest::newRow("the document before MathML and text") << TFill([](TMainForm&) {
      TEntryCursor cursor = nullptr;
      TDocument document;
      document.Root = CreateLine(&cursor);
      AppendTermEntry(document.Root, u"D");
      const std::vector<std::uint8_t> bytes = EncodeDocument(document);
      document.Release();
      auto* data = new QMimeData;
      data->setText("\\frac{1}{2}");
      data->setData(kMathMLMimeType, Utf8("<math><mi>M</mi></math>"));
      data->setData(kDocumentMimeType, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size())));
      QGuiApplication::clipboard()->setMimeData(data);
    }) << "D";
  }

  void pasteAppendsTheBestOfferAsOneStep() {
    QFETCH(TFill, fill);
    QFETCH(QString, appended);
    fill(Main());
    PressPaste();
    if (appended == "SAMPLE") appended = sample_;
    QCOMPARE(Latex(Main().RootLine), sample_ + appended);
    QCOMPARE(Main().UndoAction->text(), QString("&Rückgängig: Einfügen"));
    QVERIFY(Main().windowTitle().contains('*'));
    QVERIFY(Main().statusBar()->currentMessage().endsWith("eingefügt."));
    Main().UndoAction->trigger();
    QCOMPARE(Latex(Main().RootLine), sample_);
  }

  void pasteOfNothingUsableSaysSoAndChangesNothing_data() {
    QTest::addColumn<TFill>("fill");
    QTest::addColumn<QString>("message");
    QTest::newRow("an empty clipboard") << TFill([](TMainForm&) {}) << kNothingToPaste;
    QTest::newRow("a picture without a formula") << TFill([](TMainForm&) {
      QImage plain(20, 20, QImage::Format_RGB32);
      plain.fill(Qt::white);
      QGuiApplication::clipboard()->setImage(plain);
    }) << kNothingToPaste;
    QTest::newRow("LaTeX with a mistake") << TFill([](TMainForm&) { PutText("\\frac{1}{\\foo}"); })
                                          << "Zeile 1, Spalte 10: Unbekannter Befehl „\\foo“.";
    QTest::newRow("MathML that is no XML")
        << TFill([](TMainForm&) { PutData(kMathMLMimeType, Utf8("<math><mi>x</math>")); })
        << "Zeile 1, Spalte 19: Die MathML ist kein gültiges XML.";
  }

  void pasteOfNothingUsableSaysSoAndChangesNothing() {
    QFETCH(TFill, fill);
    QFETCH(QString, message);
    fill(Main());
    PressPaste();
    QCOMPARE(Main().statusBar()->currentMessage(), message);
    QCOMPARE(Latex(Main().RootLine), sample_);
    QVERIFY(!Main().UndoAction->isEnabled());
    QVERIFY(!Main().windowTitle().contains('*'));
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

  void textDialogKeepsAMistakeAndMovesTheCaretToIt() {
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
      Click(dialog->CancelBtn);
    });
    QCOMPARE(message, QString("Zeile 1, Spalte 5: Unbekannter Befehl „\\foo“."));
    QVERIFY(stillOpen);
    QCOMPARE(caret, 4);
    QCOMPARE(Latex(Main().RootLine), sample_);
    QVERIFY(!Main().UndoAction->isEnabled());
  }

  void textDialogCancelChangesNothing() {
    WithTextDialog([](TFormelTextForm* dialog) {
      dialog->Edit1->selectAll();
      QTest::keyClicks(dialog->Edit1, "\\frac{1}{2}");
      Click(dialog->CancelBtn);
    });
    QCOMPARE(Latex(Main().RootLine), sample_);
    QVERIFY(!Main().UndoAction->isEnabled());
    QVERIFY(!Main().windowTitle().contains('*'));
  }
};

QTEST_MAIN(FormulaTextTest)
#include "FormulaTextTest.moc"
