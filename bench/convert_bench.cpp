// The batch engine beside other tools on the same generated photos, in one
// run: 1600 x 1200 JPEG photos converted to 800 x 600 JPEG, the same photos
// to PNG at their own size, and to 800 x 600 WebP and AVIF. Every tool gets fresh copies of the files,
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

#include "batchtools.h"
#include "photos.h"

#include "convert/batchengine.h"
#include "imaging/codecs/avif.h"
#include "imaging/codecs/png.h"
#include "imaging/formats.h"

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

using namespace bench;

// The web's types at 800 x 600, each tool at the quality that gives the look
// of a JPEG at 75 (WebP 74; AVIF 60, quantizer 25) and the AV1 encoder's
// speed 7 (vips's effort 2), one thread a process.
void addWebTools(QList<Tool> &list, const QString &outext)
{
    const int quality = imaging::format(*imaging::fileTypeFromExtension(outext)).defaultQuality;
    const QString q = QString::number(quality);
    const bool webp = outext == QLatin1String("webp");
    list << sharePerCore(QStringLiteral("vipsthumbnail"), {"VIPS_CONCURRENCY=1"}, [=](const QString &) {
        return QStringList{"vipsthumbnail", "--size", "800x600!", "-o",
                           webp ? "out/%s.webp[Q=" + q + "]" : "out/%s.avif[Q=" + q + ",compression=av1,effort=2]"};
    });
    list.last().outputs = "out/*." + outext;
    if (webp) {
        list << perPhoto(QStringLiteral("cwebp (parallel)"),
                         {"cwebp", "-quiet", "-q", q, "-m", "4", "-resize", "800", "600", "{}", "-o",
                          "out/{/.}.webp"},
                         QStringLiteral("out/*.webp"));
        return;
    }
    // avifenc cannot resize: vips makes each photo 800 x 600 first, as an
    // uncompressed PNG.
    const QString quantizer = QString::number(imaging::detail::avifQuantizer(quality));
    list << perPhoto(QStringLiteral("vips + avifenc (parallel)"),
                     {"sh", "-c", "'vips thumbnail \"$0\" \"$0.png[compression=0]\" 800 --height 600 --size force && "
                                  "avifenc -j 1 -s 7 -y 420 --min " + quantizer + " --max " + quantizer
                          + " \"$0.png\" out/$(basename \"${0%.*}\").avif >/dev/null'", "{}"},
                     QStringLiteral("out/*.avif"));
}

QList<Tool> tools(const Job &job)
{
    const int cores = std::max(1, QThread::idealThreadCount());
    QList<Tool> list;
    const QString settings = job.outext == QLatin1String("webp") ? QStringLiteral("WebP: libwebp, method 4, quality 74")
        : job.outext == QLatin1String("avif") ? QStringLiteral("AVIF: libavif over libaom, speed %1, quantizer 25, 4:2:0")
                                                    .arg(imaging::detail::kAvifSpeed)
                                              : QStringLiteral("PNG: Up filter, ISA-L deflate level %1")
                                                    .arg(imaging::detail::kPngDeflateLevel);
    list << Tool{QStringLiteral("Kestrune batch engine (%1 workers)").arg(cores),
                 QStringLiteral("convert::BatchEngine; ") + settings,
                 [job](const QString &folder, const QStringList &names, const QString &outext) {
                     return runEngine(job, folder, names, outext);
                 },
                 {},
                 QStringLiteral("out/*.") + job.outext};
    if (job.outext == QLatin1String("webp") || job.outext == QLatin1String("avif")) {
        addWebTools(list, job.outext);
    } else if (job.size == convert::SizeChoice::Size800x600) {
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
        {QStringLiteral("%1 photos 1600 x 1200 JPEG -> 800 x 600 WebP").arg(count),
         convert::SizeChoice::Size800x600, QStringLiteral("webp"), 1.0, 800 * 600},
        {QStringLiteral("%1 photos 1600 x 1200 JPEG -> 800 x 600 AVIF").arg(count),
         convert::SizeChoice::Size800x600, QStringLiteral("avif"), 1.0, 800 * 600},
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
        if (job.size == convert::SizeChoice::Size800x600 && job.outext == QLatin1String("jpg")) {
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
