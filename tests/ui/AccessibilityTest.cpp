// What a keyboard user and a screen reader meet: every control of the main
// window and of each dialog has an accessible name and comes up on the Tab
// round; the menus open with Alt; the picture tells its formula; a small
// window cuts no button.
#include <QAccessible>
#include <QColorDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include "model/FormulaTree.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/DialogMaker.h"
#include "textio/FormulaText.h"
#include "ui/AboutBoxUnit.h"
#include "ui/FontDialog.h"
#include "ui/MainUnit.h"

using namespace DialogDriver;

namespace {

QString Describe(const QWidget* widget) {
  return QString("%1 '%2'").arg(widget->metaObject()->className(), widget->objectName());
}

QWidget* Proxied(QWidget* widget) {
  while (widget->focusProxy() != nullptr) widget = widget->focusProxy();
  return widget;
}

// The widgets the Tab key should reach: focusable by Tab, shown and enabled.
QSet<QWidget*> Tabbable(QWidget* window) {
  QSet<QWidget*> result;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(window) &&
        widget->isEnabledTo(window) && widget->focusProxy() == nullptr) {
      result.insert(widget);
    }
  }
  return result;
}

// Presses Tab until the focus comes back to where it started.
QSet<QWidget*> TabRound(QWidget* window) {
  QSet<QWidget*> visited;
  QWidget* first = QApplication::focusWidget();
  if (first == nullptr) return visited;
  first = Proxied(first);
  visited.insert(first);
  for (int step = 0; step < 200; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* now = QApplication::focusWidget();
    if (now == nullptr || !window->isAncestorOf(now)) break;
    now = Proxied(now);
    if (now == first) break;
    visited.insert(now);
  }
  return visited;
}

// Controls without a name: everything a user can focus or press.
QStringList Unnamed(QWidget* window) {
  QStringList unnamed;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const bool control =
        (widget->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(widget) != nullptr;
    if (!control || !widget->isVisibleTo(window) || widget->focusProxy() != nullptr) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if (accessible == nullptr || accessible->text(QAccessible::Name).trimmed().isEmpty()) {
      unnamed << Describe(widget);
    }
  }
  return unnamed;
}

