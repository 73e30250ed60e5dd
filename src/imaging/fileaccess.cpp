#include "fileaccess.h"

#include "common/nativename.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging::detail {

QString systemReason(const QString &text)
{
    if (text.contains(QLatin1String("No space left"), Qt::CaseInsensitive))
        return QStringLiteral("no space left on the device");
    if (text.contains(QLatin1String("File too large"), Qt::CaseInsensitive))
        return QStringLiteral("the file would be larger than the system allows");
    if (text.contains(QLatin1String("Permission denied"), Qt::CaseInsensitive))
        return QStringLiteral("permission is denied");
    if (text.contains(QLatin1String("Read-only file system"), Qt::CaseInsensitive))
        return QStringLiteral("the device is read-only");
    if (text.isEmpty() || text.startsWith(QLatin1String("Unknown error"), Qt::CaseInsensitive))
        return QStringLiteral("the system reported an unknown error");
    return text.left(1).toLower() + text.mid(1);
}

QString systemReason(int error)
{
    return systemReason(QString::fromLocal8Bit(std::strerror(error)));
}

QString fileReason(const QFileDevice &file)
{
    return systemReason(file.errorString());
}

QString fileKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISREG(mode))
        return QStringLiteral("a file");
    return QStringLiteral("a special file");
}

namespace {

QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a picture file");
    return QStringLiteral("it is %1, not a file").arg(fileKind(mode));
}

// A short name that cannot clash with the user's files in practice, so that
// a name which fits the file system still fits once it is hidden.
QByteArray hiddenName()
{
    QByteArray name = ".kestrune-";
    for (int i = 0; i < 6; ++i)
        name += "abcdefghijklmnopqrstuvwxyz0123456789"[QRandomGenerator::global()->bounded(36)];
    return name;
}

int createHidden(int folder, QByteArray *name)
{
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        *name = hiddenName();
        // Created with the usual permissions, less the user's mask.
        fd = ::openat(folder, name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    return fd;
}

// Gives the unnamed file `fd` the name `name` in `folder`; an existing name,
// link or not, is refused (EEXIST), never followed.
int linkUnnamed(int fd, int folder, const QByteArray &name)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return -1;
    // Without /proc, a process allowed to may link the descriptor itself.
    return ::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH);
}

int writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += n;
    }
    return 0;
}

} // namespace

int openForReading(const QString &path, QString *reason)
{
    const QByteArray native = common::nativeName(path);
    struct stat status {};
    // Looked at before opening, since opening a device may act on it.
    if (::stat(native.constData(), &status) != 0) {
        *reason = errno == ENOENT ? QStringLiteral("the file does not exist") : systemReason(errno);
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        *reason = notAFile(status.st_mode);
        return -1;
    }
    // Not blocking, in case the name was changed to a named pipe meanwhile.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *reason = errno == ENOENT ? QStringLiteral("the file does not exist") : systemReason(errno);
        return -1;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *reason = S_ISREG(status.st_mode) ? systemReason(errno) : notAFile(status.st_mode);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

FileContent::FileContent(QFile &file)
{
    if (file.size() > 0) {
        if (uchar *mapped = file.map(0, file.size())) {
            m_view = QByteArrayView(mapped, file.size());
            return;
        }
    }
    file.seek(0);
    m_read = file.readAll();
    m_view = m_read;
}

OutputFile::OutputFile(const QString &path)
    : m_shown(common::shownName(path))
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
    m_name = common::nativeName(path.mid(slash + 1));
    // The folder may be a link: the user chose it. Only the last name is ours.
    m_folder = ::open(common::nativeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_folder >= 0)
        return;
    if (errno == ENOENT)
        m_folderReason = QStringLiteral("the folder %1 does not exist").arg(common::shownName(folder));
    else if (errno == ENOTDIR)
        m_folderReason = QStringLiteral("%1 is not a folder").arg(common::shownName(folder));
    else
        m_folderReason = systemReason(errno);
}

