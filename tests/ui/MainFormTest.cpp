// The main window driven as a user drives it: its buttons, the margin field,
// and the modal dialogs answered from timers.
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "docfile/DocFile.h"
#include "render/Paint.h"
#include "render/QImageCanvas.h"
#include "tests/ui/DialogDriver.h"
#include "ui/FontDialog.h"
#include "ui/FormelTextUnit.h"
#include "ui/MainUnit.h"
#include "ui/ProgramSettings.h"

namespace {

const QString kStartCaption = "Quillmora Editor 1.0 - [unbenannt.qmt]";

// An empty configuration folder of the test's own, named before anything
// reads the environment, so that a settings file would appear in it.
QTemporaryDir& ConfigHome() {
  static QTemporaryDir folder;
  return folder;
}
const bool kConfigHomeSet = qputenv("XDG_CONFIG_HOME", ConfigHome().path().toLocal8Bit());

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
 public:
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

// Clicks a message box button by its caption.
void Press(QMessageBox* box, const QString& caption) {
  for (QAbstractButton* button : box->buttons()) {
    if (QString(button->text()).remove('&') == caption) return button->click();
  }
  QFAIL(qPrintable("no button " + caption));
}

// Types the path into the dialog's file name field and presses Enter.
void ChooseInDialog(QFileDialog* dialog, const QString& path) {
  auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
  QVERIFY(field != nullptr);
  field->setText(path);
  QTest::keyClick(field, Qt::Key_Return);
}

// Answers the next modal dialog of type T; the flag tells whether it came.
template <class T>
std::shared_ptr<bool> Expect(std::function<void(T*)> act, int timeoutMs = 10000) {
  auto ran = std::make_shared<bool>(false);
  DialogDriver::Answer<T>(
      [ran, act](T* dialog) {
        *ran = true;
        act(dialog);
      },
      timeoutMs);
  return ran;
}

// True when no modal dialog of type T comes up within a short while.
template <class T>
bool NoneComesUp(const std::shared_ptr<bool>& ran) {
  QTest::qWait(400);
  DialogDriver::Problems().clear();  // the expected "nothing came up"
  return !*ran;
}

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;
  QTemporaryDir dir;

  void ShowForm() {
    KeepNoSettings();  // as the program does at start
    form = std::make_unique<TMainForm>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QTest::qWait(50);
  }
  QImage Picture() const { return form->FormulaBitmap.Image().copy(); }
  void TypeMargin(const QString& text) {
    form->RandEd->Field()->selectAll();
    QTest::keyClicks(form->RandEd->Field(), text);
    QCoreApplication::processEvents();
  }
  void MarkChanged() { TypeMargin("21"); }
  QString PathIn(const QString& name) const { return dir.filePath(name); }
  static QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

 private slots:
  void init() { ShowForm(); }
  void cleanup() {
    QM_VERIFY_NO_PROBLEMS();
    form->Changed = false;  // close without asking
    form.reset();
  }

  void startShowsTheSampleAtMargin20OnWhite() {
    QCOMPARE(form->windowTitle(), kStartCaption);
    QCOMPARE(form->RandEd->Value(), 20);
    TQImageCanvas expected;
    PaintComplete(expected, form->PaintInput());
    form->PaintBox1Paint();
    QCOMPARE(Picture(), expected.Image());
    QCOMPARE(form->FormulaBitmap.Pixel(0, 0), kWhite);
    QCOMPARE(form->PaintBox1->size(), Picture().size());
    const QString artefacts = qEnvironmentVariable("QM_TEST_ARTEFACTS", QDir::tempPath());
    Picture().save(artefacts + "/main-start.png");
    form->grab().save(artefacts + "/main-window.png");
  }

  void marginChangeMarksChangedAndRepaints() {
    const QSize before = Picture().size();
    MarkChanged();
    QCOMPARE(form->windowTitle(), "Quillmora Editor 1.0 - [unbenannt.qmt*]");
    QTest::qWait(20);
    QCOMPARE(Picture().size(), before + QSize(2, 2));
  }

