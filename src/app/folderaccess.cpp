#include "folderaccess.h"

#include <QDir>
#include <QFileInfo>

namespace app {

QString folderFault(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("no folder is named");
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("it does not exist");
    if (!info.isDir())
        return QStringLiteral("it is not a folder");
    if (!info.isReadable() || !info.isExecutable())
        return QStringLiteral("permission denied");
    return {};
}

QStringList subfolders(const QString &folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                  QDir::Name | QDir::IgnoreCase);
}

} // namespace app
