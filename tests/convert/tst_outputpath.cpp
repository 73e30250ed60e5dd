#include "convert/outputpath.h"

#include <QTest>

class TestOutputPath : public QObject
{
    Q_OBJECT

private slots:
    void path_data();
    void path();
};

void TestOutputPath::path_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outext");
    QTest::addColumn<QString>("expected");

    QTest::newRow("before any format click") << "/out" << "a.bmp" << "jpg" << "/out/a.jpg";
    QTest::newRow("after the JPG click") << "/out" << "a.bmp" << "JPG" << "/out/a.JPG";
    QTest::newRow("own extension, new case") << "/in" << "a.jpg" << "JPG" << "/in/a.JPG";
    QTest::newRow("own name exactly") << "/in" << "a.jpg" << "jpg" << "/in/a.jpg";
    QTest::newRow("four-letter extension replaced whole") << "/out" << "scan.jpeg" << "TIF" << "/out/scan.TIF";
    QTest::newRow("one-letter extension") << "/out" << "x.c" << "EPS" << "/out/x.EPS";
    QTest::newRow("last dot counts") << "/out" << "holiday.2024.tif" << "PNG" << "/out/holiday.2024.PNG";
    QTest::newRow("no dot gets one") << "/out" << "ab" << "BMP" << "/out/ab.BMP";
    QTest::newRow("dot at the end") << "/out" << "odd." << "TGA" << "/out/odd.TGA";
    QTest::newRow("blanks kept") << "/out" << "my photo.pcx" << "DCX" << "/out/my photo.DCX";
    QTest::newRow("one separator after a trailing one") << "/out/" << "a.bmp" << "PNG" << "/out//a.PNG";

}

void TestOutputPath::path()
{
    QFETCH(QString, destination);
    QFETCH(QString, name);
    QFETCH(QString, outext);
    QFETCH(QString, expected);
    QCOMPARE(convert::outputPath(destination, name, outext), expected);
}

QTEST_APPLESS_MAIN(TestOutputPath)
#include "tst_outputpath.moc"
