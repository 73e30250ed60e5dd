#pragma once

#include "common/filetypes.h"

#include <QString>
#include <QStringList>
#include <array>

// Which files of a folder a conversion takes: the type boxes' pattern and the
// file list's matching, shared by the window and the command line.
namespace convert {

// One flag per type, in type order: true for a ticked type.
using TypeTicks = std::array<bool, common::kFileTypeCount>;

// "*.jpg;*.bmp" for the ticked types in type order, "*.*" when none is.
QString buildTypePattern(const TypeTicks &ticks);

// Every type ticked: the pattern a fresh start lists with.
QString defaultTypePattern();

// True when `name` matches one of the ';'-separated wildcards of `pattern`,
// in any letter case. As on the desktop the pattern came from, a wildcard
// ending in ".*" also matches names without any dot, so "*.*" matches all.
bool matchesPattern(const QString &name, const QString &pattern);

// The plain, visible files of `folder` matching `pattern`, as bare names
// sorted by name without regard to letter case; empty when it cannot be read.
QStringList matchingFiles(const QString &folder, const QString &pattern);

} // namespace convert
