#pragma once

#include "convert/typepattern.h"

#include <QString>
#include <QStringList>

// Which files of a folder a conversion takes, shared by the window and the
// command line. The type pattern itself, and the callers' TypeTicks, are
// typepattern.h's.
namespace convert {

// The plain, visible files of `folder` matching the type pattern `pattern`,
// as bare names sorted by name without regard to letter case; empty when it
// cannot be read.
QStringList matchingFiles(const QString &folder, const QString &pattern);

} // namespace convert
