// What the user meets in every window and dialog, against one table: the
// captions and client sizes, the texts of buttons, labels, menus with their
// access keys, column headers and selector items, the places of the
// controls. A window's row also names its controls for a screen reader and
// walks it with the Tab key. Then the main window's keyboard ways, its
// smallest size and what a screen reader hears of the picture.
#include <QAccessible>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "model/FormulaTree.h"
#include "render/QtFont.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/Program.h"
#include "textio/FormulaText.h"
#include "ui/AboutBoxUnit.h"
#include "ui/BetragEFUnit.h"
#include "ui/BruchEFUnit.h"
#include "ui/IntegralEFUnit.h"
#include "ui/PotenzEFUnit.h"
#include "ui/SummeEFUnit.h"
#include "ui/UserEFUinit.h"
#include "ui/WurzelEFUnit.h"

using namespace DialogDriver;

namespace {

// The windows of a run, made in the program's order.
struct TWindows : TProgram {
  TPotenzEForm PotenzEForm{MainForm.EditorContext()};
  TBetragEForm BetragEForm{MainForm.EditorContext()};
  TSummeEForm SummeEForm{MainForm.EditorContext()};
  TUserEForm UserEForm{MainForm.EditorContext()};
  TBruchEForm BruchEForm{MainForm.EditorContext()};
  TWurzelEForm WurzelEForm{MainForm.EditorContext()};
  TIntegralEForm IntegralEForm{MainForm.EditorContext()};
  TAboutBox AboutBox;
};

using TGet = QWidget* (*)(TWindows&);

struct TRow {
  const char* Window;
  const char* Control;
  TGet Get;
  // What the user reads: a caption, a text, items joined by "|".
  const char* Text;
  // Left, top, width, height in the parent; a width of -1 checks the
  // position alone, a left of -1 nothing. A window gives its client size.
  QRect Place;
  // A window only: the controls in the order Tab visits them, from the
  // first; empty where the order is Qt's own.
  const char* Tab = nullptr;
};

constexpr QRect kNoPlace(-1, -1, 0, 0);
constexpr QRect At(int x, int y) { return QRect(x, y, -1, -1); }
constexpr QRect Client(int width, int height) { return QRect(0, 0, width, height); }

QWidget* MenuTitled(TWindows& w, const QString& title);
QWidget* FileTypes(QFileDialog* dialog) { return dialog->findChild<QComboBox*>("fileTypeCombo"); }
#define WINDOW(W) #W, #W, [](TWindows & w) -> QWidget* { return &w.W; }
#define CONTROL(W, C) #W, #C, [](TWindows & w) -> QWidget* { return w.W.C; }
#define MAIN_CHILD(D, C) #D, #C, [](TWindows & w) -> QWidget* { return w.MainForm.D->C; }

const TRow kRows[] = {
    // The main window.
    {WINDOW(MainForm), "Quillmora Editor 1.0 - [unbenannt.qmt]", Client(780, 580),
     "NewBtn|OpenBtn|SaveQMTBtn|SaveAsBtn|CopyBtn|EditBtn|FontBtn|SaveBtn|AboutBtn|EndeBtn|"
     "RandEd|"
     "bkcolor|ScrollBox1"},
    {CONTROL(MainForm, NewBtn), "Neu", {16, 8, 105, 33}},
    {CONTROL(MainForm, OpenBtn), "Öffnen...", {128, 8, 105, 33}},
    {CONTROL(MainForm, SaveQMTBtn), "Speichern", {240, 8, 145, 33}},
    {CONTROL(MainForm, SaveAsBtn), "Speichern unterr...", {392, 8, 145, 33}},
    {CONTROL(MainForm, CopyBtn), "In die Zwischenablage kopieren", {544, 8, 209, 33}},
    {CONTROL(MainForm, EditBtn), "Bearbeiten...", {16, 48, 105, 33}},
    {CONTROL(MainForm, FontBtn), "Schriftart...", {128, 48, 105, 33}},
    {CONTROL(MainForm, SaveBtn), "Als Bild speichern...", {240, 48, 145, 33}},
    {CONTROL(MainForm, AboutBtn), "Über das Programm...", {392, 48, 145, 33}},
    {CONTROL(MainForm, EndeBtn), "Beenden", {544, 48, 209, 33}},
    {CONTROL(MainForm, Label1), "Rand:", At(16, 96)},
    {CONTROL(MainForm, RandEd), "20", {56, 96, 65, 21}},
    {CONTROL(MainForm, Label2), "Hintergrundfarbe:", At(128, 96)},
    {CONTROL(MainForm, bkcolor), "#ffffff", {240, 88, 65, 33}},
    {CONTROL(MainForm, ScrollBox1), "", kNoPlace},
    {"MainForm", "menu bar", [](TWindows& w) -> QWidget* { return w.MainForm.menuBar(); },
     "&Datei|&Bearbeiten|&Hilfe", kNoPlace},
    {"MainForm", "menu Datei", [](TWindows& w) { return MenuTitled(w, "&Datei"); },
     "&Neu|Ö&ffnen...|&Speichern|Speichern &unter...|-|&Beenden", kNoPlace},
    {"MainForm", "menu Bearbeiten", [](TWindows& w) { return MenuTitled(w, "&Bearbeiten"); },
     "&Rückgängig|&Wiederherstellen|-|Als &LaTeX kopieren|Als &MathML kopieren|&Einfügen|-|"
     "&Formel als Text...",
     kNoPlace},
    {"MainForm", "menu Hilfe", [](TWindows& w) { return MenuTitled(w, "&Hilfe"); }, "Ü&ber...",
     kNoPlace},

    // The standard dialogs of the main window.
    {MAIN_CHILD(FontDialog1, ColorBtn), "Farbe...", kNoPlace},
    {"FontDialog1", "FontDialog1", [](TWindows& w) -> QWidget* { return w.MainForm.FontDialog1; },
     "Schriftart", kNoPlace, ""},
    {MAIN_CHILD(FontDialog1, OKBtn), "OK", kNoPlace},
    {MAIN_CHILD(FontDialog1, CancelBtn), "Abbrechen", kNoPlace},
    {CONTROL(MainForm, ColorDialog1), "Farbe", kNoPlace},
    {CONTROL(MainForm, OpenDialog1), "Öffnen", kNoPlace},
    {"OpenDialog1", "file types", [](TWindows& w) { return FileTypes(w.MainForm.OpenDialog1); },
     "Quillmora Dateien (*.qmt)|Formelbilder (*.png *.svg)", kNoPlace},
    {CONTROL(MainForm, SaveDialog2), "Speichern unter", kNoPlace},
    {"SaveDialog2", "file types", [](TWindows& w) { return FileTypes(w.MainForm.SaveDialog2); },
     "Quillmora Dateien (*.qmt)", kNoPlace},
    {CONTROL(MainForm, PictureDialog), "Als Bild speichern", kNoPlace},

    // The entry list editor.
    {WINDOW(EditForm), "Formel editieren", Client(685, 447),
     "Edit1|AddTerm|ComboBox1|AddFunc|DelBtn|EditBtn|BackBtn|ListView1|ScrollBox1"},
    {CONTROL(EditForm, Panel1), "", {0, 0, 685, 201}},
    {CONTROL(EditForm, Label1), "Term:", At(8, 8)},
    {CONTROL(EditForm, Edit1), "", {64, 8, 201, 21}},
    {CONTROL(EditForm, AddTerm), "Term hinzufügen...", {272, 8, 145, 25}},
    {CONTROL(EditForm, ScrollBox1), "", {8, 40, 505, 81}},
    {CONTROL(EditForm, Label2), "Funktion:", At(8, 128)},
    {CONTROL(EditForm, ComboBox1),
     "Bruch|Wurzel|Summenfunktion|Potenz|Betrag|Integral Funktion|Beliebige Funktion",
     {64, 128, 201, 21}},
    {CONTROL(EditForm, AddFunc), "Funktion hinzufügen....", {272, 128, 145, 25}},
    {CONTROL(EditForm, DelBtn), "Eintrag löschen....", {8, 168, 145, 25}},
    {CONTROL(EditForm, EditBtn), "Eintrag bearbeiten...", {160, 168, 145, 25}},
    {CONTROL(EditForm, BackBtn), "Zurück/Ende...", {520, 8, 145, 81}},
    {CONTROL(EditForm, ListView1), "Typ 200|Term 250|Parameter 200", {0, 201, 648, 227}},
    {CONTROL(EditForm, Panel2), "", {648, 201, 37, 227}},
    {CONTROL(EditForm, UpBtn), "Term nach oben verschieben", {8, 8, 23, 22}},
    {CONTROL(EditForm, DownBtn), "Term nach unten verschieben", {8, 32, 23, 22}},
    {CONTROL(EditForm, StatusBar1), "", {0, 428, 685, 19}},

    // The term editor.
    {WINDOW(TermEditForm), "Term bearbeiten", Client(521, 440), "Edit1|BitBtn1|ScrollBox1"},
    {CONTROL(TermEditForm, Label1), "Term:", At(8, 8)},
    {CONTROL(TermEditForm, Edit1), "", {8, 24, 329, 21}},
    {CONTROL(TermEditForm, ScrollBox1), "", {8, 56, 505, 321}},
    {CONTROL(TermEditForm, BitBtn1), "OK", {223, 400, 75, 25}},

    // The parameter dialogs.
    {WINDOW(BruchEForm), "Bruch bearbeiten", Client(335, 105), "EditBtn|BitBtnXP1|BackBtn"},
    {CONTROL(BruchEForm, EditBtn), "Zähler bearbeiten", {16, 8, 145, 25}},
    {CONTROL(BruchEForm, BitBtnXP1), "Nenner bearbeiten...", {16, 40, 145, 25}},
    {CONTROL(BruchEForm, BackBtn), "Zurück/Ende...", {176, 8, 145, 81}},

    {WINDOW(WurzelEForm), "Summenfunktion bearbeiten", Client(335, 195),
     "EditBtn|BitBtnXP1|BitBtnXP2|Edit1|BackBtn"},
    {CONTROL(WurzelEForm, EditBtn), "Nenner bearbeiten", {16, 8, 145, 25}},
    {CONTROL(WurzelEForm, BitBtnXP1), "Zähler bearbeiten...", {16, 40, 145, 25}},
    {CONTROL(WurzelEForm, BitBtnXP2), "Zähler entfernen", {16, 72, 145, 25}},
    {CONTROL(WurzelEForm, Label1), "x. Wurzel (z.B. 3 für 3. Wurzel):", At(16, 104)},
    {CONTROL(WurzelEForm, Edit1), "", {16, 120, 145, 21}},
    {CONTROL(WurzelEForm, BackBtn), "Zurück/Ende...", {176, 8, 145, 81}},

    {WINDOW(SummeEForm), "Summen-Funktion bearbeiten", Client(472, 196),
     "Edit1|BitBtnXP3|Edit2|BitBtnXP4|EditBtn|BitBtnXP1|BitBtnXP2|BackBtn"},
    {CONTROL(SummeEForm, Label1), "Summe von (z.B. 1):", At(8, 8)},
    {CONTROL(SummeEForm, Edit1), "", {8, 24, 145, 21}},
    {CONTROL(SummeEForm, BitBtnXP3), "Term bearbeiten...", {160, 24, 129, 25}},
    {CONTROL(SummeEForm, Label2), "Summe bis (z.B. 10):", At(8, 48)},
    {CONTROL(SummeEForm, Edit2), "", {8, 64, 145, 21}},
    {CONTROL(SummeEForm, BitBtnXP4), "Term bearbeiten...", {160, 64, 129, 25}},
    {CONTROL(SummeEForm, EditBtn), "Nenner bearbeiten", {8, 96, 145, 25}},
    {CONTROL(SummeEForm, BitBtnXP1), "Zähler bearbeiten...", {8, 128, 145, 25}},
    {CONTROL(SummeEForm, BitBtnXP2), "Zähler entfernen", {8, 160, 145, 25}},
    {CONTROL(SummeEForm, BackBtn), "Zurück/Ende...", {320, 8, 145, 81}},

    {WINDOW(PotenzEForm), "Potenzfunktion bearbeiten", Client(348, 102),
     "EditBtn|BitBtnXP1|BackBtn"},
    {CONTROL(PotenzEForm, EditBtn), "Potenzterm bearbeiten...", {16, 8, 161, 25}},
    {CONTROL(PotenzEForm, BitBtnXP1), "Basisterm bearbeiten...", {16, 40, 161, 25}},
    {CONTROL(PotenzEForm, BackBtn), "Zurück/Ende...", {192, 8, 145, 81}},

    {WINDOW(BetragEForm), "Bretragsfunktion bearbeiten", Client(335, 105),
     "EditBtn|BitBtnXP1|BitBtnXP2|BackBtn"},
    {CONTROL(BetragEForm, EditBtn), "Nenner bearbeiten", {16, 8, 145, 25}},
    {CONTROL(BetragEForm, BitBtnXP1), "Zähler bearbeiten...", {16, 40, 145, 25}},
    {CONTROL(BetragEForm, BitBtnXP2), "Zähler entfernen", {16, 72, 145, 25}},
    {CONTROL(BetragEForm, BackBtn), "Zurück/Ende...", {176, 8, 145, 81}},

    {WINDOW(IntegralEForm), "Integral-Funktion bearbeiten", Client(472, 196),
     "Edit1|BitBtnXP3|Edit2|BitBtnXP4|EditBtn|BitBtnXP1|BitBtnXP2|BackBtn"},
    {CONTROL(IntegralEForm, Label1), "Integral von (z.B. 1):", At(8, 8)},
    {CONTROL(IntegralEForm, Edit1), "", {8, 24, 145, 21}},
    {CONTROL(IntegralEForm, BitBtnXP3), "Term bearbeiten...", {160, 24, 129, 25}},
    {CONTROL(IntegralEForm, Label2), "Integral bis (z.B. 10):", At(8, 48)},
    {CONTROL(IntegralEForm, Edit2), "", {8, 64, 145, 21}},
    {CONTROL(IntegralEForm, BitBtnXP4), "Term bearbeiten...", {160, 64, 129, 25}},
    {CONTROL(IntegralEForm, EditBtn), "Nenner bearbeiten", {8, 96, 145, 25}},
    {CONTROL(IntegralEForm, BitBtnXP1), "Zähler bearbeiten...", {8, 128, 145, 25}},
    {CONTROL(IntegralEForm, BitBtnXP2), "Zähler entfernen", {8, 160, 145, 25}},
    {CONTROL(IntegralEForm, BackBtn), "Zurück/Ende...", {320, 8, 145, 81}},

    {WINDOW(UserEForm), "Beliebige Funktion bearbeiten", Client(469, 147),
     "Edit1|BitBtnXP3|EditBtn|BitBtnXP1|BitBtnXP2|BackBtn"},
    {CONTROL(UserEForm, Label1), "Name der Funktion (z.B. sin )", At(8, 8)},
    {CONTROL(UserEForm, Edit1), "", {8, 24, 145, 21}},
    {CONTROL(UserEForm, BitBtnXP3), "Term bearbeiten...", {160, 24, 129, 25}},
    {CONTROL(UserEForm, EditBtn), "Nenner bearbeiten", {8, 48, 145, 25}},
    {CONTROL(UserEForm, BitBtnXP1), "Zähler bearbeiten...", {8, 80, 145, 25}},
    {CONTROL(UserEForm, BitBtnXP2), "Zähler entfernen", {8, 112, 145, 25}},
    {CONTROL(UserEForm, BackBtn), "Zurück/Ende...", {312, 8, 145, 81}},

    // The information dialog.
    {WINDOW(AboutBox), "Info", kNoPlace, "OKButton"},
    {CONTROL(AboutBox, OKButton), "OK", kNoPlace},
};

#undef WINDOW
#undef CONTROL
#undef MAIN_CHILD

QWidget* MenuTitled(TWindows& w, const QString& title) {
  for (QAction* action : w.MainForm.menuBar()->actions()) {
    if (action->menu() != nullptr && action->text() == title) return action->menu();
  }
  return nullptr;
}

QString Reads(QWidget* widget) {
  if (qobject_cast<QMenu*>(widget) != nullptr || qobject_cast<QMenuBar*>(widget) != nullptr) {
    QStringList items;
    for (const QAction* action : widget->actions()) {
      items << (action->isSeparator() ? QString("-") : action->text());
    }
    return items.join('|');
  }
  if (widget->isWindow()) return widget->windowTitle();
  // The swatch is a button that shows its colour, not a text.
  if (auto* swatch = qobject_cast<TColorSwatch*>(widget)) {
    return ColorFromValue(swatch->Color()).name();
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    // A button with only a picture says what it does in its hint.
    return button->text().isEmpty() ? button->toolTip() : button->text();
  }
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) return spin->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items.join('|');
  }
  if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
    QStringList columns;
    for (int i = 0; i < list->columnCount(); ++i) {
      columns << QString("%1 %2").arg(list->headerItem()->text(i)).arg(list->columnWidth(i));
    }
    return columns.join('|');
  }
  return QString();
}