std::unique_ptr<QWidget> MakeWindow(const QString& name, TTestDocument& document) {
  if (name == "TMainForm") return std::make_unique<TMainForm>();
  if (name == "TAboutBox") return std::make_unique<TAboutBox>();
  if (name == "TFontDialog") return std::make_unique<TFontDialog>(nullptr);
  return MakeDialog(name, document);
}

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void everyControlIsNamedAndOnTheTabRound_data() {
    QTest::addColumn<QString>("window");
    for (const char* name : {"TMainForm", "TEditForm", "TTermEditForm", "TBruchEForm",
                             "TWurzelEForm", "TSummeEForm", "TPotenzEForm", "TBetragEForm",
                             "TIntegralEForm", "TUserEForm", "TAboutBox", "TFontDialog"}) {
      QTest::newRow(name) << name;
    }
  }
  void everyControlIsNamedAndOnTheTabRound() {
    QFETCH(QString, window);
    TTestDocument document;
    const std::unique_ptr<QWidget> shown = MakeWindow(window, document);
    shown->show();
    QVERIFY(QTest::qWaitForWindowActive(shown.get()));
    const QStringList unnamed = Unnamed(shown.get());
    QVERIFY2(unnamed.isEmpty(), qPrintable("without a name: " + unnamed.join(", ")));

    const QSet<QWidget*> round = TabRound(shown.get());
    QStringList missed;
    for (QWidget* widget : Tabbable(shown.get())) {
      if (!round.contains(widget)) missed << Describe(widget);
    }
    QVERIFY2(missed.isEmpty(), qPrintable("not reached by Tab: " + missed.join(", ")));
    if (auto* main = qobject_cast<TMainForm*>(shown.get())) main->Changed = false;
  }

  void menusAndEntriesHaveMnemonics() {
    TMainForm form;
    QStringList seen;
    for (QAction* menu : form.menuBar()->actions()) {
      QStringList entries;
      for (QAction* entry : menu->menu()->actions()) {
        if (!entry->isSeparator()) entries << entry->text();
      }
      seen << menu->text() + ": " + entries.join(", ");
    }
    QCOMPARE(seen, QStringList({
                       "&Datei: &Neu, Ö&ffnen..., &Speichern, Speichern &unter..., &Beenden",
                       "&Bearbeiten: &Rückgängig, &Wiederherstellen, Als &LaTeX kopieren, "
                       "Als &MathML kopieren, &Einfügen, &Formel als Text...",
                       "&Hilfe: Ü&ber...",
                   }));
  }

  // Alt+D opens "Datei"; there B chooses "Beenden". Strg+Q quits at once.
  void altKeysOpenTheMenusAndCtrlQQuits() {
    for (const bool byMenu : {true, false}) {
      TMainForm form;
      form.show();
      QVERIFY(QTest::qWaitForWindowActive(&form));
      if (byMenu) {
        QTest::keyClick(&form, Qt::Key_D, Qt::AltModifier);
        QMenu* file = form.menuBar()->actions().first()->menu();
        QTRY_VERIFY(file->isVisible());
        QTest::keyClick(file, Qt::Key_B);
      } else {
        QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
      }
      QTRY_VERIFY(!form.isVisible());
    }
  }

  void smallWindowCutsNoButton() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(420, 300);
    QTest::qWait(50);
    QVERIFY(form.width() > 420);
    QStringList cut;
    for (QWidget* control : form.centralWidget()->findChildren<QWidget*>()) {
      if (qobject_cast<QPushButton*>(control) == nullptr && control != form.bkcolor &&
          control != form.RandEd) {
        continue;
      }
      if (control->visibleRegion() != QRegion(control->rect())) cut << Describe(control);
    }
    QVERIFY2(cut.isEmpty(), qPrintable("cut off: " + cut.join(", ")));
    QVERIFY(form.ScrollBox1->height() > 40);
    SaveArtefact(form.grab().toImage(), "main-window-smallest");
  }

  // A screen reader reads the picture's name and the formula as LaTeX.
  void pictureTellsItsFormula() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(50);
    const QString latex = ToQString(LatexFromFormula(form.RootLine));
    QVERIFY(latex.contains("\\int"));
    for (QWidget* picture :
         {static_cast<QWidget*>(form.ScrollBox1), static_cast<QWidget*>(form.PaintBox1)}) {
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(picture);
      QVERIFY(accessible->text(QAccessible::Name).startsWith("Formel"));
      QCOMPARE(accessible->text(QAccessible::Description), latex);
    }
    // Told once the picture is complete, after the second paint of a new size.
    form.NewItNow();
    QTRY_COMPARE(
        QAccessible::queryAccessibleInterface(form.PaintBox1)->text(QAccessible::Description),
        QString("leer"));
    AppendTermEntry(form.RootLine, u"a + b");
    form.PaintBox1Paint();
    QTRY_COMPARE(form.PaintBox1->accessibleDescription(), QString("a + b"));
    form.Changed = false;
  }

  // The swatch takes the focus, and Space opens the colour choice.
  void backgroundColourByKeyboard() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.bkcolor->setFocus();
    auto came = std::make_shared<bool>(false);
    Answer<QColorDialog>([came](QColorDialog* colours) {
      *came = true;
      colours->setCurrentColor(QColor(0, 0, 255));
      colours->accept();
    });
    QTest::keyClick(form.bkcolor, Qt::Key_Space);
    QVERIFY(*came);
    QCOMPARE(form.bkcolor->Color(), 0x00FF0000u);
    QVERIFY(form.bkcolor->accessibleDescription().startsWith("#0000ff"));
    form.Changed = false;
  }

  void cleanup() {
    const QStringList problems = Problems();
    Problems().clear();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
  }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
