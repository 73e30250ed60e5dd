#include "imaging/imageman.h"
#include "processes.h"

#include <QDir>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using imaging::Format;
using imaging::Witness;
using namespace testpictures;

// Pictures other programs wrote (tests/data/sources, made by
// scripts/make-test-sources and make-web-fixtures) are converted to every type
// we write, at their own size and at 640 x 480, and every file we write is
// opened by a program nobody here wrote: Pillow, Ghostscript, libwmf, ezdxf,
// dwebp or avifdec, all installed by scripts/install-deps. Each must have the size asked for and the colours of
// its source. A missing tool is a failure, not a skip.
namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kData = QStringLiteral(KESTRUNE_TEST_DATA);
const QSize kResized(640, 480);

// What other programs see in a file: tests/support/witness.py.
const QString kWitness = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../support/witness.py");

// Pillow's reading of one file: its format, size, mode, dots per inch, gamma
// and profile size on one line, its pixels as an RGBA PNG in argv[2].
const char *const kPillowScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1])
image.convert('RGBA').save(sys.argv[2], 'PNG')
dpi = image.info.get('dpi')
print(image.format, image.size[0], image.size[1], image.mode, '%.0f' % dpi[0] if dpi else '-',
      image.info.get('gamma', '-'), len(image.info.get('icc_profile') or b''))
)";

// Every alpha with colours of its own; `alpha` false keeps it opaque, `grey`
// makes red, green and blue equal.
QImage ramp(bool grey, bool alpha)
{
    return painted(37, 23, [=](int x, int y) {
        const int level = (x * 7 + y * 3) % 256;
        return qRgba(level, grey ? level : y * 11, grey ? level : x * 5, alpha ? (x * 2 + y * 17) % 256 : 255);
    }, QImage::Format_ARGB32);
}

QImage blocksWithAHole()
{
    const QImage opaque = blocks(37, 23);
    return painted(37, 23, [&](int x, int y) {
        return x >= 18 && x < 27 && y >= 7 && y < 14 ? qRgba(10, 20, 30, 0) : opaque.pixel(x, y);
    }, QImage::Format_ARGB32);
}

struct Reading {
    QSize size;
    double mean[3] = {0, 0, 0};
    QString error;
};

} // namespace

