#pragma once

#include "pictures.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <optional>
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

// Runs another program to its end, `input` on its standard input. Its
// standard output, or nothing and *why saying what went wrong: a program that
// is missing is a failure, not a skip.
inline std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments, QString *why,
                                         const QByteArray &input = {})
{
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFile::exists(program)) {
        *why = QStringLiteral("%1 is not installed; scripts/install-deps installs it").arg(program);
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
