#pragma once

#include <QString>
#include <QStringList>

// What the drive, folder and file lists need from the file system.
namespace app {

// Why the folder cannot be listed ("it does not exist", ...); empty when it can.
QString folderFault(const QString &path);

// The visible subfolders of `folder` (links to folders too), sorted by name,
// as the system gives their names (common/nativename.h).
QStringList subfolders(const QString &folder);

} // namespace app
