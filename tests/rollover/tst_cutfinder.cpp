#include "../support/menus.h"

#include <QTest>

using testmenus::Look;

class TestCutFinder : public QObject
{
    Q_OBJECT
private slots:
    void menus_data();
    void menus();
};

void TestCutFinder::menus_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("variant"); // 1: lettering only, 2: shadow, 4: noise
    for (int entries = 1; entries <= 12; ++entries) {
        for (int variant = 0; variant < 8; ++variant)
            QTest::addRow("%d entries, %s%s%s", entries, variant & 1 ? "lettering" : "boxes",
                          variant & 2 ? ", shadow" : "", variant & 4 ? ", noise" : "") << entries << variant;
    }
}

// Each cut lies midway (give or take a shadow's faint row) through the gap
// between two entries' changes, so every piece holds one whole entry; one
// entry needs no cut.
void TestCutFinder::menus()
{
    QFETCH(int, entries);
    QFETCH(int, variant);
    const testmenus::Menu menu = testmenus::menu(entries, variant & 1 ? Look::Lettering : Look::Box, variant & 2,
                                                 variant & 4, quint32(entries * 8 + variant));
    const rollover::FoundCuts found = rollover::findCuts(menu.normal, menu.highlight);
    QCOMPARE(found.cuts.size(), entries - 1);
    for (int i = 0; i + 1 < entries; ++i) {
        const int above = menu.changed[i].last, below = menu.changed[i + 1].first, cut = found.cuts[i];
        QVERIFY2(cut > above && cut < below && std::abs(2 * cut - (above + below)) <= 3,
                 qPrintable(QStringLiteral("cut %1 between rows %2 and %3").arg(cut).arg(above).arg(below)));
    }
}

QTEST_GUILESS_MAIN(TestCutFinder)
#include "tst_cutfinder.moc"
