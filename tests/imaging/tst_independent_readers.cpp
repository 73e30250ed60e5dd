#include "imaging/aci.h"
#include "imaging/imageman.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// What we write must open in software nobody here wrote: Pillow, Ghostscript,
// libwmf and ezdxf, all installed by scripts/install-deps. A missing tool is a
// failure, not a skip.
namespace {

// Debian's packages install their Python modules for the system interpreter,
// whatever else is first on the PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");

const char *const kPillowScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1])
print(image.format, image.size[0], image.size[1])
image.convert('RGB').save(sys.argv[2], 'PNG')
)";

const char *const kEzdxfScript = R"(
import sys, ezdxf
from ezdxf import bbox
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
msp = doc.modelspace()
solids = msp.query('SOLID')
area = 0.0
for s in solids:
    xs = [s.dxf.vtx0.x, s.dxf.vtx1.x, s.dxf.vtx2.x, s.dxf.vtx3.x]
    ys = [s.dxf.vtx0.y, s.dxf.vtx1.y, s.dxf.vtx2.y, s.dxf.vtx3.y]
    area += (max(xs) - min(xs)) * (max(ys) - min(ys))
box = bbox.extents(msp)
lo, hi = doc.header['$EXTMIN'], doc.header['$EXTMAX']
print(doc.dxfversion, len(auditor.errors), len(solids), len(msp) - len(solids),
      '%g %g %g %g' % (lo[0], lo[1], hi[0], hi[1]),
      '%g %g %g %g' % (box.extmin.x, box.extmin.y, box.extmax.x, box.extmax.y),
      '%g' % area)
)";

// Runs a tool to the end; its standard output, or a failure that says why.
bool run(const QString &program, const QStringList &arguments, QByteArray *out, QString *why)
{
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFile::exists(program)) {
        *why = QStringLiteral("%1 is not installed; scripts/install-deps installs it").arg(program);
        return false;
    }
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(-1) || !process.waitForFinished(-1)) {
        *why = QStringLiteral("%1 did not run: %2").arg(program, process.errorString());
        return false;
    }
    *out = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *why = QStringLiteral("%1 %2 failed: %3")
                   .arg(program, arguments.join(QLatin1Char(' ')),
                        QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}

// A picture of flat areas, lines and a few dozen colours: few enough for a
// 256-colour type to keep it exactly.
QImage testPicture(int width = 192, int height = 128)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 240));
    QPainter p(&image);
    p.fillRect(0, 0, width / 3, height / 2, QColor(200, 30, 30));
    p.fillRect(width / 3, 0, width / 3, height / 2, QColor(30, 160, 60));
    p.fillRect(2 * width / 3, height / 2, width - 2 * width / 3, height / 2, QColor(20, 40, 180));
    for (int x = 0; x < width; x += 3)
        p.fillRect(x, height - 4, 2, 2, QColor(x * 5 % 256, 100, 255 - x * 5 % 256));
    p.setPen(Qt::black);
    p.drawLine(0, 0, width - 1, height - 1);
    return image;
}

struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference compare(const QImage &a, const QImage &b)
{
    Difference d;
    qint64 total = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int channel : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                d.largest = std::max(d.largest, std::abs(channel));
                total += std::abs(channel);
            }
        }
    }
    d.mean = double(total) / (3.0 * a.width() * a.height());
    return d;
}

QImage reducedToAci(const QImage &image)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, imaging::detail::aciColour(imaging::detail::nearestAci(out.pixel(x, y))));
    return out;
}

} // namespace

class TestIndependentReaders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void readersOpenOurFiles_data();
    void readersOpenOurFiles();
    void ezdxfAuditsOurDrawings_data();
    void ezdxfAuditsOurDrawings();
    void roundTripThroughImageMan_data();
    void roundTripThroughImageMan();

private:
    QString save(const QImage &image, const QString &name);
    QTemporaryDir m_dir;
};

void TestIndependentReaders::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestIndependentReaders::save(const QImage &image, const QString &name)
{
    imaging::ImageMan man;
    const QString path = m_dir.filePath(name);
    const imaging::Result set = man.setImage(image, QStringLiteral("the test picture"));
    if (!set.ok())
        return set.message();
    const imaging::Result saved = man.saveImage(path);
    return saved.ok() ? QString() : saved.message();
}

