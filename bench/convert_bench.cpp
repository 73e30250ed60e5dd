// The batch engine beside other tools on the same generated photos, in one
// run: 1600 x 1200 JPEG photos converted to 800 x 600 JPEG, and the same
// photos to PNG at their own size. Every tool gets fresh copies of the files,
// the same cores and its best flags for the job (shrink-on-load for the
// resize, the fastest compression level for PNG); each time is the best of a
// few rounds taken in turn. Prints each tool's command, time and bytes, our
// peak memory, and our time and bytes over the fastest other tool's.
// A benchmark, not a test: nothing here fails on a slow machine.
//
//   convert_bench [photos=100] [rounds=2]

#include "photos.h"

#include "convert/batchengine.h"
#include "imaging/pngwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <sys/resource.h>
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
    double goal; // our time over the fastest other tool's, at most
    qint64 pixels; // of one output picture
};

// One way of doing a job on a folder holding fresh copies of the photos: the
// time in seconds, or nothing when it failed.
using Runner = std::function<std::optional<double>(const QString &folder, const QStringList &names)>;

// Processor seconds used so far by this process (`who` RUSAGE_SELF) or by the
// children it has waited for, theirs included (RUSAGE_CHILDREN). Less swayed
// than the clock by other work on a busy machine.
double cpuSeconds(int who)
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
qint64 bytesOf(const QString &folder, const QString &outputs)
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
void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// `field` "VmHWM:" for the peak, "VmRSS:" for now; 0 when unknown.
qint64 memory(const QByteArray &field)
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
    QDir().mkpath(to + QStringLiteral("/out"));
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

// A tool that takes every photo on one command line.
Tool wholeBatch(const QString &name, const QString &program, const QStringList &arguments,
                const QString &outputs)
{
    return Tool{name, QStringList{program, arguments.join(' '), "FILES"}.join(' '),
                [=](const QString &folder, const QStringList &names) {
                    return timeCommand(folder, program, arguments + names);
                },
                missingProgram(program), outputs};
}

// A tool started once per photo, as many at a time as there are cores, by
// GNU parallel: {} is the photo, {.} without its extension, {/.} its bare name.
Tool perPhoto(const QString &name, const QStringList &command, const QString &outputs)
{
    const QStringList parallel{"--will-cite", "-j", QString::number(QThread::idealThreadCount())};
    const QString missing = missingProgram(QStringLiteral("parallel")) + missingProgram(command.first());
    return Tool{name, QStringList{"parallel", parallel.join(' '), command.join(' '), "::: FILES"}.join(' '),
                [=](const QString &folder, const QStringList &names) {
                    return timeCommand(folder, QStringLiteral("parallel"),
                                       parallel + command + QStringList{":::"} + names);
                },
                missing, outputs};
}

