#include "filereasons.h"

#include <QSaveFile>

namespace imaging::detail {

QString fileReason(const QFileDevice &file)
{
    const QString text = file.errorString();
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

QString writeWhole(const QString &path, QByteArrayView bytes)
{
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
