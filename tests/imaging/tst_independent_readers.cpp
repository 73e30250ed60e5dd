#include "imaging/imageman.h"
#include "pictures.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using imaging::Format;
using imaging::Witness;
using namespace testpictures;

// Pictures other programs wrote (tests/data/sources, made by
// scripts/make-test-sources) are converted to every type we write, at their
// own size and at 640 x 480, and every file we write is opened by a program
// nobody here wrote: Pillow, Ghostscript, libwmf or ezdxf, all installed by
// scripts/install-deps. Each must have the size asked for and the colours of
// its source. A missing tool is a failure, not a skip.
namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kData = QStringLiteral(KESTRUNE_TEST_DATA);
const QSize kResized(640, 480);

// For each "KIND PATH" line: "PATH<tab>width<tab>height<tab>R<tab>G<tab>B", the
// mean colour on white, or "PATH<tab>ERROR<tab>why". Drawings are checked by
// ezdxf: an R12 file with no audit error, nothing but SOLIDs that tile the
// extents, whose mean colour is weighted by area.
const char *const kWitnessScript = R"(
import sys
from PIL import Image, ImageStat
import ezdxf
from ezdxf import bbox, colors
def raster(path):
    image = Image.open(path)
    rgba = image.convert('RGBA')
    ground = Image.new('RGBA', rgba.size, (255, 255, 255, 255))
    mean = ImageStat.Stat(Image.alpha_composite(ground, rgba).convert('RGB')).mean
    return image.size, mean
def drawing(path):
    doc = ezdxf.readfile(path)
    if doc.dxfversion != 'AC1009' or doc.audit().errors:
        raise ValueError('version %s, audit errors %d' % (doc.dxfversion, len(doc.audit().errors)))
    msp = doc.modelspace()
    if len(msp.query('SOLID')) != len(msp):
        raise ValueError('entities other than SOLID')
    box = bbox.extents(msp)
    total, sums = 0.0, [0.0, 0.0, 0.0]
    for s in msp:
        xs = [v.x for v in (s.dxf.vtx0, s.dxf.vtx1, s.dxf.vtx2, s.dxf.vtx3)]
        ys = [v.y for v in (s.dxf.vtx0, s.dxf.vtx1, s.dxf.vtx2, s.dxf.vtx3)]
        area = (max(xs) - min(xs)) * (max(ys) - min(ys))
        # Colour 7 is the foreground: black on the white ground we draw on.
        rgb = s.rgb if s.rgb else (0, 0, 0) if s.dxf.color == 7 else colors.aci2rgb(s.dxf.color)
        total += area
        sums = [a + area * c for a, c in zip(sums, rgb)]
    size = (round(box.size.x), round(box.size.y))
    if abs(total - size[0] * size[1]) > 0.5:
        raise ValueError('the rectangles cover %g, not %d' % (total, size[0] * size[1]))
    return size, [c / total for c in sums]
for line in sys.stdin:
    kind, path = line.rstrip('\n').split(' ', 1)
    try:
        size, mean = drawing(path) if kind == 'dxf' else raster(path)
        print('%s\t%d\t%d\t%.3f\t%.3f\t%.3f' % ((path,) + tuple(size) + tuple(mean)))
    except Exception as e:
        print('%s\tERROR\t%s' % (path, str(e).replace('\n', ' ')))
)";

const char *const kPillowScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1])
print(image.format, image.size[0], image.size[1], image.mode)
image.convert('RGB').save(sys.argv[2], 'PNG')
)";

struct Reading {
    QSize size;
    double mean[3] = {0, 0, 0};
    QString error;
};

// Runs a tool to the end; its standard output, or a failure that says why.
bool run(const QString &program, const QStringList &arguments, const QByteArray &input,
         QByteArray *out, QString *why)
{
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFile::exists(program)) {
        *why = QStringLiteral("%1 is not installed; scripts/install-deps installs it").arg(program);
        return false;
    }
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *why = QStringLiteral("%1 %2 failed: %3")
                   .arg(program, arguments.join(QLatin1Char(' ')),
                        QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    *out = process.readAllStandardOutput();
    return true;
}

QString caption(const Format &format)
{
    return QLatin1String(common::fileTypeInfo(format.type).caption);
}

} // namespace

class TestIndependentReaders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void readersOpenOurFiles_data();
    void readersOpenOurFiles();
    void bothReadPaletteTypes_data();
    void bothReadPaletteTypes();

