#include "imaging/detect.h"
#include "imaging/imageman.h"
#include "imaging/library.h"
#include "pictures.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using imaging::ImageMan;
using namespace testpictures;

namespace {

std::optional<common::FileType> contentType(const QString &path)
{
    return imaging::detail::detectContent(readAll(path).left(imaging::detail::kDetectBytes)).type;
}

// A bitmap header that claims a size; the pixels themselves are missing.
QByteArray bitmapHeader(qint32 width, qint32 height)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54 + 64) << quint32(0) << quint32(54);
    out << quint32(40) << width << height << quint16(1) << quint16(24) << quint32(0)
        << quint32(0) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    bytes.append(64, '\0');
    return bytes;
}

// A Utah raster file (origin at the bottom left), three channels written as
// byte runs, one scanline after the other.
QByteArray utahRaster(const QImage &picture)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0xCC52) << quint16(0) << quint16(0) << quint16(picture.width())
        << quint16(picture.height()) << quint8(0) << quint8(3) << quint8(8) << quint8(0)
        << quint8(0);
    out << quint8(0) << quint8(0) << quint8(0); // background; 15 + 3 bytes need no filler
    for (int y = picture.height() - 1; y >= 0; --y) {
        for (int channel = 0; channel < 3; ++channel) {
            out << quint8(2) << quint8(channel);
            out << quint8(5) << quint8(picture.width() - 1);
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb p = picture.pixel(x, y);
                out << quint8(channel == 0 ? qRed(p) : channel == 1 ? qGreen(p) : qBlue(p));
            }
            if (picture.width() % 2)
                out << quint8(0);
        }
        out << quint8(1) << quint8(1);
    }
    out << quint8(7) << quint8(0);
    return bytes;
}

// A placeable metafile of `width` x `height` units at `unitsPerInch`, holding
// one filled rectangle.
QByteArray placeableMetafile(qint16 width, qint16 height, quint16 unitsPerInch)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint16 header[10] = {0xCDD7, 0x9AC6, 0, 0, 0, quint16(width), quint16(height),
                                unitsPerInch, 0, 0};
    quint16 checksum = 0;
    for (quint16 word : header) {
        out << word;
        checksum ^= word;
    }
    out << checksum;
    const quint32 records = 5 + 5 + 7 + 3; // in words
    out << quint16(1) << quint16(9) << quint16(0x0300) << quint32(9 + records) << quint16(0)
        << quint32(7) << quint16(0);
    out << quint32(5) << quint16(0x020B) << qint16(0) << qint16(0);           // window origin
    out << quint32(5) << quint16(0x020C) << qint16(height) << qint16(width);  // window extent
    out << quint32(7) << quint16(0x041B) << qint16(height / 2) << qint16(width / 2)
        << qint16(0) << qint16(0);                                             // rectangle
    out << quint32(3) << quint16(0);                                          // end
    return bytes;
}

} // namespace

class TestImageMan : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void readsWhatTheContentSays_data();
    void readsWhatTheContentSays();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void refusesTruncatedFiles();
    void onlyOurDecodersAreRegistered();
    void failedSavesLeaveNoFile_data();
    void failedSavesLeaveNoFile();
    void failedWriteKeepsEarlierFile();
    void fullDiskSaysSo();
    void resize_data();
    void resize();
    void jpegQualityGovernsLaterSaves();
    void jpegHasNoAlpha();
    void crops_data();
    void crops();
    void jpegSizeHintKeepsAtLeastTheTarget();
    void estimatesPeakFromTheHeader_data();
    void estimatesPeakFromTheHeader();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestImageMan::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    imaging::clearHeldPicture();
}

