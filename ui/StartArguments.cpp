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
  if (files.isEmpty()) return {};
  const QString& file = files.first();
  if (files.size() > 1 || file.isEmpty() || (!optionsEnded && file.startsWith('-'))) {
    return {.Valid = false, .File = {}};
  }
  // Kept absolute, so the caption and "Speichern" name the file the user meant.
  return {.Valid = true, .File = QFileInfo(file).absoluteFilePath()};
}
