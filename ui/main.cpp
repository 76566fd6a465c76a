// Program start: the application title, the windows in their fixed order,
// kept for the whole run, then the event loop until the main window closes.
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTranslator>
#include <atomic>
#include <cstdio>
#include <string>

#include "model/DynaArray.h"
#include "ui/AboutBoxUnit.h"
#include "ui/BetragEFUnit.h"
#include "ui/BruchEFUnit.h"
#include "ui/EditFUnit.h"
#include "ui/EditTermFUnit.h"
#include "ui/EventBoundary.h"
#include "ui/FixedDialog.h"
#include "ui/FocusRing.h"
#include "ui/IntegralEFUnit.h"
#include "ui/MainUnit.h"
#include "ui/PotenzEFUnit.h"
#include "ui/ProgramSettings.h"
#include "ui/StartArguments.h"
#include "ui/SummeEFUnit.h"
#include "ui/UserEFUinit.h"
#include "ui/WurzelEFUnit.h"

namespace {

// The standard dialogs speak German like the rest of the program, whatever
// the system's language.
void LoadGermanTranslations(QApplication& app, QTranslator& translator) {
  if (translator.load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(&translator);
  }
}

// Arrays grow on the reading thread too, and memory may run out in the middle
// of a paint: the message box opens on the GUI thread once the event loop
// is back, never from where the failure happened. Failures that come while
// one message waits are told by that one.
void ShowFailureLater(const std::string& message) {
  static std::atomic<bool> waiting{false};
  if (waiting.exchange(true)) return;
  auto shown = qScopeGuard([] { waiting = false; });
  const QString text = QString::fromStdString(message);
  QMetaObject::invokeMethod(
      qApp,
      [text] {
        const auto closed = qScopeGuard([] { waiting = false; });
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text,
                        QMessageBox::Ok);
        box.exec();
      },
      Qt::QueuedConnection);
  shown.dismiss();
}

}  // namespace

int main(int argc, char* argv[]) {
  TGuardedApplication app(argc, argv);
  KeepNoSettings();
  const TStartArguments start = ParseStartArguments(QApplication::arguments().mid(1));
  if (!start.Valid) {
    std::fputs(kStartUsage, stderr);
    return kStartUsageExit;
  }
  // The title also heads the system's own error messages. No display name is
  // set, so window titles stay exactly the captions.
  QApplication::setApplicationName("Quillmora Editor");
  // The desktop finds the menu entry, and with it the icon, by this name.
  QGuiApplication::setDesktopFileName("quillmora");
  QApplication::setWindowIcon(QIcon(":/quillmora.svg"));
  QApplication::setFont(TFixedDialog::InterfaceFont());
  // Set up with the application object already; named here so that it is
  // plain that every window has it.
  InstallFocusRing();
  QTranslator translator;
  LoadGermanTranslations(app, translator);
  SetAllocFailureReporter(ShowFailureLater);

  TMainForm MainForm;
  TEditForm EditForm(MainForm.EditorContext());
  TTermEditForm TermEditForm(MainForm.EditorContext());
  MainForm.SetTermEditor(&TermEditForm);
  TPotenzEForm PotenzEForm(MainForm.EditorContext());
  TBetragEForm BetragEForm(MainForm.EditorContext());
  TSummeEForm SummeEForm(MainForm.EditorContext());
  TUserEForm UserEForm(MainForm.EditorContext());
  TBruchEForm BruchEForm(MainForm.EditorContext());
  TWurzelEForm WurzelEForm(MainForm.EditorContext());
  TIntegralEForm IntegralEForm(MainForm.EditorContext());
  TAboutBox AboutBox;
  MainForm.SetDialogs(&EditForm, &AboutBox);

  MainForm.show();
  if (!start.File.isEmpty()) MainForm.OpenFromOutside(start.File);
  return app.exec();
}
