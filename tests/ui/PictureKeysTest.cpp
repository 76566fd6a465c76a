// The picture from the keyboard and for assistive technology, in the real
// main window: the arrow keys move the highlight over the parts of a known
// formula, Enter opens what a double-click there opens, and the accessible
// tree shows the picture as a graphic named by the spoken formula with its
// parts as children. The swatch is a button, the margin reports 0 to 1000,
// and results are announced.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <functional>

#include "render/PictureLimit.h"
#include "tests/ui/DialogDriver.h"
#include "tests/ui/Program.h"
#include "textio/FormulaText.h"
#include "ui/FixedDialog.h"
#include "ui/FormulaAccess.h"

using namespace DialogDriver;

namespace {

// What a screen reader hears last from `window`: the name of its shown
// notification.
QString Announced(QWidget* window) {
  for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QAccessibleInterface* told = QAccessible::queryAccessibleInterface(child);
    if (told != nullptr && told->role() == QAccessible::Notification && child->isVisible()) {
      return told->text(QAccessible::Name);
    }
  }
  return "(nothing told)";
}

// Replaces the open formula by the one `latex` describes, as an unchanged document.
void ShowFormula(TMainForm& main, const char* latex) {
  TOwnedLine read;
  TTextError error;
  QVERIFY2(FormulaFromLatex(QString(latex).toStdU16String(), &main.CurrentEntry, read, error),
           error.Describe().c_str());
  freetheline(main.RootLine);
  main.RootLine = read.release();
  main.PaintBox1Paint();
  SettledPicture(main);
}

QAccessibleInterface* Picture(TMainForm& main) {
  return QAccessible::queryAccessibleInterface(main.PaintBox1);
}

// The accessible name of the highlighted part, "" for the whole formula.
QString HighlightedName(TMainForm& main) {
  QAccessibleInterface* part = PictureChildInterface(main.PaintBox1, main.PaintBox1->CurrentPart());
  return part != nullptr ? part->text(QAccessible::Name) : QString();
}

// The spoken form of what the status bar's words name: a term alone is its text.
QString Spoken(const TFormulaEntry* entry) { return ToQString(SpeechFromEntry(*entry)); }

const char* const kKnownFormula = "\\frac{a}{b}+\\sqrt{x}";

// The title of a dialog and, in an editor, how many rows it lists, which
// one is selected and the name a screen reader reads:
// "Formel editieren, 3 rows, row 1 selected, named Formel editieren".
QString Shown(const QDialog* dialog) {
  const auto* editor = qobject_cast<const TEditForm*>(dialog);
  if (editor == nullptr) return dialog->windowTitle();
  const QTreeWidget* list = editor->ListView1;
  QString selected = "none selected";
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (list->topLevelItem(i)->isSelected()) selected = QString("row %1 selected").arg(i);
  }
  const QString name =
      QAccessible::queryAccessibleInterface(const_cast<QDialog*>(dialog))->text(QAccessible::Name);
  return QString("%1, %2 rows, %3, named %4")
      .arg(dialog->windowTitle())
      .arg(list->topLevelItemCount())
      .arg(selected, name);
}

}  // namespace

class PictureKeysTest : public TProgramTest {
  Q_OBJECT

 private slots:
  void init() {
    StartProgram();
    ShowFormula(Main(), kKnownFormula);
  }
  void cleanup() { EndProgram(); }

