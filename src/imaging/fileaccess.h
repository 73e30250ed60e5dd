#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

namespace imaging::detail {

// Why a file could not be opened, read or written, in the user's words
// ("no space left on the device"), without the file name; from the system's
// own text or from the file's error.
QString systemReason(const QString &text);
// The same for a system error number (errno).
QString systemReason(int error);
QString fileReason(const QFileDevice &file);

// Writes `bytes` to `path` under a temporary name beside it and renames that
// into place: an earlier file of that name is only ever replaced by a
// complete new one, flushed to the disk before the rename, and a failure
// leaves no partial file. A new file, which replaces nothing, is not waited
// for on the disk. The reason on failure, an empty text on success.
QString writeWhole(const QString &path, QByteArrayView bytes);

} // namespace imaging::detail
