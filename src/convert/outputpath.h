#pragma once

#include <QString>

namespace convert {

// Where a converted file goes: the destination folder, one separator, and the
// source's bare name with its extension (the text after the last dot)
// replaced by `outext`, kept in the letter case it is given ("jpg" before any
// format button is clicked, the button's caption after). A name without a dot
// gets a dot and `outext`. For a three-letter extension this is the same as
// dropping the name's last three characters, without turning scan.jpeg into
// scan.jTIF.
QString outputPath(const QString &destination, const QString &sourceName, const QString &outext);

} // namespace convert
