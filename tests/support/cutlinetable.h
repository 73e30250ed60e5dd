#pragma once

#include <QList>
#include <QTest>

// The cut-line gestures and what each leaves, played with the mouse on the
// core's list and with the keys on the window. A gesture is a script:
// "press <button> <row>; move <buttons> <row>; release <button> <row>".
namespace cutlinetable {

using L = QList<int>;

inline void addRows()
{
    QTest::addColumn<L>("start");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<L>("lastDrag");
    QTest::addColumn<L>("drawnOnRelease");
    QTest::addColumn<L>("after");

    QTest::newRow("empty list: a left release adds the release row")
        << L{} << "press 1 50; move 1 60; release 1 60" << L{60} << L{60} << L{60};
    QTest::newRow("lines 40 90: left press at 91, drag to 120, release moves the line")
        << L{40, 90} << "press 1 91; move 1 100; move 1 120; release 1 120" << L{40, 120} << L{40, 120} << L{40, 120};
    QTest::newRow("lines 40 90: right press at 89 and release deletes 90")
        << L{40, 90} << "press 2 89; release 2 89" << L{} << L{40} << L{40};
    QTest::newRow("press two rows away changes nothing") << L{40} << "press 2 42; release 2 42" << L{} << L{40} << L{40};
    QTest::newRow("lines 99 101: a press at 100 takes 99, not 101")
        << L{99, 101} << "press 2 100; release 2 100" << L{} << L{101} << L{101};
    QTest::newRow("left release on an existing row keeps that row once") << L{50} << "release 1 50" << L{} << L{50, 50} << L{50};
    QTest::newRow("left release at row 768 adds 768") << L{} << "release 1 768" << L{} << L{768} << L{768};
    QTest::newRow("left release at row 769 is drawn once and dropped") << L{10} << "release 1 769" << L{} << L{10, 769} << L{10};
    QTest::newRow("left release above the box is drawn once and dropped") << L{10} << "release 1 -5" << L{} << L{10, -5} << L{10};
    QTest::newRow("left release at row 0 adds 0") << L{10} << "release 1 0" << L{} << L{10, 0} << L{0, 10};
    QTest::newRow("the new line is drawn last, then sorted by number: 9 before 10")
        << L{10} << "release 1 9" << L{} << L{10, 9} << L{9, 10};
    QTest::newRow("a drag with left and right held redraws nothing") << L{40} << "press 1 300; move 3 310" << L{} << L{} << L{40};
    QTest::newRow("a drag shows the line the press took out no longer")
        << L{40, 90} << "press 1 40; move 1 60" << L{90, 60} << L{} << L{90};
    QTest::newRow("a pointer captured far above and below the box takes and adds nothing")
        << L{0, 768} << "press 2 -2147483648; press 1 2147483647; release 1 2147483647" << L{} << L{0, 768, 2147483647} << L{0, 768};
}

} // namespace cutlinetable
