#include "outputpath.h"

#include "common/paths.h"

namespace convert {

QString outputPath(const QString &destination, const QString &sourceName, const QString &outext)
{
    const qsizetype dot = sourceName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? sourceName : sourceName.left(dot);
    return common::joinPath(destination, stem + QLatin1Char('.') + outext);
}

} // namespace convert
