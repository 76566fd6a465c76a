// What the user reads in every window and dialog, against one table: the
// captions and client sizes, the texts of buttons, labels, menus, column
// headers and selector items, the places of the controls and the tab order.
// Each row names a window as the program start creates it and one of its
// controls; a tab row walks the window with the Tab key.
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>

#include "render/QtFont.h"
#include "tests/ui/DialogDriver.h"
#include "ui/AboutBoxUnit.h"
#include "ui/BetragEFUnit.h"
#include "ui/BruchEFUnit.h"
#include "ui/IntegralEFUnit.h"
#include "ui/MainUnit.h"
#include "ui/PotenzEFUnit.h"
#include "ui/SummeEFUnit.h"
#include "ui/UserEFUinit.h"
#include "ui/WurzelEFUnit.h"

namespace {

// The windows of a run, made in the program's order.
struct TWindows {
  TMainForm MainForm;
  TEditForm EditForm{MainForm.EditorContext()};
  TTermEditForm TermEditForm{MainForm.EditorContext()};
  TPotenzEForm PotenzEForm{MainForm.EditorContext()};
  TBetragEForm BetragEForm{MainForm.EditorContext()};
  TSummeEForm SummeEForm{MainForm.EditorContext()};
  TUserEForm UserEForm{MainForm.EditorContext()};
  TBruchEForm BruchEForm{MainForm.EditorContext()};
  TWurzelEForm WurzelEForm{MainForm.EditorContext()};
  TIntegralEForm IntegralEForm{MainForm.EditorContext()};
  TAboutBox AboutBox;