void TestIndependentReaders::readersOpenOurFiles_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<int>("largest");
    QTest::addColumn<double>("mean");
    QTest::addColumn<QSize>("size"); // invalid: the picture's own
    QTest::newRow("JPG by Pillow") << "jpg" << "pillow" << 255 << 6.0 << QSize();
    QTest::newRow("TIF by Pillow") << "tif" << "pillow" << 0 << 0.0 << QSize();
    QTest::newRow("BMP by Pillow") << "bmp" << "pillow" << 0 << 0.0 << QSize();
    QTest::newRow("PNG by Pillow") << "png" << "pillow" << 0 << 0.0 << QSize();
    QTest::newRow("PCD by Pillow, at its base size") << "pcd" << "pillow" << 255 << 12.0 << QSize(768, 512);
    // RLE holds at most 256 colours; the library's reduction moves a few.
    QTest::newRow("RLE by Pillow") << "rle" << "pillow" << 16 << 0.1 << QSize();
    QTest::newRow("PCX by Pillow") << "pcx" << "pillow" << 0 << 0.0 << QSize();
    QTest::newRow("DCX by Pillow") << "dcx" << "pillow" << 0 << 0.0 << QSize();
    QTest::newRow("TGA by Pillow") << "tga" << "pillow" << 0 << 0.0 << QSize();
    QTest::newRow("EPS by Ghostscript") << "eps" << "gs" << 2 << 0.5 << QSize();
    // Metafile players resample a bitmap even at its own size, which blurs
    // its edges; a picture upside down or with red and blue swapped is off by
    // far more than this.
    QTest::newRow("WMF by libwmf") << "wmf" << "wmf2gd" << 255 << 5.0 << QSize();
}

void TestIndependentReaders::readersOpenOurFiles()
{
    QFETCH(QString, extension);
    QFETCH(QString, reader);
    QFETCH(int, largest);
    QFETCH(double, mean);
    QFETCH(QSize, size);
    const QImage original = testPicture();
    if (!size.isValid())
        size = original.size();
    const QString name = QStringLiteral("picture.") + extension;
    const QString error = save(original, name);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString path = m_dir.filePath(name);
    const QString png = m_dir.filePath(extension + QStringLiteral("-as-read.png"));

    QByteArray out;
    QString why;
    if (reader == QLatin1String("pillow")) {
        QVERIFY2(run(kPython, {QStringLiteral("-c"), QString::fromLatin1(kPillowScript), path, png}, &out, &why),
                 qPrintable(why));
        const QList<QByteArray> words = out.simplified().split(' ');
        QCOMPARE(words.size(), 3);
        QCOMPARE(words[1].toInt(), size.width());
        QCOMPARE(words[2].toInt(), size.height());
    } else if (reader == QLatin1String("gs")) {
        QVERIFY2(run(QStringLiteral("gs"),
                     {QStringLiteral("-q"), QStringLiteral("-dSAFER"), QStringLiteral("-dBATCH"),
                      QStringLiteral("-dNOPAUSE"), QStringLiteral("-dEPSCrop"),
                      QStringLiteral("-sDEVICE=png16m"), QStringLiteral("-r72"),
                      QStringLiteral("-sOutputFile=") + png, path},
                     &out, &why),
                 qPrintable(why));
    } else {
        // libwmf draws at 72 dots per inch, so the 96 units per inch of our
        // bounding box come out at three quarters of the pixel size.
        QVERIFY2(run(QStringLiteral("wmf2gd"), {QStringLiteral("-t"), QStringLiteral("png"),
                                                QStringLiteral("-o"), png, path},
                     &out, &why),
                 qPrintable(why));
        QCOMPARE(QImage(png).size(), original.size() * 3 / 4);
        QVERIFY2(run(QStringLiteral("wmf2gd"),
                     {QStringLiteral("-t"), QStringLiteral("png"),
                      QStringLiteral("--maxwidth=%1").arg(original.width()),
                      QStringLiteral("--maxheight=%1").arg(original.height()),
                      QStringLiteral("--maxsize"), QStringLiteral("-o"), png, path},
                     &out, &why),
                 qPrintable(why));
    }
    QImage read(png);
    QVERIFY2(!read.isNull(), qPrintable(png));
    QCOMPARE(read.size(), size);
    const QImage expected = original.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const Difference d = compare(expected, read.convertToFormat(QImage::Format_RGB32));
    QVERIFY2(d.largest <= largest && d.mean <= mean,
             qPrintable(QStringLiteral("pixels differ by up to %1, %2 on average").arg(d.largest).arg(d.mean)));
}

