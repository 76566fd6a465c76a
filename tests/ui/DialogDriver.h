// Drives modal dialogs as a user would. A test arms an answer for the dialog
// it is about to open and then presses the button that opens it; the answer
// runs from a timer inside that dialog's own event loop. Answers nest: an
// answer may arm the next one and press a button in its dialog.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <utility>

#include "model/FormulaTree.h"
#include "ui/EditFUnit.h"
#include "ui/EditTermFUnit.h"
#include "ui/ParamDialog.h"

// Fails the running test with what went wrong inside answers.
#define QM_VERIFY_NO_PROBLEMS()                                      \
  do {                                                               \
    const QStringList problems_ = DialogDriver::TakeProblems();      \
    QVERIFY2(problems_.isEmpty(), qPrintable(problems_.join("; "))); \
  } while (false)

namespace DialogDriver {

// What went wrong inside answers, where a failed check cannot stop the test.
inline QStringList& Problems() {
  static QStringList problems;
  return problems;
}

// The problems so far, taken out, so that the next test starts clean even
// when this one fails on them.
inline QStringList TakeProblems() { return std::exchange(Problems(), QStringList()); }

// Saves a picture for a look by eye into the folder the test run names.
inline void SaveArtefact(const QImage& image, const QString& name) {
  const QByteArray folder = qgetenv("QM_TEST_ARTEFACTS");
  if (!folder.isEmpty()) image.save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
}

// Closes every open modal dialog, innermost first, so that a test that lost
// its way ends instead of hanging.
inline void CloseAllModals() {
  for (int guard = 0; guard < 100; ++guard) {
    QWidget* top = QApplication::activeModalWidget();
    if (top == nullptr) return;
    top->close();
  }
}

// Runs `act` on the next modal dialog of type T to come up, other than the
// one on top when the answer is armed, once it is the active window: keys
// and mnemonics reach a dialog only then, which on a busy machine can be a
// moment after it is shown.
template <class T>
void Answer(std::function<void(T*)> act, int timeoutMs = 10000) {
  const QPointer<QWidget> before = QApplication::activeModalWidget();
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [=]() {
    QWidget* top = QApplication::activeModalWidget();
    T* dialog = qobject_cast<T*>(top);
    if (dialog != nullptr && top != before.data() && dialog->isVisible() &&
        dialog->isActiveWindow()) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    } else if (clock->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
      Problems() << QString("no %1 came up; on top: %2")
                        .arg(T::staticMetaObject.className())
                        .arg(top != nullptr ? top->metaObject()->className() : "nothing");
      CloseAllModals();
    }
  });
  timer->start(5);
}

inline void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// Chooses item `index` in a drop-down list with the keyboard.
inline void Choose(QComboBox* box, int index) {
  QTest::keyClick(box, Qt::Key_Home);
  for (int i = 0; i < index; ++i) QTest::keyClick(box, Qt::Key_Down);
}

// Types a term into the editor's field and presses "Term hinzufügen...".
inline void AddTerm(TEditForm* editor, const QString& text) {
  QTest::keyClicks(editor->Edit1, text);
  Click(editor->AddTerm);
}

// Adds a function of `kind` and works in the dialog that opens at once; the
// dialog is closed with "Zurück/Ende..." afterwards.
inline void AddFunction(TEditForm* editor, int kind, std::function<void(TParamDialog*)> work) {
  Choose(editor->ComboBox1, kind);
  Answer<TParamDialog>([work](TParamDialog* dialog) {
    work(dialog);
    Click(dialog->BackBtn);
  });
  Click(editor->AddFunc);
}

// Presses a sub-sequence button and works in the nested editor, which is then
// closed with its close box.
inline void EditSequence(QAbstractButton* button, std::function<void(TEditForm*)> work) {
  Answer<TEditForm>([work](TEditForm* editor) {
    work(editor);
    editor->close();
  });
  Click(button);
}

void Outline(const TFormulaLine* line, int depth, QString& out);

// A sum or an integral with its bounds and " x + 5 " over "5".
inline std::function<void(TParamDialog*)> BoundedXPlus5Over5(const char* lower, const char* upper) {
  return [lower, upper](TParamDialog* dialog) {
    QTest::keyClicks(dialog->Edit1, lower);
    QTest::keyClicks(dialog->Edit2, upper);
    EditSequence(dialog->EditBtn, [](TEditForm* body) { AddTerm(body, " x + 5 "); });
    EditSequence(dialog->BitBtnXP1, [](TEditForm* lowerPart) { AddTerm(lowerPart, "5"); });
  };
}