  TWindows() { MainForm.SetTermEditor(&TermEditForm); }
};

using TGet = QWidget* (*)(TWindows&);

enum TCheck { kReads, kTabOrder };

struct TRow {
  const char* Window;
  const char* Control;
  TGet Get;
  TCheck Check;
  // What the user reads: a caption, a text, items joined by "|"; for a tab
  // row the controls in the order Tab visits them, from the first.
  const char* Text;
  // Left, top, width, height in the parent; a width of -1 checks the
  // position alone, a left of -1 nothing. A window gives its client size.
  QRect Place;
};

constexpr QRect kNoPlace(-1, -1, 0, 0);
constexpr QRect At(int x, int y) { return QRect(x, y, -1, -1); }
constexpr QRect Client(int width, int height) { return QRect(0, 0, width, height); }

QWidget* MenuTitled(TWindows& w, const QString& title);
QWidget* FileTypes(QFileDialog* dialog) { return dialog->findChild<QComboBox*>("fileTypeCombo"); }
// A button of the font dialog's own row, not of the chooser inside it.
QWidget* FontDialogButton(TWindows& w, QDialogButtonBox::StandardButton which) {
  for (auto* box : w.MainForm.FontDialog1->findChildren<QDialogButtonBox*>()) {
    if (!w.MainForm.FontDialog1->FontChooser->isAncestorOf(box)) return box->button(which);
  }
  return nullptr;
}

#define WINDOW(W) #W, #W, [](TWindows & w) -> QWidget* { return &w.W; }
#define CONTROL(W, C) #W, #C, [](TWindows & w) -> QWidget* { return w.W.C; }
#define MAIN_CHILD(D, C) #D, #C, [](TWindows & w) -> QWidget* { return w.MainForm.D->C; }

const TRow kRows[] = {
    // The main window.
    {WINDOW(MainForm), kReads, "Quillmora Editor 1.0 - [unbenannt.qmt]", Client(780, 580)},
    {CONTROL(MainForm, NewBtn), kReads, "Neu", {16, 8, 105, 33}},
    {CONTROL(MainForm, OpenBtn), kReads, "Öffnen...", {128, 8, 105, 33}},
    {CONTROL(MainForm, SaveQMTBtn), kReads, "Speichern", {240, 8, 145, 33}},
    {CONTROL(MainForm, SaveAsBtn), kReads, "Speichern unterr...", {392, 8, 145, 33}},
    {CONTROL(MainForm, CopyBtn), kReads, "In die Zwischenablage kopieren", {544, 8, 209, 33}},
    {CONTROL(MainForm, EditBtn), kReads, "Bearbeiten...", {16, 48, 105, 33}},
    {CONTROL(MainForm, FontBtn), kReads, "Schriftart...", {128, 48, 105, 33}},
    {CONTROL(MainForm, SaveBtn), kReads, "Als Bild speichern...", {240, 48, 145, 33}},
    {CONTROL(MainForm, AboutBtn), kReads, "Über das Programm...", {392, 48, 145, 33}},
    {CONTROL(MainForm, EndeBtn), kReads, "Beenden", {544, 48, 209, 33}},
    {CONTROL(MainForm, Label1), kReads, "Rand:", At(16, 96)},
    {CONTROL(MainForm, RandEd), kReads, "20", {56, 96, 65, 21}},
    {CONTROL(MainForm, Label2), kReads, "Hintergrundfarbe:", At(128, 96)},
    {CONTROL(MainForm, bkcolor), kReads, "#ffffff", {240, 88, 65, 33}},
    {CONTROL(MainForm, ScrollBox1), kReads, "", kNoPlace},
    {"MainForm", "menu bar", [](TWindows& w) -> QWidget* { return w.MainForm.menuBar(); }, kReads,
     "Datei|Bearbeiten|Hilfe", kNoPlace},
    {"MainForm", "menu Datei", [](TWindows& w) { return MenuTitled(w, "Datei"); }, kReads,
     "Neu|Öffnen...|Speichern|Speichern unter...|-|Beenden", kNoPlace},
    {"MainForm", "menu Bearbeiten", [](TWindows& w) { return MenuTitled(w, "Bearbeiten"); }, kReads,
     "Rückgängig|Wiederherstellen|-|Als LaTeX kopieren|Als MathML kopieren|Einfügen|-|"
     "Formel als Text...",
     kNoPlace},
    {"MainForm", "menu Hilfe", [](TWindows& w) { return MenuTitled(w, "Hilfe"); }, kReads,
     "Über...", kNoPlace},
    {WINDOW(MainForm), kTabOrder,
     "NewBtn|OpenBtn|SaveQMTBtn|SaveAsBtn|CopyBtn|EditBtn|FontBtn|SaveBtn|AboutBtn|EndeBtn|RandEd|"
     "bkcolor|"
     "ScrollBox1",
     kNoPlace},

    // The standard dialogs of the main window.
    {MAIN_CHILD(FontDialog1, ColorBtn), kReads, "Farbe...", kNoPlace},
    {CONTROL(MainForm, FontDialog1), kReads, "Schriftart", kNoPlace},
    {"FontDialog1", "OK", [](TWindows& w) { return FontDialogButton(w, QDialogButtonBox::Ok); },
     kReads, "OK", kNoPlace},
    {"FontDialog1", "Abbrechen",
     [](TWindows& w) { return FontDialogButton(w, QDialogButtonBox::Cancel); }, kReads, "Abbrechen",
     kNoPlace},
    {CONTROL(MainForm, ColorDialog1), kReads, "Farbe", kNoPlace},
    {CONTROL(MainForm, OpenDialog1), kReads, "Öffnen", kNoPlace},
    {"OpenDialog1", "file types", [](TWindows& w) { return FileTypes(w.MainForm.OpenDialog1); },
     kReads, "Quillmora Dateien (*.qmt)|Formelbilder (*.png *.svg)", kNoPlace},
    {CONTROL(MainForm, SaveDialog2), kReads, "Speichern unter", kNoPlace},
    {"SaveDialog2", "file types", [](TWindows& w) { return FileTypes(w.MainForm.SaveDialog2); },
     kReads, "Quillmora Dateien (*.qmt)", kNoPlace},
    {CONTROL(MainForm, PictureDialog), kReads, "Als Bild speichern", kNoPlace},

    // The entry list editor.
    {WINDOW(EditForm), kReads, "Formel editieren", Client(685, 447)},
    {CONTROL(EditForm, Panel1), kReads, "", {0, 0, 685, 201}},
    {CONTROL(EditForm, Label1), kReads, "Term:", At(8, 8)},
    {CONTROL(EditForm, Edit1), kReads, "", {64, 8, 201, 21}},
    {CONTROL(EditForm, AddTerm), kReads, "Term hinzufügen...", {272, 8, 145, 25}},
    {CONTROL(EditForm, ScrollBox1), kReads, "", {8, 40, 505, 81}},
    {CONTROL(EditForm, Label2), kReads, "Funktion:", At(8, 128)},
    {CONTROL(EditForm, ComboBox1),
     kReads,
     "Bruch|Wurzel|Summenfunktion|Potenz|Betrag|Integral Funktion|Beliebige Funktion",
     {64, 128, 201, 21}},
    {CONTROL(EditForm, AddFunc), kReads, "Funktion hinzufügen....", {272, 128, 145, 25}},
    {CONTROL(EditForm, DelBtn), kReads, "Eintrag löschen....", {8, 168, 145, 25}},
    {CONTROL(EditForm, EditBtn), kReads, "Eintrag bearbeiten...", {160, 168, 145, 25}},
    {CONTROL(EditForm, BackBtn), kReads, "Zurück/Ende...", {520, 8, 145, 81}},
    {CONTROL(EditForm, ListView1), kReads, "Typ 200|Term 250|Parameter 200", {0, 201, 648, 227}},
    {CONTROL(EditForm, Panel2), kReads, "", {648, 201, 37, 227}},
    {CONTROL(EditForm, UpBtn), kReads, "Term nach oben verschieben", {8, 8, 23, 22}},
    {CONTROL(EditForm, DownBtn), kReads, "Term nach unten verschieben", {8, 32, 23, 22}},
    {CONTROL(EditForm, StatusBar1), kReads, "", {0, 428, 685, 19}},
    {WINDOW(EditForm), kTabOrder,
     "Edit1|AddTerm|ComboBox1|AddFunc|DelBtn|EditBtn|BackBtn|ListView1", kNoPlace},

    // The term editor.
    {WINDOW(TermEditForm), kReads, "Term bearbeiten", Client(521, 440)},
    {CONTROL(TermEditForm, Label1), kReads, "Term:", At(8, 8)},
    {CONTROL(TermEditForm, Edit1), kReads, "", {8, 24, 329, 21}},
    {CONTROL(TermEditForm, ScrollBox1), kReads, "", {8, 56, 505, 321}},
    {CONTROL(TermEditForm, BitBtn1), kReads, "OK", {223, 400, 75, 25}},
    {WINDOW(TermEditForm), kTabOrder, "Edit1|BitBtn1", kNoPlace},

    // The parameter dialogs.
    {WINDOW(BruchEForm), kReads, "Bruch bearbeiten", Client(335, 105)},
    {CONTROL(BruchEForm, EditBtn), kReads, "Zähler bearbeiten", {16, 8, 145, 25}},
    {CONTROL(BruchEForm, BitBtnXP1), kReads, "Nenner bearbeiten...", {16, 40, 145, 25}},
    {CONTROL(BruchEForm, BackBtn), kReads, "Zurück/Ende...", {176, 8, 145, 81}},
    {WINDOW(BruchEForm), kTabOrder, "EditBtn|BitBtnXP1|BackBtn", kNoPlace},

    {WINDOW(WurzelEForm), kReads, "Summenfunktion bearbeiten", Client(335, 195)},
    {CONTROL(WurzelEForm, EditBtn), kReads, "Nenner bearbeiten", {16, 8, 145, 25}},
    {CONTROL(WurzelEForm, BitBtnXP1), kReads, "Zähler bearbeiten...", {16, 40, 145, 25}},
    {CONTROL(WurzelEForm, BitBtnXP2), kReads, "Zähler entfernen", {16, 72, 145, 25}},
    {CONTROL(WurzelEForm, Label1), kReads, "x. Wurzel (z.B. 3 für 3. Wurzel):", At(16, 104)},
    {CONTROL(WurzelEForm, Edit1), kReads, "", {16, 120, 145, 21}},
    {CONTROL(WurzelEForm, BackBtn), kReads, "Zurück/Ende...", {176, 8, 145, 81}},
    {WINDOW(WurzelEForm), kTabOrder, "EditBtn|BitBtnXP1|BitBtnXP2|Edit1|BackBtn", kNoPlace},

    {WINDOW(SummeEForm), kReads, "Summen-Funktion bearbeiten", Client(472, 196)},
    {CONTROL(SummeEForm, Label1), kReads, "Summe von (z.B. 1):", At(8, 8)},
    {CONTROL(SummeEForm, Edit1), kReads, "", {8, 24, 145, 21}},
    {CONTROL(SummeEForm, BitBtnXP3), kReads, "Term bearbeiten...", {160, 24, 129, 25}},
    {CONTROL(SummeEForm, Label2), kReads, "Summe bis (z.B. 10):", At(8, 48)},
    {CONTROL(SummeEForm, Edit2), kReads, "", {8, 64, 145, 21}},
    {CONTROL(SummeEForm, BitBtnXP4), kReads, "Term bearbeiten...", {160, 64, 129, 25}},
    {CONTROL(SummeEForm, EditBtn), kReads, "Nenner bearbeiten", {8, 96, 145, 25}},
    {CONTROL(SummeEForm, BitBtnXP1), kReads, "Zähler bearbeiten...", {8, 128, 145, 25}},
    {CONTROL(SummeEForm, BitBtnXP2), kReads, "Zähler entfernen", {8, 160, 145, 25}},
    {CONTROL(SummeEForm, BackBtn), kReads, "Zurück/Ende...", {320, 8, 145, 81}},
    {WINDOW(SummeEForm), kTabOrder,
     "Edit1|BitBtnXP3|Edit2|BitBtnXP4|EditBtn|BitBtnXP1|BitBtnXP2|BackBtn", kNoPlace},

    {WINDOW(PotenzEForm), kReads, "Potenzfunktion bearbeiten", Client(348, 102)},
    {CONTROL(PotenzEForm, EditBtn), kReads, "Potenzterm bearbeiten...", {16, 8, 161, 25}},
    {CONTROL(PotenzEForm, BitBtnXP1), kReads, "Basisterm bearbeiten...", {16, 40, 161, 25}},
    {CONTROL(PotenzEForm, BackBtn), kReads, "Zurück/Ende...", {192, 8, 145, 81}},
    {WINDOW(PotenzEForm), kTabOrder, "EditBtn|BitBtnXP1|BackBtn", kNoPlace},

    {WINDOW(BetragEForm), kReads, "Bretragsfunktion bearbeiten", Client(335, 105)},
    {CONTROL(BetragEForm, EditBtn), kReads, "Nenner bearbeiten", {16, 8, 145, 25}},
    {CONTROL(BetragEForm, BitBtnXP1), kReads, "Zähler bearbeiten...", {16, 40, 145, 25}},
    {CONTROL(BetragEForm, BitBtnXP2), kReads, "Zähler entfernen", {16, 72, 145, 25}},
    {CONTROL(BetragEForm, BackBtn), kReads, "Zurück/Ende...", {176, 8, 145, 81}},
    {WINDOW(BetragEForm), kTabOrder, "EditBtn|BitBtnXP1|BitBtnXP2|BackBtn", kNoPlace},

    {WINDOW(IntegralEForm), kReads, "Integral-Funktion bearbeiten", Client(472, 196)},
    {CONTROL(IntegralEForm, Label1), kReads, "Integral von (z.B. 1):", At(8, 8)},
    {CONTROL(IntegralEForm, Edit1), kReads, "", {8, 24, 145, 21}},
    {CONTROL(IntegralEForm, BitBtnXP3), kReads, "Term bearbeiten...", {160, 24, 129, 25}},
    {CONTROL(IntegralEForm, Label2), kReads, "Integral bis (z.B. 10):", At(8, 48)},
    {CONTROL(IntegralEForm, Edit2), kReads, "", {8, 64, 145, 21}},
    {CONTROL(IntegralEForm, BitBtnXP4), kReads, "Term bearbeiten...", {160, 64, 129, 25}},
    {CONTROL(IntegralEForm, EditBtn), kReads, "Nenner bearbeiten", {8, 96, 145, 25}},
    {CONTROL(IntegralEForm, BitBtnXP1), kReads, "Zähler bearbeiten...", {8, 128, 145, 25}},
    {CONTROL(IntegralEForm, BitBtnXP2), kReads, "Zähler entfernen", {8, 160, 145, 25}},
    {CONTROL(IntegralEForm, BackBtn), kReads, "Zurück/Ende...", {320, 8, 145, 81}},
    {WINDOW(IntegralEForm), kTabOrder,
     "Edit1|BitBtnXP3|Edit2|BitBtnXP4|EditBtn|BitBtnXP1|BitBtnXP2|BackBtn", kNoPlace},

    {WINDOW(UserEForm), kReads, "Beliebige Funktion bearbeiten", Client(469, 147)},
    {CONTROL(UserEForm, Label1), kReads, "Name der Funktion (z.B. sin )", At(8, 8)},
    {CONTROL(UserEForm, Edit1), kReads, "", {8, 24, 145, 21}},
    {CONTROL(UserEForm, BitBtnXP3), kReads, "Term bearbeiten...", {160, 24, 129, 25}},
    {CONTROL(UserEForm, EditBtn), kReads, "Nenner bearbeiten", {8, 48, 145, 25}},
    {CONTROL(UserEForm, BitBtnXP1), kReads, "Zähler bearbeiten...", {8, 80, 145, 25}},
    {CONTROL(UserEForm, BitBtnXP2), kReads, "Zähler entfernen", {8, 112, 145, 25}},
    {CONTROL(UserEForm, BackBtn), kReads, "Zurück/Ende...", {312, 8, 145, 81}},
    {WINDOW(UserEForm), kTabOrder, "Edit1|BitBtnXP3|EditBtn|BitBtnXP1|BitBtnXP2|BackBtn", kNoPlace},

    // The information dialog.
    {WINDOW(AboutBox), kReads, "Info", kNoPlace},
    {CONTROL(AboutBox, OKButton), kReads, "OK", kNoPlace},
};

#undef WINDOW
#undef CONTROL
#undef MAIN_CHILD

// A caption as it reads: "&&" is one ampersand, a single one marks the
// access key and is not shown.
QString WithoutMnemonic(const QString& text) {
  QString shown;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  return shown;
}

QWidget* MenuTitled(TWindows& w, const QString& title) {
  for (QAction* action : w.MainForm.menuBar()->actions()) {
    if (action->menu() != nullptr && WithoutMnemonic(action->text()) == title) {
      return action->menu();
    }
  }
  return nullptr;
}

QString MenuItems(const QWidget* owner) {
  QStringList items;
  for (const QAction* action : owner->actions()) {
    items << (action->isSeparator() ? QString("-") : WithoutMnemonic(action->text()));
  }
  return items.join('|');
}

QString Reads(QWidget* widget) {
  if (qobject_cast<QMenu*>(widget) != nullptr || qobject_cast<QMenuBar*>(widget) != nullptr) {
    return MenuItems(widget);
  }
  if (widget->isWindow()) return widget->windowTitle();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    // A button with only a picture says what it does in its hint.
    return button->text().isEmpty() ? button->toolTip() : WithoutMnemonic(button->text());
  }
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) return spin->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* swatch = qobject_cast<TColorSwatch*>(widget)) {
    return ColorFromValue(swatch->Color()).name();
  }
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

