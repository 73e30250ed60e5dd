// The batch engine beside other tools on the same generated photos, in one
// run: 1600 x 1200 JPEG photos converted to 800 x 600 JPEG, and the same
// photos to PNG at their own size. Every tool gets fresh copies of the files
// and the same cores; each time is the best of a few rounds. Prints each time
// and its ratio to the fastest, and our time over the fastest other tool's.
// A benchmark, not a test: nothing here fails on a slow machine.
//
//   convert_bench [photos=100] [rounds=2]

#include "convert/batchengine.h"

#include "imaging/imageman.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include "photos.h"

#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace {

QTextStream out(stdout);

struct Job {
    QString title;
    convert::SizeChoice size;
    QString outext;
};

// One way of doing a job on a folder holding fresh copies of the photos: the
// time in seconds, or nothing when it failed.
using Runner = std::function<std::optional<double>(const QString &folder, const QStringList &names)>;

struct Tool {
    QString name;
    Runner run;
    QString missing; // why this tool cannot run here; empty when it can
    QString outputs; // where its outputs are, relative to the work folder: "out/*.jpg"
};

// The bytes written, so that a fast tool writing bigger files shows as such.
qint64 bytesOf(const QString &folder, const QString &outputs)
{
    const qsizetype slash = outputs.lastIndexOf('/');
    const QDir dir(folder + '/' + outputs.left(std::max<qsizetype>(slash, 0)));
    qint64 total = 0;
    for (const QFileInfo &file : dir.entryInfoList({outputs.mid(slash + 1)}, QDir::Files))
        total += file.size();
    return total;
}

std::optional<double> timeCommand(const QString &folder, const QString &program,
                                  const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        out << "  " << program << " failed: " << process.errorString() << "\n";
        return std::nullopt;
    }
    return timer.nsecsElapsed() / 1e9;
}

std::optional<double> runEngine(const Job &job, const QString &folder, const QStringList &names)
{
    const QString destination = folder + QStringLiteral("/out");
    QDir().mkpath(destination);
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
        choices.outext = job.outext;
        choices.destination = destination;
        return choices;
    });
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (failed != 0)
        return std::nullopt;
    return seconds;
}

bool copyPhotos(const QString &from, const QString &to, const QStringList &names)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    for (const QString &name : names)
        if (!QFile::copy(from + '/' + name, to + '/' + name))
            return false;
    return true;
}

QString missingProgram(const QString &program)
{
    return QStandardPaths::findExecutable(program).isEmpty()
        ? program + QStringLiteral(" is not installed")
        : QString();
}

