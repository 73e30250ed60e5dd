#include "convert/sizerule.h"

#include <QTest>
#include <climits>

using convert::SizeChoice;

Q_DECLARE_METATYPE(SizeChoice)

class TestSizeRule : public QObject
{
    Q_OBJECT

private slots:
    void buttons_data();
    void buttons();
    void custom_data();
    void custom();
    void refusesSidesBeyondInt_data();
    void refusesSidesBeyondInt();
    void buttonIndices_data();
    void buttonIndices();
};

void TestSizeRule::buttons_data()
{
    QTest::addColumn<SizeChoice>("choice");
    QTest::addColumn<QSize>("expected"); // invalid: no resize

    QTest::newRow("1 to 1 asks nothing") << SizeChoice::OneToOne << QSize();
    QTest::newRow("640x480") << SizeChoice::Size640x480 << QSize(640, 480);
    QTest::newRow("800x600") << SizeChoice::Size800x600 << QSize(800, 600);
    QTest::newRow("1024x768") << SizeChoice::Size1024x768 << QSize(1024, 768);
}

void TestSizeRule::buttons()
{
    QFETCH(SizeChoice, choice);
    QFETCH(QSize, expected);
    // The custom texts only count for "Custom", even when they are odd.
    const convert::SizeDecision decision = convert::decideSize(choice, u"1e99", u"abc");
    QVERIFY(decision.ok());
    QCOMPARE(decision.size.value_or(QSize()), expected);
}

void TestSizeRule::custom_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("letters give 5") << "abc" << "10" << QSize(5, 10);
    QTest::newRow("negative gives 5") << "-20" << "10" << QSize(5, 10);
    QTest::newRow("4.9 gives 5") << "4.9" << "10" << QSize(5, 10);
    QTest::newRow("12.5 to even 12") << "12.5" << "13.5" << QSize(12, 14);
    QTest::newRow("14.5 and 15.5") << "14.5" << "15.5" << QSize(14, 16);
    QTest::newRow("not a half rounds to nearest") << "12.51" << "13.49" << QSize(13, 13);
    QTest::newRow("blanks before") << "  300" << "  200" << QSize(300, 200);
    QTest::newRow("blank inside") << "1 000" << "7 5 0" << QSize(1000, 750);
    QTest::newRow("unit after") << "640px" << "480 px" << QSize(640, 480);
    QTest::newRow("empty gives 5") << "" << "" << QSize(5, 5);
    QTest::newRow("width first") << "30" << "20" << QSize(30, 20);
    QTest::newRow("hex and octal") << "&H100" << "&O20" << QSize(256, 16);
    QTest::newRow("exponent") << "1.5e2" << "2D1" << QSize(150, 20);
    QTest::newRow("5 stays 5") << "5" << "5.4" << QSize(5, 5);
    QTest::newRow("initial texts") << "10" << "10" << QSize(10, 10);
    QTest::newRow("largest int") << "2147483647" << "2147483647.4" << QSize(INT_MAX, INT_MAX);
    QTest::newRow("minus infinity gives 5") << "-1e999" << "-5" << QSize(5, 5);
}

void TestSizeRule::custom()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QSize, expected);
    const convert::SizeDecision decision = convert::decideSize(SizeChoice::Custom, width, height);
    QVERIFY2(decision.ok(), qPrintable(decision.error));
    QCOMPARE(decision.size.value_or(QSize()), expected);
}

void TestSizeRule::refusesSidesBeyondInt_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("named");

    QTest::newRow("width just over") << "2147483647.5" << "10" << "the custom width \"2147483647.5\"";
    QTest::newRow("height huge") << "10" << "1e12" << "the custom height \"1e12\"";
    QTest::newRow("width infinite") << "1e999" << "1e999" << "the custom width \"1e999\"";
    QTest::newRow("hex beyond") << "&HFFFFFFFFFF" << "10" << "the custom width \"&HFFFFFFFFFF\"";
}

void TestSizeRule::refusesSidesBeyondInt()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, named);
    const convert::SizeDecision decision = convert::decideSize(SizeChoice::Custom, width, height);
    QVERIFY(!decision.ok());
    QVERIFY(!decision.size);
    QVERIFY2(decision.error.startsWith(named), qPrintable(decision.error));
    QVERIFY2(decision.error.contains(QLatin1String("2147483647 pixels")), qPrintable(decision.error));
}

void TestSizeRule::buttonIndices_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<SizeChoice>("choice");

    QTest::newRow("0 is 1 to 1") << 0 << true << SizeChoice::OneToOne;
    QTest::newRow("1 is custom") << 1 << true << SizeChoice::Custom;
    QTest::newRow("there is no 2") << 2 << false << SizeChoice::OneToOne;
    QTest::newRow("3 is 640x480") << 3 << true << SizeChoice::Size640x480;
    QTest::newRow("4 is 800x600") << 4 << true << SizeChoice::Size800x600;
    QTest::newRow("5 is 1024x768") << 5 << true << SizeChoice::Size1024x768;
    QTest::newRow("6 is none") << 6 << false << SizeChoice::OneToOne;
    QTest::newRow("-1 is none") << -1 << false << SizeChoice::OneToOne;
}

void TestSizeRule::buttonIndices()
{
    QFETCH(int, index);
    QFETCH(bool, exists);
    QFETCH(SizeChoice, choice);
    const std::optional<SizeChoice> found = convert::sizeChoiceFromIndex(index);
    QCOMPARE(found.has_value(), exists);
    if (exists)
        QCOMPARE(*found, choice);
}

QTEST_APPLESS_MAIN(TestSizeRule)
#include "tst_sizerule.moc"
