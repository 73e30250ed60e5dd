#pragma once

#include "convert/batchengine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <optional>
#include <vector>

// How convert_bench runs our batch engine and the other tools on a folder of
// photos, and measures each: time, processor time, peak memory, bytes.
namespace bench {

inline QTextStream out(stdout);

// One conversion measured: the photos to `outext` at `size`.
struct Job {
    QString title;
    convert::SizeChoice size;
    QString outext;
    double goal; // our time over the fastest other tool's, at most
    qint64 pixels; // of one output picture
};

// One run of a tool: seconds on the clock and of processor, the most memory
// one of its processes held (bytes).
struct Usage {
    double seconds = 0;
    double cpu = 0;
    qint64 peak = 0;
};

// One way of doing a job on a folder holding fresh copies of the photos,
// writing files of type `outext`; nothing when it failed.
using Runner = std::function<std::optional<Usage>(const QString &folder, const QStringList &names, const QString &outext)>;

// Processor seconds used so far by this process (`who` RUSAGE_SELF) or by the
// children it has waited for, theirs included (RUSAGE_CHILDREN). Less swayed
// than the clock by other work on a busy machine.
inline double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Tool {
    QString name;
    QString command; // as a user would type it; FILES stands for the photos
    Runner run;
    QString missing; // why this tool cannot run here; empty when it can
    QString outputs; // where its outputs are, relative to the work folder: "out/*.jpg"
};

// The bytes written, so that a fast tool writing bigger files shows as such.
inline qint64 bytesOf(const QString &folder, const QString &outputs)
{
    const qsizetype slash = outputs.lastIndexOf('/');
    const QDir dir(folder + '/' + outputs.left(std::max<qsizetype>(slash, 0)));
    qint64 total = 0;
    for (const QFileInfo &file : dir.entryInfoList({outputs.mid(slash + 1)}, QDir::Files))
        total += file.size();
    return total;
}

// The most this process has held in memory since the last reset, in bytes.
// Linux resets the mark on writing 5 to clear_refs; elsewhere the mark covers
// the whole process, photo making included.
inline void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// `field` "VmHWM:" for the peak, "VmRSS:" for now; 0 when unknown.
inline qint64 memory(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(field.size()).trimmed().split(' ').first().toLongLong() * 1024;
    }
    if (field != "VmHWM:")
        return 0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// Runs `program` in `folder` with `environment` added, and measures it with
// everything it started: wait4 reports the largest resident set among them.
inline std::optional<Usage> timeCommand(const QString &folder, const QString &program, const QStringList &arguments,
                                 const QStringList &environment = {})
{
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString &argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> settings;
    for (const QString &setting : environment)
        settings.push_back(setting.toLocal8Bit());
    const QByteArray where = folder.toLocal8Bit();
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        for (QByteArray &setting : settings)
            putenv(setting.data());
        if (chdir(where.constData()) == 0)
            execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        out << "  " << program << " failed\n";
        return std::nullopt;
    }
    return Usage{timer.nsecsElapsed() / 1e9,
                 double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                     + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
                 qint64(usage.ru_maxrss) * 1024};
}

inline std::optional<Usage> runEngine(const Job &job, const QString &folder, const QStringList &names, const QString &outext)
{
    resetPeakMemory();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const QString destination = folder + QStringLiteral("/out");
    convert::BatchEngine engine;
    QEventLoop loop;
    qsizetype failed = -1;
    QObject::connect(&engine, &convert::BatchEngine::finished, &loop,
                     [&](const QList<convert::FileOutcome> &failures) {
                         failed = failures.size();
                         for (const convert::FileOutcome &f : failures)
                             out << "  " << f.message << "\n";
                         loop.quit();
                     });
    QElapsedTimer timer;
    timer.start();
    QStringList sources;
    for (const QString &name : names)
        sources.append(folder + QLatin1Char('/') + name);
    engine.start(sources, [&](qsizetype position) {
        convert::FileChoices choices;
        choices.folder = folder;
        choices.name = names.value(position);
        choices.count = names.size();
        choices.size = job.size;
        choices.outext = outext;
        choices.destination = destination;
        return choices;
    });
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (failed != 0)
        return std::nullopt;
    return Usage{seconds, cpuSeconds(RUSAGE_SELF) - cpuBefore, memory("VmHWM:")};
}

inline bool copyPhotos(const QString &from, const QString &to, const QStringList &names)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to + QStringLiteral("/out"));
    for (const QString &name : names)
        if (!QFile::copy(from + '/' + name, to + '/' + name))
            return false;
    return true;
}

inline QString missingProgram(const QString &program)
{
    return QStandardPaths::findExecutable(program).isEmpty()
        ? program + QStringLiteral(" is not installed")
        : QString();
}

// A tool that takes every photo on one command line.
inline Tool wholeBatch(const QString &name, const QString &program, const QStringList &arguments,
                const QString &outputs)
{
    return Tool{name, QStringList{program, arguments.join(' '), "FILES"}.join(' '),
                [=](const QString &folder, const QStringList &names, const QString &) {
                    return timeCommand(folder, program, arguments + names);
                },
                missingProgram(program), outputs};
}

// A tool started once per photo, as many at a time as there are cores, by
// GNU parallel: {} is the photo, {.} without its extension, {/.} its bare name.
inline Tool perPhoto(const QString &name, const QStringList &command, const QString &outputs)
{
    const QStringList parallel{"--will-cite", "-j", QString::number(QThread::idealThreadCount())};
    const QString missing = missingProgram(QStringLiteral("parallel")) + missingProgram(command.first());
    return Tool{name, QStringList{"parallel", parallel.join(' '), command.join(' '), "::: FILES"}.join(' '),
                [=](const QString &folder, const QStringList &names, const QString &) {
                    return timeCommand(folder, QStringLiteral("parallel"),
                                       parallel + command + QStringList{":::"} + names);
                },
                missing, outputs};
}

// A tool given the photos in one share a core (parallel -X), each process
// held to one thread by `environment`. `command` gives its words for an
// output type; its outputs go to out/.
inline Tool sharePerCore(const QString &name, const QStringList &environment,
                  const std::function<QStringList(const QString &outext)> &command)
{
    const QStringList parallel{"--will-cite", "-X", "-j", QString::number(QThread::idealThreadCount())};
    const QString missing = missingProgram(QStringLiteral("parallel")) + missingProgram(command("jpg").first());
    return Tool{name,
                QStringList{environment.join(' '), "parallel", parallel.join(' '), command("jpg").join(' '),
                            "::: FILES"}.join(' '),
                [=](const QString &folder, const QStringList &names, const QString &outext) {
                    return timeCommand(folder, QStringLiteral("parallel"),
                                       parallel + command(outext) + QStringList{":::"} + names, environment);
                },
                missing, QStringLiteral("out/*.jpg")};
}

} // namespace bench
