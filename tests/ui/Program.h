// The main window with the start-up dialogs it opens, as the program makes
// them, for tests that go from the main window into the editors.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <memory>

#include "tests/ui/DialogDriver.h"
#include "ui/EditFUnit.h"
#include "ui/EditTermFUnit.h"
#include "ui/MainUnit.h"
#include "ui/ProgramSettings.h"

namespace DialogDriver {

struct TProgram {
  TMainForm MainForm;
  TEditForm EditForm{MainForm.EditorContext()};
  TTermEditForm TermEditForm{MainForm.EditorContext()};

  TProgram() {
    KeepNoSettings();
    MainForm.SetTermEditor(&TermEditForm);
    MainForm.SetDialogs(&EditForm, nullptr);
  }
};

// The picture once the window has painted it; a picture that changes its size
// is painted a second time from the event loop.
inline QImage SettledPicture(const TMainForm& main) {
  for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
  return main.FormulaBitmap.Image().copy();
}

// A test case class whose every case runs the program afresh: init starts
// it, cleanup ends it.
class TProgramTest : public QObject {
 protected:
  TMainForm& Main() { return program_->MainForm; }

  // The main window shown and active, its first picture painted.
  void StartProgram() {
    program_ = std::make_unique<TProgram>();
    Main().show();
    Main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&Main()));
    SettledPicture(Main());
  }

  // Closes the program without the save prompt; what went wrong inside the
  // answers fails the test.
  void EndProgram() {
    Main().Changed = false;
    program_.reset();
    QM_VERIFY_NO_PROBLEMS();
  }

 private:
  std::unique_ptr<TProgram> program_;
};

// Keys go where the focus is, as they do for a user.
inline void PressKeys(TMainForm& main, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  // The offscreen platform leaves a closed dialog the active window, with
  // the focus in it; on a desktop both come back to the main window.
  if (QApplication::activeWindow() != &main) QApplication::setActiveWindow(&main);
  QVERIFY(QTest::qWaitForWindowActive(&main));
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

}  // namespace DialogDriver
