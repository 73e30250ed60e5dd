#include "convert/captions.h"
#include "convert/fileoutcome.h"

#include <QTest>

class TestCaptions : public QObject
{
    Q_OBJECT

private slots:
    void start_data();
    void start();
    void progress_data();
    void progress();
    void failures();
};

void TestCaptions::start_data()
{
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<QString>("expected");

    QTest::newRow("twelve") << qsizetype(12) << "12 images to convert.";
    QTest::newRow("one") << qsizetype(1) << "1 images to convert.";
    QTest::newRow("empty list") << qsizetype(0) << "0 images to convert.";
    QTest::newRow("no grouping") << qsizetype(12345) << "12345 images to convert.";
}

void TestCaptions::start()
{
    QFETCH(qsizetype, count);
    QFETCH(QString, expected);
    QCOMPARE(convert::startCaption(count), expected);
}

void TestCaptions::progress_data()
{
    QTest::addColumn<qsizetype>("position");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<QString>("expected");

    QTest::newRow("counted from 1") << qsizetype(2) << qsizetype(12) << "Now Processing # 3 of 12";
    QTest::newRow("single file") << qsizetype(0) << qsizetype(1) << "Now Processing # 1 of 1";
    QTest::newRow("list grew") << qsizetype(4) << qsizetype(15) << "Now Processing # 5 of 15";
    QTest::newRow("list shrank below the position") << qsizetype(9) << qsizetype(3) << "Now Processing # 10 of 3";
    QTest::newRow("no grouping") << qsizetype(999) << qsizetype(1000) << "Now Processing # 1000 of 1000";
}

void TestCaptions::progress()
{
    QFETCH(qsizetype, position);
    QFETCH(qsizetype, count);
    QFETCH(QString, expected);
    QCOMPARE(convert::progressCaption(position, count), expected);
}

void TestCaptions::failures()
{
    convert::FileOutcome first;
    first.message = QStringLiteral("Cannot open /in/bad.jpg: the file is damaged or incomplete.");
    convert::FileOutcome second;
    second.message = QStringLiteral("Cannot save /out/b.PNG: the folder /out does not exist.");

    QCOMPARE(convert::failureMessage({first, second}, 12),
             QStringLiteral("2 of 12 files could not be converted:\n\n")
                 + first.message + QLatin1Char('\n') + second.message);
    QCOMPARE(convert::failureMessage({first}, 1),
             QStringLiteral("The file could not be converted:\n\n") + first.message);
    QCOMPARE(convert::failureMessage({first}, 3),
             QStringLiteral("1 of 3 files could not be converted:\n\n") + first.message);
}

QTEST_APPLESS_MAIN(TestCaptions)
#include "tst_captions.moc"
