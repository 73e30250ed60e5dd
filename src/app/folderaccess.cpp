#include "folderaccess.h"

#include "common/nativename.h"
#include "convert/sourcefiles.h"
#include "imaging/fileaccess.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

QString folderFault(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("no folder is named");
    const QByteArray name = common::nativeName(path);
    struct stat status {};
    if (stat(name.constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringLiteral("it does not exist");
        return errno == EACCES ? QStringLiteral("permission denied") : imaging::detail::systemReason(errno);
    }
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("it is not a folder");
    if (access(name.constData(), R_OK | X_OK) != 0)
        return QStringLiteral("permission denied");
    return {};
}

QStringList subfolders(const QString &folder)
{
    QList<convert::FolderEntry> entries;
    QString error;
    convert::listFolder(folder, &entries, &error);
    QStringList names;
    for (const convert::FolderEntry &entry : std::as_const(entries)) {
        if (entry.kind == convert::EntryKind::Folder)
            names.append(entry.name);
    }
    return names;
}

} // namespace app
