#include "imaging/pcxwriter.h"
#include "imaging/rlewriter.h"
#include "pictures.h"

#include <QElapsedTimer>
#include <QTest>
#include <thread>

using namespace std::chrono_literals;

// What Pillow and ImageMan make of our PCX, DCX and RLE files is tested
// with the independent readers; here, that the writers keep their deadline.
class TestOwnWriters : public QObject
{
    Q_OBJECT
private slots:
    void stopMidwayAtTheirDeadline_data();
    void stopMidwayAtTheirDeadline();
};

using Encoder = QByteArray (*)(const QImage &, const imaging::Deadline &, QString *);
Q_DECLARE_METATYPE(Encoder)

void TestOwnWriters::stopMidwayAtTheirDeadline_data()
{
    QTest::addColumn<Encoder>("encode");
    QTest::addColumn<bool>("stopped"); // or out of time
    QTest::newRow("PCX out of time") << Encoder(imaging::detail::encodePcx) << false;
    QTest::newRow("DCX out of time") << Encoder(imaging::detail::encodeDcx) << false;
    QTest::newRow("RLE out of time") << Encoder(imaging::detail::encodeRle8Bmp) << false;
    QTest::newRow("RLE stopped") << Encoder(imaging::detail::encodeRle8Bmp) << true;
}

void TestOwnWriters::stopMidwayAtTheirDeadline()
{
    QFETCH(Encoder, encode);
    QFETCH(bool, stopped);
    // Far more than any machine encodes in the time allowed, so the writer is
    // caught in the middle of its loops.
    static const QImage big = testpictures::noise(4000, 3000);
    constexpr auto limit = 30ms;
    imaging::CancelFlag cancel;
    const imaging::Deadline deadline(stopped ? 60s : std::chrono::milliseconds(limit), cancel);
    std::thread stopper([&] {
        std::this_thread::sleep_for(limit);
        if (stopped)
            cancel.raise();
    });
    QElapsedTimer clock;
    clock.start();
    QString reason;
    const QByteArray bytes = encode(big, deadline, &reason);
    const qint64 took = clock.elapsed();
    stopper.join();
    QVERIFY(bytes.isEmpty());
    QCOMPARE(reason, deadline.reason());
    QVERIFY2(took < (limit + 1000ms).count(), qPrintable(QStringLiteral("took %1 ms").arg(took)));
}

QTEST_GUILESS_MAIN(TestOwnWriters)
#include "tst_ownwriters.moc"
