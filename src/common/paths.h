#pragma once

#include <QString>

namespace common {

// folder + one separator + name, whatever the folder ends with: the file
// lists hand over bare names and the folder lists bare paths.
QString joinPath(const QString &folder, const QString &name);

// The fixed places of the rollover builder. On Windows these are c:\parse and
// the working plate files beside it; elsewhere the output folder is `parse` in
// the user's home folder and the plates live in the program's data folder, so
// emptying the output folder never touches them. Messages name these paths.
// The pieces' folder and the page lie in `output`: the output folder unless
// the command line names another.
QString outputFolder();                                       // ~/parse
QString imagesFolder(const QString &output = outputFolder()); // ~/parse/images
QString pagePath(const QString &output = outputFolder());     // ~/parse/contents.htm
QString platePath(int plate);                                 // 0 back plate, 1 highlight, 2 selected

} // namespace common
