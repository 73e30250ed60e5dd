#pragma once

#include <QList>
#include <QSize>
#include <QString>

namespace rollover {

// The rollover page: one linked back-plate piece per entry, swapped for the
// highlight piece of the same number while the pointer is over it. Lines are
// separated by CR LF, with no line end after "</html>". `pieceSizes` holds the
// pixel size of each back-plate piece, one entry per piece (at least one);
// the header goes into the piece references exactly as it stands.
QString pageText(const QString &header, const QList<QSize> &pieceSizes);

} // namespace rollover
