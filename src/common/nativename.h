#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace common {

// File names as the system gives them: bytes, usually UTF-8, but any byte but
// '/' and NUL is allowed. A byte that is not part of valid UTF-8 is carried in
// a QString as the lone surrogate U+DC80 + byte (the "surrogate escape"), so
// that every name survives the trip through a QString and back. Qt's own
// QFile::encodeName/decodeName replace such bytes and lose the file.

// The bytes to hand to the system for `path`.
QByteArray nativeName(const QString &path);
// `bytes` from the system (readdir, argv) as a QString that nativeName() turns
// back into the same bytes.
QString nameFromNative(QByteArrayView bytes);
// `path` for messages and lists: the platform's separators, every carried
// byte written as \xHH.
QString shownName(const QString &path);
// True when `path` carries bytes that are not UTF-8.
bool hasRawBytes(const QString &path);

} // namespace common
