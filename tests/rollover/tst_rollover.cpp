#include "menus.h"
#include "pictures.h"
#include "rollover/cutlinelist.h"
#include "rollover/modernpage.h"
#include "rollover/pagetext.h"
#include "rollover/pieces.h"

#include <QTest>

using namespace rollover;
using L = QList<int>;

// The rules of the rollover builder that need neither files nor a window:
// the cut-line gestures, the cuts found from the plates, the pieces, their
// names and the page.
class TestRollover : public QObject
{
    Q_OBJECT
private slots:
    void cutLines_data();
    void cutLines();
    void foundCuts_data();
    void foundCuts();
    void cutFinderEdges_data();
    void cutFinderEdges();
    void pieceRects();
    void pieceNames_data();
    void pieceNames();
    void page();
};

// A gesture is a script of steps on the back plate:
// "take <row>; guide <row>; place <row>; settle".
void TestRollover::cutLines_data()
{
    QTest::addColumn<L>("start");
    QTest::addColumn<int>("plateHeight"); // given after the start lines; 0: none known
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<L>("lastDrag");
    QTest::addColumn<L>("drawnOnRelease");
    QTest::addColumn<L>("after");

    QTest::newRow("empty list: a place adds its row")
        << L{} << 0 << "take 50; guide 60; place 60" << L{60} << L{60} << L{60};
    QTest::newRow("lines 40 90: take at 91, guide to 120, place moves the line")
        << L{40, 90} << 0 << "take 91; guide 100; guide 120; place 120" << L{40, 120} << L{40, 120} << L{40, 120};
    QTest::newRow("lines 40 90: take at 89 and settle deletes 90")
        << L{40, 90} << 0 << "take 89; settle" << L{} << L{40} << L{40};
    QTest::newRow("a take two rows away changes nothing") << L{40} << 0 << "take 42; settle" << L{} << L{40} << L{40};
    QTest::newRow("lines 99 101: a take at 100 takes 99, not 101")
        << L{99, 101} << 0 << "take 100; settle" << L{} << L{101} << L{101};
    QTest::newRow("place on an existing row keeps that row once") << L{50} << 0 << "place 50" << L{} << L{50, 50} << L{50};
    QTest::newRow("place at row 768 adds 768") << L{} << 0 << "place 768" << L{} << L{768} << L{768};
    QTest::newRow("place at row 769 is drawn once and dropped") << L{10} << 0 << "place 769" << L{} << L{10, 769} << L{10};
    QTest::newRow("place above the box is drawn once and dropped") << L{10} << 0 << "place -5" << L{} << L{10, -5} << L{10};
    QTest::newRow("place at row 0 adds 0") << L{10} << 0 << "place 0" << L{} << L{10, 0} << L{0, 10};
    QTest::newRow("the new line is drawn last, then sorted by number: 9 before 10")
        << L{10} << 0 << "place 9" << L{} << L{10, 9} << L{9, 10};
    QTest::newRow("a guide shows the line taken out no longer")
        << L{40, 90} << 0 << "take 40; guide 60" << L{90, 60} << L{} << L{90};
    QTest::newRow("rows far above and below the box take and add nothing")
        << L{0, 768} << 0 << "take -2147483648; take 2147483647; place 2147483647" << L{} << L{0, 768, 2147483647} << L{0, 768};
    // A line must leave a piece below it: on a plate of 179 rows the last is 177.
    QTest::newRow("179-row plate: a place on its last row is drawn once and dropped")
        << L{177} << 179 << "place 178" << L{} << L{177, 178} << L{177};
    QTest::newRow("lines placed before a shorter plate below its last row go")
        << L{0, 50, 98, 99} << 100 << "take 300" << L{} << L{} << L{0, 50, 98};
    QTest::newRow("a plate taller than the list's rows keeps the 768 rule") << L{} << 1000 << "place 769" << L{} << L{769} << L{};
}

void TestRollover::cutLines()
{
    QFETCH(L, start);
    QFETCH(int, plateHeight);
    QFETCH(QString, gesture);
    QFETCH(L, lastDrag);
    QFETCH(L, drawnOnRelease);
    QFETCH(L, after);

    // The keys replay the gesture at the guide line: Delete for a take, Enter
    // for a place.
    CutLineList lines, keys;
    for (int row : start) {
        lines.place(row);
        keys.place(row);
    }
    if (plateHeight) {
        lines.setPlateHeight(plateHeight);
        keys.setPlateHeight(plateHeight);
    }
    L dragged, released;
    for (const QString &step : gesture.split(u';')) {
        const QStringList parts = step.split(u' ', Qt::SkipEmptyParts);
        const int row = parts.value(1).toInt();
        if (parts[0] == u"take") {
            lines.take(row);
            keys.remove(row);
        } else if (parts[0] == u"guide") {
            dragged = lines.guide(row);
        } else if (parts[0] == u"place") {
            released = lines.place(row);
            keys.place(row);
        } else {
            released = lines.settle();
        }
    }
    QCOMPARE(dragged, lastDrag);
    QCOMPARE(released, drawnOnRelease);
    QCOMPARE(lines.rows(), after);
    QCOMPARE(keys.rows(), after);
}

