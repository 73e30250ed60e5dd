#pragma once

#include <QStringList>

namespace cli {

// `kestrune convert [options] FILE_OR_FOLDER...`: converts with the batch
// engine by the window's rules and returns the exit status. `arguments` are
// the application's: the program, "convert", then the command's own. Needs
// an application object and runs its event loop.
int runConvert(const QStringList &arguments);

} // namespace cli