  void marginOutOfRangeTakesEffectUntilFocusLeaves() {
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->RandEd->setFocus();
    const QSize before = Picture().size();
    TypeMargin("1500");
    QCOMPARE(form->RandEd->Value(), 1500);
    QTest::qWait(20);
    QCOMPARE(Picture().size(), before + QSize(2960, 2960));
    form->FontBtn->setFocus();  // focus leaves the field
    QCoreApplication::processEvents();
    QCOMPARE(form->RandEd->Value(), 1000);
    TypeMargin("abc");
    QCOMPARE(form->RandEd->Value(), 0);
  }

  void cancelledColourDialogChangesNothing() {
    const QImage before = Picture();
    auto ran = Expect<QColorDialog>([](QColorDialog* d) { d->reject(); });
    QTest::mouseClick(form->bkcolor, Qt::RightButton);
    QVERIFY(*ran);
    QCOMPARE(form->windowTitle(), kStartCaption);
    QCOMPARE(Picture(), before);
  }

  void confirmedColourRepaintsTheBackground() {
    auto ran = Expect<QColorDialog>([](QColorDialog* d) {
      d->setCurrentColor(QColor(0, 0, 255));
      d->accept();
    });
    QTest::mouseClick(form->bkcolor, Qt::LeftButton);
    QVERIFY(*ran);
    QCOMPARE(form->bkcolor->Color(), 0x00FF0000u);
    QCOMPARE(form->FormulaBitmap.Pixel(0, 0), 0x00FF0000u);
    QVERIFY(form->Changed);
  }

  // Escape, "Abbrechen" or OK on the same font: nothing changed, so no "*".
  void fontDialogLeftWithoutAnotherFontChangesNothing() {
    for (bool accept : {false, true}) {
      auto ran =
          Expect<TFontDialog>([accept](TFontDialog* d) { accept ? d->accept() : d->reject(); });
      form->FontBtn->click();
      QVERIFY(*ran);
      QVERIFY(!form->Changed);
      QVERIFY(form->windowTitle().endsWith(".qmt]"));
    }
  }

