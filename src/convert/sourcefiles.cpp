#include "sourcefiles.h"

#include "common/nativename.h"
#include "common/paths.h"
#include "imaging/fileaccess.h"

#include <QDir>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace convert {

namespace {

struct Judgement {
    EntryKind kind;
    QString reason;
    bool link = false;
};

Judgement byMode(mode_t mode, bool throughLink)
{
    if (S_ISREG(mode))
        return {EntryKind::File, {}, throughLink};
    if (S_ISDIR(mode))
        return {EntryKind::Folder, {}, throughLink};
    return {EntryKind::Other,
            (throughLink ? QStringLiteral("is a symbolic link to ") : QStringLiteral("is "))
                + imaging::detail::fileKind(mode) + QStringLiteral(", not a file"),
            throughLink};
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
        return {EntryKind::Other,
                errno == ENOENT ? QStringLiteral("is a symbolic link to nothing")
                                : QStringLiteral("is a symbolic link that cannot be followed: ")
                                      + imaging::detail::systemReason(errno),
                true};
    }
    return byMode(status.st_mode, true);
}

bool byName(const FolderEntry &a, const FolderEntry &b)
{
    const int order = a.name.compare(b.name, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.name < b.name;
}

} // namespace

bool listFolder(const QString &folder, QList<FolderEntry> *entries, QString *error, qsizetype *hidden)
{
    entries->clear();
    DIR *dir = opendir(common::nativeName(folder).constData());
    if (!dir) {
        *error = imaging::detail::systemReason(errno);
        return false;
    }
    if (hidden)
        *hidden = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            const bool self = std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0;
            if (hidden && !self)
                ++*hidden;
            continue;
        }
        const Judgement judgement = judge(dirfd(dir), entry->d_name, entry->d_type);
        entries->append({common::nameFromNative(entry->d_name), judgement.kind, judgement.reason, judgement.link});
    }
    closedir(dir);
    std::sort(entries->begin(), entries->end(), byName);
    error->clear();
    return true;
}

LeftOutCounts &LeftOutCounts::operator+=(const LeftOutCounts &other)
{
    hidden += other.hidden;
    subfolders += other.subfolders;
    folderLinks += other.folderLinks;
    otherTypes += other.otherTypes;
    notFiles += other.notFiles;
    unreadable += other.unreadable;
    outputFolders += other.outputFolders;
    return *this;
}

namespace {

using FolderId = std::pair<dev_t, ino_t>;

struct Walk {
    QString root;
    QString pattern;
    bool recursive = false;
    QSet<FolderId> visited; // the folders listed so far
    std::optional<FolderId> output;
};

// Adds the entries of the folder `relative` below the walk's root ("" for
// the root itself) to `listing`.
void listInto(Walk &walk, const QString &relative, SourceListing &listing)
{
    const QString &root = walk.root;
    const QString folder = relative.isEmpty() ? root : common::joinPath(root, relative);
    const auto inside = [&](const QString &name) { return relative.isEmpty() ? name : relative + QLatin1Char('/') + name; };
    QList<FolderEntry> entries;
    QString error;
    qsizetype hidden = 0;
    if (!listFolder(folder, &entries, &error, &hidden)) {
        if (relative.isEmpty()) {
            listing.error = error;
        } else {
            listing.leftOut.append({folder, QStringLiteral("is a folder that cannot be read: ") + error});
            ++listing.counts.unreadable;
        }
        return;
    }
    listing.counts.hidden += hidden;
    QStringList subfolders;
    for (const FolderEntry &entry : std::as_const(entries)) {
        if (entry.kind == EntryKind::Folder) {
            if (entry.link)
                ++listing.counts.folderLinks;
            else if (walk.recursive)
                subfolders.append(inside(entry.name));
            else
                ++listing.counts.subfolders;
        } else if (!matchesPattern(entry.name, walk.pattern)) {
            ++listing.counts.otherTypes;
        } else if (entry.kind == EntryKind::File) {
            listing.names.append(inside(entry.name));
        } else {
            listing.leftOut.append({common::joinPath(root, inside(entry.name)), entry.reason});
            ++listing.counts.notFiles;
        }
    }
    for (const QString &subfolder : std::as_const(subfolders)) {
        struct stat status {};
        const bool known = ::lstat(common::nativeName(common::joinPath(root, subfolder)).constData(), &status) == 0;
        const FolderId id{status.st_dev, status.st_ino};
        if (known && walk.output == id) {
            ++listing.counts.outputFolders;
            continue;
        }
        // A folder mounted inside itself would be listed without end.
        if (known && walk.visited.contains(id)) {
            ++listing.counts.subfolders;
            continue;
        }
        if (known)
            walk.visited.insert(id);
        listInto(walk, subfolder, listing);
    }
}

std::optional<FolderId> folderId(const QString &path)
{
    struct stat status {};
    if (path.isEmpty() || ::stat(common::nativeName(path).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;
    return FolderId{status.st_dev, status.st_ino};
}

} // namespace

SourceListing listSources(const QString &folder, const QString &pattern, bool recursive, const QString &outputFolder)
{
    SourceListing listing;
    Walk walk{folder, pattern, recursive, {}, folderId(outputFolder)};
    if (const std::optional<FolderId> root = folderId(folder))
        walk.visited.insert(*root);
    listInto(walk, {}, listing);
    return listing;
}

QStringList matchingFiles(const QString &folder, const QString &pattern)
{
    return listSources(folder, pattern).names;
}

QString leftOutNames(const QList<LeftOut> &leftOut)
{
    QStringList each;
    for (const LeftOut &file : leftOut)
        each.append(common::shownName(file.path) + QLatin1Char(' ') + file.reason);
    return each.join(QStringLiteral("; "));
}

QString leftOutSentence(const QList<LeftOut> &leftOut)
{
    if (leftOut.isEmpty())
        return {};
    const QString count = leftOut.size() == 1 ? QStringLiteral("1 file was left out: ")
                                              : QStringLiteral("%1 files were left out: ").arg(leftOut.size());
    return count + leftOutNames(leftOut) + QLatin1Char('.');
}

QString leftOutCountText(const LeftOutCounts &counts)
{
    QStringList reasons;
    const auto say = [&](qsizetype count, const char *one, const char *many) {
        if (count > 0)
            reasons.append(QString::fromLatin1(count == 1 ? one : many).arg(count));
    };
    say(counts.otherTypes, "%1 of another type", "%1 of other types");
    say(counts.hidden, "%1 hidden", "%1 hidden");
    say(counts.subfolders, "%1 subfolder", "%1 subfolders");
    say(counts.folderLinks, "%1 link to a folder", "%1 links to folders");
    say(counts.notFiles, "%1 not a file", "%1 not files");
    say(counts.unreadable, "%1 unreadable folder", "%1 unreadable folders");
    say(counts.outputFolders, "%1 output folder", "%1 output folders");
    if (reasons.isEmpty())
        return {};
    return QStringLiteral("%1 left out: ").arg(counts.total()) + reasons.join(QStringLiteral(", "));
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
