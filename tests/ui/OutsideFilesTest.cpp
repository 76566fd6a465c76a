// Files that come from outside the editor: the command line and drops on
// the main window. Both open as "Öffnen..." does, with its save prompt and
// its messages.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "docfile/DocFile.h"
#include "tests/ui/DialogDriver.h"
#include "textio/FormulaText.h"
#include "ui/MainUnit.h"
#include "ui/StartArguments.h"

namespace {

const QString kOpenQuestion = "Die Datei wurde noch nicht gespeichert. Wollen Sie jetzt speichern?";

// What a message box said, once it has been answered with `button`.
std::shared_ptr<QString> AnswerBox(QMessageBox::StandardButton button) {
  auto text = std::make_shared<QString>();
  DialogDriver::Answer<QMessageBox>([text, button](QMessageBox* box) {
    *text = box->text();
    box->button(button)->click();
  });
  return text;
}

std::unique_ptr<QMimeData> FilesData(const QList<QUrl>& urls) {
  auto data = std::make_unique<QMimeData>();
  data->setUrls(urls);
  return data;
}

// Drags the data over the window; true when the window would take it.
bool DragEnter(QWidget* window, QMimeData* data) {
  QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  return enter.isAccepted();
}

void Drop(QWidget* window, QMimeData* data) {
  QVERIFY(DragEnter(window, data));
  QDropEvent drop(QPointF(300, 300), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  QVERIFY(drop.isAccepted());
}

}  // namespace

class OutsideFilesTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;
  QTemporaryDir dir;
  QString document;  // one term "ab", margin 33

  // Lets the queued opening run, and the dialogs it shows.
  static void Settle() { QTest::qWait(100); }

 private slots:
  void initTestCase() {
    document = dir.filePath("Kreis.qmt");
    TEntryCursor cursor = nullptr;
    TFormulaLine* line = CreateLine(&cursor);
    AppendTermEntry(line, u"ab");
    std::string error;
    QVERIFY(
        WriteDocumentFile(document.toStdString(), EncodeDocument(line, {}, kWhite, 33.0), error));
    freetheline(line);
  }
  void init() {
    form = std::make_unique<TMainForm>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }
  void cleanup() {
    QM_VERIFY_NO_PROBLEMS();
    form->Changed = false;
    form.reset();
  }

