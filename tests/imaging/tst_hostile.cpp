#include "imaging/imageman.h"
#include "pictures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

const QString kFolder = QStringLiteral(KESTRUNE_TEST_DATA "/hostile");
// A load stopped at its limit still has to wind down (kill a child, free the
// picture); this much more is allowed.
constexpr auto kWindDown = 1500ms;

} // namespace

// Files made to hurt, listed in tests/data/hostile/cases.tsv: each row names a
// file, whether it loads or is refused, a part of the refusal's message, and
// the time limit the load runs under. Every load must end within its limit.
class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void load_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("limitSeconds");

        const QList<QStringList> rows = testpictures::tableRows(kFolder + QStringLiteral("/cases.tsv"));
        QVERIFY2(!rows.isEmpty(), "the cases are missing");
        for (const QStringList &field : rows) {
            QVERIFY2(field.size() == 4 && (field[1] == QLatin1String("loads") || field[1] == QLatin1String("refused")),
                     qPrintable(QStringLiteral("bad row: ") + field.join(QLatin1Char('\t'))));
            QTest::newRow(qPrintable(field[0])) << field[0] << (field[1] == QLatin1String("loads"))
                                                << field[2] << field[3].toInt();
        }
    }

    void load()
    {
        QFETCH(QString, file);
        QFETCH(bool, loads);
        QFETCH(QString, reason);
        QFETCH(int, limitSeconds);

        imaging::ImageMan imageMan;
        const std::chrono::seconds limit(limitSeconds);
        imageMan.setTimeLimit(limit);
        QElapsedTimer clock;
        clock.start();
        const imaging::Result result = imageMan.setImageFile(kFolder + QLatin1Char('/') + file);
        const auto took = std::chrono::milliseconds(clock.elapsed());

        QVERIFY2(took < limit + kWindDown, qPrintable(QStringLiteral("took %1 ms").arg(took.count())));
        QVERIFY2(result.ok() == loads, qPrintable(result.message()));
        if (!loads) {
            QVERIFY2(result.message().contains(file), qPrintable(result.message()));
            QVERIFY2(result.message().contains(reason), qPrintable(result.message()));
        }
    }

    // Pictures made to hurt an encoder, generated here rather than stored; each
    // save must end within its limit, and those that fail say why.
    void save_data()
    {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason"); // empty: it saves
        QTest::addColumn<int>("limitMs");
        const QImage tall = testpictures::noise(1, 32767), wide = testpictures::noise(32767, 1);
        QTest::newRow("1 x 32767 noise to RLE") << tall << "tall.rle" << "" << 3000;
        QTest::newRow("32767 x 1 noise to RLE") << wide << "wide.rle" << "" << 3000;
        QTest::newRow("1 x 32767 noise to PCX") << tall << "tall.pcx" << "" << 3000;
        QTest::newRow("noise to RLE out of time") << testpictures::noise(2000, 2000) << "big.rle" << "took longer than" << 1;
    }

    void save()
    {
        QFETCH(QImage, picture);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        QFETCH(int, limitMs);
        QTemporaryDir dir;
        imaging::ImageMan imageMan;
        QVERIFY(imageMan.setImage(picture));
        const std::chrono::milliseconds limit(limitMs);
        imageMan.setTimeLimit(limit);
        QElapsedTimer clock;
        clock.start();
        const imaging::Result result = imageMan.saveImage(dir.filePath(file));
        const auto took = std::chrono::milliseconds(clock.elapsed());

        QVERIFY2(took < limit + kWindDown, qPrintable(QStringLiteral("took %1 ms").arg(took.count())));
        QVERIFY2(result.ok() == reason.isEmpty(), qPrintable(result.message()));
        QVERIFY2(result.message().contains(reason), qPrintable(result.message()));
        QCOMPARE(QFile::exists(dir.filePath(file)), reason.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
