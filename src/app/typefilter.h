#pragma once

#include <QSizeF>
#include <QString>
#include <array>

#include "common/filetypes.h"
#include "convert/sourcefiles.h"

// The rules behind the source file-type filter and the window's resize,
// kept apart from the widgets so they can be checked on their own.
namespace app {

using convert::TypeTicks;

// The boxes that start-up ticks for a stored pattern: those whose
// three-letter extension occurs anywhere in it, in exactly that letter case.
TypeTicks restoredTicks(const QString &pattern);

// The stored pattern (organisation and application "Kestrune", group
// "stashes", key "filetypes"), taken unchanged; the default when none is
// stored.
QString readStoredTypePattern();
// Writes the pattern to the store at once. False when the store could not
// be written; `storeFile` then names the file.
bool storeTypePattern(const QString &pattern, QString *storeFile = nullptr);

// The tab control's new size in twips for the window's outer size in twips:
// width W - 100 when W > 5, height H - 700 when H > 5. A dimension keeps its
// current value when the test fails or the new value would not be positive.
QSizeF tabSizeForWindow(QSizeF outer, QSizeF current);

} // namespace app