void TestRollover::foundCuts_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("variant"); // 1: lettering only, 2: shadow, 4: noise
    for (int entries = 1; entries <= 12; ++entries) {
        for (int variant = 0; variant < 8; ++variant)
            QTest::addRow("%d entries, %s%s%s", entries, variant & 1 ? "lettering" : "boxes", variant & 2 ? ", shadow" : "",
                          variant & 4 ? ", noise" : "") << entries << variant;
    }
}

// Each cut lies midway (give or take a shadow's faint row) through the gap
// between two entries' changes, so every piece holds one whole entry; one
// entry needs no cut.
void TestRollover::foundCuts()
{
    QFETCH(int, entries);
    QFETCH(int, variant);
    const testmenus::Menu menu = testmenus::menu(entries, variant & 1 ? testmenus::Look::Lettering : testmenus::Look::Box,
                                                 variant & 2, variant & 4, quint32(entries * 8 + variant));
    const FoundCuts found = findCuts(menu.normal, menu.highlight);
    QCOMPARE(found.cuts.size(), entries - 1);
    for (int i = 0; i + 1 < entries; ++i) {
        const int above = menu.changed[i].last, below = menu.changed[i + 1].first, cut = found.cuts[i];
        QVERIFY2(cut > above && cut < below && std::abs(2 * cut - (above + below)) <= 3,
                 qPrintable(QStringLiteral("cut %1 between rows %2 and %3").arg(cut).arg(above).arg(below)));
    }
}

// Each rule of the finder at its edge, on bands of whole rows: lighter ("+")
// is an entry's highlight, darker ("-") a shadow.
void TestRollover::cutFinderEdges_data()
{
    QTest::addColumn<QString>("bands"); // "first:rows+" ...
    QTest::addColumn<int>("cuts");
    const auto bands = [](std::initializer_list<int> firstAndRows, QString signs) {
        QStringList text;
        for (auto it = firstAndRows.begin(); it != firstAndRows.end(); it += 2)
            text << QStringLiteral("%1:%2%3").arg(it[0]).arg(it[1]).arg(signs[text.size()]);
        return text.join(u' ');
    };
    QTest::newRow("a gap of the least rows parts two entries") << bands({10, 5, 15 + kMinGap, 5}, "++") << 1;
    QTest::newRow("a gap a row narrower joins them") << bands({10, 5, 14 + kMinGap, 5}, "++") << 0;
    QTest::newRow("an entry of the least rows counts") << bands({10, 5, 20, kMinEntry}, "++") << 1;
    QTest::newRow("a row fewer is noise") << bands({10, 5, 20, kMinEntry - 1}, "++") << 0;
    QTest::newRow("the thickest shadow joins the entry above") << bands({10, 5, 18, kMaxShadow, 30, 5}, "+-+") << 1;
    QTest::newRow("a row thicker is an entry of its own") << bands({10, 5, 18, kMaxShadow + 1, 30, 5}, "+-+") << 2;
}

void TestRollover::cutFinderEdges()
{
    QFETCH(QString, bands);
    QImage normal(40, 60, QImage::Format_RGB32), highlight;
    normal.fill(qRgb(128, 128, 128));
    highlight = normal;
    for (const QString &band : bands.split(u' ')) {
        const QStringList field = band.chopped(1).split(u':');
        for (int y = field[0].toInt(); y < field[0].toInt() + field[1].toInt(); ++y)
            for (int x = 0; x < highlight.width(); ++x)
                highlight.setPixel(x, y, band.endsWith(u'+') ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    }
    QTEST(int(findCuts(normal, highlight).cuts.size()), "cuts");
}

// Each cut line belongs to the piece above it; the last piece ends on the
// plate's own last row, also when a line there or below leaves it empty.
void TestRollover::pieceRects()
{
    const auto rows = [](int top, int bottom) { return QRect(QPoint(0, top), QPoint(125, bottom)); };
    QCOMPARE(rollover::pieceRects({}, QSize(126, 90)), QList<QRect>{rows(0, 89)});
    QCOMPARE(rollover::pieceRects({0, 100, 178, 300}, QSize(126, 179)),
             (QList<QRect>{rows(0, 0), rows(1, 100), rows(101, 178), rows(179, 300), rows(301, 178)}));
}

void TestRollover::pieceNames_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("plate");
    QTest::addColumn<int>("piece");
    QTest::addColumn<QString>("name"); // the file name, or "refused: " and a part of the reason

    QTest::newRow("TST back plate piece 0") << "TST" << 0 << 0 << "TSTa0.jpg";
    QTest::newRow("TST selected plate piece 12") << "TST" << 2 << 12 << "TSTc12.jpg";
    QTest::newRow("blanks and ampersands stay, numbers are not filled") << "a &b" << 1 << 10 << "a &bb10.jpg";
    QTest::newRow("letters beyond ASCII are accepted") << QString::fromUtf8("Menü") << 1 << 3 << QString::fromUtf8("Menüb3.jpg");
    QTest::newRow("a slash would leave the images folder") << "../x" << 0 << 0 << "refused: path separator \"/\"";
    QTest::newRow("a backslash would leave the images folder") << "a\\b" << 0 << 0 << "refused: path separator \"\\\"";
    QTest::newRow("a colon") << "c:x" << 0 << 0 << "refused: \":\"";
    QTest::newRow("a double quote") << "a\"b" << 0 << 0 << "refused: \"\"\"";
    QTest::newRow("a control character") << "a\tb" << 0 << 0 << "refused: control character 9";
    QTest::newRow("two dots") << ".." << 0 << 0 << "refused: nothing but dots";
}

