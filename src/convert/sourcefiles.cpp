#include "sourcefiles.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "imaging/fileaccess.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace convert {

namespace {

struct Judgement {
    EntryKind kind;
    QString reason;
};

Judgement byMode(mode_t mode, bool throughLink)
{
    if (S_ISREG(mode))
        return {EntryKind::File, {}};
    if (S_ISDIR(mode))
        return {EntryKind::Folder, {}};
    return {EntryKind::Other, (throughLink ? QStringLiteral("is a symbolic link to ") : QStringLiteral("is "))
                                  + imaging::detail::fileKind(mode) + QStringLiteral(", not a file")};
}

// `name` relative to the folder `folder` (a descriptor, or AT_FDCWD). Only a
// link or an entry whose type the folder does not record costs a stat; the
// file itself is never opened, so a named pipe cannot block the listing.
Judgement judge(int folder, const char *name, unsigned char type)
{
    switch (type) {
    case DT_REG: return byMode(S_IFREG, false);
    case DT_DIR: return byMode(S_IFDIR, false);
    case DT_FIFO: return byMode(S_IFIFO, false);
    case DT_SOCK: return byMode(S_IFSOCK, false);
    case DT_CHR: return byMode(S_IFCHR, false);
    case DT_BLK: return byMode(S_IFBLK, false);
    default: break;
    }
    struct stat status {};
    if (fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return {EntryKind::Other, QStringLiteral("does not exist")};
        return {EntryKind::Other, QStringLiteral("cannot be examined: ") + imaging::detail::systemReason(errno)};
    }
    if (!S_ISLNK(status.st_mode))
        return byMode(status.st_mode, false);
    if (fstatat(folder, name, &status, 0) != 0) {
        return {EntryKind::Other, errno == ENOENT ? QStringLiteral("is a symbolic link to nothing")
                                                  : QStringLiteral("is a symbolic link that cannot be followed: ")
                                                        + imaging::detail::systemReason(errno)};
    }
    return byMode(status.st_mode, true);
}

bool byName(const FolderEntry &a, const FolderEntry &b)
{
    const int order = a.name.compare(b.name, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.name < b.name;
}

} // namespace

bool listFolder(const QString &folder, QList<FolderEntry> *entries, QString *error)
{
    entries->clear();
    DIR *dir = opendir(common::nativeName(folder).constData());
    if (!dir) {
        *error = imaging::detail::systemReason(errno);
        return false;
    }
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const Judgement judgement = judge(dirfd(dir), entry->d_name, entry->d_type);
        entries->append({common::nameFromNative(entry->d_name), judgement.kind, judgement.reason});
    }
    closedir(dir);
    std::sort(entries->begin(), entries->end(), byName);
    error->clear();
    return true;
}

SourceListing listSources(const QString &folder, const QString &pattern)
{
    SourceListing listing;
    QList<FolderEntry> entries;
    if (!listFolder(folder, &entries, &listing.error))
        return listing;
    for (const FolderEntry &entry : std::as_const(entries)) {
        if (entry.kind == EntryKind::Folder || !matchesPattern(entry.name, pattern))
            continue;
        if (entry.kind == EntryKind::File)
            listing.names.append(entry.name);
        else
            listing.leftOut.append({common::joinPath(folder, entry.name), entry.reason});
    }
    return listing;
}

QStringList matchingFiles(const QString &folder, const QString &pattern)
{
    return listSources(folder, pattern).names;
}

QString leftOutSentence(const QList<LeftOut> &leftOut)
{
    if (leftOut.isEmpty())
        return {};
    QStringList each;
    for (const LeftOut &file : leftOut)
        each.append(common::shownName(file.path) + QLatin1Char(' ') + file.reason);
    const QString count = leftOut.size() == 1 ? QStringLiteral("1 file was left out: ")
                                              : QStringLiteral("%1 files were left out: ").arg(leftOut.size());
    return count + each.join(QStringLiteral("; ")) + QLatin1Char('.');
}

EntryKind entryKind(const QString &path, QString *reason)
{
    const Judgement judgement = judge(AT_FDCWD, common::nativeName(path).constData(), DT_UNKNOWN);
    if (reason)
        *reason = judgement.reason;
    return judgement.kind;
}

QString absolutePath(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    QByteArray current(4096, '\0');
    while (!getcwd(current.data(), size_t(current.size()))) {
        if (errno != ERANGE)
            return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + path);
        current.resize(current.size() * 2);
    }
    return QDir::cleanPath(common::nameFromNative(current.constData()) + QLatin1Char('/') + path);
}

} // namespace convert
