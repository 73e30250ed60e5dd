#pragma once

#include "imaging/formats.h"

#include <QString>
#include <array>

// The type boxes' pattern: the ';'-separated wildcards that pick a folder's
// source files ("*.jpg;*.bmp"), built from the ticked boxes, stored between
// runs, turned back into ticks at start-up and matched against file names.
namespace convert {

// One flag per type, in type order: true for a ticked type.
using TypeTicks = std::array<bool, imaging::kFileTypeCount>;

// "*.jpg;*.bmp" for the ticked types in type order, "*.*" when none is.
QString buildTypePattern(const TypeTicks &ticks);

// Every type ticked: the pattern a fresh start lists with.
QString defaultTypePattern();

// "*.webp;*.gif" for `types` in type order, HEIC under both its extensions;
// "*.*" for none. Any of the types read, not only the window's twelve.
QString typesPattern(const QList<imaging::FileType> &types);
// Every type read: the window's twelve and the web's, which the command line
// lists from folders unless told otherwise.
QString allTypesPattern();

// The boxes that start-up ticks for a stored pattern: those whose three-letter
// extension occurs anywhere in it, in exactly that letter case ("*.JPG" ticks
// nothing, "tiff" ticks TIF).
TypeTicks restoredTicks(const QString &pattern);

// True when `name` matches one of the ';'-separated wildcards of `pattern`,
// in any letter case. As on the desktop the pattern came from, a wildcard
// ending in ".*" also matches names without any dot, so "*.*" matches all.
bool matchesPattern(const QString &name, const QString &pattern);

// The stored pattern (organisation and application "Kestrune", group
// "stashes", key "filetypes"), taken unchanged, even when it is no pattern
// this program would build; defaultTypePattern() when none is stored.
QString readStoredTypePattern();
// Writes the pattern to the store at once. False when the store could not
// be written; `storeFile` then names the file.
bool storeTypePattern(const QString &pattern, QString *storeFile = nullptr);

} // namespace convert