  void startArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("file");
    const QString absolute = QDir::current().absoluteFilePath("Kreis.qmt");
    QTest::newRow("nothing: the sample formula") << QStringList{} << true << "";
    QTest::newRow("one relative name, made absolute")
        << QStringList{"Kreis.qmt"} << true << absolute;
    QTest::newRow("an absolute name") << QStringList{"/tmp/a b.png"} << true << "/tmp/a b.png";
    QTest::newRow("a name with a dash after --")
        << QStringList{"--", "-x.qmt"} << true << QDir::current().absoluteFilePath("-x.qmt");
    QTest::newRow("two files") << QStringList{"a.qmt", "b.qmt"} << false << "";
    QTest::newRow("an option") << QStringList{"--help"} << false << "";
    QTest::newRow("a short option") << QStringList{"-h"} << false << "";
    QTest::newRow("an option and a file") << QStringList{"-v", "a.qmt"} << false << "";
    QTest::newRow("two files after --") << QStringList{"--", "a", "b"} << false << "";
    QTest::newRow("an empty name") << QStringList{""} << false << "";
  }
  void startArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(QString, file);
    const TStartArguments start = ParseStartArguments(arguments);
    QCOMPARE(start.Valid, valid);
    QCOMPARE(start.File, file);
  }

  // The real program: wrong use ends at once with the usage on stderr.
  void wrongUseExitsWith2AndTheUsage() {
    QProcess editor;
    editor.start(QM_EDITOR_PATH, {"a.qmt", "b.qmt"});
    QVERIFY(editor.waitForFinished(60000));
    QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(editor.exitCode(), kStartUsageExit);
    const QString usage = QString::fromUtf8(editor.readAllStandardError());
    QVERIFY2(usage.contains("Aufruf: quillmora [DATEI]"), qPrintable(usage));
    QVERIFY(editor.readAllStandardOutput().isEmpty());
  }

  void unopenableFileShowsTheMessageOverTheStartFormula() {
    auto shown = AnswerBox(QMessageBox::Ok);
    form->OpenFromOutside(dir.filePath("fehlt.qmt"));
    Settle();
    QCOMPARE(*shown, QString("Die Datei konnte nicht geöffnet werden!"));
    QCOMPARE(form->RootLine->Count(), 4u);
    QCOMPARE(form->windowTitle(), QString("Quillmora Editor 1.0 - [unbenannt.qmt]"));
    QVERIFY(form->isVisible());
  }

  // A drop on a changed document asks first; "Abbrechen" keeps everything,
  // "Nein" opens the file as a document.
  void dropAsksBeforeReplacingAChangedDocument() {
    form->SetChanged();
    auto data = FilesData({QUrl::fromLocalFile(document)});
    auto asked = AnswerBox(QMessageBox::Cancel);
    Drop(form.get(), data.get());
    Settle();
    QCOMPARE(*asked, kOpenQuestion);
    QCOMPARE(form->RootLine->Count(), 4u);
    QVERIFY(form->Changed);

    asked = AnswerBox(QMessageBox::No);
    Drop(form.get(), data.get());
    Settle();
    QCOMPARE(*asked, kOpenQuestion);
    QCOMPARE(form->RootLine->Count(), 1u);
    QCOMPARE(form->RandEd->Value(), 33);
    QCOMPARE(form->FileName, document);
    QCOMPARE(form->windowTitle(), QString("Quillmora Editor 1.0 - [Kreis.qmt]"));
    QVERIFY(!form->Changed);
  }

  void onlyOneLocalFileOrTextIsTaken_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    const QUrl local = QUrl::fromLocalFile("/tmp/a.qmt");
    const QUrl web("https://example.org/a.qmt");
    QTest::newRow("one local file") << QList<QUrl>{local} << "" << true;
    QTest::newRow("two files") << QList<QUrl>{local, QUrl::fromLocalFile("/tmp/b.qmt")} << ""
                               << false;
    QTest::newRow("a web address") << QList<QUrl>{web} << "" << false;
    QTest::newRow("a web address with its text") << QList<QUrl>{web} << web.toString() << false;
    QTest::newRow("text") << QList<QUrl>{} << "\\frac{1}{2}" << true;
    QTest::newRow("nothing") << QList<QUrl>{} << "" << false;
  }
  void onlyOneLocalFileOrTextIsTaken() {
    QFETCH(QList<QUrl>, urls);
    QFETCH(QString, text);
    QFETCH(bool, taken);
    auto data = FilesData(urls);
    if (!text.isEmpty()) data->setText(text);
    QCOMPARE(DragEnter(form.get(), data.get()), taken);
  }

  // Dropped text is read as LaTeX and appended as one step that one undo takes back.
  void droppedLatexIsAppendedAsOneStep() {
    const QString latex = "\\frac{1}{2} + \\sqrt{x}";
    TEntryCursor cursor = nullptr;
    TOwnedLine expected;
    TTextError error;
    QVERIFY(FormulaFromLatex(latex.toStdU16String(), &cursor, expected, error));
    const QString before = DialogDriver::Outline(form->RootLine);

    auto data = std::make_unique<QMimeData>();
    data->setText(latex);
    Drop(form.get(), data.get());
    Settle();
    QCOMPARE(DialogDriver::Outline(form->RootLine), before + DialogDriver::Outline(expected.get()));
    QVERIFY(form->windowTitle().endsWith("*]"));
    QVERIFY(form->UndoAction->isEnabled());
    form->UndoAction->trigger();
    QCOMPARE(DialogDriver::Outline(form->RootLine), before);
    QVERIFY(!form->Changed);
  }

  void unreadableLatexIsRefusedWithAMessage() {
    const QString before = DialogDriver::Outline(form->RootLine);
    auto data = std::make_unique<QMimeData>();
    data->setText("\\frac{1");
    auto shown = AnswerBox(QMessageBox::Ok);
    Drop(form.get(), data.get());
    Settle();
    QVERIFY2(shown->startsWith("Der Text ist keine lesbare Formel in LaTeX.\nZeile 1, Spalte"),
             qPrintable(*shown));
    QCOMPARE(DialogDriver::Outline(form->RootLine), before);
    QVERIFY(!form->Changed);
  }
};

QTEST_MAIN(OutsideFilesTest)
#include "OutsideFilesTest.moc"
