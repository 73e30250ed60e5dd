#include "common/numberreader.h"

#include <QTest>
#include <limits>

class TestNumberReader : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
};

void TestNumberReader::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    const double infinity = std::numeric_limits<double>::infinity();
    QTest::newRow("blanks before and inside") << "  1 2. 5" << 12.5;
    QTest::newRow("tab and line feed removed") << "\t1\n2" << 12.0;
    QTest::newRow("blank after sign") << "- 20" << -20.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("fraction") << "4.9" << 4.9;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("D exponent") << "2D2" << 200.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "5e" << 5.0;
    QTest::newRow("hex") << "&HFF" << 255.0;
    QTest::newRow("hex lower case, stops at G") << "&h1fG" << 31.0;
    QTest::newRow("octal stops at 8") << "&O178" << 15.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("unit after") << "640px" << 640.0;
    QTest::newRow("second point ends") << "1.2.3" << 1.2;
    QTest::newRow("comma ends") << "1,5" << 1.0;
    QTest::newRow("carriage return ends") << "5\r6" << 5.0;
    QTest::newRow("non-ASCII digit ends") << QString::fromUtf8("7\u0663") << 7.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("tiny underflows to 0") << "1e-999" << 0.0;
    QTest::newRow("overflow is infinity, not a failure") << "1e999" << infinity;
    QTest::newRow("negative overflow") << "-1e999" << -infinity;
}

void TestNumberReader::reads()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(common::readLeadingNumber(text), expected);
}

QTEST_APPLESS_MAIN(TestNumberReader)
#include "tst_numberreader.moc"