QString Describe(const QWidget* widget) {
  return QString("%1 '%2'").arg(widget->metaObject()->className(), widget->objectName());
}

// The widgets Tab visits, from the focus until it comes back there.
QList<QWidget*> TabRound(QWidget* window) {
  QList<QWidget*> round;
  for (QWidget* focus = QApplication::focusWidget();
       focus != nullptr && window->isAncestorOf(focus) && round.size() < 100;
       focus = QApplication::focusWidget()) {
    if (!round.isEmpty() && focus == round.first()) break;
    round << focus;
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  return round;
}

// Controls a screen reader finds without a name (all a user can focus or
// press), and those the Tab key should reach (shown, enabled) but missed.
QStringList Faults(QWidget* window, const QList<QWidget*>& round) {
  QStringList faults;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window) || widget->focusProxy() != nullptr) continue;
    const bool tabbable = widget->focusPolicy() & Qt::TabFocus;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if ((tabbable || qobject_cast<QAbstractButton*>(widget) != nullptr) &&
        (accessible == nullptr || accessible->text(QAccessible::Name).trimmed().isEmpty())) {
      faults << "without a name: " + Describe(widget);
    }
    if (tabbable && widget->isEnabledTo(window) && !round.contains(widget)) {
      faults << "not reached by Tab: " + Describe(widget);
    }
  }
  return faults;
}