private:
    QString output(const QString &source, const Format &format, bool resized) const;
    QString convert(const QString &source, const Format &format, bool resized);
    void witness(const QStringList &kindAndPath);

    QTemporaryDir m_dir;
    QStringList m_sources;
    QHash<QString, QString> m_conversions; // output path: failure message, empty when written
    QHash<QString, Reading> m_readings;    // file: what its witness saw
};

QString TestIndependentReaders::output(const QString &source, const Format &format, bool resized) const
{
    return m_dir.filePath(QStringLiteral("%1-%2.%3")
                              .arg(QFileInfo(source).completeBaseName(),
                                   resized ? QStringLiteral("640x480") : QStringLiteral("own"),
                                   QLatin1String(common::fileTypeInfo(format.type).extension)));
}

QString TestIndependentReaders::convert(const QString &source, const Format &format, bool resized)
{
    imaging::ImageMan man;
    imaging::Result result = man.setImageFile(source);
    if (result && resized)
        result = man.resizeImage(kResized.width(), kResized.height());
    if (result)
        result = man.saveImage(output(source, format, resized));
    return result ? QString() : result.message();
}

void TestIndependentReaders::witness(const QStringList &kindAndPath)
{
    QByteArray out;
    QString why;
    QVERIFY2(run(kPython, {QStringLiteral("-c"), QString::fromLatin1(kWitnessScript)},
                 kindAndPath.join(QLatin1Char('\n')).toUtf8(), &out, &why),
             qPrintable(why));
    for (const QByteArray &line : out.split('\n')) {
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

void TestIndependentReaders::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QDir sources(kData + QStringLiteral("/sources"));
    for (const QString &name : sources.entryList(QDir::Files, QDir::Name))
        m_sources << sources.filePath(name);
    m_sources << kData + QStringLiteral("/formats/ezdxf-r12.dxf")
              << kData + QStringLiteral("/formats/ezdxf-r2000.dxf");

    // The colours of a source as a reader other than ours sees them; Pillow
    // reads neither metafiles nor drawings, so for those our reading stands.
    QStringList lines;
    for (const QString &source : m_sources) {
        if (source.endsWith(QLatin1String(".wmf")) || source.endsWith(QLatin1String(".dxf"))) {
            imaging::ImageMan man;
            QVERIFY(man.setImageFile(source));
            const QString png = m_dir.filePath(QFileInfo(source).fileName() + QStringLiteral(".png"));
            QVERIFY(man.image().save(png));
            lines << QStringLiteral("raster ") + png;
            m_readings[source] = {};
            continue;
        }
        lines << QStringLiteral("raster ") + source;
    }

    for (const QString &source : m_sources) {
        for (const Format &format : imaging::formats()) {
            for (bool resized : {false, true}) {
                const QString file = output(source, format, resized);
                const QString failure = convert(source, format, resized);
                m_conversions.insert(file, failure);
                if (!failure.isEmpty())
                    continue;
                QString seen = file + QStringLiteral(".png");
                QByteArray out;
                QString why;
                switch (format.witness) {
                case Witness::Pillow:
                    seen = file;
                    break;
                case Witness::Ezdxf:
                    lines << QStringLiteral("dxf ") + file;
                    continue;
                case Witness::Ghostscript:
                    QVERIFY2(run(QStringLiteral("gs"),
                                 {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-sDEVICE=png16m",
                                  "-r72", "-sOutputFile=" + seen, file},
                                 {}, &out, &why),
                             qPrintable(why));
                    break;
                case Witness::Libwmf:
                    QVERIFY2(run(QStringLiteral("wmf2gd"), {"-t", "png", "-o", seen, file}, {}, &out, &why),
                             qPrintable(why));
                    break;
                }
                lines << QStringLiteral("raster ") + seen;
            }
        }
    }
    witness(lines);
    for (const QString &source : m_sources) {
        if (m_readings.contains(source) && m_readings[source].size.isEmpty())
            m_readings[source] = m_readings[m_dir.filePath(QFileInfo(source).fileName() + QStringLiteral(".png"))];
    }
}

void TestIndependentReaders::readersOpenOurFiles_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("resized");
    for (const QString &source : m_sources) {
        for (const Format &format : imaging::formats()) {
            for (bool resized : {false, true}) {
                QTest::addRow("%s to %s at %s", qPrintable(QFileInfo(source).fileName()),
                              qPrintable(caption(format)), resized ? "640x480" : "its own size")
                    << source << int(format.type) << resized;
            }
        }
    }
}