  // Keys pressed from the picture's first focus; the highlighted part's
  // name after the last one, as the status bar's words and what it says.
  void keysMoveTheHighlight_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("spoken");
    const QList<int> down{Qt::Key_Down};
    QTest::newRow("focus alone: the whole formula") << QList<int>{} << ""
                                                    << "";
    QTest::newRow("Down: the first entry, the fraction") << down << "Bruch"
                                                         << "@fraction";
    QTest::newRow("Right from the whole formula: its first entry")
        << QList<int>{Qt::Key_Right} << "Bruch"
        << "@fraction";
    QTest::newRow("Down Right: the term beside it")
        << QList<int>{Qt::Key_Down, Qt::Key_Right} << "Term „+“"
        << "plus";
    QTest::newRow("Down End: the last entry, the root")
        << QList<int>{Qt::Key_Down, Qt::Key_End} << "Wurzel"
        << "@root";
    QTest::newRow("Right beyond the last entry stays there")
        << QList<int>{Qt::Key_Down, Qt::Key_End, Qt::Key_Right} << "Wurzel"
        << "@root";
    QTest::newRow("Left before the first entry stays there")
        << QList<int>{Qt::Key_Down, Qt::Key_Left} << "Bruch"
        << "@fraction";
    QTest::newRow("Down Down: into the fraction, its numerator")
        << QList<int>{Qt::Key_Down, Qt::Key_Down} << "Zähler des Bruchs"
        << "a";
    QTest::newRow("... Right: the denominator")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right} << "Nenner des Bruchs"
        << "b";
    QTest::newRow("... Down: the denominator's term")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down} << "Term „b“"
        << "b";
    QTest::newRow("... Up: back to the denominator")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Up}
        << "Nenner des Bruchs"
        << "b";
    QTest::newRow("... Up Up: back to the fraction")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right,
                      Qt::Key_Down, Qt::Key_Up,   Qt::Key_Up}
        << "Bruch"
        << "@fraction";
    QTest::newRow("... Up Up Up: back to the whole formula")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up} << ""
        << "";
    QTest::newRow("into the root: its content")
        << QList<int>{Qt::Key_Down, Qt::Key_End, Qt::Key_Down} << "Inhalt der Wurzel"
        << "x";
    QTest::newRow("Down on a term stays there")
        << QList<int>{Qt::Key_Down, Qt::Key_Right, Qt::Key_Down} << "Term „+“"
        << "plus";
    QTest::newRow("Home goes back to the first of the sequence")
        << QList<int>{Qt::Key_Down, Qt::Key_End, Qt::Key_Home} << "Bruch"
        << "@fraction";
  }

  void keysMoveTheHighlight() {
    QFETCH(QList<int>, keys);
    QFETCH(QString, words);
    QFETCH(QString, spoken);
    TMainForm& main = Main();
    main.PaintBox1->setFocus(Qt::TabFocusReason);
    QVERIFY(main.PaintBox1->hasFocus());
    for (const int key : keys) QTest::keyClick(main.PaintBox1, static_cast<Qt::Key>(key));
    if (spoken == "@fraction") spoken = Spoken(EntryAt(*main.RootLine, 0));
    if (spoken == "@root") spoken = Spoken(EntryAt(*main.RootLine, 2));
    const QString name = words.isEmpty() ? QString() : words + ": " + spoken;
    QCOMPARE(HighlightedName(main), name);
    // The status bar follows the highlight, and assistive technology's focus too.
    QCOMPARE(main.statusBar()->currentMessage(), words.isEmpty() ? "Ganze Formel" : words);
    QAccessibleInterface* focused = Picture(main)->focusChild();
    QVERIFY(focused != nullptr);
    if (words.isEmpty()) {
      QCOMPARE(focused, Picture(main));
    } else {
      QCOMPARE(focused->text(QAccessible::Name), name);
      QVERIFY(focused->state().focused);
    }
  }

  // Enter opens what a double-click on the highlighted part opens.
  void enterOpensThePart_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the whole formula: its entry list")
        << QList<int>{} << "Formel editieren, 3 rows, none selected, named Formel editieren";
    QTest::newRow("the fraction: its dialog") << QList<int>{Qt::Key_Down} << "Bruch bearbeiten";
    QTest::newRow("the term: its row in the entry list")
        << QList<int>{Qt::Key_Down, Qt::Key_Right}
        << "Formel editieren, 3 rows, row 1 selected, named Formel editieren";
    QTest::newRow("the root's content: its entry list, named after it")
        << QList<int>{Qt::Key_Down, Qt::Key_End, Qt::Key_Down}
        << "Formel editieren, 1 rows, none selected, named Formel editieren: Inhalt der Wurzel";
    QTest::newRow("the numerator: its entry list, named after it")
        << QList<int>{Qt::Key_Down, Qt::Key_Down}
        << "Formel editieren, 1 rows, none selected, named Formel editieren: Zähler des Bruchs";
    QTest::newRow("the denominator's term: its row, in the list named after the denominator")
        << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down}
        << "Formel editieren, 1 rows, row 0 selected, named Formel editieren: Nenner des Bruchs";
  }

  void enterOpensThePart() {
    QFETCH(QList<int>, keys);
    QFETCH(QString, shown);
    TMainForm& main = Main();
    main.PaintBox1->setFocus(Qt::TabFocusReason);
    for (const int key : keys) QTest::keyClick(main.PaintBox1, static_cast<Qt::Key>(key));
    auto seen = std::make_shared<QString>();
    Answer<QDialog>([seen](QDialog* dialog) {
      *seen = Shown(dialog);
      dialog->close();
    });
    const QString highlighted = HighlightedName(main);
    QTest::keyClick(main.PaintBox1, Qt::Key_Return);
    QCOMPARE(*seen, shown);
    // The picture was painted again; the highlight is where it was.
    QCOMPARE(HighlightedName(main), highlighted);
  }

  // A click from another control chooses the part under the mouse, and the
  // picture stays scrolled as it was, though the highlight was out of view.
  void clickChoosesWhereThePictureIs() {
    TMainForm& main = Main();
    TFontDesc font = main.FontDialog1->Font();
    font.Height = -300;
    main.FontDialog1->SetFont(font);
    main.PaintBox1Paint();
    SettledPicture(main);
    main.PaintBox1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(main.PaintBox1, Qt::Key_Down);
    main.RandEd->setFocus();
    QScrollBar* bar = main.ScrollBox1->horizontalScrollBar();
    bar->setValue(bar->maximum());
    QVERIFY(bar->value() > 0);
    QVERIFY(Picture(main)->child(0)->state().offscreen);
    const int scrolled = bar->value();
    const QRect root = Picture(main)->child(2)->rect();
    QTest::mouseClick(main.PaintBox1, Qt::LeftButton, {},
                      main.PaintBox1->mapFromGlobal(root.center()));
    QVERIFY(main.PaintBox1->hasFocus());
    QCOMPARE(main.statusBar()->currentMessage(), QString("Wurzel"));
    QCOMPARE(bar->value(), scrolled);
  }

  // The picture is a graphic named by the spoken formula; its children are
  // the entries, a function's children its parts, and those hold their
  // entries, each inside its parent on the screen.
  void accessibleTree() {
    TMainForm& main = Main();
    QAccessibleInterface* picture = Picture(main);
    QCOMPARE(picture->role(), QAccessible::Graphic);
    QCOMPARE(picture->text(QAccessible::Name),
             "Formel: " + ToQString(SpeechFromFormula(main.RootLine)));
    QStringList tree;
    const std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* at,
                                                                     int depth) {
      for (int i = 0; i < at->childCount(); ++i) {
        QAccessibleInterface* child = at->child(i);
        QVERIFY(child != nullptr);
        QCOMPARE(child->parent(), at);
        QCOMPARE(at->indexOfChild(child), i);
        QVERIFY2(at == picture || at->rect().contains(child->rect()),
                 qPrintable(child->text(QAccessible::Name)));
        const QString name = child->text(QAccessible::Name);
        tree << QString(depth * 2, ' ') + name.left(name.indexOf(':'));
        walk(child, depth + 1);
      }
    };
    walk(picture, 0);
    QCOMPARE(tree, (QStringList{"Bruch", "  Zähler des Bruchs", "    Term „a“",
                                "  Nenner des Bruchs", "    Term „b“", "Term „+“", "Wurzel",
                                "  Inhalt der Wurzel", "    Term „x“"}));
    // The point in the middle of a part leads to it.
    QAccessibleInterface* plus = picture->child(1);
    QCOMPARE(picture->childAt(plus->rect().center().x(), plus->rect().center().y()), plus);
  }

  // After an edit the picture has a new name and says so.
  void nameFollowsTheFormula() {
    TMainForm& main = Main();
    const QString before = Picture(main)->text(QAccessible::Name);
    AppendTermEntry(main.RootLine, u"= 1");
    main.PaintBox1Paint();
    const QString after = Picture(main)->text(QAccessible::Name);
    QVERIFY(after != before);
    QCOMPARE(after, "Formel: " + ToQString(SpeechFromFormula(main.RootLine)));
    QCOMPARE(Picture(main)->childCount(), 4);
  }

  // The highlight and the focus frame are drawn over what is shown, never
  // into the bitmap that is saved and copied.
  void highlightIsShownNotExported() {
    TMainForm& main = Main();
    main.PaintBox1->clearFocus();
    const QImage exported = SettledPicture(main);
    const QImage unfocused = main.PaintBox1->grab().toImage();
    main.PaintBox1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(main.PaintBox1, Qt::Key_Down);
    const QImage focused = main.PaintBox1->grab().toImage();
    QCOMPARE(SettledPicture(main), exported);
    QVERIFY(focused != unfocused);
    // The frame: black at the edge and white inside it, 2 pixels each.
    const int middle = focused.height() / 2;
    for (const int x : {0, 1}) QCOMPARE(QColor(focused.pixel(x, middle)), QColor(Qt::black));
    for (const int x : {2, 3}) QCOMPARE(QColor(focused.pixel(x, middle)), QColor(Qt::white));
    SaveArtefact(focused, "picture-highlight");

    // On the denominator, right under the fraction's bar, the highlight
    // leaves every pixel of ink dark and its own frame off them.
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Right}) QTest::keyClick(main.PaintBox1, key);
    QCOMPARE(main.statusBar()->currentMessage(), QString("Nenner des Bruchs"));
    const QImage denominator = main.PaintBox1->grab().toImage();
    int ink = 0;
    for (int y = 4; y < exported.height() - 4; ++y) {
      for (int x = 4; x < exported.width() - 4; ++x) {
        if (qGray(exported.pixel(x, y)) > 64) continue;
        ++ink;
        const QColor shown(denominator.pixel(x, y));
        QVERIFY2(qGray(shown.rgb()) < 100 && shown != QColor(0x00, 0x47, 0xAB),
                 qPrintable(QString("ink at %1, %2 is %3").arg(x).arg(y).arg(shown.name())));
      }
    }
    QVERIFY(ink > 50);
  }

  // The swatch is a button that a press of assistive technology works, and
  // the margin field reports the range the field keeps to.
  void swatchAndMarginForAssistiveTechnology() {
    TMainForm& main = Main();
    QAccessibleInterface* swatch = QAccessible::queryAccessibleInterface(main.bkcolor);
    QCOMPARE(swatch->role(), QAccessible::PushButton);
    QCOMPARE(swatch->text(QAccessible::Name), QString("Hintergrundfarbe"));
    QAccessibleActionInterface* actions = swatch->actionInterface();
    QVERIFY(actions != nullptr);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    Answer<QColorDialog>([](QColorDialog* colours) {
      colours->setCurrentColor(QColor(0, 0, 255));
      colours->accept();
    });
    actions->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(main.bkcolor->Color(), 0x00FF0000u);

    QAccessibleValueInterface* margin =
        QAccessible::queryAccessibleInterface(main.RandEd)->valueInterface();
    QVERIFY(margin != nullptr);
    QCOMPARE(margin->minimumValue().toInt(), 0);
    QCOMPARE(margin->maximumValue().toInt(), 1000);
    QCOMPARE(margin->currentValue().toInt(), 20);
    // Typing beyond the range still takes effect as typed.
    main.RandEd->setFocus();
    main.RandEd->Field()->selectAll();
    QTest::keyClicks(main.RandEd->Field(), "1500");
    QCOMPARE(main.RandEd->Value(), 1500);
    QCOMPARE(main.PaintInput().Margin, 1500);
  }

  // Results appear as notifications that a screen reader speaks.
  void resultsAreAnnounced_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("told");
    QTest::newRow("a status message") << "latex"
                                      << "Die Formel steht als LaTeX in der Zwischenablage.";
    QTest::newRow("an undone step") << "undo"
                                    << "Rückgängig: Rand";
    QTest::newRow("a redone step") << "redo"
                                   << "Wiederherstellen: Rand";
    QTest::newRow("a picture beyond the limit") << "large font, wide margin"
                                                << "the limit's reason";
  }

  void resultsAreAnnounced() {
    QFETCH(QString, command);
    QFETCH(QString, told);
    TMainForm& main = Main();
    if (command == "latex") {
      main.CopyLatexAction->trigger();
    } else if (command == "large font, wide margin") {
      TFontDesc font = main.FontDialog1->Font();
      font.Height = -1500;
      main.FontDialog1->SetFont(font);
      main.RandEd->setValue(4000);
      QVERIFY(main.PictureTooLarge.cx > 0);
      told = QString::fromStdString(PictureTooLargeText(main.PictureTooLarge));
    } else {
      main.RandEd->setValue(21);
      main.RandEd->clearFocus();
      main.UndoAction->trigger();
      if (command == "redo") main.RedoAction->trigger();
    }
    QTRY_COMPARE(Announced(&main), told);
  }
};

QTEST_MAIN(PictureKeysTest)
#include "PictureKeysTest.moc"
