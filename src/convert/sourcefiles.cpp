#include "sourcefiles.h"

#include <QDir>

namespace convert {

QStringList matchingFiles(const QString &folder, const QString &pattern)
{
    const QStringList all = QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    QStringList matching;
    for (const QString &name : all) {
        if (matchesPattern(name, pattern))
            matching.append(name);
    }
    return matching;
}

} // namespace convert
