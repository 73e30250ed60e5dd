#pragma once

#include <QString>
#include <QStringList>

// What the drive, folder and file lists need from the file system.
namespace app {

// Why the folder cannot be listed ("it does not exist", ...); empty when it can.
QString folderFault(const QString &path);

// True when `name` matches one of the ';'-separated wildcards of `pattern`,
// in any letter case. As on the desktop the pattern came from, a wildcard
// ending in ".*" also matches names without any dot, so "*.*" matches all.
bool matchesPattern(const QString &name, const QString &pattern);

// The plain, visible files of `folder` matching `pattern`, sorted by name.
QStringList matchingFiles(const QString &folder, const QString &pattern);

// The visible subfolders of `folder`, sorted by name.
QStringList subfolders(const QString &folder);

} // namespace app
