#include "paths.h"

#include <QDir>
#include <QStandardPaths>

namespace common {

QString joinPath(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

#ifdef Q_OS_WIN
QString outputFolder() { return QStringLiteral("c:/parse"); }
static QString plateFolder() { return QStringLiteral("c:"); }
#else
QString outputFolder() { return joinPath(QDir::homePath(), QStringLiteral("parse")); }
static QString plateFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}
#endif

QString imagesFolder(const QString &output) { return joinPath(output, QStringLiteral("images")); }

QString pagePath(const QString &output) { return joinPath(output, QStringLiteral("contents.htm")); }

QString platePath(int plate)
{
    static const char *const names[] = {"backplate.bmp", "highlight.bmp", "selected.bmp"};
    Q_ASSERT(plate >= 0 && plate < 3);
    return joinPath(plateFolder(), QLatin1String(names[plate]));
}

} // namespace common