void TestImageMan::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("back");
    QTest::addColumn<int>("largest");
    QTest::addColumn<double>("mean");
    const QSize upright(126, 179), wide(179, 126);
    QTest::newRow("JPG as .JPG, lossy") << "round.JPG" << upright << upright << 255 << 16.0;
    QTest::newRow("TIF as .TiF") << "round.TiF" << upright << upright << 0 << 0.0;
    QTest::newRow("BMP") << "round.bmp" << upright << upright << 0 << 0.0;
    QTest::newRow("RLE8 bitmap as .RLE") << "round.RLE" << upright << upright << 0 << 0.0;
    QTest::newRow("PCX") << "round.pcx" << upright << upright << 0 << 0.0;
    QTest::newRow("PNG as .Png") << "round.Png" << upright << upright << 0 << 0.0;
    QTest::newRow("TGA as .tGa") << "round.tGa" << upright << upright << 0 << 0.0;
    QTest::newRow("DCX") << "round.dcx" << upright << upright << 0 << 0.0;
    QTest::newRow("EPS through Ghostscript") << "round.eps" << upright << upright << 2 << 0.5;
    QTest::newRow("DXF, colours reduced") << "round.dxf" << upright << upright << 0 << 0.0;
    // A metafile player resamples the bitmap even at its own size, blurring
    // the blocks' edges; upside down or with red and blue swapped is off by 70+.
    QTest::newRow("WMF, resampled by the player") << "round.wmf" << upright << upright << 255 << 12.0;
    // The whole picture is stretched to the base size, not put unscaled on a
    // grey frame, and the base image comes back, not the 192 x 128 thumbnail.
    QTest::newRow("PCD at its base size") << "round.pcd" << wide << QSize(768, 512) << 255 << 12.0;
    QTest::newRow("PCD upright keeps standing") << "round.pcd" << upright << QSize(512, 768) << 255 << 12.0;
}

void TestImageMan::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QSize, back);
    QFETCH(int, largest);
    QFETCH(double, mean);
    const QImage original = blocks(size.width(), size.height());
    ImageMan writer;
    QVERIFY(writer.setImage(original));
    const imaging::Result saved = writer.saveImage(path(name));
    QVERIFY2(saved, qPrintable(saved.message()));
    QCOMPARE(contentType(path(name)), common::fileTypeFromPath(name));
    if (name.endsWith(QLatin1String(".pcd")))
        QVERIFY2(saved.message().contains("768 x 512"), qPrintable(saved.message()));

    ImageMan reader;
    const imaging::Result loaded = reader.setImageFile(path(name));
    QVERIFY2(loaded, qPrintable(loaded.message()));
    QCOMPARE(QSize(reader.imageWidth(), reader.imageHeight()), back);
    QImage expected = name.endsWith(QLatin1String(".dxf")) ? reducedToAci(original) : original;
    if (expected.size() != back)
        expected = expected.scaled(back, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const Difference d = difference(expected, reader.image());
    QVERIFY2(d.largest <= largest && d.mean <= mean, qPrintable(d.text()));
}

void TestImageMan::readsWhatTheContentSays_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QImage>("expected"); // null: only the size is known
    QTest::addColumn<QSize>("size");
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && blocks().save(&buffer, "PNG"));
    QTest::newRow("PNG named .jpg") << "disguised.jpg" << png << blocks() << QSize(126, 179);
    QTest::newRow("Utah raster") << "utah.rle" << utahRaster(blocks(21, 13)) << blocks(21, 13) << QSize(21, 13);
    // 200 x 100 units at 1440 units per inch: one pixel per unit, not the
    // library's default of 72 dots per inch (which would give 10 x 5).
    QTest::newRow("metafile at its own units") << "drawing.wmf" << placeableMetafile(200, 100, 1440) << QImage()
                                               << QSize(200, 100);
}