void TestIndependentReaders::ezdxfAuditsOurDrawings_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("flat areas and lines") << testPicture();
    QImage noise(23, 17, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, 0xFF000000u | random.bounded(0x1000000u));
    QTest::newRow("noise") << noise;
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(Qt::black);
    QTest::newRow("one black pixel") << one;
}

void TestIndependentReaders::ezdxfAuditsOurDrawings()
{
    QFETCH(QImage, image);
    const QString error = save(image, QStringLiteral("drawing.dxf"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString path = m_dir.filePath(QStringLiteral("drawing.dxf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qsizetype written = file.readAll().count("\r\nSOLID\r\n");

    QByteArray out;
    QString why;
    QVERIFY2(run(kPython, {QStringLiteral("-c"), QString::fromLatin1(kEzdxfScript), path}, &out, &why),
             qPrintable(why));
    const QList<QByteArray> words = out.simplified().split(' ');
    QCOMPARE(words.size(), 13);
    QCOMPARE(words[0], QByteArray("AC1009"));
    QCOMPARE(words[1], QByteArray("0")); // errors found by the audit
    QCOMPARE(words[2].toLongLong(), qint64(written));
    QCOMPARE(words[3], QByteArray("0")); // nothing but solids
    const QByteArray w = QByteArray::number(image.width()), h = QByteArray::number(image.height());
    const QList<QByteArray> expected{"0", "0", w, h};
    QCOMPARE(words.mid(4, 4), expected); // the header's extents
    QCOMPARE(words.mid(8, 4), expected); // the extents of what is drawn
    // The rectangles tile the picture: no gap, no overlap.
    QCOMPARE(words[12].toLongLong(), qint64(image.width()) * image.height());
}

void TestIndependentReaders::roundTripThroughImageMan_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("largest");
    QTest::addColumn<double>("mean");
    const QSize same = testPicture().size();
    QTest::newRow("JPG") << "jpg" << same << 255 << 6.0;
    QTest::newRow("TIF") << "tif" << same << 0 << 0.0;
    QTest::newRow("BMP") << "bmp" << same << 0 << 0.0;
    QTest::newRow("RLE") << "rle" << same << 16 << 0.1;
    QTest::newRow("PCX") << "pcx" << same << 0 << 0.0;
    QTest::newRow("PNG") << "png" << same << 0 << 0.0;
    QTest::newRow("DXF, colours reduced") << "dxf" << same << 0 << 0.0;
    QTest::newRow("PCD at its base size") << "pcd" << QSize(768, 512) << 255 << 12.0;
    QTest::newRow("WMF, resampled by the player") << "wmf" << same << 255 << 5.0;
    QTest::newRow("TGA") << "tga" << same << 0 << 0.0;
    QTest::newRow("DCX") << "dcx" << same << 0 << 0.0;
    QTest::newRow("EPS") << "eps" << same << 2 << 0.5;
}

void TestIndependentReaders::roundTripThroughImageMan()
{
    QFETCH(QString, extension);
    QFETCH(QSize, size);
    QFETCH(int, largest);
    QFETCH(double, mean);
    const QImage original = testPicture();
    const QString name = QStringLiteral("round.") + extension;
    const QString error = save(original, name);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    imaging::ImageMan man;
    const imaging::Result opened = man.setImageFile(m_dir.filePath(name));
    QVERIFY2(opened.ok(), qPrintable(opened.message()));
    QCOMPARE(QSize(man.imageWidth(), man.imageHeight()), size);
    QImage expected = extension == QLatin1String("dxf") ? reducedToAci(original) : original;
    if (expected.size() != size)
        expected = expected.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const Difference d = compare(expected, man.image().convertToFormat(QImage::Format_RGB32));
    QVERIFY2(d.largest <= largest && d.mean <= mean,
             qPrintable(QStringLiteral("pixels differ by up to %1, %2 on average").arg(d.largest).arg(d.mean)));
}

QTEST_MAIN(TestIndependentReaders)
#include "tst_independent_readers.moc"