// The named control that holds the focus widget (a spin box's inner field
// counts for the spin box), or the focus widget's class.
QString NameOf(QWidget* focus, const QMap<QWidget*, QString>& names) {
  for (QWidget* widget = focus; widget != nullptr; widget = widget->parentWidget()) {
    if (names.contains(widget)) return names[widget];
  }
  return focus != nullptr ? focus->metaObject()->className() : "nothing";
}

// Presses Tab from the first control until the focus comes back to it.
QString TabWalk(QWidget* window, QWidget* first, const QMap<QWidget*, QString>& names) {
  window->show();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return "window not active";
  first->setFocus(Qt::TabFocusReason);
  QStringList visited;
  for (int step = 0; step <= names.size() + 1; ++step) {
    QWidget* focus = QApplication::focusWidget();
    const QString name = NameOf(focus, names);
    if (!visited.isEmpty() && name == visited.first()) break;
    visited << name;
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  window->hide();
  return visited.join('|');
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
      if (row.Window == window && row.Check == kReads && row.Window != QString(row.Control)) {
        names[row.Get(*windows)] = row.Control;
      }
    }
    return names;
  }

 private slots:
  void initTestCase() { windows = std::make_unique<TWindows>(); }
  void cleanupTestCase() { windows.reset(); }

  void everyWindowReadsAsDesigned_data() {
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
      const TRow& row = kRows[i];
      QTest::addRow("%s %s%s", row.Window, row.Control, row.Check == kTabOrder ? " tab order" : "")
          << static_cast<int>(i);
    }
  }

  void everyWindowReadsAsDesigned() {
    QFETCH(int, index);
    const TRow& row = kRows[index];
    QWidget* widget = row.Get(*windows);
    QVERIFY2(widget != nullptr, "no such control");
    if (row.Check == kTabOrder) {
      const QMap<QWidget*, QString> names = NamesIn(row.Window);
      const QString first = QString::fromUtf8(row.Text).section('|', 0, 0);
      QCOMPARE(TabWalk(widget, names.key(first), names), QString::fromUtf8(row.Text));
      return;
    }
    QCOMPARE(Reads(widget), QString::fromUtf8(row.Text));
    if (row.Place.left() < 0) return;
    if (widget->isWindow()) {
      QCOMPARE(widget->size(), row.Place.size());
    } else if (row.Place.width() < 0) {
      QCOMPARE(widget->pos(), row.Place.topLeft());
    } else {
      QCOMPARE(widget->geometry(), row.Place);
    }
  }
};

QTEST_MAIN(WindowTextsTest)
#include "WindowTextsTest.moc"