// The named controls that hold the widgets (a spin box's inner field counts
// for the spin box), or the widgets' classes.
QString NamesOf(const QList<QWidget*>& round, const QMap<QWidget*, QString>& names) {
  QStringList read;
  for (QWidget* focus : round) {
    QWidget* widget = focus;
    while (widget != nullptr && !names.contains(widget)) widget = widget->parentWidget();
    read << (widget != nullptr ? names[widget] : focus->metaObject()->className());
  }
  return read.join('|');
}

}  // namespace

class WindowTextsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TWindows> windows;

  // The controls the table names in one window.
  QMap<QWidget*, QString> NamesIn(const QString& window) {
    QMap<QWidget*, QString> names;
    for (const TRow& row : kRows) {
      if (row.Window == window && row.Window != QString(row.Control)) {
        names[row.Get(*windows)] = row.Control;
      }
    }
    return names;
  }

  // Every control named, and the Tab round through all of them, in order.
  void CheckKeyboardAndNames(const TRow& row, QWidget* window) {
    window->show();
    // The offscreen platform leaves no window active after a hidden one.
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    const QMap<QWidget*, QString> names = NamesIn(row.Window);
    const QString tab = QString::fromUtf8(row.Tab);
    if (!tab.isEmpty()) names.key(tab.section('|', 0, 0))->setFocus(Qt::TabFocusReason);
    const QList<QWidget*> round = TabRound(window);
    if (!tab.isEmpty()) QCOMPARE(NamesOf(round, names), tab);
    const QStringList faults = Faults(window, round);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(", ")));
    window->hide();
  }

 private slots:
  void initTestCase() { windows = std::make_unique<TWindows>(); }
  void cleanupTestCase() { windows.reset(); }
  void cleanup() { QM_VERIFY_NO_PROBLEMS(); }

  void everyWindowReadsAsDesigned_data() {
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
      QTest::addRow("%s %s", kRows[i].Window, kRows[i].Control) << static_cast<int>(i);
    }
  }

  void everyWindowReadsAsDesigned() {
    QFETCH(int, index);
    const TRow& row = kRows[index];
    QWidget* widget = row.Get(*windows);
    QVERIFY2(widget != nullptr, "no such control");
    QCOMPARE(Reads(widget), QString::fromUtf8(row.Text));
    if (widget->isWindow() && row.Place.left() >= 0) {
      QCOMPARE(widget->size(), row.Place.size());
    } else if (row.Place.left() >= 0 && row.Place.width() < 0) {
      QCOMPARE(widget->pos(), row.Place.topLeft());
    } else if (row.Place.left() >= 0) {
      QCOMPARE(widget->geometry(), row.Place);
    }
    if (row.Tab != nullptr) CheckKeyboardAndNames(row, widget);
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

  // A screen reader reads the picture's name: the formula in words.
  void pictureTellsItsFormula() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(50);
    const QString speech = ToQString(SpeechFromFormula(form.RootLine));
    QVERIFY(speech.contains("Integral"));
    QVERIFY(!speech.contains("\\"));
    QCOMPARE(QAccessible::queryAccessibleInterface(form.ScrollBox1)->text(QAccessible::Name),
             QString("Formelbild"));
    QCOMPARE(QAccessible::queryAccessibleInterface(form.PaintBox1)->text(QAccessible::Name),
             "Formel: " + speech);
    // Told once the picture is complete, after the second paint of a new size.
    form.NewItNow();
    const QString empty = ToQString(SpeechFromFormula(form.RootLine));
    QVERIFY(!empty.isEmpty());
    QTRY_COMPARE(QAccessible::queryAccessibleInterface(form.PaintBox1)->text(QAccessible::Name),
                 "Formel: " + empty);
    AppendTermEntry(form.RootLine, u"a + b");
    form.PaintBox1Paint();
    QTRY_COMPARE(form.PaintBox1->accessibleName(), QString("Formel: a plus b"));
    form.Changed = false;
  }

  // The swatch takes the focus, and Space opens the colour choice.
  void backgroundColourByKeyboard() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.bkcolor->setFocus();
    Answer<QColorDialog>([](QColorDialog* colours) {
      colours->setCurrentColor(QColor(0, 0, 255));
      colours->accept();
    });
    QTest::keyClick(form.bkcolor, Qt::Key_Space);
    QCOMPARE(form.bkcolor->Color(), 0x00FF0000u);
    QVERIFY(form.bkcolor->accessibleDescription().startsWith("#0000ff"));
    form.Changed = false;
  }
};

QTEST_MAIN(WindowTextsTest)
#include "WindowTextsTest.moc"
