#include "convert/captions.h"
#include "convert/fileoutcome.h"
#include "convert/outputpath.h"
#include "convert/sizerule.h"

#include <QTest>
#include <climits>

using namespace convert;

// The rules of the Batch Convert page that need no file: the size buttons and
// texts, the output's name, and the captions and messages a run shows.
class TestConvertRules : public QObject
{
    Q_OBJECT

private slots:
    void sizeRule_data();
    void sizeRule();
    void texts_data();
    void texts();
};

void TestConvertRules::sizeRule_data()
{
    QTest::addColumn<int>("button"); // index in the group
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QSize>("expected"); // invalid: no resize
    QTest::addColumn<QString>("refusal"); // how the reason starts; empty when accepted, "-" for no button

    // The custom texts only count for "Custom", even when they are odd.
    QTest::newRow("0 is 1 to 1, asks nothing") << 0 << "1e99" << "abc" << QSize() << "";
    QTest::newRow("3 is 640x480") << 3 << "1e99" << "abc" << QSize(640, 480) << "";
    QTest::newRow("4 is 800x600") << 4 << "1e99" << "abc" << QSize(800, 600) << "";
    QTest::newRow("5 is 1024x768") << 5 << "1e99" << "abc" << QSize(1024, 768) << "";
    QTest::newRow("no button 2") << 2 << "" << "" << QSize() << "-";
    QTest::newRow("no button 6") << 6 << "" << "" << QSize() << "-";
    QTest::newRow("no button -1") << -1 << "" << "" << QSize() << "-";
    QTest::newRow("1 is custom: below 5 gives 5") << 1 << "4.9" << "-1e999" << QSize(5, 5) << "";
    QTest::newRow("a half to the even side") << 1 << "12.5" << "13.5" << QSize(12, 14) << "";
    QTest::newRow("not a half to the nearest") << 1 << "12.51" << "13.49" << QSize(13, 13) << "";
    QTest::newRow("largest int") << 1 << "2147483647" << "2147483647.4" << QSize(INT_MAX, INT_MAX) << "";
    QTest::newRow("width rounds just over")
        << 1 << "2147483647.5" << "10" << QSize() << "the custom width \"2147483647.5\"";
    QTest::newRow("height huge") << 1 << "10" << "1e12" << QSize() << "the custom height \"1e12\"";
}

void TestConvertRules::sizeRule()
{
    QFETCH(int, button);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QSize, expected);
    QFETCH(QString, refusal);
    const std::optional<SizeChoice> choice = sizeChoiceFromIndex(button);
    QCOMPARE(!choice, refusal == "-");
    if (!choice)
        return;
    const SizeDecision decision = decideSize(*choice, width, height);
    QCOMPARE(decision.size.value_or(QSize()), expected);
    if (refusal.isEmpty())
        QVERIFY2(decision.ok() && decision.size.has_value() == expected.isValid(), qPrintable(decision.error));
    else
        QVERIFY2(decision.error.startsWith(refusal) && decision.error.contains(QLatin1String("2147483647 pixels")),
                 qPrintable(decision.error));
}

void TestConvertRules::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    // The output keeps the case its extension is given in.
    QTest::newRow("output: jpg before any format click") << outputPath("/out", "a.bmp", "jpg") << "/out/a.jpg";
    QTest::newRow("output: own extension, new case") << outputPath("/in", "a.jpg", "JPG") << "/in/a.JPG";
    QTest::newRow("output: four-letter extension replaced whole")
        << outputPath("/out", "scan.jpeg", "TIF") << "/out/scan.TIF";
    QTest::newRow("output: last dot counts") << outputPath("/out", "holiday.2024.tif", "PNG") << "/out/holiday.2024.PNG";
    QTest::newRow("output: no dot gets one") << outputPath("/out", "ab", "BMP") << "/out/ab.BMP";
    QTest::newRow("output: dot at the end") << outputPath("/out", "odd.", "TGA") << "/out/odd.TGA";
    QTest::newRow("output: one separator after a trailing one") << outputPath("/out/", "a.bmp", "PNG") << "/out//a.PNG";

    QTest::newRow("start caption, no grouping") << startCaption(12345) << "12345 images to convert.";
    QTest::newRow("progress counted from 1, no grouping")
        << progressCaption(999, 1000) << "Now Processing # 1000 of 1000";
    const FileOutcome bad{-1, {}, {}, {}, false, "Cannot open /in/bad.jpg: the file is damaged or incomplete."};
    const FileOutcome gone{-1, {}, {}, {}, false, "Cannot save /out/b.PNG: the folder /out does not exist."};
    QTest::newRow("failures, one per line")
        << failureMessage({bad, gone}, 12) << "2 of 12 files could not be converted:\n\n" + bad.message + '\n' + gone.message;
    QTest::newRow("failure of the only file") << failureMessage({bad}, 1)
                                              << "The file could not be converted:\n\n" + bad.message;
    QTest::newRow("one failure of three") << failureMessage({bad}, 3)
                                          << "1 of 3 files could not be converted:\n\n" + bad.message;
}

void TestConvertRules::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

QTEST_APPLESS_MAIN(TestConvertRules)
#include "tst_convertrules.moc"
