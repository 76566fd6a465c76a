// The editor's command line: nothing, or the one file to open at start.
#pragma once

#include <QString>
#include <QStringList>

// The short usage text shown on wrong use, in German like the rest.
extern const char* const kStartUsage;
// Exit status after wrong use.
inline constexpr int kStartUsageExit = 2;

struct TStartArguments {
  bool Valid = true;
  QString File;  // empty: start with the sample formula only
};

// `arguments` are those Qt left after taking its own (-platform and the
// like), without the program name. One argument is a file; "--" before it
// lets a name start with a dash. Anything else is wrong use.
TStartArguments ParseStartArguments(const QStringList& arguments);