void TestImageMan::readsWhatTheContentSays()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QImage, expected);
    QFETCH(QSize, size);
    writeBytes(path(name), content);
    ImageMan man;
    const imaging::Result loaded = man.setImageFile(path(name));
    QVERIFY2(loaded, qPrintable(loaded.message()));
    QVERIFY2(std::abs(man.imageWidth() - size.width()) <= 1 && std::abs(man.imageHeight() - size.height()) <= 1,
             qPrintable(QStringLiteral("%1 x %2").arg(man.imageWidth()).arg(man.imageHeight())));
    if (!expected.isNull())
        QCOMPARE(difference(man.image(), expected).largest, 0);
}

void TestImageMan::refusesBadFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "missing.jpg" << QByteArray() << "does not exist";
    QTest::newRow("zero bytes") << "empty.jpg" << QByteArray("") << "empty";
    QTest::newRow("text") << "notes.bmp" << QByteArray("just some words\n") << "text file";
    QTest::newRow("text named .dxf") << "plan.dxf" << QByteArray("just some notes\n") << "it is a text file";
    QTest::newRow("SVG") << "vector.png"
        << QByteArray("<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>\n")
        << "SVG";
    QTest::newRow("SVG without prolog") << "vector.jpg"
        << QByteArray("<svg width=\"10\" height=\"10\"><rect width=\"5\" height=\"5\"/></svg>") << "SVG";
    QTest::newRow("MVG") << "drawing.tif" << QByteArray("viewbox 0 0 10 10\nfill red\nrectangle 0 0 5 5\n")
        << "MVG";
    QTest::newRow("MSL") << "script.png"
        << QByteArray("<?xml version=\"1.0\"?>\n<image><read filename=\"/etc/passwd\"/></image>\n")
        << "MSL";
    QTest::newRow("PostScript program") << "program.eps"
        << QByteArray("%!PS-Adobe-3.0\n/Helvetica findfont 12 scalefont setfont\nshowpage\n")
        << "PostScript program";
    QTest::newRow("PDF") << "document.jpg" << QByteArray("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n") << "PDF";
    QTest::newRow("GIF") << "anim.jpg" << QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 13) << "GIF";
    QTest::newRow("binary noise") << "noise.pcx" << QByteArray("\x00\xff\x13\x37\x00\x01\x02", 7)
        << "not a picture";
    QTest::newRow("header beyond side limit") << "wide.bmp" << bitmapHeader(40000, 10) << "more than 32767 on a side";
    QTest::newRow("header beyond pixel limit") << "huge.bmp" << bitmapHeader(20000, 20000) << "more than 200000000 pixels in all";
    QTest::newRow("bitmap with its pixels missing") << "short.bmp" << bitmapHeader(300, 300) << "";
    QTest::newRow("EPS too large, before rendering") << "poster.eps"
        << QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100000 100000\n"
                      "0 0 moveto 100000 100000 lineto stroke\nshowpage\n")
        << "100000 x 100000 pixels";
    QTest::newRow("damaged drawing") << "plan.dxf"
        << QByteArray("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nten\n") << "is not a number";
    QTest::newRow("empty drawing") << "plan.dxf"
        << QByteArray("0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n") << "no entities to draw";
}

void TestImageMan::refusesBadFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    if (!content.isNull())
        writeBytes(path(name), content);

    ImageMan man;
    QVERIFY(man.setImage(blocks()));
    const imaging::Result loaded = man.setImageFile(path(name));
    QVERIFY(!loaded);
    QVERIFY2(loaded.message().contains(QDir::toNativeSeparators(path(name))), qPrintable(loaded.message()));
    QVERIFY2(loaded.message().contains(reason, Qt::CaseInsensitive), qPrintable(loaded.message()));
    // The earlier picture is gone too, so nothing can be saved in its name.
    QVERIFY(!man.hasImage());
    QCOMPARE(man.imageWidth(), 0);
    const imaging::Result saved = man.saveImage(path("copy.png"));
    QVERIFY(!saved);
    QVERIFY2(saved.message().contains(QFileInfo(name).fileName()), qPrintable(saved.message()));
    QVERIFY(!QFile::exists(path("copy.png")));
}