void TestRollover::pieceNames()
{
    QFETCH(QString, header);
    QFETCH(int, plate);
    QFETCH(int, piece);
    QFETCH(QString, name);

    const std::optional<QString> fault = headerFault(header);
    if (name.startsWith(QLatin1String("refused: "))) {
        QVERIFY2(fault && fault->contains(name.mid(9)), qPrintable(fault.value_or("accepted")));
        return;
    }
    QVERIFY2(!fault, qPrintable(fault.value_or(QString())));
    QCOMPARE(pieceFileName(header, Plate(plate), piece), name);
    QCOMPARE(pieceReference(header, Plate(plate), piece), QStringLiteral("images/") + name);
}

void TestRollover::page()
{
    // Header "TST", one cut line at row 57 on 126 x 179 plates.
    const QString expected = QString::fromUtf8(testpictures::readAll(QStringLiteral(KESTRUNE_TEST_DATA "/rollover/page-TST-57.htm")));
    // Lines end in CR LF, never a lone CR or LF (the expected lines hold
    // neither), and nothing follows "</html>".
    const QString text = pageText(QStringLiteral("TST"), {QSize(126, 58), QSize(126, 121)});
    QCOMPARE(text.split(QStringLiteral("\r\n")), expected.chopped(1).split(u'\n'));

    // Eleven pieces: every part of the page runs to a10, the header as typed.
    QList<QSize> sizes;
    for (int n = 0; n < 11; ++n)
        sizes.append(QSize(100 + n, 10 * (n + 1)));
    const QStringList lines = pageText(QStringLiteral("M&u "), sizes).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 37 + 7 * 11);
    QCOMPARE(lines[14 + 2 * 10], QStringLiteral("var a10_on  = new Image();"));
    QCOMPARE(lines[18 + 2 * 11 + 2 * 10], QStringLiteral("a10_off.src = \"images/M&u a10.jpg\";"));
    QCOMPARE(lines[37 + 4 * 11 + 3 * 10], QStringLiteral("<img src=\"images/M&u a10.jpg\" alt=\"Your Label Here\" width=\"110\" height=\"110\" border=\"0\" name=\"a10\"></a><br>"));

    // Labels and links take the alt texts' and hrefs' places, escaped; no other byte changes.
    const PageChoice named{PageChoice::Format::Classic, {"Home", "A \"B\" & <C>"}, {"index.html", "b.html?x=1&y=2"}, 0, 1};
    QStringList want = expected.chopped(1).split(u'\n');
    want[43].replace("connect_to.html", "index.html");
    want[45].replace("Your Label Here", "Home");
    want[46].replace("connect_to.html", "b.html?x=1&amp;y=2");
    want[48].replace("Your Label Here", "A &quot;B&quot; &amp; &lt;C&gt;");
    QCOMPARE(pageText(QStringLiteral("TST"), {QSize(126, 58), QSize(126, 121)}, named).split(QStringLiteral("\r\n")), want);

    // The modern page of four entries, the second the page's own, plates drawn at twice the
    // size with an odd last piece, a header that must be escaped in a URL.
    PageChoice choice{PageChoice::Format::Modern, {"Home", "Products & more", "<About>", "Über uns"},
                      {"index.html", "products.html", "about.html?a=1&b=2", "contact.html"}, 2, 2};
    const ModernPage page = rollover::modernPage("M&u ", {QSize(160, 60), QSize(160, 60), QSize(160, 60), QSize(160, 61)}, choice);
    QCOMPARE(page.html.split(u'\n'), QString::fromUtf8(testpictures::readAll(KESTRUNE_TEST_DATA "/rollover/modern-4.html")).split(u'\n'));
    QCOMPARE(page.css.split(u'\n'), QString::fromUtf8(testpictures::readAll(KESTRUNE_TEST_DATA "/rollover/modern-4.css")).split(u'\n'));
    // Without labels and links, no entry reads "Your Label Here".
    choice = {PageChoice::Format::Modern, {}, {}, 0, 1};
    QVERIFY(rollover::modernPage("TST", {QSize(9, 9)}, choice).html.contains("<li><a href=\"#\"><img src=\"images/TSTa0.jpg\" alt=\"Entry 1\">"));
}

QTEST_GUILESS_MAIN(TestRollover)
#include "tst_rollover.moc"
