#pragma once

#include "pictures.h"

#include <QDir>
#include <QStringList>
#include <unistd.h>

namespace testpictures {

// The processes whose parent is this one, by name ("(gs)").
inline QStringList childProcesses()
{
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        // The name in brackets may hold spaces; the state and the parent follow.
        const qsizetype name = stat.lastIndexOf(')');
        if (stat.mid(name + 2).split(' ').value(1) == QByteArray::number(::getpid()))
            found << QString::fromLatin1(stat.left(name + 1));
    }
    return found;
}

} // namespace testpictures
