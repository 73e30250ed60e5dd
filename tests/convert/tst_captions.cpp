#include "convert/captions.h"
#include "convert/fileoutcome.h"

#include <QTest>

class TestCaptions : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
};

void TestCaptions::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    using namespace convert;
    QTest::newRow("start, one") << startCaption(1) << "1 images to convert.";
    QTest::newRow("start, empty list") << startCaption(0) << "0 images to convert.";
    QTest::newRow("start, no grouping") << startCaption(12345) << "12345 images to convert.";
    QTest::newRow("progress counted from 1") << progressCaption(2, 12) << "Now Processing # 3 of 12";
    QTest::newRow("progress, list shrank below") << progressCaption(9, 3) << "Now Processing # 10 of 3";
    QTest::newRow("progress, no grouping") << progressCaption(999, 1000) << "Now Processing # 1000 of 1000";

    const FileOutcome bad{-1, {}, {}, {}, false, "Cannot open /in/bad.jpg: the file is damaged or incomplete."};
    const FileOutcome gone{-1, {}, {}, {}, false, "Cannot save /out/b.PNG: the folder /out does not exist."};
    QTest::newRow("failures, one per line") << failureMessage({bad, gone}, 12)
                                            << "2 of 12 files could not be converted:\n\n" + bad.message
                                                   + '\n' + gone.message;
    QTest::newRow("failure of the only file") << failureMessage({bad}, 1)
                                              << "The file could not be converted:\n\n" + bad.message;
    QTest::newRow("one failure of three") << failureMessage({bad}, 3)
                                          << "1 of 3 files could not be converted:\n\n" + bad.message;
}

void TestCaptions::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

QTEST_APPLESS_MAIN(TestCaptions)
#include "tst_captions.moc"
