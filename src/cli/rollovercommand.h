#pragma once

#include <QStringList>

namespace cli {

// `kestrune rollover NORMAL HIGHLIGHT SELECTED --cuts ROWS|auto --out DIR`:
// the window's "Generate JPGS and Scripts" over three picture files, into a
// new or empty folder, and returns the exit status. `arguments` are the
// application's: the program, "rollover", then the command's own.
int runRollover(const QStringList &arguments);

} // namespace cli
