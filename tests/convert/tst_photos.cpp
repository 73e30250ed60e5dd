#include "convert/fileconversion.h"
#include "imaging/formats.h"
#include "imaging/imageman.h"
#include "pictures.h"

#include <QTemporaryDir>
#include <QTest>

using imaging::Format;

const QString kTurned = QStringLiteral(KESTRUNE_TEST_DATA "/orientation/");
constexpr QSize kSeen(64, 32);

// Photos stored turned or mirrored, as cameras and phones store them, in
// each of the eight EXIF orientations as JPEG, TIFF and PNG: every type
// gets the picture as it is seen. WebP states it in EXIF too; an AVIF in its
// irot and imir boxes beside an EXIF block that says the same, which must
// not turn it a second time. Those two are read into PNG alone.
class TestPhotos : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void photosComeOutUpright_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("type");
        QTest::addColumn<QSize>("size"); // empty: the picture's own
        for (const char *extension : {"jpg", "tif", "png", "webp", "avif"}) {
            const bool everyType = imaging::fileTypeFromExtension(QString::fromLatin1(extension)) < imaging::FileType::Webp;
            for (int orientation = 1; orientation <= 8; ++orientation) {
                const QString source = kTurned + QStringLiteral("orientation-%1.%2").arg(orientation).arg(extension);
                for (const Format &format : imaging::kFormats)
                    if (imaging::isWritten(format) && (everyType || format.type == imaging::FileType::Png))
                        QTest::addRow("%s %d to %s", extension, orientation, format.caption) << source << int(format.type) << QSize();
                // The size rule applies to the picture as it is seen.
                QTest::addRow("%s %d to PNG at 20x40", extension, orientation) << source << int(imaging::FileType::Png)
                                                                                << QSize(20, 40);
            }
        }
    }
    void photosComeOutUpright()
    {
        QFETCH(QString, source);
        QFETCH(int, type);
        QFETCH(QSize, size);
        const Format &format = imaging::format(imaging::FileType(type));
        convert::ConversionJob job;
        job.source = source;
        job.output = m_dir.filePath(QStringLiteral("%1.%2").arg(QTest::currentDataTag(), QLatin1String(format.extension)));
        if (size.isValid())
            job.size = size;
        const convert::FileOutcome outcome = convert::convertFile(job, imaging::kFileTimeLimit, {});
        QVERIFY2(outcome.converted, qPrintable(outcome.message));

        const QImage written = testpictures::readBack(job.output);
        const QSize expected = size.isValid() ? size : format.onlySize.isEmpty() ? kSeen : format.onlySize;
        QCOMPARE(written.size(), expected);
        QCOMPARE(testpictures::corners(written), QStringLiteral("red green blue yellow"));
        // Types that store every colour (and transparency) keep the picture
        // exactly, a TIFF from a JPEG too.
        if (!size.isValid() && !format.opaque && format.fidelity.largest == 0)
            QCOMPARE(written, testpictures::readBack(source));
    }

    // HEIF readers go by the irot and imir boxes alone: an EXIF orientation
    // without them is not applied, so the picture stays as stored.
    void heicExifOrientationAloneIsNotApplied()
    {
        imaging::ImageMan imageMan;
        QVERIFY(imageMan.setImageFile(kTurned + QStringLiteral("exif-6-without-irot.heic")));
        QCOMPARE(QSize(imageMan.imageWidth(), imageMan.imageHeight()), kSeen.transposed());
    }

    // A JPEG may be decoded at a reduced scale that still holds the size it
    // is to be resized to: that size is the one seen, so for a photo stored
    // turned a quarter the scale follows the turned size.
    void sizeHintIsAsSeen()
    {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            imaging::ImageMan imageMan;
            imageMan.setSizeHint(8, 32);
            QVERIFY(imageMan.setImageFile(kTurned + QStringLiteral("orientation-%1.jpg").arg(orientation)));
            const QSize seen(imageMan.imageWidth(), imageMan.imageHeight());
            QVERIFY2(seen.width() >= 8 && seen.height() >= 32 && seen.width() == 2 * seen.height(),
                     qPrintable(QStringLiteral("orientation %1: %2 x %3").arg(orientation).arg(seen.width()).arg(seen.height())));
        }
    }
};

QTEST_MAIN(TestPhotos)
#include "tst_photos.moc"
