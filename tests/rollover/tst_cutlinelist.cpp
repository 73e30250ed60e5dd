#include "rollover/cutlinelist.h"

#include <QTest>

using rollover::CutLineList;

namespace {

// Places each row with a left press and release where no line is near.
CutLineList withLines(const QList<int> &rows)
{
    CutLineList lines;
    for (int row : rows) {
        lines.press(row);
        lines.release(CutLineList::kLeftButton, row);
    }
    return lines;
}

QStringList texts(const QList<int> &rows)
{
    QStringList out;
    for (int row : rows)
        out.append(QString::number(row));
    return out;
}

} // namespace

class TestCutLineList : public QObject
{
    Q_OBJECT
private slots:
    void gestures_data();
    void gestures();
    void scratchListFollowsAfterRelease();
};

// A gesture is a script of mouse events on the back plate:
// "press <button> <row>; move <buttons> <row>; release <button> <row>".
void TestCutLineList::gestures_data()
{
    QTest::addColumn<QList<int>>("start");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<bool>("pressTookLine");
    QTest::addColumn<QList<int>>("lastDrag");
    QTest::addColumn<QList<int>>("drawnOnRelease");
    QTest::addColumn<QList<int>>("after");

    using L = QList<int>;
    QTest::newRow("empty list: a left drag draws only the guide line")
        << L{} << "press 1 50; move 1 60" << false << L{60} << L{} << L{};
    QTest::newRow("empty list: a left release adds the release row")
        << L{} << "press 1 50; move 1 60; release 1 60" << false << L{60} << L{60} << L{60};
    QTest::newRow("lines 40 90: left press at 91, drag to 120, release moves the line")
        << L{40, 90} << "press 1 91; move 1 100; move 1 120; release 1 120" << true << L{40, 120}
        << L{40, 120} << L{40, 120};
    QTest::newRow("lines 40 90: right press at 89 and release deletes 90")
        << L{40, 90} << "press 2 89; release 2 89" << true << L{} << L{40} << L{40};
    QTest::newRow("middle press one row above a line deletes it")
        << L{40} << "press 4 39; release 4 39" << true << L{} << L{} << L{};
    QTest::newRow("press two rows away changes nothing") << L{40} << "press 2 42; release 2 42" << false << L{} << L{40} << L{40};
    QTest::newRow("lines 99 101: a press at 100 takes 99, not 101")
        << L{99, 101} << "press 2 100; release 2 100" << true << L{} << L{101} << L{101};
    QTest::newRow("left click on a line puts it back at the clicked row")
        << L{90} << "press 1 91; release 1 91" << true << L{} << L{91} << L{91};
    QTest::newRow("left release on an existing row keeps that row once")
        << L{50} << "press 1 200; release 1 50" << false << L{} << L{50, 50} << L{50};
    QTest::newRow("left release at row 768 adds 768") << L{} << "press 1 700; release 1 768" << false << L{} << L{768} << L{768};
    QTest::newRow("left release at row 769 is drawn once and dropped")
        << L{10} << "press 1 700; release 1 769" << false << L{} << L{10, 769} << L{10};
    QTest::newRow("left release above the box is drawn once and dropped")
        << L{10} << "press 1 100; release 1 -5" << false << L{} << L{10, -5} << L{10};
    QTest::newRow("left release at row 0 adds 0") << L{10} << "press 1 100; release 1 0" << false << L{} << L{10, 0} << L{0, 10};
    QTest::newRow("the new line is drawn last, then sorted by number: 9 before 10")
        << L{10} << "press 1 300; release 1 9" << false << L{} << L{10, 9} << L{9, 10};
    QTest::newRow("right release on empty space redraws the list unchanged")
        << L{40, 90} << "press 2 300; release 2 300" << false << L{} << L{40, 90} << L{40, 90};
    QTest::newRow("a drag with the right button redraws nothing")
        << L{40} << "press 2 300; move 2 310" << false << L{} << L{} << L{40};
    QTest::newRow("a drag with left and right held redraws nothing")
        << L{40} << "press 1 300; move 3 310" << false << L{} << L{} << L{40};
    QTest::newRow("a drag shows the line the press took out no longer")
        << L{40, 90} << "press 1 40; move 1 60" << true << L{90, 60} << L{} << L{90};
    QTest::newRow("a pointer captured far below the box adds nothing")
        << L{} << "press 1 2147483647; release 1 2147483647" << false << L{} << L{2147483647} << L{};
    QTest::newRow("a pointer captured far above the box adds nothing")
        << L{} << "press 1 -2147483648; release 1 -2147483648" << false << L{} << L{-2147483647 - 1}
        << L{};
}

void TestCutLineList::gestures()
{
    QFETCH(QList<int>, start);
    QFETCH(QString, gesture);
    QFETCH(bool, pressTookLine);
    QFETCH(QList<int>, lastDrag);
    QFETCH(QList<int>, drawnOnRelease);
    QFETCH(QList<int>, after);

    CutLineList lines = withLines(start);
    bool took = false;
    QList<int> dragged, released;
    for (const QString &step : gesture.split(u';')) {
        const QStringList parts = step.split(u' ', Qt::SkipEmptyParts);
        const int button = parts[1].toInt();
        const int row = parts[2].toInt();
        if (parts[0] == u"press")
            took = lines.press(row);
        else if (parts[0] == u"move")
            dragged = lines.drag(button, row);
        else
            released = lines.release(button, row);
    }
    QCOMPARE(took, pressTookLine);
    QCOMPARE(dragged, lastDrag);
    QCOMPARE(released, drawnOnRelease);
    QCOMPARE(lines.list1(), texts(after));
    QCOMPARE(lines.rows(), after);
}

void TestCutLineList::scratchListFollowsAfterRelease()
{
    CutLineList lines = withLines({300, 20, 768});
    QCOMPARE(lines.list2(), (QStringList{"20", "300", "768"}));
    lines.press(21);
    // Until the release the scratch list still holds the taken line.
    QCOMPARE(lines.list1(), (QStringList{"300", "768"}));
    QCOMPARE(lines.list2(), (QStringList{"20", "300", "768"}));
    lines.release(2, 21);
    QCOMPARE(lines.list2(), (QStringList{"300", "768"}));
    // Clearing empties List1 only; the scratch list follows at the next release.
    lines.clear();
    QVERIFY(lines.list1().isEmpty());
    QCOMPARE(lines.list2(), (QStringList{"300", "768"}));
    lines.release(2, 0);
    QVERIFY(lines.list2().isEmpty());
}

QTEST_GUILESS_MAIN(TestCutLineList)
#include "tst_cutlinelist.moc"
