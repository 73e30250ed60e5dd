#include "../support/menus.h"

#include <QTest>

using testmenus::Look;

class TestCutFinder : public QObject
{
    Q_OBJECT
private slots:
    void menus_data();
    void menus();
    void nothingToCut();
};

void TestCutFinder::menus_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<Look>("look");
    QTest::addColumn<bool>("shadow");
    QTest::addColumn<bool>("noise");
    for (int entries = 2; entries <= 12; ++entries) {
        for (const Look look : {Look::Box, Look::Lettering}) {
            for (const int variant : {0, 1, 2, 3}) {
                const bool shadow = variant & 1, noise = variant & 2;
                QTest::addRow("%d entries, %s%s%s", entries, look == Look::Box ? "boxes" : "lettering",
                              shadow ? ", shadow" : "", noise ? ", noise" : "")
                    << entries << look << shadow << noise;
            }
        }
    }
}

// Each cut lies midway (give or take a shadow's faint row) through the gap
// between two entries' changes, so every piece holds one whole entry.
void TestCutFinder::menus()
{
    QFETCH(int, entries);
    QFETCH(Look, look);
    QFETCH(bool, shadow);
    QFETCH(bool, noise);
    const testmenus::Menu menu = testmenus::menu(entries, look, shadow, noise, quint32(entries * 8 + int(look) * 4 + shadow + 2 * noise));
    const rollover::FoundCuts found = rollover::findCuts(menu.normal, menu.highlight);
    QCOMPARE(found.cuts.size(), entries - 1);
    for (int i = 0; i + 1 < entries; ++i) {
        const int above = menu.changed[i].last, below = menu.changed[i + 1].first;
        const int cut = found.cuts[i];
        QVERIFY2(cut > above && cut < below && std::abs(2 * cut - (above + below)) <= 3,
                 qPrintable(QStringLiteral("cut %1 between rows %2 and %3").arg(cut).arg(above).arg(below)));
    }
}

void TestCutFinder::nothingToCut()
{
    const testmenus::Menu menu = testmenus::menu(1, Look::Box, true, true, 5);
    QCOMPARE(rollover::findCuts(menu.normal, menu.highlight).cuts, QList<int>{});
    QCOMPARE(rollover::findCuts(menu.normal, menu.normal).entries, QList<rollover::RowSpan>{});
}

QTEST_GUILESS_MAIN(TestCutFinder)
#include "tst_cutfinder.moc"