void TestImageMan::refusesTruncatedFiles()
{
    for (const char *extension : {"jpg", "png", "tif", "pcx", "bmp"}) {
        const QString file = path(QStringLiteral("cut.") + extension);
        ImageMan man;
        QVERIFY(man.setImage(blocks(400, 300)));
        QVERIFY(man.saveImage(file));
        writeBytes(file, readAll(file).chopped(readAll(file).size() / 2));
        const imaging::Result loaded = man.setImageFile(file);
        QVERIFY2(!loaded, extension);
        QVERIFY2(loaded.message().contains(QDir::toNativeSeparators(file)), qPrintable(loaded.message()));
        QVERIFY(!man.hasImage());
    }
}

void TestImageMan::onlyOurDecodersAreRegistered()
{
    // PostScript and metafiles are drawn by helper programs in a child
    // process, never by the library in ours.
    for (const char *format : {"SVG", "MVG", "MSL", "TXT", "PS", "PDF", "GIF", "HTML", "XC", "URL",
                               "EPS", "EPSF", "EPSI", "EPT", "EPI", "PS2", "PS3", "WMF", "DIB"})
        QVERIFY2(!imaging::detail::libraryDecodes(format), format);
    for (const imaging::Format &format : imaging::formats()) {
        if (format.reader == imaging::Reader::Library)
            QVERIFY2(imaging::detail::libraryDecodes(format.decoder), format.decoder);
    }
}

void TestImageMan::failedSavesLeaveNoFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "nowhere/out.png" << "does not exist";
    QTest::newRow("unknown type") << "out.gif" << "twelve";
    QTest::newRow("no extension") << "out" << "twelve";
}

void TestImageMan::failedSavesLeaveNoFile()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    ImageMan man;
    QVERIFY(man.setImage(blocks()));
    const imaging::Result saved = man.saveImage(path(name));
    QVERIFY(!saved);
    QVERIFY2(saved.message().contains(QDir::toNativeSeparators(path(name))), qPrintable(saved.message()));
    QVERIFY2(saved.message().contains(reason), qPrintable(saved.message()));
    QVERIFY(!QFileInfo::exists(path(name)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 0);
}

void TestImageMan::failedWriteKeepsEarlierFile()
{
    // A folder in the way is never replaced.
    QVERIFY(QDir(m_dir->path()).mkdir("taken.png"));
    ImageMan man;
    QVERIFY(man.setImage(blocks(1000, 1000)));
    QVERIFY(!man.saveImage(path("taken.png")));
    QVERIFY(QFileInfo(path("taken.png")).isDir());

    // A write that fails half-way (the file size limit stands in for a full
    // disk, and holds for root too) leaves the earlier file as it was.
    writeBytes(path("earlier.tif"), "the earlier file");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const imaging::Result saved = man.saveImage(path("earlier.tif"));
    setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY(!saved);
    QVERIFY2(saved.message().contains("earlier.tif"), qPrintable(saved.message()));
    QCOMPARE(readAll(path("earlier.tif")), QByteArray("the earlier file"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"earlier.tif"});
}

void TestImageMan::fullDiskSaysSo()
{
    const QString small = path(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(small));
    if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", small}) != 0)
        QSKIP("mounting a small file system needs root");
    const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {small}); });
    writeBytes(small + QStringLiteral("/earlier.bmp"), "the earlier file");
    ImageMan man;
    QVERIFY(man.setImage(noise(300, 200)));
    const imaging::Result saved = man.saveImage(small + QStringLiteral("/earlier.bmp"));
    QVERIFY(!saved);
    QVERIFY2(saved.message().endsWith(QLatin1String("earlier.bmp: no space left on the device.")),
             qPrintable(saved.message()));
    QCOMPARE(readAll(small + QStringLiteral("/earlier.bmp")), QByteArray("the earlier file"));
    // A new file, written without waiting for the disk, leaves nothing either.
    const imaging::Result fresh = man.saveImage(small + QStringLiteral("/new.bmp"));
    QVERIFY2(fresh.message().endsWith(QLatin1String("new.bmp: no space left on the device.")),
             qPrintable(fresh.message()));
    QCOMPARE(QDir(small).entryList(QDir::Files | QDir::Hidden), QStringList{"earlier.bmp"});
}