QList<Tool> tools(const Job &job)
{
    const int cores = std::max(1, QThread::idealThreadCount());
    const bool resize = job.size == convert::SizeChoice::Size800x600;
    QList<Tool> list;
    list << Tool{QStringLiteral("Kestrune batch engine (%1 workers)").arg(cores),
                 [job](const QString &folder, const QStringList &names) {
                     return runEngine(job, folder, names);
                 },
                 {},
                 QStringLiteral("out/*.") + job.outext};

    // The mogrify tools take every file in one process, with their own threads.
    const QStringList mogrifyArguments = resize
        ? QStringList{"-resize", "800x600!", "-quality", "75"}
        : QStringList{"-format", "png"};
    list << Tool{QStringLiteral("gm mogrify"),
                 [=](const QString &folder, const QStringList &names) {
                     return timeCommand(folder, QStringLiteral("gm"),
                                        QStringList{"mogrify"} + mogrifyArguments + names);
                 },
                 missingProgram(QStringLiteral("gm")),
                 QStringLiteral("./*.") + job.outext};
    list << Tool{QStringLiteral("ImageMagick mogrify"),
                 [=](const QString &folder, const QStringList &names) {
                     return timeCommand(folder, QStringLiteral("mogrify"), mogrifyArguments + names);
                 },
                 missingProgram(QStringLiteral("mogrify")),
                 QStringLiteral("./*.") + job.outext};

    // vips takes one file per process; it gets one process per core at a time.
    const QString perFile = resize
        ? QStringLiteral("vips thumbnail \"$1\" \"${1%.jpg}.out.jpg[Q=75]\" 800 --height 600 --size force")
        : QStringLiteral("vips copy \"$1\" \"${1%.jpg}.png\"");
    list << Tool{QStringLiteral("vips (%1 at a time)").arg(cores),
                 [=](const QString &folder, const QStringList &names) {
                     const QString script =
                         QStringLiteral("printf '%s\\n' \"$@\" | xargs -P %1 -n 1 sh -c '%2' _")
                             .arg(cores)
                             .arg(perFile);
                     return timeCommand(folder, QStringLiteral("sh"),
                                        QStringList{"-c", script, "sh"} + names);
                 },
                 missingProgram(QStringLiteral("vips")),
                 resize ? QStringLiteral("./*.out.jpg") : QStringLiteral("./*.png")};
    return list;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 100;
    const int rounds = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 2;

    QTemporaryDir dir;
    const QString sources = dir.filePath(QStringLiteral("sources"));
    QDir().mkpath(sources);
    out << "Generating " << count << " photos of 1600 x 1200 (JPEG, quality 90)...\n" << Qt::flush;
    QStringList names;
    imaging::ImageMan maker;
    maker.setJpegQuality(90);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("photo%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        // Eight different pictures, each file encoded on its own.
        if (i < 8 && !maker.setImage(bench::photo(i)))
            return 1;
        if (!maker.saveImage(sources + '/' + name))
            return 1;
        names << name;
    }

    const QList<Job> jobs{
        {QStringLiteral("%1 photos 1600 x 1200 JPEG -> 800 x 600 JPEG").arg(count),
         convert::SizeChoice::Size800x600, QStringLiteral("jpg")},
        {QStringLiteral("%1 photos 1600 x 1200 JPEG -> PNG at their own size").arg(count),
         convert::SizeChoice::OneToOne, QStringLiteral("png")},
    };
    out << "Best of " << rounds << " rounds; " << QThread::idealThreadCount() << " cores.\n";
    for (const Job &job : jobs) {
        out << "\n== " << job.title << "\n" << Qt::flush;
        const QList<Tool> list = tools(job);
        QList<std::optional<double>> best(list.size());
        QList<qint64> bytes(list.size());
        for (int round = 0; round < rounds; ++round) {
            for (qsizetype t = 0; t < list.size(); ++t) {
                if (!list[t].missing.isEmpty())
                    continue;
                const QString folder = dir.filePath(QStringLiteral("work"));
                if (!copyPhotos(sources, folder, names))
                    return 1;
                const std::optional<double> seconds = list[t].run(folder, names);
                if (seconds && (!best[t] || *seconds < *best[t]))
                    best[t] = seconds;
                bytes[t] = bytesOf(folder, list[t].outputs);
            }
        }
        double fastest = std::numeric_limits<double>::infinity();
        double fastestPeer = fastest;
        for (qsizetype t = 0; t < list.size(); ++t) {
            if (!best[t])
                continue;
            fastest = std::min(fastest, *best[t]);
            if (t > 0)
                fastestPeer = std::min(fastestPeer, *best[t]);
        }
        for (qsizetype t = 0; t < list.size(); ++t) {
            out << "  " << list[t].name.leftJustified(36);
            if (!list[t].missing.isEmpty())
                out << "skipped: " << list[t].missing << "\n";
            else if (!best[t])
                out << "failed\n";
            else
                out << QStringLiteral("%1 s   x%2 the fastest   %3 MB written\n")
                           .arg(*best[t], 6, 'f', 2)
                           .arg(*best[t] / fastest, 4, 'f', 2)
                           .arg(bytes[t] / 1e6, 6, 'f', 1);
        }
        if (best[0] && std::isfinite(fastestPeer))
            out << QStringLiteral("  ours / fastest other tool: %1 (goal 0.60 or less)\n")
                       .arg(*best[0] / fastestPeer, 0, 'f', 2);
        out << Qt::flush;
    }
    return 0;
}
