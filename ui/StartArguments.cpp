#include "ui/StartArguments.h"

#include <QFileInfo>

const char* const kStartUsage =
    "Aufruf: quillmora [DATEI]\n"
    "  Ohne DATEI beginnt der Editor mit der Beispielformel.\n"
    "  DATEI: ein Quillmora-Dokument (.qmt) oder ein PNG- oder SVG-Bild mit Formel;\n"
    "  es wird geöffnet wie mit \"Öffnen...\". \"--\" vor DATEI erlaubt einen Namen mit\n"
    "  Strich am Anfang.\n";

TStartArguments ParseStartArguments(const QStringList& arguments) {
  QStringList files = arguments;
  const bool optionsEnded = !files.isEmpty() && files.first() == "--";
  if (optionsEnded) files.removeFirst();
  TStartArguments result;
  if (files.size() > 1 || (!optionsEnded && !files.isEmpty() && files.first().startsWith('-')) ||
      (files.size() == 1 && files.first().isEmpty())) {
    result.Valid = false;
  } else if (files.size() == 1) {
    // Kept absolute, so the caption and "Speichern" name the file the user meant.
    result.File = QFileInfo(files.first()).absoluteFilePath();
  }
  return result;
}
