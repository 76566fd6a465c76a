// The main window with the start-up dialogs it opens, as the program makes
// them, for tests that go from the main window into the editors.
#pragma once

#include <QCoreApplication>
#include <QImage>

#include "ui/EditFUnit.h"
#include "ui/EditTermFUnit.h"
#include "ui/MainUnit.h"

namespace DialogDriver {

struct TProgram {
  TMainForm MainForm;
  TEditForm EditForm{MainForm.EditorContext()};
  TTermEditForm TermEditForm{MainForm.EditorContext()};

  TProgram() {
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

}  // namespace DialogDriver
