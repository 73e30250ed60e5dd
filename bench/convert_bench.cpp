// The batch engine beside other tools on the same generated photos, in one
// run: 1600 x 1200 JPEG photos converted to 800 x 600 JPEG, and the same
// photos to PNG at their own size. Every tool gets fresh copies of the files,
// the same cores and its best set-up for the job: many files to a process and
// one single-threaded process per core for the resize, Lanczos where a tool
// would otherwise pick a softer kernel, shrink-on-load only where it leaves
// twice the target; the fastest compression level for PNG. Each time is the
// best of a few rounds taken in turn. For the resize, each tool also converts
// the photos and a zone plate to PNG at 800 x 600, and bench/quality.py scores
// them against Pillow's Lanczos of the full decode. Prints each tool's
// command, time, processor time, peak memory, bytes and quality, and our
// time over the fastest other tool's that reaches 50 dB on every photo and
// on the zone plate. A benchmark, not a test: nothing here fails on a slow
// machine.
//
//   convert_bench [photos=100] [rounds=2]

#include "photos.h"

#include "convert/batchengine.h"
#include "imaging/codecs/png.h"

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
#include <sys/wait.h>
#include <unistd.h>
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

// Runs `program` in `folder` with `environment` added, and measures it with
// everything it started: wait4 reports the largest resident set among them.
std::optional<Usage> timeCommand(const QString &folder, const QString &program, const QStringList &arguments,
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

std::optional<Usage> runEngine(const Job &job, const QString &folder, const QStringList &names, const QString &outext)
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
                [=](const QString &folder, const QStringList &names, const QString &) {
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
                [=](const QString &folder, const QStringList &names, const QString &) {
                    return timeCommand(folder, QStringLiteral("parallel"),
                                       parallel + command + QStringList{":::"} + names);
                },
                missing, outputs};
}

