#include "imaging/imageman.h"
#include "imaging/pngwriter.h"
#include "pictures.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

using namespace testpictures;

// Our PNG files as pngcheck, Pillow and our own reader see them.
namespace {

// Pillow's mode, resolution, gamma and profile size, and its pixels as RGBA.
const char *const kPillowScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1])
open(sys.argv[2], 'wb').write(image.convert('RGBA').tobytes())
dpi = image.info.get('dpi')
print(image.mode, '%.0f' % dpi[0] if dpi else '-', image.info.get('gamma', '-'),
      len(image.info.get('icc_profile') or b''))
)";

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return "failed: " + process.readAllStandardOutput() + process.readAllStandardError()
            + process.errorString().toUtf8();
    return process.readAllStandardOutput().trimmed();
}

// Every alpha with colours of its own; `alpha` false keeps it opaque, `grey`
// makes red, green and blue equal.
QImage ramp(bool grey, bool alpha)
{
    QImage image(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba((x * 7 + y * 3) % 256, grey ? (x * 7 + y * 3) % 256 : y * 11,
                                       grey ? (x * 7 + y * 3) % 256 : x * 5, alpha ? (x * 2 + y * 17) % 256 : 255));
    return image;
}

QImage blocksWithAHole()
{
    QImage image = blocks(37, 23).convertToFormat(QImage::Format_ARGB32);
    for (int y = 7; y < 14; ++y)
        for (int x = 18; x < 27; ++x)
            image.setPixel(x, y, qRgba(10, 20, 30, 0));
    return image;
}

QImage greySteps()
{
    QImage image(16, 16, QImage::Format_ARGB32);
    for (int i = 0; i < 256; ++i)
        image.setPixel(i % 16, i / 16, qRgb(i, i, i));
    return image;
}

} // namespace

class TestPngWriter : public QObject
{
    Q_OBJECT
private slots:
    void writes_data();
    void writes();
    void stopsABigEncode_data();
    void stopsABigEncode();

private:
    QTemporaryDir m_dir;
};

void TestPngWriter::writes_data()
{
    QTest::addColumn<QImage>("source"); // null: read the file
    QTest::addColumn<QString>("file");
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<QByteArray>("seen"); // Pillow's mode, dpi, gamma and profile size
    QTest::newRow("grey") << ramp(true, false) << "" << ramp(true, false) << QByteArray("L - - 0");
    QTest::newRow("grey with alpha") << ramp(true, true) << "" << ramp(true, true) << QByteArray("LA - - 0");
    QTest::newRow("palette with a transparent entry")
        << blocksWithAHole() << "" << blocksWithAHole() << QByteArray("P - - 0");
    QTest::newRow("RGB") << noise(37, 23) << "" << noise(37, 23) << QByteArray("RGB - - 0");
    QTest::newRow("RGBA") << ramp(false, true) << "" << ramp(false, true) << QByteArray("RGBA - - 0");
    QTest::newRow("16-bit grey source, 8 bits written")
        << QImage() << "pillow-16bit-grey.png" << greySteps() << QByteArray("L - - 0");
    QImage flat(12, 10, QImage::Format_ARGB32);
    flat.fill(qRgb(200, 100, 50));
    QTest::newRow("300 dpi, gamma 0.45455, sRGB profile kept")
        << QImage() << "pillow-300dpi-gamma-icc.png" << flat << QByteArray("P 300 0.45455 588");
}

void TestPngWriter::writes()
{
    QFETCH(QImage, source);
    QFETCH(QString, file);
    QFETCH(QImage, expected);
    QFETCH(QByteArray, seen);
    const QString path = m_dir.filePath(QStringLiteral("%1.png").arg(QTest::currentDataTag()));
    imaging::ImageMan writer;
    const imaging::Result loaded = source.isNull()
        ? writer.setImageFile(QStringLiteral(KESTRUNE_TEST_DATA "/png/") + file)
        : writer.setImage(source);
    QVERIFY2(loaded, qPrintable(loaded.message()));
    const imaging::Result saved = writer.saveImage(path);
    QVERIFY2(saved, qPrintable(saved.message()));

    QCOMPARE(run(QStringLiteral("pngcheck"), {QStringLiteral("-q"), path}), QByteArray());
    const QString raw = path + QStringLiteral(".rgba");
    QCOMPARE(run(QStringLiteral("/usr/bin/python3"), {"-c", kPillowScript, path, raw}), seen);
    const QImage rgba = expected.convertToFormat(QImage::Format_RGBA8888);
    QCOMPARE(readAll(raw), QByteArray(reinterpret_cast<const char *>(rgba.constBits()), rgba.sizeInBytes()));

    imaging::ImageMan reader;
    QVERIFY(reader.setImageFile(path));
    const QImage back = reader.image().convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(back == expected.convertToFormat(QImage::Format_ARGB32), qPrintable(difference(back, expected).text()));
}

void TestPngWriter::stopsABigEncode_data()
{
    QTest::addColumn<int>("raiseAfterMs"); // -1: never
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<QString>("reason");
    QTest::newRow("stopped before it starts") << 0 << 60000 << "the conversion was stopped";
    QTest::newRow("stopped part-way") << 5 << 60000 << "the conversion was stopped";
    QTest::newRow("out of time") << -1 << 5 << "it took longer than 0.005 s";
}

void TestPngWriter::stopsABigEncode()
{
    QFETCH(int, raiseAfterMs);
    QFETCH(int, limitMs);
    QFETCH(QString, reason);
    // 48 MB of pixels that do not compress: seconds of work in a sanitizer build.
    imaging::detail::PngPixels pixels{nullptr, 4000, 4000, 3, 12000};
    QByteArray bits(pixels.stride * pixels.height, Qt::Uninitialized);
    for (qsizetype i = 0; i < bits.size(); ++i)
        bits[i] = char(quint32(i) * 2654435761u >> 24);
    pixels.bits = reinterpret_cast<const uchar *>(bits.constData());
    imaging::CancelFlag cancel;
    if (raiseAfterMs == 0)
        cancel.raise();
    std::thread raiser([&] {
        if (raiseAfterMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(raiseAfterMs));
            cancel.raise();
        }
    });
    QElapsedTimer timer;
    timer.start();
    QString why;
    const QByteArray png = imaging::detail::encodePng(
        pixels, {}, imaging::Deadline(std::chrono::milliseconds(limitMs), cancel), &why);
    const qint64 took = timer.elapsed();
    raiser.join();
    QVERIFY(png.isEmpty());
    QCOMPARE(why, reason);
    QVERIFY2(took < 2000, qPrintable(QStringLiteral("it ended after %1 ms").arg(took)));
}

QTEST_GUILESS_MAIN(TestPngWriter)
#include "tst_pngwriter.moc"
