#pragma once

#include "pictures.h"

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <optional>
#include <unistd.h>

namespace testpictures {

// The processes descended from this one (all of them, or its children
// alone), by id, with their names ("(gs)").
inline QMap<pid_t, QString> descendantProcesses(bool childrenOnly = false)
{
    QMultiMap<pid_t, pid_t> children;
    QMap<pid_t, QString> names;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(entry));
        // The name in brackets may hold spaces; the state and the parent follow.
        const qsizetype name = stat.lastIndexOf(')');
        const pid_t pid = entry.toInt();
        if (pid <= 0 || name < 0)
            continue;
        children.insert(stat.mid(name + 2).split(' ').value(1).toInt(), pid);
        names.insert(pid, QString::fromLatin1(stat.mid(stat.indexOf('('), name + 1 - stat.indexOf('('))));
    }
    QMap<pid_t, QString> found;
    QList<pid_t> parents{::getpid()};
    while (!parents.isEmpty()) {
        for (const pid_t child : children.values(parents.takeFirst())) {
            found.insert(child, names.value(child));
            if (!childrenOnly)
                parents << child;
        }
    }
    return found;
}

inline QStringList childProcesses()
{
    return descendantProcesses(true).values();
}

// Runs another program to its end, `input` on its standard input. Its
// standard output, or nothing and *why saying what went wrong: a program that
// is missing is a failure, not a skip.
inline std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments, QString *why,
                                         const QByteArray &input = {})
{
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFile::exists(program)) {
        *why = QStringLiteral("%1 is not installed; scripts/install-deps --test installs it").arg(program);
        return std::nullopt;
    }
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *why = QStringLiteral("%1 %2 failed: %3")
                   .arg(program, arguments.join(QLatin1Char(' ')),
                        QString::fromLocal8Bit(process.readAllStandardError() + process.readAllStandardOutput()));
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

} // namespace testpictures