// A tool given the photos in one share a core (parallel -X), each process
// held to one thread by `environment`. `command` gives its words for an
// output type; its outputs go to out/.
Tool sharePerCore(const QString &name, const QStringList &environment,
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

QList<Tool> tools(const Job &job)
{
    const int cores = std::max(1, QThread::idealThreadCount());
    QList<Tool> list;
    list << Tool{QStringLiteral("Kestrune batch engine (%1 workers)").arg(cores),
                 QStringLiteral("convert::BatchEngine; PNG: Up filter, ISA-L deflate level %1")
                     .arg(imaging::detail::kPngDeflateLevel),
                 [job](const QString &folder, const QStringList &names, const QString &outext) {
                     return runEngine(job, folder, names, outext);
                 },
                 {},
                 QStringLiteral("out/*.") + job.outext};
    if (job.size == convert::SizeChoice::Size800x600) {
        const auto jpegOrPng = [](const QString &outext, const QStringList &jpeg) {
            return outext == QLatin1String("jpg") ? jpeg : QStringList{"-format", "png"};
        };
        // vips shrinks on load only while twice the target is left, then
        // resamples with Lanczos-3.
        list << sharePerCore(QStringLiteral("vipsthumbnail"), {"VIPS_CONCURRENCY=1"}, [](const QString &outext) {
            return QStringList{"vipsthumbnail", "--size", "800x600!", "-o",
                               outext == QLatin1String("jpg") ? "out/%s.jpg[Q=75]" : "out/%s.png"};
        });
        // Without -size: the file is decoded whole. gm picks Mitchell for grey
        // pictures unless told.
        list << sharePerCore(QStringLiteral("gm mogrify"), {"OMP_NUM_THREADS=1"}, [=](const QString &outext) {
            return QStringList{"gm", "mogrify", "-output-directory", "out", "-filter", "Lanczos", "-resize",
                               "800x600!"} + jpegOrPng(outext, {"-quality", "75"});
        });
        list << sharePerCore(QStringLiteral("ImageMagick mogrify"), {"MAGICK_THREAD_LIMIT=1"}, [=](const QString &outext) {
            return QStringList{"mogrify", "-path", "out", "-define", "jpeg:size=1600x1200", "-filter", "Lanczos",
                               "-resize", "800x600!"} + jpegOrPng(outext, {"-quality", "75"});
        });
        // The decoder's reduced scale used as the result: fast, and aliased.
        list << sharePerCore(QStringLiteral("gm mogrify -size (low quality)"), {"OMP_NUM_THREADS=1"}, [=](const QString &outext) {
            return QStringList{"gm", "mogrify", "-output-directory", "out", "-size", "800x600", "-resize",
                               "800x600!"} + jpegOrPng(outext, {"-quality", "75"});
        });
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

// Each tool's resize of the photos and a zone plate to PNG, scored by
// bench/quality.py: one line of numbers per tool (see there), or a note.
QStringList scoreQuality(const QList<Tool> &list, const QString &dir, const QString &sources,
                         const QStringList &names)
{
    const QString root = QStringLiteral(KESTRUNE_SOURCE_DIR);
    const QString plate = dir + QStringLiteral("/quality");
    QDir(plate).removeRecursively();
    QDir().mkpath(plate);
    for (const QString &name : names)
        QFile::copy(sources + '/' + name, plate + '/' + name);
    QProcess make;
    make.start(root + QStringLiteral("/scripts/make-zone-plate"), {"1600", "1200", "95", plate + "/zoneplate.jpg"});
    if (!make.waitForFinished(-1) || make.exitCode() != 0)
        return {QStringLiteral("no zone plate: %1").arg(QString::fromLocal8Bit(make.readAllStandardError()))};
    const QStringList all = names + QStringList{"zoneplate.jpg"};
    QStringList folders;
    for (qsizetype t = 0; t < list.size(); ++t) {
        const QString folder = dir + QStringLiteral("/scored%1").arg(t);
        folders << folder + QStringLiteral("/out");
        if (!list[t].missing.isEmpty() || !copyPhotos(plate, folder, all) || !list[t].run(folder, all, "png"))
            folders.last() = QStringLiteral("/nonexistent");
    }
    QProcess score;
    score.start(QStringLiteral("/usr/bin/python3"), QStringList{root + QStringLiteral("/bench/quality.py"), plate} + folders);
    if (!score.waitForFinished(-1) || score.exitCode() != 0)
        return {QStringLiteral("quality.py failed: %1").arg(QString::fromLocal8Bit(score.readAllStandardError()))};
    return QString::fromLocal8Bit(score.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
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
        QList<std::optional<Usage>> best(list.size());
        QList<double> bestCpu(list.size(), std::numeric_limits<double>::infinity());
        QList<qint64> bytes(list.size()), peak(list.size());
        for (int round = 0; round < rounds; ++round) {
            for (qsizetype t = 0; t < list.size(); ++t) {
                if (!list[t].missing.isEmpty())
                    continue;
                const QString folder = dir.filePath(QStringLiteral("work"));
                if (!copyPhotos(sources, folder, names))
                    return 1;
                const std::optional<Usage> usage = list[t].run(folder, names, job.outext);
                if (!usage)
                    continue;
                bestCpu[t] = std::min(bestCpu[t], usage->cpu);
                peak[t] = std::max(peak[t], usage->peak);
                if (!best[t] || usage->seconds < best[t]->seconds)
                    best[t] = usage;
                bytes[t] = bytesOf(folder, list[t].outputs);
            }
        }
        // PSNR mean, worst, zone plate; SSIM mean, worst, zone plate; count.
        QList<QStringList> quality(list.size());
        if (job.size == convert::SizeChoice::Size800x600) {
            out << "  scoring each tool's PNG output against Pillow's Lanczos...\n" << Qt::flush;
            const QStringList lines = scoreQuality(list, dir.path(), sources, names);
            for (qsizetype t = 0; t < list.size() && t < lines.size(); ++t)
                quality[t] = lines[t].split('\t');
        }
        const auto reachesBar = [&](qsizetype t) {
            return quality[t].size() == 7 && quality[t][1].toDouble() >= 50 && quality[t][2].toDouble() >= 50;
        };
        qsizetype fastestPeer = -1, fastestAtBar = -1;
        for (qsizetype t = 1; t < list.size(); ++t) {
            if (!best[t])
                continue;
            if (fastestPeer < 0 || best[t]->seconds < best[fastestPeer]->seconds)
                fastestPeer = t;
            if (reachesBar(t) && (fastestAtBar < 0 || best[t]->seconds < best[fastestAtBar]->seconds))
                fastestAtBar = t;
        }
        for (qsizetype t = 0; t < list.size(); ++t) {
            out << "  " << list[t].name.leftJustified(36);
            if (!list[t].missing.isEmpty())
                out << "skipped: " << list[t].missing << "\n";
            else if (!best[t])
                out << "failed\n";
            else
                out << QStringLiteral("%1 s (%2 s of processor)  peak %3 MB  %4 MB written (%5 bits a pixel)\n")
                           .arg(best[t]->seconds, 6, 'f', 2)
                           .arg(bestCpu[t], 6, 'f', 2)
                           .arg(peak[t] / 1e6, 4, 'f', 0)
                           .arg(bytes[t] / 1e6, 7, 'f', 1)
                           .arg(bytes[t] * 8.0 / double(count * job.pixels), 4, 'f', 1);
            if (quality[t].size() == 7)
                out << QStringLiteral("      PSNR %1 dB mean, %2 worst, zone plate %3;  SSIM %4 mean, %5 worst, "
                                      "zone plate %6 (%7 photos)\n")
                           .arg(quality[t][0], quality[t][1], quality[t][2], quality[t][3], quality[t][4],
                                quality[t][5], quality[t][6]);
            else if (!quality[t].isEmpty())
                out << "      quality: " << quality[t].join(' ') << "\n";
            out << "      " << list[t].command << "\n";
        }
        out << "  peak memory: ours is the whole engine's process; another tool's is its largest process, "
               "one of which runs per core\n";
        const auto ratio = [&](qsizetype peer, const QString &which) {
            out << QStringLiteral("  ours / %1 (%2): time %3 (goal %4 or less; processor time %5), bytes %6\n")
                       .arg(which, list[peer].name)
                       .arg(best[0]->seconds / best[peer]->seconds, 0, 'f', 2)
                       .arg(job.goal, 0, 'f', 2)
                       .arg(bestCpu[0] / bestCpu[peer], 0, 'f', 2)
                       .arg(double(bytes[0]) / double(bytes[peer]), 0, 'f', 3);
        };
        if (best[0] && fastestAtBar > 0)
            ratio(fastestAtBar, QStringLiteral("fastest other tool at 50 dB on every photo and the zone plate"));
        if (best[0] && fastestPeer > 0 && fastestPeer != fastestAtBar)
            ratio(fastestPeer, QStringLiteral("fastest other tool"));
        out << Qt::flush;
    }
    return 0;
}