void TestImageMan::resize_data()
{
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<bool>("fits");
    QTest::newRow("640 x 480 exactly") << qint64(640) << qint64(480) << true;
    QTest::newRow("5 x 5 exactly") << qint64(5) << qint64(5) << true;
    QTest::newRow("zero") << qint64(0) << qint64(10) << false;
    QTest::newRow("negative") << qint64(10) << qint64(-5) << false;
    QTest::newRow("side too long") << qint64(40000) << qint64(10) << false;
    QTest::newRow("too many pixels") << qint64(30000) << qint64(30000) << false;
    QTest::newRow("beyond 32 bits") << qint64(1) << (qint64(1) << 40) << false;
}

void TestImageMan::resize()
{
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(bool, fits);
    ImageMan man;
    QVERIFY(man.setImage(blocks(), "pic.png"));
    const imaging::Result resized = man.resizeImage(width, height);
    QCOMPARE(resized.ok(), fits);
    if (!fits) {
        QVERIFY2(resized.message().contains("pic.png"), qPrintable(resized.message()));
        QCOMPARE(QSize(man.imageWidth(), man.imageHeight()), QSize(126, 179));
        return;
    }
    // The file holds the new size, not the old one.
    QVERIFY(man.saveImage(path("resized.jpg")));
    QVERIFY(man.setImageFile(path("resized.jpg")));
    QCOMPARE(QSize(man.imageWidth(), man.imageHeight()), QSize(int(width), int(height)));
}

void TestImageMan::jpegQualityGovernsLaterSaves()
{
    ImageMan man;
    QVERIFY(man.setImage(noise(400, 300)));
    man.setJpegQuality(20);
    QVERIFY(man.saveImage(path("q20.jpg")));
    man.setJpegQuality(100);
    QVERIFY(man.saveImage(path("q100.jpg")));
    QVERIFY(QFileInfo(path("q20.jpg")).size() * 2 < QFileInfo(path("q100.jpg")).size());
    QVERIFY(man.setImageFile(path("q20.jpg")));
    QCOMPARE(QSize(man.imageWidth(), man.imageHeight()), QSize(400, 300));

    man.setJpegQuality(50.4);
    QCOMPARE(man.jpegQuality(), 50);
    man.setJpegQuality(5);
    QCOMPARE(man.jpegQuality(), 20);
    man.setJpegQuality(1e300);
    QCOMPARE(man.jpegQuality(), 100);
}

void TestImageMan::jpegHasNoAlpha()
{
    QImage clear(20, 20, QImage::Format_ARGB32);
    clear.fill(Qt::transparent); // transparent black
    ImageMan man;
    QVERIFY(man.setImage(clear));
    const imaging::Result saved = man.saveImage(path("clear.jpg"));
    QVERIFY2(saved, qPrintable(saved.message()));
    QVERIFY(man.setImageFile(path("clear.jpg")));
    QVERIFY(qRed(man.image().pixel(10, 10)) > 240);
}

void TestImageMan::crops_data()
{
    QTest::addColumn<QStringList>("edges"); // left, top, right, bottom, included
    QTest::addColumn<QRect>("taken");       // null: nothing can be taken
    QTest::newRow("rows 58 to 178") << QStringList{"0", "58", "126", "178"} << QRect(0, 58, 126, 121);
    QTest::newRow("edges as texts") << QStringList{"0", " 58 ", "125.0", "178"} << QRect(0, 58, 126, 121);
    QTest::newRow("first row only") << QStringList{"0", "0", "125", "0"} << QRect(0, 0, 126, 1);
    QTest::newRow("past right and bottom") << QStringList{"100", "150", "500", "1000"} << QRect(100, 150, 26, 29);
    QTest::newRow("before left and top") << QStringList{"-20", "-9", "9", "9"} << QRect(0, 0, 10, 10);
    QTest::newRow("wholly outside fails") << QStringList{"0", "200", "126", "300"} << QRect();
}

