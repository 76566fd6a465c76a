#include "ui/ProgramSettings.h"

#include <QSettings>

// Qt's file and colour dialogs would keep folders, history, view mode and
// custom colours in QtProject.conf under the user's configuration folder.
// Their settings go below /dev/null instead, where no file can be read or made.
void KeepNoSettings() {
  for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
      QSettings::setPath(format, scope, "/dev/null");
    }
  }
}
