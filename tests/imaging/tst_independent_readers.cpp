#include "imaging/imageman.h"
#include "pictures.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

// What we write must open in software nobody here wrote: Pillow, Ghostscript,
// libwmf and ezdxf, all installed by scripts/install-deps. A missing tool is a
// failure, not a skip.
using namespace testpictures;

namespace {

// Debian's packages install their Python modules for the system interpreter,
// whatever else is first on the PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");

const char *const kPillowScript = R"(
import sys
from PIL import Image
image = Image.open(sys.argv[1])
print(image.format, image.size[0], image.size[1], image.mode)
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

} // namespace

class TestIndependentReaders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void readersOpenOurFiles_data();
    void readersOpenOurFiles();
    void bothReadPaletteTypes_data();
    void bothReadPaletteTypes();
    void ezdxfAuditsOurDrawings_data();
    void ezdxfAuditsOurDrawings();

private:
    QString save(const QImage &image, const QString &name);
    QTemporaryDir m_dir;
};

QString TestIndependentReaders::save(const QImage &image, const QString &name)
{
    imaging::ImageMan man;
    imaging::Result result = man.setImage(image, QStringLiteral("the test picture"));
    if (result.ok())
        result = man.saveImage(m_dir.filePath(name));
    return result.ok() ? QString() : result.message();
}

void TestIndependentReaders::readersOpenOurFiles_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("command"); // IN and OUT stand for the two files
    QTest::addColumn<int>("largest");
    QTest::addColumn<double>("mean");
    QTest::addColumn<QSize>("size"); // invalid: the picture's own
    const QStringList pillow{kPython, "-c", kPillowScript, "IN", "OUT"};
    QTest::newRow("JPG by Pillow") << "jpg" << pillow << 255 << 16.0 << QSize();
    QTest::newRow("TIF by Pillow") << "tif" << pillow << 0 << 0.0 << QSize();
    QTest::newRow("BMP by Pillow") << "bmp" << pillow << 0 << 0.0 << QSize();
    QTest::newRow("PNG by Pillow") << "png" << pillow << 0 << 0.0 << QSize();
    QTest::newRow("PCD by Pillow, at its base size") << "pcd" << pillow << 255 << 12.0 << QSize(768, 512);
    QTest::newRow("RLE by Pillow") << "rle" << pillow << 16 << 0.1 << QSize();
    QTest::newRow("PCX by Pillow") << "pcx" << pillow << 0 << 0.0 << QSize();
    QTest::newRow("DCX by Pillow") << "dcx" << pillow << 0 << 0.0 << QSize();
    QTest::newRow("TGA by Pillow") << "tga" << pillow << 0 << 0.0 << QSize();
    QTest::newRow("EPS by Ghostscript") << "eps"
        << QStringList{"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-sDEVICE=png16m", "-r72",
                       "-sOutputFile=OUT", "IN"}
        << 2 << 0.5 << QSize();
    // libwmf draws at 72 dots per inch, so the 96 units per inch of our
    // bounding box come out at three quarters of the pixel size unless told
    // the size. It also resamples the bitmap even at its own size, blurring
    // the blocks' edges; upside down or with red and blue swapped is off by 70+.
    QTest::newRow("WMF by libwmf, at 72 dots per inch") << "wmf"
        << QStringList{"wmf2gd", "-t", "png", "-o", "OUT", "IN"} << -1 << 0.0 << QSize(144, 96);
    QTest::newRow("WMF by libwmf") << "wmf"
        << QStringList{"wmf2gd", "-t", "png", "--maxwidth=192", "--maxheight=128", "--maxsize", "-o", "OUT", "IN"}
        << 255 << 12.0 << QSize();
}

