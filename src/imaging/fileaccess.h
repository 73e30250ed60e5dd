#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>
#include <sys/types.h>

class QFile;

namespace imaging::detail {

// Why a file could not be opened, read or written, in the user's words
// ("no space left on the device"), without the file name; from the system's
// own text or from the file's error.
QString systemReason(const QString &text);
// The same for a system error number (errno).
QString systemReason(int error);
QString fileReason(const QFileDevice &file);
// What stands at a name, by its mode, with its article ("a named pipe").
QString fileKind(mode_t mode);

// Opens the picture file at `path` (a name as common::nativeName carries it)
// for reading, following a symbolic link to it. Only a regular file is
// opened: a named pipe, socket, device or folder is refused with the reason
// ("it is a named pipe, not a file") without waiting for a writer. The
// descriptor, which the caller closes, or -1 and the reason.
int openForReading(const QString &path, QString *reason);

// The whole content of an open file, from its start: mapped when the system
// allows it, so that a large file is not copied once more, read otherwise.
// The bytes are valid while both this and the file live.
class FileContent
{
public:
    explicit FileContent(QFile &file);
    QByteArrayView bytes() const { return m_view; }

private:
    QByteArray m_read;
    QByteArrayView m_view;
};

// A file about to be written at `path`: its folder is opened once, following
// a link if the folder part names one, and every later step works relative to
// that folder, so that the final name is never resolved. Nothing is written
// through a symbolic link or replaces one, nor replaces anything that is not
// a regular file.
//
// The file has no name until it is complete (an unnamed file in the folder,
// linked to its name at the end); an earlier file of that name is only ever
// replaced by a complete new one, flushed to the disk first and renamed over
// it from a short hidden name. A process killed part-way leaves nothing, or
// where the file system cannot make unnamed files, at most a short hidden
// name ".kestrune-XXXXXX". A new file is not waited for on the disk.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Why the file cannot be written now, empty when it can. When something
    // other than a regular file stands at the name, the text is a whole
    // message naming the file ("out/a.jpg is a symbolic link; it was left
    // alone.") and *whole is set; otherwise it is a reason without the name.
    QString refusal(bool *whole) const;
    // Writes `bytes` whole, as above. Empty on success; otherwise as refusal().
    QString write(QByteArrayView bytes, bool *whole);

private:
    QString nameRefusal(bool *whole) const;
    QString link(int fd, bool named, const QByteArray &temporary, bool *whole);

    QString m_shown;
    QByteArray m_name;
    int m_folder = -1;
    QString m_folderReason;
};

// OutputFile(path).write(bytes), for a caller with no use for the difference
// between a reason and a whole message.
QString writeWhole(const QString &path, QByteArrayView bytes);

} // namespace imaging::detail