void TestImageMan::crops()
{
    QFETCH(QStringList, edges);
    QFETCH(QRect, taken);
    ImageMan source, target;
    QVERIFY(source.setImage(blocks()));
    QVERIFY(source.saveImage(path("plate.png")));
    QVERIFY(source.setImageFile(path("plate.png")));
    QVERIFY(target.setImage(blocks(5, 5)));
    QVERIFY(!source.setSelectBottom(QStringLiteral("lots")));
    QVERIFY(source.setSelectLeft(edges[0]) && source.setSelectTop(edges[1]));
    QVERIFY(source.setSelectRight(edges[2]) && source.setSelectBottom(edges[3]));
    const imaging::Result copied = source.copySelection();
    if (taken.isNull()) {
        QVERIFY(!copied);
        QVERIFY2(copied.message().contains("plate.png"), qPrintable(copied.message()));
        // Nothing is held, so a paste fails and leaves no picture behind.
        QVERIFY(!target.pasteImage());
        QVERIFY(!target.hasImage());
        return;
    }
    QVERIFY2(copied, qPrintable(copied.message()));
    QVERIFY(target.pasteImage());
    QCOMPARE(difference(target.image(), blocks().copy(taken)).largest, 0);
    // The piece is a picture of its own, without the page offset of where it was cut.
    QVERIFY(target.saveImage(path("piece.png")));
    const QImage piece(path("piece.png"));
    QCOMPARE(piece.size(), taken.size());
    QCOMPARE(piece.offset(), QPoint(0, 0));
}

void TestImageMan::jpegSizeHintKeepsAtLeastTheTarget()
{
    ImageMan man;
    QVERIFY(man.setImage(blocks(1600, 1200)));
    QVERIFY(man.saveImage(path("photo.jpg")));
    man.setSizeHint(400, 300);
    QVERIFY(man.setImageFile(path("photo.jpg")));
    QVERIFY(man.imageWidth() >= 400 && man.imageHeight() >= 300);
    QVERIFY(man.imageWidth() < 1600);
    // The hint holds for one load only.
    QVERIFY(man.setImageFile(path("photo.jpg")));
    QCOMPARE(QSize(man.imageWidth(), man.imageHeight()), QSize(1600, 1200));
}

void TestImageMan::estimatesPeakFromTheHeader_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("pixels"); // in the file; 0 when unknown
    const QString data = QStringLiteral(KESTRUNE_TEST_DATA);
    // The first rows of a picture that would take 1.6 GB.
    QTest::newRow("PNG header") << data + "/hostile/rows-missing-32767x6103.png" << qint64(32767) * 6103;
    QTest::newRow("EPS box") << data + "/sources/ghostscript-preview.eps" << qint64(64 * 48);
    QTest::newRow("placeable metafile") << data + "/sources/vector-records.wmf" << qint64(64 * 48);
    QTest::newRow("no picture") << data + "/hostile/cases.tsv" << qint64(0);
}

void TestImageMan::estimatesPeakFromTheHeader()
{
    QFETCH(QString, file);
    QFETCH(qint64, pixels);
    const qint64 bytes = imaging::estimatePeakBytes(file, std::nullopt, imaging::FileType::Jpg);
    // The library keeps 8 bytes a pixel; decoding and writing need more.
    QVERIFY2(bytes >= pixels * 8 && bytes <= pixels * 40, qPrintable(QString::number(bytes)));
}

QTEST_GUILESS_MAIN(TestImageMan)
#include "tst_imageman.moc"