void TestIndependentReaders::readersOpenOurFiles()
{
    QFETCH(QString, source);
    QFETCH(int, type);
    QFETCH(bool, resized);
    const Format &format = imaging::format(imaging::FileType(type));
    const QString file = output(source, format, resized);
    const QString failure = m_conversions.value(file);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    const Reading &original = m_readings.value(source);
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
    const auto sourceType = common::fileTypeFromPath(source);
    QVERIFY(sourceType);
    const double bound = 2.0 + (resized ? 1.0 : 0.0) + format.fidelity.meanShift
        + imaging::format(*sourceType).fidelity.meanShift;
    for (int c = 0; c < 3; ++c) {
        QVERIFY2(std::abs(reading.mean[c] - original.mean[c]) <= bound,
                 qPrintable(QStringLiteral("channel %1: source %2, ours %3, bound %4")
                                .arg(c).arg(original.mean[c]).arg(reading.mean[c]).arg(bound)));
    }
}

void TestIndependentReaders::bothReadPaletteTypes_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QByteArray>("mode"); // as Pillow names it
    QTest::addColumn<int>("largest");
    QTest::addColumn<double>("mean");
    // A one-plane PCX holds a palette picture, a grey one the grey ramp
    // (which Pillow calls L); DCX pages are always three planes. Odd widths
    // test the padding of each line.
    QTest::newRow("PCX, grey") << "pcx" << grey(64, 40) << QByteArray("L") << 0 << 0.0;
    QTest::newRow("PCX, translucent, on white") << "pcx" << translucent(60, 30) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("PCX, 1 pixel wide") << "pcx" << blocks(1, 50) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("PCX, 3 pixels wide, true colour") << "pcx" << noise(3, 100) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("PCX, 127 pixels wide, true colour") << "pcx" << noise(127, 5) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("DCX, 1 pixel wide") << "dcx" << blocks(1, 30) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("DCX, grey, 127 pixels wide") << "dcx" << grey(127, 9) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("RLE, grey") << "rle" << grey(64, 40) << QByteArray("L") << 0 << 0.0;
    QTest::newRow("RLE, translucent, on white") << "rle" << translucent(60, 30) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("RLE, 1 pixel wide") << "rle" << noise(1, 200) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("RLE, 127 pixels wide") << "rle" << noise(127, 2) << QByteArray("P") << 0 << 0.0;
    // 256 colours spread over this picture's sweep of colours lie some 16
    // levels apart: undithered pixels are off by about 4 in two channels,
    // plus the grain.
    QTest::newRow("RLE, photo reduced") << "rle" << photoLike(400, 300) << QByteArray("P") << 40 << 8.0;
}

void TestIndependentReaders::bothReadPaletteTypes()
{
    QFETCH(QString, extension);
    QFETCH(QImage, image);
    QFETCH(QByteArray, mode);
    QFETCH(int, largest);
    QFETCH(double, mean);
    const QString name = m_dir.filePath(QStringLiteral("palette.") + extension), png = name + ".png";
    imaging::ImageMan ours;
    QVERIFY(ours.setImage(image));
    const imaging::Result saved = ours.saveImage(name);
    QVERIFY2(saved, qPrintable(saved.message()));
    const QByteArray bytes = readAll(name);
    const bool bitmap = extension == QLatin1String("rle");
    if (bitmap) { // 8 bits a pixel, RLE8, 256 colours
        QCOMPARE(bytes.mid(28, 6) + bytes.mid(46, 2), QByteArray("\x08\0\x01\0\0\0\0\x01", 8));
    } else { // run-length encoded, an even number of bytes a line where Pillow allows
        const QByteArray page = bytes.mid(extension == QLatin1String("dcx") ? 4100 : 0);
        QCOMPARE(int(page[2]), 1);
        QVERIFY(image.width() <= 3 || qFromLittleEndian<quint16>(page.constData() + 66) % 2 == 0);
    }
    QByteArray out;
    QString why;
    QVERIFY2(run(kPython, {"-c", kPillowScript, name, png}, {}, &out, &why), qPrintable(why));
    QCOMPARE(out.simplified().split(' '),
             (QList<QByteArray>{bitmap ? "BMP" : extension.toUpper().toLatin1(), QByteArray::number(image.width()),
                                QByteArray::number(image.height()), mode}));
    const imaging::Result loaded = ours.setImageFile(name);
    QVERIFY2(loaded, qPrintable(loaded.message()));
    for (const QImage &read : {QImage(png), ours.image()}) {
        const Difference d = difference(onWhite(image), read);
        QVERIFY2(d.largest <= largest && d.mean <= mean, qPrintable(d.text()));
    }
}

QTEST_MAIN(TestIndependentReaders)
#include "tst_independent_readers.moc"
