// Peak memory of a batch of small files that decode to huge pictures: PNGs of
// 32767 x 6103 pixels, a few hundred kilobytes each, converted to WMF on all
// cores. Each needs some 4 GB at its peak; the engine hands files out only
// while their estimates fit its memory budget.
//
//   memory_bench [files=4] [budget in MB, 0 for the engine's default]

#include "convert/batchengine.h"
#include "convert/memorybudget.h"
#include "imaging/imageman.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>

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
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 4;
    const qint64 budget = argc > 2 ? qint64(atoll(argv[2])) << 20 : 0;
    QTemporaryDir in, out;
    std::printf("Writing %d PNGs of 32767 x 6103...\n", files);
    const QByteArray png = flatPng(32767, 6103);
    QStringList sources;
    for (int i = 0; i < files; ++i) {
        const QString path = in.filePath(QStringLiteral("huge%1.png").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size())
            return 1;
        sources << path;
    }
    convert::EngineOptions options;
    options.memoryBudget = budget;
    convert::BatchEngine engine(options);
    const qint64 estimate = imaging::estimatePeakBytes(sources.first(), std::nullopt, imaging::FileType::Wmf);
    const qint64 shownBudget = budget > 0 ? budget : convert::defaultMemoryBudget();
    std::printf("each file %lld KB on disk, estimated peak %.2f GB; budget %.2f GB; %d workers\n",
                qint64(png.size()) >> 10, double(estimate) / (1 << 30), double(shownBudget) / (1 << 30),
                engine.workerCount());

    convert::FileChoices page;
    page.folder = in.path();
    page.outext = QStringLiteral("WMF");
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
        choices.name = QStringLiteral("huge%1.png").arg(position);
        return choices;
    });
    app.exec();
    std::printf("%d files to WMF in %.1f s, %d failed; our peak resident memory %.2f GB\n", files,
                clock.elapsed() / 1000.0, failed, double(peakMemory()) / (1 << 30));
    return failed == 0 ? 0 : 1;
}