OutputFile::~OutputFile()
{
    if (m_folder >= 0)
        ::close(m_folder);
}

QString OutputFile::refusal(bool *whole) const
{
    *whole = false;
    if (!m_folderReason.isEmpty())
        return m_folderReason;
    if (m_name.isEmpty() || m_name == "." || m_name == "..")
        return QStringLiteral("it names no file");
    return nameRefusal(whole);
}

QString OutputFile::nameRefusal(bool *whole) const
{
    *whole = false;
    struct stat status {};
    if (::fstatat(m_folder, m_name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? QString() : systemReason(errno);
    if (S_ISREG(status.st_mode))
        return {};
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("a folder of that name is in the way");
    *whole = true;
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("%1 is a symbolic link; it was left alone.").arg(m_shown);
    return QStringLiteral("%1 is %2, not a file; it was left alone.").arg(m_shown, fileKind(status.st_mode));
}

QString OutputFile::write(QByteArrayView bytes, bool *whole)
{
    if (const QString refused = refusal(whole); !refused.isEmpty())
        return refused;
    QByteArray temporary;
    bool named = false;
    // Created with the usual permissions, less the user's mask.
    int fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        named = true;
        fd = createHidden(m_folder, &temporary);
    }
    if (fd < 0)
        return systemReason(errno);
    if (const int error = writeAll(fd, bytes); error != 0) {
        if (named)
            ::unlinkat(m_folder, temporary.constData(), 0);
        ::close(fd);
        return systemReason(error);
    }
    const QString reason = link(fd, named, temporary, whole);
    ::close(fd);
    return reason;
}

// Puts the complete file `fd` (unnamed, or named `temporary`) at the name.
QString OutputFile::link(int fd, bool named, const QByteArray &temporary, bool *whole)
{
    QByteArray hidden = temporary;
    const auto discard = [&] {
        if (!hidden.isEmpty())
            ::unlinkat(m_folder, hidden.constData(), 0);
    };
    const auto failed = [&](int error) {
        discard();
        return systemReason(error);
    };

    // A new file: the name is taken only while it is free.
    int error = 0;
    if (!named) {
        if (linkUnnamed(fd, m_folder, m_name) == 0)
            return {};
        error = errno;
    } else {
        if (::renameat2(m_folder, temporary.constData(), m_folder, m_name.constData(), RENAME_NOREPLACE) == 0)
            return {};
        error = errno;
        // A file system without the flag: renamed once the name is seen free.
        if (error == EINVAL || error == ENOSYS) {
            struct stat status {};
            if (::fstatat(m_folder, m_name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0)
                error = EEXIST;
            else if (::renameat(m_folder, temporary.constData(), m_folder, m_name.constData()) == 0)
                return {};
            else
                error = errno;
        }
    }
    if (error != EEXIST)
        return failed(error);

    // An earlier file: replaced only if it is a regular file, by a copy that
    // is on the disk before it takes the name.
    if (const QString refused = nameRefusal(whole); !refused.isEmpty()) {
        discard();
        return refused;
    }
    struct stat earlier {};
    if (::fstatat(m_folder, m_name.constData(), &earlier, AT_SYMLINK_NOFOLLOW) == 0)
        ::fchmod(fd, earlier.st_mode & 07777);
    if (::fdatasync(fd) != 0)
        return failed(errno);
    if (!named) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            hidden = hiddenName();
            if (linkUnnamed(fd, m_folder, hidden) == 0)
                break;
            const int linkError = errno;
            hidden.clear();
            if (linkError != EEXIST)
                return failed(linkError);
        }
        if (hidden.isEmpty())
            return failed(EEXIST);
    }
    // A link put at the name since the check above would be replaced here,
    // never followed: what it leads to is safe either way.
    if (::renameat(m_folder, hidden.constData(), m_folder, m_name.constData()) != 0)
        return failed(errno);
    return {};
}

QString writeWhole(const QString &path, QByteArrayView bytes)
{
    bool whole = false;
    return OutputFile(path).write(bytes, &whole);
}

} // namespace imaging::detail
