// Peak memory of a batch of small files that need much memory: PNGs of
// 32767 x 6103 pixels, a few hundred kilobytes each, converted to WMF on all
// cores (each needs some 4 GB at its peak), or with `eps` copies of
// tests/data/hostile/eps-memory-hog.eps, whose Ghostscript child takes all the
// memory it may, converted to PNG on as many workers as files. The engine
// hands files out only while their estimates fit its memory budget; the
// peak of the whole process tree (our resident memory and our helper
// programs', sampled) must stay within it.
//
//   memory_bench [eps] [files=4, 5 with eps] [budget in MB, 0 for the engine's default]

#include "convert/batchengine.h"
#include "convert/memorybudget.h"
#include "imaging/estimate.h"
#include "imaging/imageman.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray chunk(const char *type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = QByteArray(type) + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(body), crc.data());
    return out + body + crc;
}

// A grey PNG of flat rows, compressed by Qt's zlib.
QByteArray flatPng(int width, int height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(width), header.data());
    qToBigEndian<quint32>(quint32(height), header.data() + 4);
    header[8] = 8;  // bits
    header[9] = 0;  // grey
    const QByteArray row = QByteArray(1, '\0') + QByteArray(width, char(0x80));
    QByteArray raw;
    raw.reserve(row.size() * height);
    for (int y = 0; y < height; ++y)
        raw += row;
    const QByteArray zlib = qCompress(raw, 9).mid(4); // qCompress prefixes the length
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib)
        + chunk("IEND", {});
}

// The resident memory of this process and all it started, helpers' helpers
// included: one pass over /proc.
qint64 treeMemory()
{
    QHash<int, int> parents;
    QHash<int, qint64> resident;
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const int pid = entry.toInt();
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid)), statm(QStringLiteral("/proc/%1/statm").arg(pid));
        if (pid <= 0 || !stat.open(QIODevice::ReadOnly) || !statm.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        parents.insert(pid, text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toInt());
        resident.insert(pid, statm.readAll().split(' ').value(1).toLongLong() * page);
    }
    qint64 sum = 0;
    for (auto it = resident.cbegin(); it != resident.cend(); ++it) {
        for (int pid = it.key(); pid > 1; pid = parents.value(pid)) {
            if (pid == ::getpid()) {
                sum += it.value();
                break;
            }
        }
    }
    return sum;
}

qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool eps = !arguments.isEmpty() && arguments.first() == QLatin1String("eps");
    if (eps)
        arguments.removeFirst();
    const int files = std::max(1, arguments.value(0, eps ? QStringLiteral("5") : QStringLiteral("4")).toInt());
    const qint64 budget = arguments.value(1).toLongLong() << 20;
    QTemporaryDir in, out;
    QByteArray bytes;
    if (eps) {
        QFile hog(QStringLiteral(KESTRUNE_TEST_DATA "/hostile/eps-memory-hog.eps"));
        if (!hog.open(QIODevice::ReadOnly))
            return 1;
        bytes = hog.readAll();
        std::printf("Copying eps-memory-hog.eps %d times...\n", files);
    } else {
        std::printf("Writing %d PNGs of 32767 x 6103...\n", files);
        bytes = flatPng(32767, 6103);
    }
    const QString pattern = eps ? QStringLiteral("hog%1.eps") : QStringLiteral("huge%1.png");
    const QString type = eps ? QStringLiteral("PNG") : QStringLiteral("WMF");
    QStringList sources;
    for (int i = 0; i < files; ++i) {
        const QString path = in.filePath(pattern.arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        sources << path;
    }
    convert::EngineOptions options;
    options.memoryBudget = budget;
    options.workers = eps ? files : 0;
    convert::BatchEngine engine(options);
    const qint64 estimate = imaging::estimatePeakBytes(sources.first(), std::nullopt,
                                                       eps ? imaging::FileType::Png : imaging::FileType::Wmf);
    const qint64 shownBudget = budget > 0 ? budget : convert::defaultMemoryBudget();
    std::printf("each file %lld KB on disk, estimated peak %.2f GB; budget %.2f GB; %d workers\n",
                qint64(bytes.size()) >> 10, double(estimate) / (1 << 30), double(shownBudget) / (1 << 30),
                engine.workerCount());

    std::atomic_bool sampling = true;
    std::atomic<qint64> treePeak = 0;
    std::thread sampler([&] {
        while (sampling) {
            treePeak = std::max(treePeak.load(), treeMemory());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    convert::FileChoices page;
    page.folder = in.path();
    page.outext = type;
    page.destination = out.path();
    int failed = 0;
    QObject::connect(&engine, &convert::BatchEngine::finished, &app,
                     [&](const QList<convert::FileOutcome> &failures, qsizetype) {
                         failed = int(failures.size());
                         for (const convert::FileOutcome &f : failures)
                             std::printf("  failed: %s\n", qPrintable(f.message));
                         app.quit();
                     });
    QElapsedTimer clock;
    clock.start();
    engine.start(sources, [&](qsizetype position) {
        convert::FileChoices choices = page;
        choices.count = sources.size();
        choices.name = pattern.arg(position);
        return choices;
    });
    app.exec();
    sampling = false;
    sampler.join();
    std::printf("%d files to %s in %.1f s, %d failed; our peak resident memory %.2f GB; the process tree's "
                "%.2f GB (sampled every 10 ms) against the budget of %.2f GB\n",
                files, qPrintable(type), clock.elapsed() / 1000.0, failed, double(peakMemory()) / (1 << 30),
                double(treePeak) / (1 << 30), double(shownBudget) / (1 << 30));
    // Each hog fails at its helper's memory cap, as it should.
    return treePeak <= shownBudget && (eps || failed == 0) ? 0 : 1;
}
