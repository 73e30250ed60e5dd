#include "fileaccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

namespace {

// What became of writing a file that did not exist.
enum class New { Written, Failed, Appeared };

// Writes a file where none was: to a temporary name, then renamed into place
// only if the name is still free, so that nothing is ever replaced here.
// Waiting for the disk (fdatasync) costs more than encoding a small JPEG, and
// guards no earlier file.
New writeNew(const QString &path, QByteArrayView bytes, QString *reason)
{
#ifdef RENAME_NOREPLACE
    const QFileInfo target(path);
    int fd = -1;
    QByteArray temporary;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = QFile::encodeName(target.absoluteDir().filePath(
            QStringLiteral(".%1.%2.part").arg(target.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))));
        // Created with the usual permissions, less the user's mask.
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *reason = systemReason(errno);
        return New::Failed;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    const int writeError = done == bytes.size() ? 0 : errno;
    const bool closed = ::close(fd) == 0;
    if (writeError != 0 || !closed) {
        *reason = systemReason(writeError != 0 ? writeError : errno);
        ::unlink(temporary.constData());
        return New::Failed;
    }
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, QFile::encodeName(path).constData(),
                    RENAME_NOREPLACE) == 0)
        return New::Written;
    const int renameError = errno;
    ::unlink(temporary.constData());
    if (renameError == EEXIST)
        return New::Appeared;
    // A file system without the flag: the careful way below decides.
    if (renameError == EINVAL || renameError == ENOSYS)
        return New::Appeared;
    *reason = systemReason(renameError);
    return New::Failed;
#else
    Q_UNUSED(path);
    Q_UNUSED(bytes);
    Q_UNUSED(reason);
    return New::Appeared;
#endif
}

} // namespace

QString writeWhole(const QString &path, QByteArrayView bytes)
{
    if (!QFileInfo::exists(path)) {
        QString reason;
        switch (writeNew(path, bytes, &reason)) {
        case New::Written:
            return {};
        case New::Failed:
            return reason;
        case New::Appeared:
            break;
        }
    }
    QSaveFile file(path);
    // Unbuffered, so that a full disk is reported by the write that meets it.
    // A write that stops part-way keeps no reason; the next one, which
    // writes nothing, gives the system's.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fileReason(file);
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            const QString reason = fileReason(file);
            file.cancelWriting();
            return reason;
        }
        done += written;
    }
    if (!file.commit())
        return fileReason(file);
    return {};
}

} // namespace imaging::detail