inline void BuildPowerBase(TEditForm* base) {
  AddTerm(base, "( 4x ) * ");
  AddFunction(base, fkBruch, [](TParamDialog* fraction) {
    EditSequence(fraction->EditBtn, [](TEditForm* numerator) { AddTerm(numerator, " 2 + 5 "); });
    EditSequence(fraction->BitBtnXP1,
                 [](TEditForm* denominator) { AddTerm(denominator, " 3 + 5 "); });
  });
}

inline void BuildFirstIntegral(TParamDialog* integral) {
  QTest::keyClicks(integral->Edit1, "1");
  QTest::keyClicks(integral->Edit2, "10");
  EditSequence(integral->EditBtn, [](TEditForm* body) {
    AddFunction(body, fkPotenz, [](TParamDialog* power) {
      EditSequence(power->EditBtn, [](TEditForm* exponent) {
        AddTerm(exponent, "1 + ");
        AddFunction(exponent, fkSumme, BoundedXPlus5Over5("x=1", "3"));
      });
      EditSequence(power->BitBtnXP1, BuildPowerBase);
    });
  });
}

// Appends the start-up formula to the editor's sequence, typed and clicked
// as a user would.
inline void TypeSampleFormula(TEditForm* root) {
  AddTerm(root, "12 * 3 / 2 *");
  AddFunction(root, fkIntegral, BuildFirstIntegral);
  AddTerm(root, "+ 3 * ");
  AddFunction(root, fkIntegral, BoundedXPlus5Over5("1", "3"));
}

// One line per entry, indented by depth: kind and texts, then both
// sub-sequences, with "-" for an absent one. Two trees are alike when their
// outlines are.
inline void Outline(const TFormulaEntry& entry, int depth, QString& out) {
  out += QString(depth * 2, ' ') + QString("%1 %2 '%3' '%4'\n")
                                       .arg(entry.IsFunction)
                                       .arg(entry.Kind)
                                       .arg(ToQString(TextOf(entry.Text1)))
                                       .arg(ToQString(TextOf(entry.Text2)));
  if (entry.IsFunction == 1) {
    Outline(entry.First, depth + 1, out);
    Outline(entry.Second, depth + 1, out);
  }
}

inline void Outline(const TFormulaLine* line, int depth, QString& out) {
  if (line == nullptr) {
    out += QString(depth * 2, ' ') + "-\n";
    return;
  }
  for (std::uint32_t i = 0; i < line->Count(); ++i) Outline(*EntryAt(*line, i), depth, out);
}

template <class TPart>
QString Outline(const TPart& part) {
  QString out;
  Outline(part, 0, out);
  return out;
}

// A formula tree with its cursor variable and the start-up term editor,
// released at the end of the test.
struct TTestDocument {
  TEntryCursor CurrentEntry = nullptr;
  TFontDesc Font;
  TFormulaLine* RootLine = CreateLine(&CurrentEntry);
  TTermEditForm TermEditor{TEditorContext{&CurrentEntry, &Font, nullptr}};

  TTermEditForm* TermEditorPlace = &TermEditor;

  TEditorContext Context() { return TEditorContext{&CurrentEntry, &Font, &TermEditorPlace}; }

  TTestDocument() = default;
  TTestDocument(const TTestDocument&) = delete;
  TTestDocument& operator=(const TTestDocument&) = delete;
  ~TTestDocument() { freetheline(RootLine); }
};

// An entry list editor on a document's root line, its list filled, as the
// opener leaves it just before showing it.
struct TRootEditor {
  TTestDocument Document;
  TEditForm Editor{Document.Context()};

  explicit TRootEditor(std::initializer_list<const char16_t*> terms = {}) {
    for (const char16_t* text : terms) AppendTermEntry(Document.RootLine, text);
    Editor.LineRef = &Document.RootLine;
    Editor.Filllist();
  }
};

inline QStringList TermTexts(const TFormulaLine* line) {
  QStringList texts;
  for (std::uint32_t i = 0; i < line->Count(); ++i) {
    texts << ToQString(TextOf(EntryAt(*line, i)->Text1));
  }
  return texts;
}

// The rows of an entry list that are selected, top down.
inline QList<int> SelectedRows(const QTreeWidget* list) {
  QList<int> rows;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    if (list->topLevelItem(row)->isSelected()) rows << row;
  }
  return rows;
}

// Opens the editor of entry 0 of the root line the way the entry list editor
// does, and works in it.
template <class TDialog>
void OpenEntry(TTestDocument& document, std::function<void(TDialog*)> work) {
  TEditForm editor(document.Context());
  editor.LineRef = &document.RootLine;
  editor.Filllist();
  editor.ListView1->topLevelItem(0)->setSelected(true);
  Answer<TDialog>(std::move(work));
  editor.EditBtnClick();
}

}  // namespace DialogDriver
