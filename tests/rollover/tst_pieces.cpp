#include "common/paths.h"
#include "rollover/pieces.h"

#include <QTest>

using namespace rollover;

class TestPieces : public QObject
{
    Q_OBJECT
private slots:
    void rects_data();
    void rects();
    void names_data();
    void names();
    void headers_data();
    void headers();
};

static QRect rows(int width, int top, int bottom)
{
    return QRect(QPoint(0, top), QPoint(width - 1, bottom));
}

void TestPieces::rects_data()
{
    QTest::addColumn<QList<int>>("cutLines");
    QTest::addColumn<QSize>("plate");
    QTest::addColumn<QList<QRect>>("expected");

    QTest::newRow("no line: the whole plate is piece 0") << QList<int>{} << QSize(126, 179) << QList<QRect>{rows(126, 0, 178)};
    QTest::newRow("one line at 57 on 126 x 179: 126 x 58 and 126 x 121") << QList<int>{57} << QSize(126, 179)
        << QList<QRect>{rows(126, 0, 57), rows(126, 58, 178)};
    QTest::newRow("lines at 0 and 100: the top row alone, then 1 to 100, then the rest") << QList<int>{0, 100} << QSize(126, 179)
        << QList<QRect>{rows(126, 0, 0), rows(126, 1, 100), rows(126, 101, 178)};
    QTest::newRow("a shorter plate: the same rows, its own bottom") << QList<int>{57} << QSize(126, 90)
        << QList<QRect>{rows(126, 0, 57), rows(126, 58, 89)};
    QTest::newRow("a line on the last row leaves an empty last piece") << QList<int>{178} << QSize(126, 179)
        << QList<QRect>{rows(126, 0, 178), rows(126, 179, 178)};
    QTest::newRow("a line below the plate reaches past it") << QList<int>{50, 300} << QSize(126, 179)
        << QList<QRect>{rows(126, 0, 50), rows(126, 51, 300), rows(126, 301, 178)};
}

void TestPieces::rects()
{
    QFETCH(QList<int>, cutLines);
    QFETCH(QSize, plate);
    QFETCH(QList<QRect>, expected);

    QCOMPARE(pieceRects(cutLines, plate), expected);
}

void TestPieces::names_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("plate");
    QTest::addColumn<int>("piece");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("TST back plate piece 0") << "TST" << 0 << 0 << "TSTa0.jpg";
    QTest::newRow("TST highlight plate piece 0") << "TST" << 1 << 0 << "TSTb0.jpg";
    QTest::newRow("TST selected plate piece 12") << "TST" << 2 << 12 << "TSTc12.jpg";
    QTest::newRow("numbers are not filled, longer headers as typed") << "MENU" << 0 << 10 << "MENUa10.jpg";
    QTest::newRow("blanks and ampersands stay") << "a &b" << 1 << 3 << "a &bb3.jpg";
}

void TestPieces::names()
{
    QFETCH(QString, header);
    QFETCH(int, plate);
    QFETCH(int, piece);
    QFETCH(QString, fileName);

    const Plate p = Plate(plate);
    QCOMPARE(pieceFileName(header, p, piece), fileName);
    QCOMPARE(piecePath(header, p, piece), common::imagesFolder() + u'/' + fileName);
    QCOMPARE(pieceReference(header, p, piece), QStringLiteral("images/") + fileName);
}

void TestPieces::headers_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("fault"); // a part of the reason; empty when accepted

    QTest::newRow("TST is accepted") << "TST" << "";
    QTest::newRow("a blank and an ampersand are accepted") << "my &menu" << "";
    QTest::newRow("letters beyond ASCII are accepted") << QString::fromUtf8("Menü") << "";
    QTest::newRow("a slash would leave the images folder") << "../x" << "path separator";
    QTest::newRow("a backslash would leave the images folder") << "a\\b" << "path separator";
    QTest::newRow("a double quote") << "a\"b" << "\"\"\"";
    QTest::newRow("a colon") << "c:x" << "\":\"";
    QTest::newRow("angle brackets") << "<a>" << "\"<\"";
    QTest::newRow("a bar") << "a|b" << "\"|\"";
    QTest::newRow("a tab") << "a\tb" << "control character 9";
    QTest::newRow("a NUL") << QString(QChar(0)) << "control character 0";
    QTest::newRow("two dots") << ".." << "nothing but dots";
}

void TestPieces::headers()
{
    QFETCH(QString, header);
    QFETCH(QString, fault);

    const std::optional<QString> got = headerFault(header);
    QCOMPARE(bool(got), !fault.isEmpty());
    QVERIFY2(!got || got->contains(fault), qPrintable(got.value_or(QString())));
}

QTEST_GUILESS_MAIN(TestPieces)
#include "tst_pieces.moc"