  void confirmedFontWithColourRedrawsTheFormula() {
    Expect<TFontDialog>([](TFontDialog* dialog) {
      QFont serif("DejaVu Serif");
      serif.setPointSize(14);
      serif.setItalic(true);
      dialog->FontChooser->setCurrentFont(serif);
      Expect<QColorDialog>([](QColorDialog* colours) {
        colours->setCurrentColor(QColor(255, 0, 0));
        colours->accept();
      });
      dialog->ColorBtn->click();
      dialog->accept();
    });
    form->FontBtn->click();
    const TFontDesc font = form->FontDialog1->Font();
    QCOMPARE(QString::fromStdString(font.Name), QString("DejaVu Serif"));
    QCOMPARE(font.Height, -19);  // 14 points at 96 pixels per inch
    QCOMPARE(font.Style, std::uint8_t{fsItalic});
    QCOMPARE(font.Color, 0x000000FFu);
    QTest::qWait(20);
    int red = 0;
    const QImage picture = Picture();
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) red += picture.pixel(x, y) == qRgb(255, 0, 0);
    }
    QVERIFY(red > 100);
  }

  void spinButtonsStepWithinTheRange() {
    form->RandEd->setValue(999);
    QTest::keyClick(form->RandEd, Qt::Key_Up);
    QCOMPARE(form->RandEd->Value(), 1000);
    QTest::keyClick(form->RandEd, Qt::Key_Up);
    QCOMPARE(form->RandEd->Value(), 1000);
    form->RandEd->setValue(1);
    QTest::keyClick(form->RandEd, Qt::Key_Down);
    QTest::keyClick(form->RandEd, Qt::Key_Down);
    QCOMPARE(form->RandEd->Value(), 0);
    QVERIFY(form->Changed);
  }

  void quittingUnchangedAsksNothing() {
    auto asked = Expect<QMessageBox>([](QMessageBox* b) { b->reject(); }, 300);
    form->EndeBtn->click();
    QVERIFY(NoneComesUp<QMessageBox>(asked));
    QVERIFY(!form->isVisible());
  }

  void quittingChangedWithYesAndCancelledSaveKeepsTheWindow() {
    MarkChanged();
    auto saveCancelled = std::make_shared<bool>(false);
    Expect<QMessageBox>([&](QMessageBox* box) {
      QCOMPARE(box->windowTitle(), QString("Speichern"));
      QCOMPARE(box->text(),
               QString("Die Datei wurde noch nicht gespeichert. Wollen Sie jetzt speichern?"));
      QCOMPARE(box->icon(), QMessageBox::Question);
      Expect<QFileDialog>([saveCancelled](QFileDialog* d) {
        *saveCancelled = true;
        d->reject();
      });
      Press(box, "Ja");
    });
    form->EndeBtn->click();
    QVERIFY(*saveCancelled);
    QVERIFY(form->isVisible());
  }

  void quittingChangedWithNoClosesAndWithCancelStays() {
    MarkChanged();
    Expect<QMessageBox>([](QMessageBox* box) { Press(box, "Abbrechen"); });
    form->EndeBtn->click();
    QVERIFY(form->isVisible());
    Expect<QMessageBox>([](QMessageBox* box) { Press(box, "Nein"); });
    form->EndeBtn->click();
    QVERIFY(!form->isVisible());
  }

  void escapeQuits() {
    QTest::keyClick(form.get(), Qt::Key_Escape);
    QVERIFY(!form->isVisible());
  }

  void newAfterNoEmptiesTheFormulaAndKeepsTheFormatting() {
    MarkChanged();
    const TFontDesc font = form->FontDialog1->Font();
    Expect<QMessageBox>([](QMessageBox* box) {
      QCOMPARE(box->text(),
               QString("Die Datei ist noch nicht gespeichert. Wollen Sie jetzt speichern?"));
      Press(box, "Nein");
    });
    form->NewBtn->click();
    QCOMPARE(form->RootLine->Count(), 0u);
    QCOMPARE(form->RandEd->Value(), 21);
    QVERIFY(form->FontDialog1->Font() == font);
    QCOMPARE(form->bkcolor->Color(), kWhite);
    QVERIFY2(form->windowTitle().endsWith("[unbenannt.qmt]"), "the changes were given up");
    QTest::qWait(20);
    QCOMPARE(Picture().size(), QSize(42, 42));
  }

  // The save prompt answers to its buttons' letters, with or without Alt:
  // J saves (here: the name dialog, cancelled), N gives the changes up, A
  // keeps everything as it was.
  void savePromptAnswersToLetters_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifier");
    QTest::addColumn<bool>("asksForName");
    QTest::addColumn<bool>("emptied");
    QTest::newRow("J: Ja") << int(Qt::Key_J) << int(Qt::NoModifier) << true << false;
    QTest::newRow("Alt+J: Ja") << int(Qt::Key_J) << int(Qt::AltModifier) << true << false;
    QTest::newRow("N: Nein") << int(Qt::Key_N) << int(Qt::NoModifier) << false << true;
    QTest::newRow("Alt+N: Nein") << int(Qt::Key_N) << int(Qt::AltModifier) << false << true;
    QTest::newRow("A: Abbrechen") << int(Qt::Key_A) << int(Qt::NoModifier) << false << false;
    QTest::newRow("Alt+A: Abbrechen") << int(Qt::Key_A) << int(Qt::AltModifier) << false << false;
  }
  void savePromptAnswersToLetters() {
    QFETCH(int, key);
    QFETCH(int, modifier);
    QFETCH(bool, asksForName);
    QFETCH(bool, emptied);
    MarkChanged();
    auto askedForName = std::make_shared<bool>(false);
    Expect<QMessageBox>([=](QMessageBox* box) {
      if (asksForName) {
        Expect<QFileDialog>([askedForName](QFileDialog* d) {
          *askedForName = true;
          d->reject();
        });
      }
      QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifier));
    });
    form->NewBtn->click();
    QTest::qWait(50);  // a mnemonic clicks its button animated
    QCOMPARE(*askedForName, asksForName);
    QCOMPARE(form->RootLine->Count() == 0, emptied);
  }

  // After "Neu" the document belongs to no file: neither "Speichern" nor the
  // save prompt before "Öffnen..." may write the new formula into the
  // previous one; both ask for a name.
  void newDocumentIsUntitled_data() {
    QTest::addColumn<bool>("changedBeforeNew");
    QTest::addColumn<QString>("then");
    QTest::newRow("saved, Neu, changed, Speichern") << false << "Speichern";
    QTest::newRow("changed, Neu with Nein, Öffnen... with Ja") << true << "Öffnen...";
  }
  void newDocumentIsUntitled() {
    QFETCH(bool, changedBeforeNew);
    QFETCH(QString, then);
    const QString path = PathIn(changedBeforeNew ? "a-changed.qmt" : "a.qmt");
    Expect<QFileDialog>([path](QFileDialog* d) { ChooseInDialog(d, path); });
    form->SaveAsBtn->click();
    const QByteArray saved = Bytes(path);
    QVERIFY(saved.size() > 56);

    if (changedBeforeNew) {
      MarkChanged();
      Expect<QMessageBox>([](QMessageBox* box) { Press(box, "Nein"); });
    }
    form->NewBtn->click();
    QCOMPARE(form->FileName, QString());
    QCOMPARE(form->windowTitle(), QString("Quillmora Editor 1.0 - [unbenannt.qmt]"));

    auto askedForName = std::make_shared<bool>(false);
    const auto cancelSaveDialog = [askedForName](QFileDialog* d) {
      *askedForName = d->acceptMode() == QFileDialog::AcceptSave;
      d->reject();
    };
    TypeMargin("23");  // a change to the new document
    if (then == "Speichern") {
      Expect<QFileDialog>(cancelSaveDialog);
      form->SaveQMTBtn->click();
    } else {
      Expect<QMessageBox>([cancelSaveDialog](QMessageBox* box) {
        Expect<QFileDialog>(cancelSaveDialog);
        Press(box, "Ja");
      });
      form->OpenBtn->click();
    }
    QVERIFY(*askedForName);
    QCOMPARE(Bytes(path), saved);
    QCOMPARE(form->RootLine->Count(), 0u);
  }

  // The margin field reacts to every change of its text, and only to one.
  void marginReactsToChangesOfItsText_data() {
    QTest::addColumn<QString>("typed");  // at the start of "20"; "Enter" presses Enter
    QTest::addColumn<bool>("changed");
    QTest::newRow("20 edited to 020") << "0" << true;
    QTest::newRow("20 edited to 120") << "1" << true;
    QTest::newRow("Enter with the text unchanged") << "Enter" << false;
  }
  void marginReactsToChangesOfItsText() {
    QFETCH(QString, typed);
    QFETCH(bool, changed);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->RandEd->setFocus();
    QTest::qWait(20);
    // A term added behind the picture's back shows once the picture is repainted.
    AppendTermEntry(form->RootLine, u"+ 1");
    const QSize before = Picture().size();
    QLineEdit* field = form->RandEd->Field();
    QTest::keyClick(field, Qt::Key_Home);
    if (typed == "Enter") {
      QTest::keyClick(field, Qt::Key_Return);
    } else {
      QTest::keyClicks(field, typed);
    }
    QCOMPARE(form->Changed, changed);
    if (changed) QVERIFY(Picture().size().width() > before.width());
  }

  // A repaint of the paint box by the windowing layer paints the formula
  // afresh; a picture that keeps its size causes no further repaint.
  void windowRepaintWalksTheTree() {
    QTest::qWait(50);
    const QSize before = Picture().size();
    AppendTermEntry(form->RootLine, u"+ 12345");
    form->PaintBox1->repaint();
    QVERIFY(Picture().width() > before.width());
    QCOMPARE(form->PaintBox1->size(), Picture().size());
    QVERIFY(!form->Changed);

    TPaintCounter counter;
    QTest::qWait(50);
    form->PaintBox1->installEventFilter(&counter);
    form->PaintBox1->update();
    QTest::qWait(200);
    form->PaintBox1->removeEventFilter(&counter);
    QCOMPARE(counter.Paints, 1);
  }

  // The program keeps no settings: Qt's file and colour dialogs, used and
  // closed, leave nothing in the configuration folder.
  void dialogsLeaveNoSettings() {
    QVERIFY(kConfigHomeSet);
    Expect<QFileDialog>([this](QFileDialog* d) { ChooseInDialog(d, PathIn("kept.qmt")); });
    form->SaveAsBtn->click();
    Expect<QFileDialog>([this](QFileDialog* d) { ChooseInDialog(d, PathIn("kept.png")); });
    form->SaveBtn->click();
    Expect<QFileDialog>([](QFileDialog* d) { d->reject(); });
    form->OpenBtn->click();
    Expect<QColorDialog>([](QColorDialog* d) {
      QColorDialog::setCustomColor(0, QColor(1, 2, 3));
      d->setCurrentColor(QColor(1, 2, 3));
      d->accept();
    });
    QTest::mouseClick(form->bkcolor, Qt::LeftButton);
    QCOMPARE(form->bkcolor->Color(), 0x00030201u);
    form->Changed = false;
    form.reset();

    // What Qt would write at the end of the run goes the same way.
    QSettings qtProject(QSettings::UserScope, "QtProject");
    qtProject.setValue("probe", 1);
    qtProject.sync();
    QCOMPARE(qtProject.status(), QSettings::AccessError);
    const QDir config(ConfigHome().path());
    QCOMPARE(config.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    ShowForm();
  }

  void saveAsShowsOnlyTheFileNameAndSaveWritesWithoutDialog() {
    const QString path = PathIn("Kreis.qmt");
    Expect<QFileDialog>([path](QFileDialog* d) { ChooseInDialog(d, path); });
    form->SaveAsBtn->click();
    QCOMPARE(form->windowTitle(), QString("Quillmora Editor 1.0 - [Kreis.qmt]"));
    QCOMPARE(form->FileName, path);
    const QByteArray first = Bytes(path);
    QVERIFY(first.size() > 56);

    MarkChanged();
    auto asked = Expect<QFileDialog>([](QFileDialog* d) { d->reject(); }, 300);
    form->SaveQMTBtn->click();
    QVERIFY(NoneComesUp<QFileDialog>(asked));
    QVERIFY(Bytes(path) != first);
    QCOMPARE(form->windowTitle(), QString("Quillmora Editor 1.0 - [Kreis.qmt]"));
  }

  void openedDocumentComesBackWithItsFormatting() {
    const QString path = PathIn("doc.qmt");
    TEntryCursor cursor = nullptr;
    TFormulaLine* line = CreateLine(&cursor);
    AppendTermEntry(line, u"ab");
    TStoredFont font;
    font.Size = 14;
    const auto bytes = EncodeDocument(line, font, 0x0000FF00u, 33.0);
    freetheline(line);
    std::string error;
    QVERIFY(WriteDocumentFile(path.toStdString(), bytes, error));

    QVERIFY(form->OpenFileWithName(path));
    QCOMPARE(form->RootLine->Count(), 1u);
    QCOMPARE(form->RandEd->Value(), 33);
    QCOMPARE(form->bkcolor->Color(), 0x0000FF00u);
    QCOMPARE(PointSizeFromHeight(form->FontDialog1->Font().Height, 96), 14);
    QCOMPARE(form->windowTitle(), QString("Quillmora Editor 1.0 - [doc.qmt]"));
  }

  void failedOpenKeepsFormulaCaptionAndFileName() {
    const QString good = PathIn("good.qmt");
    Expect<QFileDialog>([good](QFileDialog* d) { ChooseInDialog(d, good); });
    form->SaveAsBtn->click();
    MarkChanged();
    const QString caption = form->windowTitle();
    QFile damaged(PathIn("damaged.qmt"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(Bytes(good).left(30));
    damaged.close();

    struct Case {
      QString path;
      QString message;
    };
    for (const Case& c : {Case{PathIn("missing.qmt"), "Die Datei konnte nicht geöffnet werden!"},
                          Case{PathIn("damaged.qmt"), "Read beyond end of file."}}) {
      auto shown = std::make_shared<QString>();
      Expect<QMessageBox>([shown](QMessageBox* box) {
        *shown = box->text();
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->windowTitle(), QString("Quillmora Editor"));
        box->accept();
      });
      QVERIFY(!form->OpenFileWithName(c.path));
      QCOMPARE(*shown, c.message);
      QCOMPARE(form->RootLine->Count(), 4u);
      QCOMPARE(form->windowTitle(), caption);
      QCOMPARE(form->FileName, good);
      QVERIFY(form->Changed);
    }
  }

  void readOnlyDocumentIsNotOpened() {
    // A read-only file system keeps even the superuser from writing.
    const QString mountPoint = PathIn("readonly");
    QVERIFY(QDir(dir.path()).mkdir("readonly"));
    const QByteArray point = mountPoint.toLocal8Bit();
    if (::mount("tmpfs", point.constData(), "tmpfs", 0, "size=64k") != 0) {
      QSKIP("cannot mount a file system here");
    }
    const QString path = mountPoint + "/doc.qmt";
    std::string error;
    QVERIFY(WriteDocumentFile(path.toStdString(), form->DocumentBytes(), error));
    QCOMPARE(::mount("tmpfs", point.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    auto shown = std::make_shared<QString>();
    Expect<QMessageBox>([shown](QMessageBox* box) {
      *shown = box->text();
      box->accept();
    });
    const bool opened = form->OpenFileWithName(path);
    ::umount(point.constData());
    QVERIFY(!opened);
    QCOMPARE(*shown, QString("Die Datei konnte nicht geöffnet werden!"));
    QCOMPARE(form->FileName, QString());
  }

  void failedSaveKeepsTheOldFileAndTheState() {
    const QString path = PathIn("keep.qmt");
    TEntryCursor cursor = nullptr;
    TFormulaLine* line = CreateLine(&cursor);
    AppendTermEntry(line, u"ab");
    std::string error;
    QVERIFY(WriteDocumentFile(path.toStdString(), EncodeDocument(line, {}, kWhite, 20.0), error));
    freetheline(line);
    QVERIFY(form->OpenFileWithName(path));
    const QByteArray old = Bytes(path);
    for (int i = 0; i < 200; ++i) AppendTermEntry(form->RootLine, u"a longer term to write");
    MarkChanged();

    // Files may not grow beyond 1000 bytes while saving: the write fails part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    auto shown = std::make_shared<QString>();
    Expect<QMessageBox>([shown](QMessageBox* box) {
      *shown = box->text();
      box->accept();
    });
    form->SaveQMTBtn->click();
    setrlimit(RLIMIT_FSIZE, &saved);

    QVERIFY(shown->startsWith("I/O error") || *shown == "Disk full.");
    QCOMPARE(Bytes(path), old);
    QVERIFY(form->Changed);
    QCOMPARE(form->FileName, path);
  }

  // A picture beyond the pixel limit gets no bitmap; the status bar says so
  // in its place, and the document still saves and comes back.
  void pictureBeyondTheLimitIsNamedAndTheDocumentStaysSavable() {
    AppendTermEntry(form->RootLine, u"WWWWWWWWWWWWWWWW");
    TFontDesc huge = form->FontDialog1->Font();
    huge.Height = HeightFromPointSize(7500, kScreenPixelsPerInch);
    form->FontDialog1->SetFont(huge);
    MarkChanged();
    QTRY_VERIFY(form->statusBar()->currentMessage().startsWith("Das Bild ist zu groß: "));
    QCOMPARE(form->FormulaBitmap.Width(), 0);
    QVERIFY(form->statusBar()->currentMessage().contains("Pixel (höchstens 100 Millionen Pixel)"));

    const QString path = PathIn("huge.qmt");
    Expect<QFileDialog>([path](QFileDialog* d) { ChooseInDialog(d, path); });
    form->SaveAsBtn->click();
    QVERIFY(!form->Changed);
    form->FontDialog1->SetFont(TFontDesc{});
    form->RandEd->setValue(20);
    QTRY_VERIFY(form->statusBar()->currentMessage().isEmpty());
    QVERIFY(form->FormulaBitmap.Width() > 0);
    QVERIFY(form->OpenFileWithName(path));
    QCOMPARE(PointSizeFromHeight(form->FontDialog1->Font().Height, 96), 7500);
    QTRY_VERIFY(form->statusBar()->currentMessage().startsWith("Das Bild ist zu groß: "));
  }

  // A path typed into "Öffnen..." opens that file, every time: the name
  // chosen before stands selected, and typing replaces it.
  void typedPathsOpenTheirFilesEveryTime() {
    const QString first = PathIn("first.qmt");
    const QString second = PathIn("second.qmt");
    for (const QString& path : {first, second}) {
      Expect<QFileDialog>([path](QFileDialog* d) { ChooseInDialog(d, path); });
      form->SaveAsBtn->click();
    }
    for (const QString& path : {first, second, first}) {
      Expect<QFileDialog>([path](QFileDialog* d) {
        auto* field = d->findChild<QLineEdit*>("fileNameEdit");
        QTRY_VERIFY(field != nullptr && field->hasFocus());
        QTest::keyClicks(field, path);
        QTest::keyClick(field, Qt::Key_Return);
      });
      form->OpenBtn->click();
      QCOMPARE(form->FileName, path);
    }
  }

  // Growing past the limit names the reason at once: after a paste beside
  // what the paste did, also with the mouse over the picture, and under the
  // preview of "Formel als Text...".
  void pictureGrownPastTheLimitSaysWhyAtOnce() {
    TFontDesc huge = form->FontDialog1->Font();
    huge.Height = HeightFromPointSize(7500, kScreenPixelsPerInch);
    form->FontDialog1->SetFont(huge);
    QGuiApplication::clipboard()->setText("WWWWWWWWWWWWWWWW");
    form->PasteAction->trigger();
    const QString message = form->statusBar()->currentMessage();
    QVERIFY2(message.startsWith("1 Eintrag eingefügt. Das Bild ist zu groß: "),
             qPrintable(message));
    QTest::mouseMove(form->PaintBox1, QPoint(5, 5));
    QCOMPARE(form->statusBar()->currentMessage(), message);

    auto underPreview = std::make_shared<QString>();
    Expect<TFormelTextForm>([underPreview](TFormelTextForm* dialog) {
      *underPreview = dialog->ErrorLabel->text();
      dialog->reject();
    });
    form->FormulaTextAction->trigger();
    QVERIFY2(underPreview->startsWith("Das Bild ist zu groß: "), qPrintable(*underPreview));
  }

  // What the reader would refuse is not written: the old file stays.
  void tooDeepDocumentIsNotSaved() {
    const QString path = PathIn("deep.qmt");
    Expect<QFileDialog>([path](QFileDialog* d) { ChooseInDialog(d, path); });
    form->SaveAsBtn->click();
    const QByteArray old = Bytes(path);
    QVERIFY(!old.isEmpty());
    TFormulaLine* line = form->RootLine;
    for (int level = 0; level <= kMaxNestingDepth; ++level) {
      line = AppendFunctionEntry(line, fkBetrag)->First;
    }
    MarkChanged();
    auto shown = std::make_shared<QString>();
    Expect<QMessageBox>([shown](QMessageBox* box) {
      *shown = box->text();
      box->accept();
    });
    form->SaveQMTBtn->click();
    QCOMPARE(*shown, QString(kTooDeepToSave));
    QCOMPARE(Bytes(path), old);
    QVERIFY(form->Changed);
  }

  void failedSaveAsKeepsTheFileName() {
    const QString good = PathIn("named.qmt");
    Expect<QFileDialog>([good](QFileDialog* d) { ChooseInDialog(d, good); });
    form->SaveAsBtn->click();
    MarkChanged();
    // A named pipe is never replaced by a document.
    const QString pipe = PathIn("pipe.qmt");
    QCOMPARE(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    auto shown = std::make_shared<QString>();
    Expect<QFileDialog>([pipe, shown](QFileDialog* d) {
      Expect<QMessageBox>([shown](QMessageBox* confirm) {  // "replace it?"
        Expect<QMessageBox>([shown](QMessageBox* error) {
          *shown = error->text();
          error->accept();
        });
        confirm->button(QMessageBox::Yes)->click();
      });
      ChooseInDialog(d, pipe);
    });
    form->SaveAsBtn->click();
    QCOMPARE(*shown, QString("Die Datei konnte nicht erzeugt werden!"));
    QCOMPARE(form->FileName, good);
    QCOMPARE(form->windowTitle(), QString("Quillmora Editor 1.0 - [named.qmt*]"));
  }

  void savedPictureEqualsTheBitmap() {
    const QString path = PathIn("picture.png");
    Expect<QFileDialog>([path](QFileDialog* d) { ChooseInDialog(d, path); });
    form->SaveBtn->click();
    QImage saved(path);
    QVERIFY(!saved.isNull());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), Picture());
  }

  void copyOffersImagePngSvgAndTheDocument() {
    form->CopyBtn->click();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data != nullptr);
    const QStringList formats = data->formats();
    for (const char* format : {"image/png", "image/svg+xml", "application/x-quillmora"}) {
      QVERIFY2(formats.contains(format), format);
    }
    QVERIFY(formats.indexOf("image/png") < formats.indexOf("image/svg+xml"));
    QVERIFY(formats.indexOf("image/svg+xml") < formats.indexOf("application/x-quillmora"));
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.convertToFormat(QImage::Format_RGB32), Picture());
    const QByteArray document = data->data("application/x-quillmora");
    const auto expected = form->DocumentBytes();
    QCOMPARE(document, QByteArray(reinterpret_cast<const char*>(expected.data()),
                                  static_cast<qsizetype>(expected.size())));
  }

  void pictureAtTwiceTheScaleIsTwiceTheSize() {
    const QString path = PathIn("twice.png");
    QComboBox* scale = form->ScaleBox;
    Expect<QFileDialog>([path, scale](QFileDialog* d) {
      QVERIFY(d->isAncestorOf(scale));
      scale->setCurrentIndex(1);
      d->grab().save(qEnvironmentVariable("QM_TEST_ARTEFACTS", QDir::tempPath()) +
                     "/picture-dialog.png");
      ChooseInDialog(d, path);
    });
    form->SaveBtn->click();
    const QImage saved(path);
    QCOMPARE(saved.size(), Picture().size() * 2);
    QCOMPARE(saved.dotsPerMeterX(), qRound(192 / 0.0254));
    QCOMPARE(form->ScaleBox->currentIndex(), 1);  // the choice is kept
  }

  // Exported pictures carry their formula: opening one gives it back as an
  // untitled document, so that "Speichern" asks for a document name.
  void exportedPicturesOpenAsUntitledDocuments_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("PNG") << "formel.png";
    QTest::newRow("SVG") << "formel.svg";
  }
  void exportedPicturesOpenAsUntitledDocuments() {
    QFETCH(QString, name);
    TypeMargin("33");
    const QString path = PathIn(name);
    Expect<QFileDialog>([path](QFileDialog* d) { ChooseInDialog(d, path); });
    form->SaveBtn->click();
    const auto expected = form->DocumentBytes();

    QVERIFY(form->OpenFileWithName(path));
    QCOMPARE(form->FileName, QString());
    QCOMPARE(form->windowTitle(), kStartCaption);
    QCOMPARE(form->RootLine->Count(), 4u);
    QVERIFY(form->DocumentBytes() == expected);
    auto asked = Expect<QFileDialog>([](QFileDialog* d) { d->reject(); });
    form->SaveQMTBtn->click();
    QVERIFY(*asked);
  }

  void pictureWithoutFormulaIsRefused() {
    const QString path = PathIn("plain.png");
    QImage plain(10, 10, QImage::Format_RGB32);
    plain.fill(Qt::white);
    QVERIFY(plain.save(path));
    MarkChanged();
    const QString caption = form->windowTitle();
    auto shown = std::make_shared<QString>();
    Expect<QMessageBox>([shown](QMessageBox* box) {
      *shown = box->text();
      box->accept();
    });
    QVERIFY(!form->OpenFileWithName(path));
    QCOMPARE(*shown, QString("Das Bild enthält keine Formel."));
    QCOMPARE(form->RootLine->Count(), 4u);
    QCOMPARE(form->windowTitle(), caption);
  }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