QList<Tool> tools(const Job &job)
{
    const int cores = std::max(1, QThread::idealThreadCount());
    QList<Tool> list;
    list << Tool{QStringLiteral("Kestrune batch engine (%1 workers)").arg(cores),
                 QStringLiteral("convert::BatchEngine; PNG: Up filter, ISA-L deflate level %1")
                     .arg(imaging::detail::kPngDeflateLevel),
                 [job](const QString &folder, const QStringList &names) {
                     return runEngine(job, folder, names);
                 },
                 {},
                 QStringLiteral("out/*.") + job.outext};
    if (job.size == convert::SizeChoice::Size800x600) {
        // -size before the file lets the JPEG decoder scale down while decoding.
        list << wholeBatch(QStringLiteral("gm mogrify"), QStringLiteral("gm"),
                           {"mogrify", "-size", "800x600", "-resize", "800x600!", "-quality", "75"},
                           QStringLiteral("./*.jpg"));
        list << perPhoto(QStringLiteral("gm convert (parallel)"),
                         {"gm", "convert", "-size", "800x600", "{}", "-resize", "800x600!",
                          "-quality", "75", "out/{/.}.jpg"},
                         QStringLiteral("out/*.jpg"));
        list << wholeBatch(QStringLiteral("ImageMagick mogrify"), QStringLiteral("mogrify"),
                           {"-define", "jpeg:size=800x600", "-resize", "800x600!", "-quality", "75"},
                           QStringLiteral("./*.jpg"));
        list << perPhoto(QStringLiteral("vips thumbnail (parallel)"),
                         {"vips", "thumbnail", "{}", "out/{/.}.jpg[Q=75]", "800", "--height", "600",
                          "--size", "force"},
                         QStringLiteral("out/*.jpg"));
    } else {
        // Quality 15: zlib level 1 with adaptive row filters, the fastest the
        // library offers.
        list << wholeBatch(QStringLiteral("gm mogrify"), QStringLiteral("gm"),
                           {"mogrify", "-quality", "15", "-format", "png"}, QStringLiteral("./*.png"));
        list << perPhoto(QStringLiteral("gm convert (parallel)"),
                         {"gm", "convert", "{}", "-quality", "15", "out/{/.}.png"},
                         QStringLiteral("out/*.png"));
        list << wholeBatch(QStringLiteral("ImageMagick mogrify"), QStringLiteral("mogrify"),
                           {"-quality", "15", "-format", "png"}, QStringLiteral("./*.png"));
        list << perPhoto(QStringLiteral("vips copy (parallel)"),
                         {"vips", "copy", "{}", "out/{/.}.png[compression=1]"},
                         QStringLiteral("out/*.png"));
    }
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
    const QStringList names = bench::writePhotos(sources, count);
    if (names.isEmpty())
        return 1;

    const QList<Job> jobs{
        {QStringLiteral("%1 photos 1600 x 1200 JPEG -> 800 x 600 JPEG").arg(count),
         convert::SizeChoice::Size800x600, QStringLiteral("jpg"), 0.5, 800 * 600},
        {QStringLiteral("%1 photos 1600 x 1200 JPEG -> PNG at their own size").arg(count),
         convert::SizeChoice::OneToOne, QStringLiteral("png"), 0.4, 1600 * 1200},
    };
    out << "Best of " << rounds << " rounds; " << QThread::idealThreadCount() << " cores.\n";
    for (const Job &job : jobs) {
        out << "\n== " << job.title << "\n" << Qt::flush;
        const QList<Tool> list = tools(job);
        QList<std::optional<double>> best(list.size());
        QList<double> bestCpu(list.size(), std::numeric_limits<double>::infinity());
        QList<qint64> bytes(list.size());
        qint64 ourPeak = 0, ourStart = 0;
        for (int round = 0; round < rounds; ++round) {
            for (qsizetype t = 0; t < list.size(); ++t) {
                if (!list[t].missing.isEmpty())
                    continue;
                const QString folder = dir.filePath(QStringLiteral("work"));
                if (!copyPhotos(sources, folder, names))
                    return 1;
                resetPeakMemory();
                if (t == 0 && round == 0)
                    ourStart = memory("VmRSS:");
                const int who = t == 0 ? RUSAGE_SELF : RUSAGE_CHILDREN;
                const double cpuBefore = cpuSeconds(who);
                const std::optional<double> seconds = list[t].run(folder, names);
                bestCpu[t] = std::min(bestCpu[t], cpuSeconds(who) - cpuBefore);
                if (t == 0)
                    ourPeak = std::max(ourPeak, memory("VmHWM:"));
                if (seconds && (!best[t] || *seconds < *best[t]))
                    best[t] = seconds;
                bytes[t] = bytesOf(folder, list[t].outputs);
            }
        }
        qsizetype fastestPeer = -1;
        for (qsizetype t = 1; t < list.size(); ++t)
            if (best[t] && (fastestPeer < 0 || *best[t] < *best[fastestPeer]))
                fastestPeer = t;
        for (qsizetype t = 0; t < list.size(); ++t) {
            out << "  " << list[t].name.leftJustified(36);
            if (!list[t].missing.isEmpty())
                out << "skipped: " << list[t].missing << "\n";
            else if (!best[t])
                out << "failed\n";
            else
                out << QStringLiteral("%1 s (%2 s of processor)  %3 MB written (%4 bits a pixel)\n")
                           .arg(*best[t], 6, 'f', 2)
                           .arg(bestCpu[t], 6, 'f', 2)
                           .arg(bytes[t] / 1e6, 7, 'f', 1)
                           .arg(bytes[t] * 8.0 / double(count * job.pixels), 4, 'f', 1);
            out << "      " << list[t].command << "\n";
        }
        out << QStringLiteral("  our peak resident memory: %1 MB (%2 MB before the first run)\n")
                   .arg(ourPeak / 1e6, 0, 'f', 0)
                   .arg(ourStart / 1e6, 0, 'f', 0);
        if (best[0] && fastestPeer > 0)
            out << QStringLiteral("  ours / fastest other tool (%1): time %2 (goal %3 or less; "
                                  "processor time %4), bytes %5 (goal 1.05 or less)\n")
                       .arg(list[fastestPeer].name)
                       .arg(*best[0] / *best[fastestPeer], 0, 'f', 2)
                       .arg(job.goal, 0, 'f', 2)
                       .arg(bestCpu[0] / bestCpu[fastestPeer], 0, 'f', 2)
                       .arg(double(bytes[0]) / double(bytes[fastestPeer]), 0, 'f', 3);
        out << Qt::flush;
    }
    return 0;
}
