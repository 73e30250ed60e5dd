#include "convert/sizerule.h"

#include <QTest>
#include <climits>

class TestSizeRule : public QObject
{
    Q_OBJECT

private slots:
    void decide_data();
    void decide();
    void noButtonAtMissingIndices();
};

void TestSizeRule::decide_data()
{
    QTest::addColumn<int>("button"); // index in the group
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QSize>("expected"); // invalid: no resize
    QTest::addColumn<QString>("refusal"); // how the reason starts; empty when accepted

    // The custom texts only count for "Custom", even when they are odd.
    QTest::newRow("0 is 1 to 1, asks nothing") << 0 << "1e99" << "abc" << QSize() << "";
    QTest::newRow("3 is 640x480") << 3 << "1e99" << "abc" << QSize(640, 480) << "";
    QTest::newRow("4 is 800x600") << 4 << "1e99" << "abc" << QSize(800, 600) << "";
    QTest::newRow("5 is 1024x768") << 5 << "1e99" << "abc" << QSize(1024, 768) << "";
    QTest::newRow("4.9 and 5.4 give 5") << 1 << "4.9" << "5.4" << QSize(5, 5) << "";
    QTest::newRow("negative and minus infinity give 5") << 1 << "-20" << "-1e999" << QSize(5, 5) << "";
    QTest::newRow("1 is custom: a half to the even side") << 1 << "12.5" << "13.5" << QSize(12, 14) << "";
    QTest::newRow("not a half to the nearest") << 1 << "12.51" << "13.49" << QSize(13, 13) << "";
    QTest::newRow("largest int") << 1 << "2147483647" << "2147483647.4" << QSize(INT_MAX, INT_MAX) << "";
    QTest::newRow("width rounds just over")
        << 1 << "2147483647.5" << "10" << QSize() << "the custom width \"2147483647.5\"";
    QTest::newRow("height huge") << 1 << "10" << "1e12" << QSize() << "the custom height \"1e12\"";
    QTest::newRow("width infinite") << 1 << "1e999" << "1e999" << QSize() << "the custom width \"1e999\"";
}

void TestSizeRule::decide()
{
    QFETCH(int, button);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QSize, expected);
    QFETCH(QString, refusal);
    const std::optional<convert::SizeChoice> choice = convert::sizeChoiceFromIndex(button);
    QVERIFY(choice);
    const convert::SizeDecision decision = convert::decideSize(*choice, width, height);
    QCOMPARE(decision.size.has_value(), expected.isValid());
    QCOMPARE(decision.size.value_or(QSize()), expected);
    if (refusal.isEmpty())
        QVERIFY2(decision.ok(), qPrintable(decision.error));
    else
        QVERIFY2(decision.error.startsWith(refusal) && decision.error.contains(QLatin1String("2147483647 pixels")),
                 qPrintable(decision.error));
}

void TestSizeRule::noButtonAtMissingIndices()
{
    for (int index : {-1, 2, 6})
        QVERIFY2(!convert::sizeChoiceFromIndex(index), qPrintable(QString::number(index)));
}

QTEST_APPLESS_MAIN(TestSizeRule)
#include "tst_sizerule.moc"