class TestIndependentReaders : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_sources;
    QHash<QString, QString> m_conversions; // output path: failure message, empty when written
    bool m_converted = false;
    QHash<QString, Reading> m_readings;    // file: what its witness saw
    QHash<QString, QString> m_sourceSeen;  // source: the file its witness reads

    QString output(const QString &source, const Format &format, bool resized) const
    {
        return m_dir.filePath(QStringLiteral("%1-%2.%3")
                                  .arg(QFileInfo(source).completeBaseName(),
                                       resized ? QStringLiteral("640x480") : QStringLiteral("own"),
                                       QLatin1String(format.extension)));
    }

    QString convert(const QString &source, const Format &format, bool resized)
    {
        imaging::ImageMan man;
        imaging::Result result = man.setImageFile(source);
        if (result && resized)
            result = man.resizeImage(kResized.width(), kResized.height());
        if (result)
            result = man.saveImage(output(source, format, resized));
        return result ? QString() : result.message();
    }

    void witness(const QStringList &kindAndPath)
    {
        QString why;
        const std::optional<QByteArray> out = runTool(kPython, {kWitness},
                                                      &why, kindAndPath.join(QLatin1Char('\n')).toUtf8());
        QVERIFY2(out, qPrintable(why));
        for (const QByteArray &line : out->split('\n')) {
            const QList<QByteArray> field = line.split('\t');
            if (field.size() < 3)
                continue;
            Reading &reading = m_readings[QString::fromUtf8(field[0])];
            if (field[1] == "ERROR") {
                reading.error = QString::fromUtf8(field[2]);
                continue;
            }
            reading.size = QSize(field[1].toInt(), field[2].toInt());
            for (int c = 0; c < 3; ++c)
                reading.mean[c] = field[3 + c].toDouble();
        }
    }

    // Every source to every type, at its own size and resized, each file read
    // by its witness; run once, before the first row that needs it, so that
    // the quick subset (tests/imaging/CMakeLists.txt) does without.
    void convertEverything()
    {
        // The colours of a source as a reader other than ours sees them (Pillow,
        // avifdec, heif-convert); for metafiles and drawings our reading stands.
        QStringList lines;
        for (const QString &source : m_sources) {
            QString &seen = m_sourceSeen[source] = source;
            const QString tool = source.endsWith(QLatin1String(".avif")) ? QStringLiteral("avifdec")
                : source.endsWith(QLatin1String(".heic"))                 ? QStringLiteral("heif-convert") : QString();
            if (QString why; !tool.isEmpty()) {
                seen = m_dir.filePath(QFileInfo(source).fileName() + QStringLiteral(".png"));
                QVERIFY2(runTool(tool, {source, seen}, &why), qPrintable(why));
            } else if (source.endsWith(QLatin1String(".wmf")) || source.endsWith(QLatin1String(".dxf"))) {
                imaging::ImageMan man;
                seen = m_dir.filePath(QFileInfo(source).fileName() + QStringLiteral(".png"));
                QVERIFY(man.setImageFile(source) && man.image().save(seen));
            }
            lines << QStringLiteral("raster ") + seen;
        }

        for (const QString &source : m_sources) {
            for (const Format &format : imaging::kFormats) {
                if (!imaging::isWritten(format))
                    continue;
                for (bool resized : {false, true}) {
                    const QString file = output(source, format, resized);
                    const QString failure = convert(source, format, resized);
                    m_conversions.insert(file, failure);
                    if (!failure.isEmpty())
                        continue;
                    QString seen = file + QStringLiteral(".png");
                    QString why;
                    switch (format.witness) {
                    case Witness::Pillow:
                        seen = file;
                        break;
                    case Witness::Ezdxf:
                        lines << QStringLiteral("dxf ") + file;
                        continue;
                    case Witness::Ghostscript:
                        QVERIFY2(runTool(QStringLiteral("gs"),
                                         {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-sDEVICE=png16m",
                                          "-r72", "-sOutputFile=" + seen, file},
                                         &why),
                                 qPrintable(why));
                        break;
                    case Witness::Libwmf:
                        QVERIFY2(runTool(QStringLiteral("wmf2gd"), {"-t", "png", "-o", seen, file}, &why), qPrintable(why));
                        break;
                    case Witness::Dwebp:
                        QVERIFY2(runTool(QStringLiteral("dwebp"), {file, "-o", seen}, &why), qPrintable(why));
                        break;
                    case Witness::Avifdec:
                        QVERIFY2(runTool(QStringLiteral("avifdec"), {file, seen}, &why), qPrintable(why));
                        break;
                    }
                    lines << QStringLiteral("raster ") + seen;
                }
            }
        }
        witness(lines);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QDir sources(kData + QStringLiteral("/sources"));
        for (const QString &name : sources.entryList(QDir::Files, QDir::Name))
            m_sources << sources.filePath(name);
        m_sources << kData + QStringLiteral("/formats/dxf-cases/ezdxf-r12.dxf")
                  << kData + QStringLiteral("/formats/dxf-cases/ezdxf-r2000.dxf");
    }

    void readersOpenOurFiles_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("resized");
        for (const QString &source : m_sources) {
            for (const Format &format : imaging::kFormats) {
                if (!imaging::isWritten(format))
                    continue;
                for (bool resized : {false, true}) {
                    QTest::addRow("%s to %s at %s", qPrintable(QFileInfo(source).fileName()),
                                  format.caption, resized ? "640x480" : "its own size")
                        << source << int(format.type) << resized;
                }
            }
        }
    }

    void readersOpenOurFiles()
    {
        if (!std::exchange(m_converted, true))
            convertEverything();
        QFETCH(QString, source);
        QFETCH(int, type);
        QFETCH(bool, resized);
        const Format &format = imaging::format(imaging::FileType(type));
        const QString file = output(source, format, resized);
        const QString failure = m_conversions.value(file);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        const Reading &original = m_readings.value(m_sourceSeen.value(source));
        QVERIFY2(original.error.isEmpty() && !original.size.isEmpty(), qPrintable(original.error));
        const QString seen = format.witness == Witness::Pillow || format.witness == Witness::Ezdxf
            ? file : file + QStringLiteral(".png");
        const Reading &reading = m_readings.value(seen);
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));

        QSize asked = resized ? kResized : original.size;
        if (!format.onlySize.isEmpty())
            asked = asked.height() > asked.width() ? format.onlySize.transposed() : format.onlySize;
        // libwmf draws at 72 dots per inch, our metafiles say 96 units per inch.
        if (format.witness == Witness::Libwmf)
            asked = QSize(asked.width() * 3 / 4, asked.height() * 3 / 4);
        QCOMPARE(reading.size, asked);

        // Readers round and smooth edges differently, resampling moves the mean a
        // little more, and the table says how far each type moves it.
        const auto sourceType = imaging::fileTypeFromPath(source);
        QVERIFY(sourceType);
        const double bound = 2.0 + (resized ? 1.0 : 0.0) + format.fidelity.meanShift
            + imaging::format(*sourceType).fidelity.meanShift;
        for (int c = 0; c < 3; ++c) {
            QVERIFY2(std::abs(reading.mean[c] - original.mean[c]) <= bound,
                     qPrintable(QStringLiteral("channel %1: source %2, ours %3, bound %4")
                                    .arg(c).arg(original.mean[c]).arg(reading.mean[c]).arg(bound)));
        }
    }

    void pillowReadsWhatWeRead_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QImage>("picture"); // saved; null: the file `source` of tests/data/png is
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("seen"); // what Pillow says of it
        QTest::addColumn<QImage>("expected"); // what both readers must see, on white
        QTest::addColumn<int>("largest");
        QTest::addColumn<double>("mean");
        const auto row = [](const char *name, const char *extension, const QImage &picture, const char *seen) {
            QTest::newRow(name) << QString(extension) << picture << QString() << QByteArray(seen) << picture << 0 << 0.0;
        };
        // A PNG takes the smallest colour type that holds the picture exactly.
        row("PNG, grey", "png", ramp(true, false), "PNG 37 23 L - - 0");
        row("PNG, grey with alpha", "png", ramp(true, true), "PNG 37 23 LA - - 0");
        row("PNG, palette with a transparent entry", "png", blocksWithAHole(), "PNG 37 23 P - - 0");
        row("PNG, RGB", "png", noise(37, 23), "PNG 37 23 RGB - - 0");
        row("PNG, RGBA", "png", ramp(false, true), "PNG 37 23 RGBA - - 0");
        const auto colours = [](int count) { return painted(count, 2, [](int x, int) { return qRgb(x & 255, x >> 8, 7); }); };
        row("PNG, 256 colours", "png", colours(256), "PNG 256 2 P - - 0");
        row("PNG, 257 colours", "png", colours(257), "PNG 257 2 RGB - - 0");
        const QImage steps = painted(16, 16, [](int x, int y) { return qRgb(y * 16 + x, y * 16 + x, y * 16 + x); });
        const QImage flat = painted(12, 10, [](int, int) { return qRgb(200, 100, 50); });
        QTest::newRow("PNG, 16-bit grey source, 8 bits written")
            << "png" << QImage() << "pillow-16bit-grey.png" << QByteArray("PNG 16 16 L - - 0") << steps << 0 << 0.0;
        QTest::newRow("PNG, 300 dpi, gamma 0.45455, sRGB profile kept") << "png" << QImage() << "pillow-300dpi-gamma-icc.png"
            << QByteArray("PNG 12 10 P 300 0.45455 588") << flat << 0 << 0.0;
        // A one-plane PCX holds a palette picture, a grey one the grey ramp
        // (which Pillow calls L); DCX pages are always three planes. Odd widths
        // test the padding of each line.
        row("PCX, grey", "pcx", grey(64, 40), "PCX 64 40 L 96 - 0");
        row("PCX, translucent, on white", "pcx", translucent(60, 30), "PCX 60 30 P 96 - 0");
        row("PCX, 1 pixel wide", "pcx", blocks(1, 50), "PCX 1 50 P 96 - 0");
        row("PCX, 3 pixels wide, true colour", "pcx", noise(3, 100), "PCX 3 100 RGB 96 - 0");
        row("PCX, 127 pixels wide, true colour", "pcx", noise(127, 5), "PCX 127 5 RGB 96 - 0");
        row("DCX, 1 pixel wide", "dcx", blocks(1, 30), "DCX 1 30 RGB 96 - 0");
        // Runs of equal bytes longer than one count byte holds.
        const QImage flatLine = painted(200, 3, [](int, int) { return qRgb(200, 100, 50); });
        row("PCX, 200 equal pixels a line", "pcx", flatLine, "PCX 200 3 P 96 - 0");
        row("DCX, 200 equal pixels a line", "dcx", flatLine, "DCX 200 3 RGB 96 - 0");
        row("DCX, grey, 127 pixels wide", "dcx", grey(127, 9), "DCX 127 9 RGB 96 - 0");
        row("RLE, grey", "rle", grey(64, 40), "BMP 64 40 L 96 - 0");
        row("RLE, translucent, on white", "rle", translucent(60, 30), "BMP 60 30 P 96 - 0");
        row("RLE, 1 pixel wide", "rle", noise(1, 200), "BMP 1 200 P 96 - 0");
        row("RLE, 127 pixels wide", "rle", noise(127, 2), "BMP 127 2 P 96 - 0");
        // 256 colours spread over this picture's sweep of colours lie some 16
        // levels apart: undithered pixels are off by about 4 in two channels,
        // plus the grain.
        QTest::newRow("RLE, photo reduced") << "rle" << photoLike(400, 300) << QString() << QByteArray("BMP 400 300 P 96 - 0")
                                            << photoLike(400, 300) << 40 << 8.0;
    }

    // Our own writers' files (PNG, and the palette types PCX, DCX and RLE) as
    // Pillow and our own reader see them; our PNGs pass pngcheck too.
    void pillowReadsWhatWeRead()
    {
        QFETCH(QString, extension);
        QFETCH(QImage, picture);
        QFETCH(QString, source);
        QFETCH(QByteArray, seen);
        QFETCH(QImage, expected);
        QFETCH(int, largest);
        QFETCH(double, mean);
        const QString name = m_dir.filePath(QStringLiteral("%1.%2").arg(QTest::currentDataTag(), extension));
        imaging::ImageMan ours;
        const imaging::Result made = picture.isNull() ? ours.setImageFile(kData + QStringLiteral("/png/") + source)
                                                      : ours.setImage(picture);
        QVERIFY2(made, qPrintable(made.message()));
        const imaging::Result saved = ours.saveImage(name);
        QVERIFY2(saved, qPrintable(saved.message()));
        const QByteArray bytes = readAll(name);
        QString why;
        if (extension == QLatin1String("png")) {
            const std::optional<QByteArray> checked = runTool(QStringLiteral("pngcheck"), {QStringLiteral("-q"), name}, &why);
            QVERIFY2(checked && checked->isEmpty(), qPrintable(why));
        } else if (extension == QLatin1String("rle")) { // 8 bits a pixel, RLE8, 256 colours
            QCOMPARE(bytes.mid(28, 6) + bytes.mid(46, 2), QByteArray("\x08\0\x01\0\0\0\0\x01", 8));
        } else { // run-length encoded, an even number of bytes a line where Pillow allows
            const QByteArray page = bytes.mid(extension == QLatin1String("dcx") ? 4100 : 0);
            QCOMPARE(int(page[2]), 1);
            QVERIFY(expected.width() <= 3 || qFromLittleEndian<quint16>(page.constData() + 66) % 2 == 0);
        }
        const std::optional<QByteArray> out = runTool(kPython, {"-c", kPillowScript, name, name + ".png"}, &why);
        QVERIFY2(out, qPrintable(why));
        QCOMPARE(out->trimmed(), seen);
        const QImage pillow(name + QStringLiteral(".png"));
        const imaging::Result loaded = ours.setImageFile(name);
        QVERIFY2(loaded, qPrintable(loaded.message()));
        for (const QImage &read : {pillow, ours.image()}) {
            const Difference d = difference(onWhite(expected), onWhite(read));
            QVERIFY2(d.largest <= largest && d.mean <= mean, qPrintable(d.text()));
            if (extension == QLatin1String("png") && !picture.isNull()) // transparency too, exactly
                QCOMPARE(read.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
        }
    }

    void exiftoolFindsOnlyTheKeptMetadata_data()
    {
        QTest::addColumn<QString>("source"); // in tests/data/metadata
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("keepAll");
        QTest::addColumn<QStringList>("present"); // in exiftool's "Group:Tag=value" lines
        QTest::addColumn<QStringList>("absent");
        const QStringList kept{"IFD0:Artist=Ann Author", "IFD0:Copyright=(c) Ann Author", "XMP-dc:Creator=Ann Author",
                               "XMP-dc:Rights=All rights reserved, Ann Author", "ICC_Profile:ProfileDescription=sRGB built-in"};
        const QStringList profileOnly{"ICC_Profile:ProfileDescription=sRGB built-in"};
        const QStringList private_{"Kestrel", "KX-1", "SN48151623", "Shutterware", "2019:05:04", "GPS", "Lyon",
                                   "holiday", "Private", "Thumbnail", "IFD1", "IPTC", "XMP-photoshop", "XMP-exif"};
        for (const char *extension : {"jpg", "tif", "png", "webp", "avif"})
            QTest::addRow("%s by default", extension) << "everything.jpg" << extension << false << kept << private_;
        for (const char *extension : {"bmp", "rle"})
            QTest::addRow("%s: the profile only", extension) << "everything.jpg" << extension << false << profileOnly
                                                            << private_ + QStringList{"Ann Author"};
        const QStringList tags{"Kestrel", "SN48151623", "ExifIFD:DateTimeOriginal=2019:05:04", "GPS:GPSLatitude=48.8584",
                               "XMP-photoshop:City=Lyon", "Private user comment"}, exif = tags + QStringList{"Private comment"};
        QTest::newRow("jpg keeping all") << "everything.jpg" << "jpg" << true << kept + exif + QStringList{"IPTC:City=Lyon"}
                                         << QStringList{"Thumbnail", "IFD1"};
        for (const char *extension : {"png", "webp", "avif"}) // only PNG has a place for the comment
            QTest::addRow("%s keeping all", extension) << "everything.jpg" << extension << true
                << kept + (extension[0] == 'p' ? exif : tags) << QStringList{"Thumbnail", "IFD1"};
        // The library's TIFF writer has no place for EXIF's own directories.
        QTest::newRow("tif keeping all") << "everything.jpg" << "tif" << true
                                         << kept + QStringList{"IPTC2:City=Lyon", "XMP-photoshop:City=Lyon", "Private comment"}
                                         << QStringList{"Thumbnail", "IFD1"};
        QTest::newRow("png: primaries and gamma kept") << "chromaticities.png" << "png" << false
            << QStringList{"PNG:WhitePointX=0.3127", "PNG:RedX=0.64", "PNG:BlueY=0.06", "PNG:Gamma=2.2"} << QStringList();
    }
    // A photo carrying every kind of tag: by default only the colour profile,
    // author and copyright are written, each where the type has room for it;
    // keeping all drops the thumbnail, bytes and all. The orientation is 1.
    void exiftoolFindsOnlyTheKeptMetadata()
    {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        QFETCH(bool, keepAll);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        const QString from = kData + QStringLiteral("/metadata/") + source;
        const QString name = m_dir.filePath(QStringLiteral("%1.%2").arg(QTest::currentDataTag(), extension));
        imaging::ImageMan ours;
        ours.setKeepMetadata(keepAll);
        imaging::Result result = ours.setImageFile(from);
        if (result)
            result = ours.saveImage(name);
        QVERIFY2(result, qPrintable(result.message()));
        QString why;
        const std::optional<QByteArray> json = runTool(QStringLiteral("exiftool"), {"-j", "-a", "-G1", "-n", name}, &why);
        QVERIFY2(json, qPrintable(why));
        QStringList lines;
        const QJsonObject tags = QJsonDocument::fromJson(*json).array().at(0).toObject();
        for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
            lines << tag.key() + '=' + tag.value().toVariant().toString();
            if (tag.key().endsWith(QLatin1String(":Orientation")))
                QCOMPARE(tag.value().toInt(), 1);
        }
        const QString all = lines.join(QLatin1Char('\n'));
        for (const QString &text : present)
            QVERIFY2(lines.contains(text) || all.contains(text), qPrintable(text + " missing from\n" + all));
        for (const QString &text : absent)
            QVERIFY2(!all.contains(text), qPrintable(text + " found in\n" + all));
        const std::optional<QByteArray> thumbnail = runTool(QStringLiteral("exiftool"), {"-b", "-ThumbnailImage", from}, &why);
        QVERIFY(thumbnail && (source != QLatin1String("everything.jpg") || thumbnail->size() > 200));
        QVERIFY(thumbnail->isEmpty() || !readAll(name).contains(thumbnail->right(100)));
    }
};

QTEST_MAIN(TestIndependentReaders)
#include "tst_independent_readers.moc"
