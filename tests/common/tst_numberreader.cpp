#include "common/numberreader.h"

#include <QTest>
#include <cmath>
#include <limits>

class TestNumberReader : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void overflowIsInfinityNotFailure();
};

void TestNumberReader::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("plain") << "300" << 300.0;
    QTest::newRow("blanks before") << "  300" << 300.0;
    QTest::newRow("blank inside") << "1 000" << 1000.0;
    QTest::newRow("tab and line feed") << "\t1\n2" << 12.0;
    QTest::newRow("unit after") << "640px" << 640.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("negative") << "-20" << -20.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("fraction") << "4.9" << 4.9;
    QTest::newRow("half") << "12.5" << 12.5;
    QTest::newRow("odd half") << "13.5" << 13.5;
    QTest::newRow("blank inside fraction") << "1 2. 5" << 12.5;
    QTest::newRow("blank after sign") << "- 20" << -20.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("D exponent") << "2D2" << 200.0;
    QTest::newRow("exponent without digits") << "5e" << 5.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("hex") << "&HFF" << 255.0;
    QTest::newRow("hex lower") << "&h1f" << 31.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("octal stops at 8") << "&O18" << 1.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("second point ends") << "1.2.3" << 1.2;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("comma ends") << "1,5" << 1.0;
    QTest::newRow("non-ASCII digit ends") << QString::fromUtf8("7\u0663") << 7.0;
    QTest::newRow("carriage return ends") << "5\r6" << 5.0;
    QTest::newRow("compression fifty") << "50" << 50.0;
    QTest::newRow("tiny underflow") << "1e-999" << 0.0;
}

void TestNumberReader::reads()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(common::readLeadingNumber(text), expected);
}

void TestNumberReader::overflowIsInfinityNotFailure()
{
    QCOMPARE(common::readLeadingNumber(u"1e999"), std::numeric_limits<double>::infinity());
    QCOMPARE(common::readLeadingNumber(u"-1e999"), -std::numeric_limits<double>::infinity());
}

QTEST_APPLESS_MAIN(TestNumberReader)
#include "tst_numberreader.moc"
