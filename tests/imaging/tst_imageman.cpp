#include "imaging/detect.h"
#include "imaging/helpers/eps.h"
#include "imaging/helpers/wmf.h"
#include "imaging/estimate.h"
#include "imaging/imageman.h"
#include "imaging/magick/library.h"
#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>
#include <cmath>
#include <csignal>
#include <sys/resource.h>

using imaging::FileType;
using imaging::Format;
using imaging::ImageMan;
using namespace testpictures;

// ImageMan as its callers see it. The files made to hurt it are rows of the
// hostile corpus (tst_hostile); what other programs make of our files is
// tested in tst_independent_readers.
class TestImageMan : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        imaging::clearHeldPicture();
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("lossless");
        // Upright under the lower-case extension, wide under the upper-case
        // caption: a name's extension counts in any letter case.
        for (const Format &format : imaging::kFormats) {
            if (!imaging::isWritten(format))
                continue;
            QTest::addRow("%s upright", format.caption) << int(format.type) << QSize(126, 179) << format.extension << false;
            QTest::addRow("%s wide, as .%s", format.caption, format.caption)
                << int(format.type) << QSize(179, 126) << format.caption << false;
        }
        QTest::newRow("WEBP lossless") << int(FileType::Webp) << QSize(126, 179) << "webp" << true;
        QTest::newRow("AVIF lossless") << int(FileType::Avif) << QSize(179, 126) << "avif" << true;
    }

    // A picture with clear, half-covering and opaque parts comes back as the
    // format table says: exactly or within its bound, on white where the type
    // stores no transparency, at the one size a type holds only one.
    void roundTrip()
    {
        QFETCH(int, type);
        QFETCH(QSize, size);
        QFETCH(QString, extension);
        QFETCH(bool, lossless);
        const Format &format = imaging::format(FileType(type));
        const QImage original = translucent(size.width(), size.height());
        const QString name = path(QStringLiteral("round.") + extension);
        ImageMan writer;
        writer.setLossless(lossless);
        QVERIFY(writer.setImage(original));
        const imaging::Result saved = writer.saveImage(name);
        QVERIFY2(saved, qPrintable(saved.message()));
        QVERIFY(imaging::detail::detectContent(readAll(name).left(imaging::detail::kDetectBytes)).type == format.type);
        QSize back = size;
        if (!format.onlySize.isEmpty()) {
            // Stretched to the base size, not put unscaled on a grey frame; an
            // upright picture keeps standing.
            back = size.height() > size.width() ? format.onlySize.transposed() : format.onlySize;
            const QString said = QStringLiteral("%1 x %2").arg(format.onlySize.width()).arg(format.onlySize.height());
            QVERIFY2(saved.message().contains(said), qPrintable(saved.message()));
        }
        ImageMan reader;
        const imaging::Result loaded = reader.setImageFile(name);
        QVERIFY2(loaded, qPrintable(loaded.message()));
        QCOMPARE(QSize(reader.imageWidth(), reader.imageHeight()), back);
        QImage expected = format.fidelity.drawingColours ? reducedToAci(original) : onWhite(original);
        if (expected.size() != back)
            expected = expected.scaled(back, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const Difference d = difference(expected, onWhite(reader.image()));
        const imaging::Fidelity bound = lossless ? imaging::Fidelity{} : format.fidelity;
        QVERIFY2(d.largest <= bound.largest && d.mean <= bound.mean, qPrintable(d.text()));
    }

    void readsWhatTheContentSays_data()
    {
        QTest::addColumn<QString>("file"); // in tests/data; empty: one Ghostscript writes now
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("topLeft");
        QTest::addColumn<QColor>("bottomRight");
        const QColor red(255, 0, 0), blue(0, 0, 255), first(0, 0, 20), last(0, 80, 20); // blocks(21, 13)'s corners
        QTest::newRow("PNG named .jpg") << "formats/png-named.jpg" << QSize(21, 13) << first << last;
        QTest::newRow("Utah raster, bottom row first") << "formats/utah-raster-21x13.rle" << QSize(21, 13) << first << last;
        // One pixel per unit, not the library's default of 72 dots per inch
        // (which would give 10 x 5), on the player's white ground.
        QTest::newRow("metafile at its own units") << "formats/placeable-200x100-units-at-1440-per-inch.wmf"
                                                   << QSize(200, 100) << QColor(Qt::white) << QColor(Qt::white);
        QTest::newRow("EPS, (atend) after an embedded document's box") << "hostile/eps-atend.eps" << QSize(30, 20) << blue << blue;
        QTest::newRow("EPS, CR-only line ends, box off the origin") << "hostile/eps-cr-only.eps" << QSize(40, 20) << red << red;
        QTest::newRow("EPS, fractional box rounded outwards") << "formats/fractional-box.eps" << QSize(41, 20) << red << red;
        QTest::newRow("EPS, DOS binary, preview ignored") << "hostile/eps-dos-binary.eps" << QSize(48, 32) << red << blue;
        QTest::newRow("EPS written by Ghostscript") << QString() << QSize(60, 40) << QColor(0, 153, 0) << QColor(255, 255, 0);
    }

    void readsWhatTheContentSays()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QString name = QStringLiteral(KESTRUNE_TEST_DATA "/") + file;
        if (file.isEmpty()) { // 160 kB of Ghostscript's prologue: made here rather than kept
            name = path(QStringLiteral("by-gs.eps"));
            QCOMPARE(QProcess::execute(QStringLiteral("gs"), {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=eps2write",
                                                              "-sOutputFile=" + name, KESTRUNE_TEST_DATA "/formats/two-halves.ps"}),
                     0);
        }
        ImageMan man;
        const imaging::Result loaded = man.setImageFile(name);
        QVERIFY2(loaded, qPrintable(loaded.message()));
        const QImage picture = man.image();
        QCOMPARE(picture.size(), size);
        QTEST(QColor(picture.pixel(0, 0)), "topLeft");
        QTEST(QColor(picture.pixel(size.width() - 1, size.height() - 1)), "bottomRight");
    }

    // Whatever the reason, the earlier picture is gone, so nothing can be
    // saved in the name of a file that could not be opened.
    void failedLoadLeavesNoPicture()
    {
        ImageMan man;
        QVERIFY(man.setImage(blocks()));
        const imaging::Result loaded = man.setImageFile(path("missing.jpg"));
        QVERIFY2(!loaded && loaded.message().contains(QDir::toNativeSeparators(path("missing.jpg"))),
                 qPrintable(loaded.message()));
        QVERIFY(!man.hasImage() && man.imageWidth() == 0);
        const imaging::Result saved = man.saveImage(path("copy.png"));
        QVERIFY2(!saved && saved.message().contains("missing.jpg"), qPrintable(saved.message()));
        QVERIFY(!QFile::exists(path("copy.png")));
    }

    // PostScript and metafiles are drawn by helper programs in a child
    // process, never by the library in ours. (The decoders we keep are
    // used by the round trips.)
    void onlyOurDecodersAreRegistered()
    {
        for (const char *format : {"SVG", "MVG", "MSL", "TXT", "PS", "PDF", "HTML", "XC", "URL",
                                   "EPS", "EPSF", "EPSI", "EPT", "EPI", "PS2", "PS3", "WMF", "DIB"})
            QVERIFY2(!imaging::detail::libraryDecodes(format), format);
    }

    void failedSavesLeaveNoFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder") << "nowhere/out.png" << "does not exist";
        QTest::newRow("unknown type") << "out.xcf" << "the extension names none of the picture types";
        QTest::newRow("a type only read") << "out.gif" << "GIF pictures are read, not written";
        QTest::newRow("no extension") << "out" << "the extension names none of the picture types";
    }

    void failedSavesLeaveNoFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        ImageMan man;
        QVERIFY(man.setImage(blocks()));
        const imaging::Result saved = man.saveImage(path(name));
        QVERIFY2(!saved && saved.message().contains(QDir::toNativeSeparators(path(name))), qPrintable(saved.message()));
        QVERIFY2(saved.message().contains(reason), qPrintable(saved.message()));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
    }

    void failedWriteKeepsEarlierFile()
    {
        // A folder in the way is never replaced.
        QVERIFY(QDir(m_dir->path()).mkdir("taken.png"));
        ImageMan man;
        QVERIFY(man.setImage(blocks(1000, 1000)));
        QVERIFY(!man.saveImage(path("taken.png")));
        QVERIFY(QFileInfo(path("taken.png")).isDir());

        // A write that fails half-way (the file size limit stands in for a
        // full disk, and holds for root too) leaves the earlier file as it was.
        writeBytes(path("earlier.tif"), "the earlier file");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        const imaging::Result saved = man.saveImage(path("earlier.tif"));
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY2(!saved && saved.message().contains("earlier.tif"), qPrintable(saved.message()));
        QCOMPARE(readAll(path("earlier.tif")), QByteArray("the earlier file"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"earlier.tif"});
    }

    void fullDiskSaysSo()
    {
        const QString small = path(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(small));
        if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", small}) != 0)
            QSKIP(geteuid() == 0 ? "mounting a small file system was refused: this root may not mount"
                                 : "mounting a small file system needs root");
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {small}); });
        writeBytes(small + QStringLiteral("/earlier.bmp"), "the earlier file");
        ImageMan man;
        QVERIFY(man.setImage(noise(300, 200)));
        const imaging::Result saved = man.saveImage(small + QStringLiteral("/earlier.bmp"));
        QVERIFY2(saved.message().endsWith(QLatin1String("earlier.bmp: no space left on the device.")),
                 qPrintable(saved.message()));
        QCOMPARE(readAll(small + QStringLiteral("/earlier.bmp")), QByteArray("the earlier file"));
        // A new file, written without waiting for the disk, leaves nothing either.
        const imaging::Result fresh = man.saveImage(small + QStringLiteral("/new.bmp"));
        QVERIFY2(fresh.message().endsWith(QLatin1String("new.bmp: no space left on the device.")),
                 qPrintable(fresh.message()));
        QCOMPARE(QDir(small).entryList(QDir::Files | QDir::Hidden), QStringList{"earlier.bmp"});
    }

    void resize_data()
    {
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<bool>("fits");
        // The size rule itself is the one loading applies (the hostile corpus).
        QTest::newRow("640 x 480 exactly") << qint64(640) << qint64(480) << true;
        QTest::newRow("negative") << qint64(10) << qint64(-5) << false;
        QTest::newRow("too many pixels") << qint64(30000) << qint64(30000) << false;
        QTest::newRow("beyond 32 bits") << qint64(1) << (qint64(1) << 40) << false;
    }

    void resize()
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

    // Opacity weighs the colours: clear white beside opaque red leaves a red
    // edge fading out, never a pink one, and both halves keep their own.
    void resizeWeighsColoursByOpacity()
    {
        ImageMan man;
        QVERIFY(man.setImage(painted(64, 16, [](int x, int) { return x < 32 ? 0x00FFFFFFu : 0xFFFF0000u; },
                                     QImage::Format_ARGB32)));
        QVERIFY(man.resizeImage(32, 8));
        const QImage out = man.image();
        QCOMPARE(qAlpha(out.pixel(2, 4)), 0);
        QCOMPARE(out.pixel(29, 4), 0xFFFF0000u);
        int fading = 0;
        for (int x = 12; x < 20; ++x) {
            const QRgb p = out.pixel(x, 4);
            fading += qAlpha(p) > 0 && qAlpha(p) < 255;
            if (qAlpha(p) > 8)
                QVERIFY2(qGreen(p) == 0 && qBlue(p) == 0, qPrintable(QString::number(p, 16)));
        }
        QVERIFY(fading > 0);
    }

    // The quality governs the saves that follow; one outside 20 to 100 is the
    // nearest end, a fraction is rounded, and no number leaves it as it was.
    void jpegQualityIsKeptInRange()
    {
        ImageMan man;
        QVERIFY(man.setImage(noise(200, 150)));
        const auto saved = [&](double quality) {
            man.setJpegQuality(quality);
            const QString file = path(QStringLiteral("q%1.jpg").arg(quality));
            return man.saveImage(file) ? readAll(file) : QByteArray();
        };
        const QByteArray q20 = saved(20), q50 = saved(50), q100 = saved(100);
        QVERIFY(!q20.isEmpty() && q20.size() * 2 < q100.size());
        QCOMPARE(saved(5), q20);
        QCOMPARE(saved(1e300), q100);
        QCOMPARE(saved(50.4), q50);
        QCOMPARE(saved(std::nan("")), q50);
    }

    void crops_data()
    {
        QTest::addColumn<QList<double>>("edges"); // left, top, right, bottom, included
        QTest::addColumn<QRect>("taken");         // null: nothing can be taken
        QTest::newRow("rows 58 to 178") << QList<double>{0, 58, 125.4, 178} << QRect(0, 58, 126, 121);
        QTest::newRow("first row only") << QList<double>{0, 0, 125, 0} << QRect(0, 0, 126, 1);
        QTest::newRow("past right and bottom") << QList<double>{100, 150, 500, 1000} << QRect(100, 150, 26, 29);
        QTest::newRow("before left and top") << QList<double>{-20, -9, 9, 9} << QRect(0, 0, 10, 10);
        QTest::newRow("wholly outside fails") << QList<double>{0, 200, 126, 300} << QRect();
        QTest::newRow("no number fails") << QList<double>{0, 0, std::nan(""), 9} << QRect();
    }

    void crops()
    {
        QFETCH(QList<double>, edges);
        QFETCH(QRect, taken);
        ImageMan source, target;
        QVERIFY(source.setImage(blocks()));
        QVERIFY(source.saveImage(path("plate.png")));
        QVERIFY(source.setImageFile(path("plate.png")));
        QVERIFY(target.setImage(blocks(5, 5)));
        source.setSelectLeft(edges[0]);
        source.setSelectTop(edges[1]);
        source.setSelectRight(edges[2]);
        source.setSelectBottom(edges[3]);
        const imaging::Result copied = source.copySelection();
        if (taken.isNull()) {
            QVERIFY2(!copied && copied.message().contains("plate.png"), qPrintable(copied.message()));
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

    void downscaledJpegsMatchACarefulReference_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("least"); // dB
        // Decoded straight to the target, they score 23 and 26 dB. A reduced
        // decode leaving twice the target still folds some of the finest
        // rings back in.
        QTest::newRow("to half: decoded whole") << QSize(320, 240) << 45.0;
        QTest::newRow("to a quarter: decoded at half scale") << QSize(160, 120) << 35.0;
    }

    // The zone plate's rings grow finer up to the finest the file holds, so a
    // downscale that lets through what the smaller grid cannot hold draws
    // false rings. The reference is Pillow's Lanczos of the full decode
    // (scripts/make-zone-plate).
    void downscaledJpegsMatchACarefulReference()
    {
        QFETCH(QSize, size);
        QFETCH(double, least);
        const QString folder = QStringLiteral(KESTRUNE_TEST_DATA "/resample/");
        ImageMan man;
        man.setSizeHint(size.width(), size.height());
        QVERIFY(man.setImageFile(folder + "zoneplate.jpg"));
        QCOMPARE(QSize(man.imageWidth(), man.imageHeight()), size * 2);
        QVERIFY(man.resizeImage(size.width(), size.height()));
        const QImage reference(folder + QStringLiteral("zoneplate-lanczos-%1x%2.png").arg(size.width()).arg(size.height()));
        const double measured = psnr(man.image(), reference);
        QVERIFY2(measured > least, qPrintable(QStringLiteral("%1 dB").arg(measured)));
        // The hint holds for one load only.
        QVERIFY(man.setImageFile(folder + "zoneplate.jpg"));
        QCOMPARE(QSize(man.imageWidth(), man.imageHeight()), QSize(640, 480));
    }

    void estimatesPeakFromTheHeader_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("pixels"); // in the file; 0 when unknown
        QTest::addColumn<qint64>("helper"); // the memory its helper program may take
        QTest::addColumn<QSize>("target");  // invalid: its own size
        const QString data = QStringLiteral(KESTRUNE_TEST_DATA);
        // The first rows of a picture that would take 1.6 GB.
        QTest::newRow("PNG header") << data + "/hostile/rows-missing-32767x6103.png" << qint64(32767) * 6103 << qint64(0) << QSize();
        QTest::newRow("EPS box") << data + "/sources/ghostscript-preview.eps" << qint64(64 * 48)
                                 << imaging::detail::kGhostscriptMemory << QSize();
        QTest::newRow("EPS of a small box that takes all it may")
            << data + "/hostile/eps-memory-hog.eps" << qint64(10 * 10) << imaging::detail::kGhostscriptMemory << QSize();
        QTest::newRow("placeable metafile") << data + "/sources/vector-records.wmf" << qint64(64 * 48)
                                            << imaging::detail::kMetafileMemory << QSize();
        QTest::newRow("no picture") << data + "/hostile/cases.tsv" << qint64(0) << qint64(0) << QSize();
        QTest::newRow("a small PNG resized to 4000 x 3000")
            << data + "/formats/png-named.jpg" << qint64(21 * 13) << qint64(0) << QSize(4000, 3000);
    }

    void estimatesPeakFromTheHeader()
    {
        QFETCH(QString, file);
        QFETCH(qint64, pixels);
        QFETCH(qint64, helper);
        QFETCH(QSize, target);
        const qint64 bytes = imaging::estimatePeakBytes(file, target.isValid() ? std::optional(target) : std::nullopt, FileType::Jpg);
        // The library keeps 8 bytes a pixel; decoding and writing need more.
        const qint64 written = target.isValid() ? qint64(target.width()) * target.height() : pixels;
        QVERIFY2(bytes >= helper + std::max(pixels, written) * 8 && bytes <= helper + (pixels + written) * 40,
                 qPrintable(QString::number(bytes)));
    }
};

QTEST_GUILESS_MAIN(TestImageMan)
#include "tst_imageman.moc"