void TestIndependentReaders::readersOpenOurFiles()
{
    QFETCH(QString, extension);
    QFETCH(QStringList, command);
    QFETCH(int, largest);
    QFETCH(double, mean);
    QFETCH(QSize, size);
    const QImage original = testpictures::blocks(192, 128);
    if (!size.isValid())
        size = original.size();
    const QString name = QStringLiteral("picture.") + extension;
    const QString error = save(original, name);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString png = m_dir.filePath(extension + QStringLiteral("-as-read.png"));
    for (QString &argument : command)
        argument.replace(QLatin1String("IN"), m_dir.filePath(name)).replace(QLatin1String("OUT"), png);

    QByteArray out;
    QString why;
    QVERIFY2(run(command.takeFirst(), command, &out, &why), qPrintable(why));
    if (command.contains(QLatin1String(kPillowScript))) {
        const QList<QByteArray> words = out.simplified().split(' ');
        QCOMPARE(words.size(), 4);
        QCOMPARE(QSize(words[1].toInt(), words[2].toInt()), size);
    }
    QImage read(png);
    QVERIFY2(!read.isNull(), qPrintable(png));
    QCOMPARE(read.size(), size);
    if (largest < 0)
        return;
    const QImage expected = original.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const testpictures::Difference d = testpictures::difference(expected, read);
    QVERIFY2(d.largest <= largest && d.mean <= mean, qPrintable(d.text()));
}

void TestIndependentReaders::bothReadPaletteTypes_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QByteArray>("mode"); // as Pillow names it
    QTest::addColumn<int>("largest");
    QTest::addColumn<double>("mean");
    // A one-plane PCX holds a palette picture, a grey one the grey ramp
    // (which Pillow calls L); DCX pages are always three planes.
    QTest::newRow("PCX, 40 colours") << "pcx" << blocks(126, 179) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("PCX, grey") << "pcx" << grey(64, 40) << QByteArray("L") << 0 << 0.0;
    QTest::newRow("PCX, true colour") << "pcx" << noise(23, 17) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("PCX, translucent, on white") << "pcx" << translucent(60, 30) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("PCX, 1 pixel wide") << "pcx" << blocks(1, 50) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("PCX, 3 pixels wide, true colour") << "pcx" << noise(3, 100) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("PCX, 127 pixels wide, true colour") << "pcx" << noise(127, 5) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("DCX, 40 colours") << "dcx" << blocks(126, 179) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("DCX, 1 pixel wide") << "dcx" << blocks(1, 30) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("DCX, grey, 127 pixels wide") << "dcx" << grey(127, 9) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("DCX, translucent, on white") << "dcx" << translucent(61, 3) << QByteArray("RGB") << 0 << 0.0;
    QTest::newRow("RLE, 40 colours") << "rle" << blocks(126, 179) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("RLE, grey") << "rle" << grey(64, 40) << QByteArray("L") << 0 << 0.0;
    QTest::newRow("RLE, two colours") << "rle" << blocks(9, 9) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("RLE, translucent, on white") << "rle" << translucent(60, 30) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("RLE, 1 pixel wide") << "rle" << noise(1, 200) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("RLE, 3 pixels wide") << "rle" << blocks(3, 80) << QByteArray("P") << 0 << 0.0;
    QTest::newRow("RLE, 127 pixels wide") << "rle" << noise(127, 2) << QByteArray("P") << 0 << 0.0;
    // 256 colours spread over this picture's two-dimensional sweep of
    // colours lie some 16 levels apart, so undithered pixels are off by about
    // 4 in two channels, plus the grain: 6.8 on average, up to 33 (the
    // library's undithered reduction: 10.4, up to 100). A real photograph
    // fares better.
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
    const QString error = save(image, QFileInfo(name).fileName());
    QVERIFY2(error.isEmpty(), qPrintable(error));
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
    QVERIFY2(run(kPython, {"-c", kPillowScript, name, png}, &out, &why), qPrintable(why));
    QCOMPARE(out.simplified().split(' '),
             (QList<QByteArray>{bitmap ? "BMP" : extension.toUpper().toLatin1(), QByteArray::number(image.width()),
                                QByteArray::number(image.height()), mode}));
    imaging::ImageMan ours;
    const imaging::Result loaded = ours.setImageFile(name);
    QVERIFY2(loaded, qPrintable(loaded.message()));
    for (const QImage &read : {QImage(png), ours.image()}) {
        const Difference d = difference(onWhite(image), read);
        QVERIFY2(d.largest <= largest && d.mean <= mean, qPrintable(d.text()));
    }
}

void TestIndependentReaders::ezdxfAuditsOurDrawings_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("blocks") << testpictures::blocks(192, 128);
    QTest::newRow("noise") << testpictures::noise(23, 17);
    QTest::newRow("one pixel") << testpictures::noise(1, 1);
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

QTEST_MAIN(TestIndependentReaders)
#include "tst_independent_readers.moc"
