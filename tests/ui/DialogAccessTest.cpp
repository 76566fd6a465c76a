// The editing dialogs as a screen reader and a keyboard user meet them: what
// the function box, the list rows, the nested lists and the misnamed buttons
// say; the row the keyboard finds selected; a name on every field; the focus
// ring. Offscreen, Qt gives the accessible texts but sends no accessibility
// events (QAccessible::isActive() stays false), so the announcements are
// left to a check under a real screen reader.
#include <QAccessible>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QTest>

#include "tests/ui/DialogMaker.h"
#include "ui/AboutBoxUnit.h"
#include "ui/FocusRing.h"
#include "ui/FontDialog.h"
#include "ui/FormelTextUnit.h"
#include "ui/MainUnit.h"

using namespace DialogDriver;

namespace {

QString Said(QWidget* widget, QAccessible::Text text) {
  return QAccessible::queryAccessibleInterface(widget)->text(text);
}

// Each cell of a row as a screen reader reads it, after the column headers.
QStringList RowSaid(QTreeWidget* list, int row) {
  QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(list)->tableInterface();
  QStringList said;
  for (int column = 0; column < table->columnCount(); ++column) {
    QAccessibleInterface* cell = table->cellAt(row, column);
    const QList<QAccessibleInterface*> headers = cell->tableCellInterface()->columnHeaderCells();
    said << headers.value(0)->text(QAccessible::Name) + "|" + cell->text(QAccessible::Name);
    // Made for the caller, who has them deleted.
    for (QAccessibleInterface* header : headers) {
      QAccessible::deleteAccessibleInterface(QAccessible::registerAccessibleInterface(header));
    }
  }
  return said;
}

// Controls a screen reader meets without a name: all a user can focus or
// press, and fields that pass their focus to a neighbour. Parts of a control
// (a list's viewport) pass it to the control, a button box to its buttons.
QStringList Unnamed(QWidget* window) {
  QStringList unnamed;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    QWidget* proxy = widget->focusProxy();
    if (!widget->isVisibleTo(window) || (proxy != nullptr && proxy->isAncestorOf(widget)) ||
        qobject_cast<QDialogButtonBox*>(widget) != nullptr) {
      continue;
    }
    const bool met = (widget->focusPolicy() & Qt::TabFocus) || proxy != nullptr ||
                     qobject_cast<QAbstractButton*>(widget) != nullptr;
    // A drop-down list is named after its choice; only a label names the field.
    const bool choiceOnly =
        qobject_cast<QComboBox*>(widget) != nullptr && widget->accessibleName().isEmpty() &&
        QAccessible::queryAccessibleInterface(widget)->relations(QAccessible::Label).isEmpty();
    if (met && (choiceOnly || Said(widget, QAccessible::Name).trimmed().isEmpty())) {
      unnamed << QString("%1 '%2'").arg(widget->metaObject()->className(), widget->objectName());
    }
  }
  return unnamed;
}

// The words the picture's hints give the parts, First then Second, by kind.
const char* const kParts[][2] = {
    {"Zähler des Bruchs", "Nenner des Bruchs"},
    {"Inhalt der Wurzel", "Unterer Teil der Wurzel"},
    {"Inhalt der Summe", "Unterer Teil der Summe"},
    {"Exponent der Potenz", "Basis der Potenz"},
    {"Inhalt des Betrags", "Unterer Teil des Betrags"},
    {"Inhalt des Integrals", "Unterer Teil des Integrals"},
    {"Argument der Funktion „sin“", "Unterer Teil der Funktion „sin“"},
};

}  // namespace

class DialogAccessTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QM_VERIFY_NO_PROBLEMS(); }

  // Qt names the box after its choice on Linux, but a screen reader takes
  // the label instead; the description carries the choice.
  void functionBoxSaysItsChoice() {
    TRootEditor fixture;
    QComboBox* box = fixture.Editor.ComboBox1;
    for (int kind = 0; kind < box->count(); ++kind) {
      box->setCurrentIndex(0);
      Choose(box, kind);  // Pfeil nach unten
      const QString item = box->itemText(kind);
      QCOMPARE((QStringList{Said(box, QAccessible::Value), Said(box, QAccessible::Name),
                            Said(box, QAccessible::Description)}),
               (QStringList{item, item, item}));
    }
  }

  void rowsSayTheirColumns_data() {
    QTest::addColumn<int>("kind");  // -1: a term
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QStringList>("said");
    QTest::newRow("a term") << -1 << "12 * 3"
                            << QStringList{"Typ|Typ: Term", "Term|Term: 12 * 3", "Parameter|"};
    QTest::newRow("an empty term")
        << -1 << "" << QStringList{"Typ|Typ: Term", "Term|", "Parameter|"};
    QTest::newRow("a fraction says what it holds")
        << int{fkBruch} << ""
        << QStringList{"Typ|Typ: Bruch Funktion, a durch b", "Term|", "Parameter|"};
    QTest::newRow("a sum with its bounds")
        << int{fkSumme} << "x=1"
        << QStringList{"Typ|Typ: Summen Funktion, die Summe von x gleich 1 bis 3 über a",
                       "Term|Term: x=1", "Parameter|Parameter: 3"};
  }

  void rowsSayTheirColumns() {
    QFETCH(int, kind);
    QFETCH(QString, text1);
    QFETCH(QStringList, said);
    TRootEditor fixture;
    TFormulaLine* root = fixture.Document.RootLine;
    if (kind < 0) {
      AppendTermEntry(root, ToU16(text1));
    } else {
      TFormulaEntry* entry = AppendFunctionEntry(root, kind);
      SetText(entry->Text1, ToU16(text1));
      SetText(entry->Text2, kind == fkSumme ? u"3" : u"");
      AppendTermEntry(entry->First, u"a");
      if (entry->Second != nullptr) AppendTermEntry(entry->Second, u"b");
    }
    fixture.Editor.Filllist();
    fixture.Editor.show();  // a tree lays its rows out for the reader when shown
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.Editor));
    QCOMPARE(RowSaid(fixture.Editor.ListView1, 0), said);
  }

  void keyboardFocusSelectsTheCurrentRow_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("current");  // -1: none yet
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QList<int>>("selectedAfter");
    QTest::newRow("Tab into a list without a current row selects the first")
        << 3 << -1 << QList<int>{} << int{Qt::TabFocusReason} << QList<int>{0};
    QTest::newRow("Umschalt+Tab selects the current row")
        << 3 << 2 << QList<int>{} << int{Qt::BacktabFocusReason} << QList<int>{2};
    QTest::newRow("a selection made before stays")
        << 4 << 1 << QList<int>{1, 3} << int{Qt::TabFocusReason} << QList<int>{1, 3};
    QTest::newRow("a click chooses its row itself")
        << 3 << -1 << QList<int>{} << int{Qt::MouseFocusReason} << QList<int>{};
    QTest::newRow("an empty list")
        << 0 << -1 << QList<int>{} << int{Qt::TabFocusReason} << QList<int>{};
  }

  void keyboardFocusSelectsTheCurrentRow() {
    QFETCH(int, rows);
    QFETCH(int, current);
    QFETCH(QList<int>, selected);
    QFETCH(int, reason);
    QFETCH(QList<int>, selectedAfter);
    TRootEditor fixture;
    TEditForm& editor = fixture.Editor;
    for (int row = 0; row < rows; ++row) AppendTermEntry(fixture.Document.RootLine, u"t");
    editor.Filllist();
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    if (current >= 0) {
      editor.ListView1->selectionModel()->setCurrentIndex(
          editor.ListView1->model()->index(current, 0), QItemSelectionModel::NoUpdate);
    }
    for (int row : selected) editor.ListView1->topLevelItem(row)->setSelected(true);
    editor.ListView1->setFocus(static_cast<Qt::FocusReason>(reason));
    QCOMPARE(SelectedRows(editor.ListView1), selectedAfter);
  }

  void nestedListSaysItsPart_data() {
    QTest::addColumn<quint32>("kind");
    QTest::addColumn<bool>("second");
    for (std::uint32_t kind = 0; kind < kFunctionKindCount; ++kind) {
      QTest::newRow(kParts[kind][0]) << kind << false;
      QTest::newRow(kParts[kind][1]) << kind << true;
    }
  }

  // The title stays that of every list; the name says the part.
  void nestedListSaysItsPart() {
    QFETCH(quint32, kind);
    QFETCH(bool, second);
    TTestDocument document;
    SetText(AppendFunctionEntry(document.RootLine, kind)->Text1, u"sin");
    QStringList seen;
    OpenEntry<TParamDialog>(document, [&](TParamDialog* dialog) {
      EditSequence(second ? dialog->BitBtnXP1 : dialog->EditBtn, [&](TEditForm* nested) {
        seen << nested->windowTitle() << Said(nested, QAccessible::Name);
      });
      Click(dialog->BackBtn);
    });
    QCOMPARE(seen, (QStringList{"Formel editieren",
                                QString("Formel editieren: ") + kParts[kind][second ? 1 : 0]}));
  }

  void misnamedButtonsSayWhatTheyEdit_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("kind");
    QTest::newRow("Wurzel: 'Nenner bearbeiten' edits the radicand") << "TWurzelEForm" << 1;
    QTest::newRow("Summe") << "TSummeEForm" << 2;
    QTest::newRow("Betrag") << "TBetragEForm" << 4;
    QTest::newRow("Integral") << "TIntegralEForm" << 5;
    QTest::newRow("Beliebige Funktion") << "TUserEForm" << 6;
    QTest::newRow("Bruch: the captions are right") << "TBruchEForm" << -1;
    QTest::newRow("Potenz: the captions are right") << "TPotenzEForm" << -1;
  }

  void misnamedButtonsSayWhatTheyEdit() {
    QFETCH(QString, dialog);
    QFETCH(int, kind);
    TTestDocument document;
    const std::unique_ptr<QDialog> made = MakeDialog(dialog, document);
    auto* shown = static_cast<TParamDialog*>(made.get());
    QStringList said;
    for (QPushButton* button : {shown->EditBtn, shown->BitBtnXP1, shown->BitBtnXP2}) {
      if (button != nullptr) said << Said(button, QAccessible::Description);
    }
    // The named function's name is not known to the buttons.
    const auto part = [kind](int which) { return QString(kParts[kind][which]).remove(" „sin“"); };
    const QStringList described =
        kind < 0 ? QStringList{"", ""}
                 : QStringList{"Bearbeitet: " + part(0), "Bearbeitet: " + part(1),
                               "Entfernt: " + part(1)};
    QCOMPARE(said, described);
    // The root's dialog is captioned "Summenfunktion bearbeiten".
    QCOMPARE(Said(shown, QAccessible::Description),
             QString(kind == fkWurzel ? "Bearbeitet eine Wurzel." : ""));
  }

  void everyFieldHasAName_data() {
    QTest::addColumn<QString>("dialog");
    for (const char* name : kEditingDialogs) QTest::newRow(name) << name;
    for (const char* name : {"TFormelTextForm", "TFontDialog", "TAboutBox", "OpenDialog1",
                             "SaveDialog2", "PictureDialog"}) {
      QTest::newRow(name) << name;
    }
  }

  void everyFieldHasAName() {
    QFETCH(QString, dialog);
    TTestDocument document;
    TMainForm main;
    // The file dialogs are the main window's own, Qt's widgets with their
    // labels linked and, in the picture dialog, our "Auflösung:" box.
    const QMap<QString, QFileDialog*> fileDialogs = {{"OpenDialog1", main.OpenDialog1},
                                                     {"SaveDialog2", main.SaveDialog2},
                                                     {"PictureDialog", main.PictureDialog}};
    std::unique_ptr<QWidget> made =
        dialog == "TFormelTextForm"
            ? std::make_unique<TFormelTextForm>("\\frac{a}{", TPaintInput{}, &document.CurrentEntry)
        : dialog == "TFontDialog"      ? std::make_unique<TFontDialog>(nullptr)
        : dialog == "TAboutBox"        ? std::make_unique<TAboutBox>()
        : fileDialogs.contains(dialog) ? nullptr
                                       : std::unique_ptr<QWidget>(MakeDialog(dialog, document));
    QWidget* window = made != nullptr ? made.get() : fileDialogs.value(dialog);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QStringList unnamed = Unnamed(window);
    window->hide();
    QVERIFY2(unnamed.isEmpty(), qPrintable("without a name: " + unnamed.join(", ")));
  }

  // On a dark palette the highlight is lightened instead.
  void focusRingColourStandsOut() {
    QPalette dark(QColor(0x30, 0x30, 0x30), QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Base, QColor(0x10, 0x10, 0x10));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    for (const QPalette& palette : {QApplication::palette(), dark}) {
      for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        QVERIFY(ContrastRatio(FocusRingColor(palette), palette.color(role)) >= 3);
      }
    }
  }

  void focusRingShowsRoundEachKindOfControl_data() {
    QTest::addColumn<QString>("control");
    for (const char* control :
         {"text field", "button", "drop-down list", "list", "check box", "preview"}) {
      QTest::newRow(control) << control;
    }
    QTest::newRow("the picture: only its own frame, no ring round its scroll area") << "picture";
  }

  // The same ring as in the program: the 2 pixels along the control's edge
  // take its colour, which stands out from the window around.
  void focusRingShowsRoundEachKindOfControl() {
    QFETCH(QString, control);
    TRootEditor fixture({u"a", u"b"});
    TFontDialog fonts(nullptr);
    TFormelTextForm text("a", TPaintInput{}, &fixture.Document.CurrentEntry);
    std::unique_ptr<TMainForm> main;
    if (control == "picture") main = std::make_unique<TMainForm>();
    const QMap<QString, QWidget*> controls = {
        {"text field", fixture.Editor.Edit1},
        {"button", fixture.Editor.AddTerm},
        {"drop-down list", fixture.Editor.ComboBox1},
        {"list", fixture.Editor.ListView1},
        {"check box", fonts.findChild<QCheckBox*>()},
        {"preview", text.PreviewArea},
        {"picture", main != nullptr ? main->PaintBox1 : nullptr}};
    QWidget* focus = controls.value(control);
    QWidget* window = focus->window();
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    focus->setFocus(Qt::TabFocusReason);
    if (main != nullptr) {
      QTRY_VERIFY(focus->hasFocus());
      QVERIFY(FocusRingWidget() == nullptr || !FocusRingWidget()->isVisible());
      const QImage shot = window->grab().toImage();
      const QPoint area =
          main->ScrollBox1->mapTo(window, QPoint(0, main->ScrollBox1->height() / 2));
      const QPoint picture = focus->mapTo(window, QPoint(0, focus->height() / 4));
      QVERIFY(shot.pixel(area) != FocusRingColor(focus->palette()).rgb());
      QCOMPARE(QColor(shot.pixel(picture)), QColor(Qt::black));
      return;
    }
    QTRY_VERIFY(FocusRingWidget() != nullptr && FocusRingWidget()->isVisible());
    const QImage shot = window->grab().toImage();
    const QRgb ring = FocusRingColor(focus->palette()).rgb();
    const QPoint left = focus->mapTo(window, QPoint(0, focus->height() / 2));
    const QPoint top = focus->mapTo(window, QPoint(focus->width() / 2, 0));
    for (int inward = 0; inward < kFocusRingWidth; ++inward) {
      QCOMPARE(shot.pixel(left + QPoint(inward, 0)), ring);
      QCOMPARE(shot.pixel(top + QPoint(0, inward)), ring);
    }
    if (left.x() > 0)
      QVERIFY(ContrastRatio(QColor(ring), shot.pixelColor(left - QPoint(1, 0))) >= 3);
  }
};

QTEST_MAIN(DialogAccessTest)
#include "DialogAccessTest.moc"
