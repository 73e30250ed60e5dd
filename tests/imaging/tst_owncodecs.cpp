#include "imaging/aci.h"
#include "imaging/dxfreader.h"
#include "imaging/library.h"
#include "imaging/owncodecs.h"
#include "imaging/wmfwriter.h"
#include "pictures.h"

#include <QDirIterator>
#include <QPainter>
#include <QTest>
#include <QtEndian>

using namespace imaging::detail;
using namespace testpictures;

namespace {

// Pictures of flat areas whose number of rectangles is known.
QImage picture(const QString &kind, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (kind == QLatin1String("quadrants")) {
        p.fillRect(0, 0, width / 2, height / 2, Qt::red);
        p.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::blue);
        p.fillRect(0, height / 2, width / 2, height - height / 2, Qt::green);
        p.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::black);
    }
    for (int i = 0; kind == QLatin1String("rows") && i < height; ++i)
        p.fillRect(0, i, width, 1, i % 2 ? Qt::yellow : Qt::magenta);
    for (int i = 0; kind == QLatin1String("columns") && i < width; ++i)
        p.fillRect(i, 0, 1, height, i % 2 ? Qt::cyan : Qt::red);
    if (kind == QLatin1String("top row"))
        p.fillRect(0, 0, width, 1, Qt::red);
    if (kind == QLatin1String("half transparent")) {
        p.fillRect(0, 0, width, height, Qt::transparent);
        p.fillRect(0, 0, width / 2, height, QColor(0, 0, 255));
    }
    return image;
}

// A text drawing whose entities are given as code/value lines. Two white
// points fix its extents at 0..100 in both directions, so that a unit is a
// pixel and the pixel (x, 100 - y) holds the point (x, y).
QByteArray drawing(const QByteArray &entities, const QByteArray &before = {})
{
    return before + "0\nSECTION\n2\nENTITIES\n0\nPOINT\n8\n0\n62\n255\n10\n0\n20\n0\n"
                    "0\nPOINT\n8\n0\n62\n255\n10\n100\n20\n100\n"
        + entities + "0\nENDSEC\n0\nEOF\n";
}

// The same drawing in the binary form: two-byte group codes, coordinates as
// doubles, colours as 16-bit numbers, texts ending in a zero byte.
QByteArray binaryDrawing(const QByteArray &text)
{
    QByteArray out("AutoCAD Binary DXF\r\n\x1a\0", 22);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        const int code = lines[i].toInt();
        char raw[8];
        qToLittleEndian<quint16>(quint16(code), raw);
        out.append(raw, 2);
        if (code >= 10 && code < 60) {
            qToLittleEndian(lines[i + 1].toDouble(), raw);
            out.append(raw, 8);
        } else if (code >= 60 && code < 80) {
            qToLittleEndian<qint16>(qint16(lines[i + 1].toInt()), raw);
            out.append(raw, 2);
        } else {
            out += lines[i + 1] + '\0';
        }
    }
    return out;
}

// Whether `colour` is within one pixel of (x, y).
bool near(const QImage &image, int x, int y, QRgb colour)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.valid(x + dx, y + dy) && (image.pixel(x + dx, y + dy) | 0xFF000000u) == (colour | 0xFF000000u))
                return true;
    return false;
}

int count(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) | 0xFF000000u) == (colour | 0xFF000000u);
    return n;
}

QByteArray solidText(double x0, double y0, double x1, double y1, int aci)
{
    return QStringLiteral("0\nSOLID\n8\n0\n62\n%5\n10\n%1\n20\n%2\n11\n%3\n21\n%2\n12\n%1\n22\n%4\n13\n%3\n23\n%4\n")
        .arg(x0).arg(y0).arg(x1).arg(y1).arg(aci)
        .toLatin1();
}

quint16 le16(const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 le32(const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }

// Reads `bytes`, which must either give a picture within the size limits or
// a reason; never both, never neither.
void readsOrRefuses(const QByteArray &bytes, const char *what)
{
    QString reason;
    const QImage image = readDxf(bytes, &reason);
    QVERIFY2(image.isNull() != reason.isEmpty(), what);
    if (!image.isNull())
        QVERIFY2(image.width() <= kMaxSide && image.height() <= kMaxSide, what);
}

} // namespace

class TestOwnCodecs : public QObject
{
    Q_OBJECT
private slots:
    void aciTable_data();
    void aciTable();
    void aciNearestKeepsPaletteColours();
    void looksLikeDxf_data();
    void looksLikeDxf();
    void dxfRoundTrip_data();
    void dxfRoundTrip();
    void dxfTopRowLiesHighest();
    void dxfEntities_data();
    void dxfEntities();
    void dxfBinaryMatchesText();
    void dxfWrittenByEzdxf_data();
    void dxfWrittenByEzdxf();
    void dxfRead_data();
    void dxfRead();
    void dxfSurvivesDamageAndRegressions();
    void wmfLayout_data();
    void wmfLayout();
    void wmfTooWide();
};

void TestOwnCodecs::aciTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QRgb>("rgb");
    QTest::newRow("1 red") << 1 << qRgb(255, 0, 0);
    QTest::newRow("5 blue") << 5 << qRgb(0, 0, 255);
    QTest::newRow("7 foreground, black on white") << 7 << qRgb(0, 0, 0);
    QTest::newRow("8 grey") << 8 << qRgb(128, 128, 128);
    QTest::newRow("11 pale red") << 11 << qRgb(255, 127, 127);
    QTest::newRow("14 half red") << 14 << qRgb(127, 0, 0);
    QTest::newRow("20 orange-red") << 20 << qRgb(255, 63, 0);
    QTest::newRow("150 azure") << 150 << qRgb(0, 127, 255);
    QTest::newRow("250 dark grey") << 250 << qRgb(51, 51, 51);
    QTest::newRow("255 white") << 255 << qRgb(255, 255, 255);
    QTest::newRow("0 is no colour") << 0 << qRgb(0, 0, 0);
    QTest::newRow("256 is no colour") << 256 << qRgb(0, 0, 0);
}

void TestOwnCodecs::aciTable()
{
    QFETCH(int, index);
    QFETCH(QRgb, rgb);
    QCOMPARE(aciColour(index), rgb);
}

void TestOwnCodecs::aciNearestKeepsPaletteColours()
{
    for (int i = kAciFirst; i <= kAciLast; ++i)
        QCOMPARE(aciColour(nearestAci(aciColour(i))), aciColour(i));
    QCOMPARE(nearestAci(qRgb(0, 0, 0)), kAciForeground);
    QCOMPARE(nearestAci(qRgb(255, 255, 255)), 255);
    QCOMPARE(nearestAci(qRgb(250, 5, 3)), 1);
}

void TestOwnCodecs::looksLikeDxf_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("dxf");
    QTest::newRow("text drawing") << QByteArray("  0\r\nSECTION\r\n  2\r\nHEADER\r\n") << true;
    QTest::newRow("byte-order mark first") << QByteArray("\xEF\xBB\xBF  0\nSECTION\n") << true;
    QTest::newRow("comment first") << QByteArray("999\nmade by hand\n0\nSECTION\n") << true;
    QTest::newRow("binary drawing") << QByteArray("AutoCAD Binary DXF\r\n\x1a\0\0\0SECTION", 31) << true;
    QTest::newRow("plain text") << QByteArray("hello, this is not a drawing\n") << false;
    QTest::newRow("zero then something else") << QByteArray("0\nLINE\n") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestOwnCodecs::looksLikeDxf()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, dxf);
    QCOMPARE(imaging::detail::looksLikeDxf(head), dxf);
}

void TestOwnCodecs::dxfRoundTrip_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("solids"); // -1: any number
    QTest::newRow("one pixel") << picture("quadrants", 1, 1) << 1;
    QTest::newRow("quadrants are four") << picture("quadrants", 40, 30) << 4;
    QTest::newRow("alternate rows one each") << picture("rows", 7, 5) << 5;
    QTest::newRow("alternate columns one each") << picture("columns", 5, 7) << 5;
    QTest::newRow("a red top row over white") << picture("top row", 6, 4) << 2;
    QTest::newRow("one colour is one rectangle") << picture("white", 40, 30) << 1;
    QTest::newRow("40 colours 300x2") << blocks(300, 2) << -1;
    QTest::newRow("noise 37x23") << noise(37, 23) << -1;
    QTest::newRow("half transparent 8x4") << picture("half transparent", 8, 4) << 2;
}

void TestOwnCodecs::dxfRoundTrip()
{
    QFETCH(QImage, image);
    QFETCH(int, solids);
    QString reason;
    const QByteArray bytes = encodeDxf(image, &reason);
    QVERIFY2(!bytes.isEmpty(), qPrintable(reason));
    QVERIFY(imaging::detail::looksLikeDxf(bytes.left(4096)));
    if (solids >= 0)
        QCOMPARE(bytes.count("\r\nSOLID\r\n"), solids);
    const QImage back = readDxf(bytes, &reason);
    QVERIFY2(!back.isNull(), qPrintable(reason));
    QCOMPARE(back.size(), image.size());
    const QImage expected = reducedToAci(image);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QVERIFY2((back.pixel(x, y) | 0xFF000000u) == expected.pixel(x, y),
                     qPrintable(QStringLiteral("pixel %1, %2 is %3, not %4")
                                    .arg(x).arg(y).arg(back.pixel(x, y), 0, 16).arg(expected.pixel(x, y), 0, 16)));
}

void TestOwnCodecs::dxfTopRowLiesHighest()
{
    QString reason;
    const QByteArray bytes = encodeDxf(picture("top row", 6, 4), &reason);
    // The red row is the picture's top: in the drawing it lies between y 3 and
    // 4. (Version and extents are checked by ezdxf's audit.)
    const qsizetype red = bytes.indexOf(" 62\r\n1\r\n");
    QVERIFY(red > 0);
    QVERIFY(bytes.mid(red).startsWith(" 62\r\n1\r\n 10\r\n0\r\n 20\r\n3\r\n 11\r\n6\r\n 21\r\n3\r\n 12\r\n0\r\n 22\r\n4\r\n 13\r\n6\r\n 23\r\n4\r\n"));
}

void TestOwnCodecs::dxfEntities_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QPoint>>("coloured");
    QTest::addColumn<QList<QPoint>>("white");
    QTest::addColumn<QRgb>("colour");
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    using P = QList<QPoint>;
    QTest::newRow("LINE")
        << drawing("0\nLINE\n8\n0\n62\n1\n10\n10\n20\n50\n11\n90\n21\n50\n")
        << P{{10, 50}, {50, 50}, {90, 50}} << P{{50, 40}, {5, 50}} << red;
    QTest::newRow("LINE in true colour")
        << drawing("0\nLINE\n8\n0\n62\n1\n420\n1193046\n10\n10\n20\n50\n11\n90\n21\n50\n")
        << P{{50, 50}} << P{} << qRgb(0x12, 0x34, 0x56);
    QTest::newRow("CIRCLE")
        << drawing("0\nCIRCLE\n8\n0\n62\n3\n10\n50\n20\n50\n40\n40\n")
        << P{{90, 50}, {10, 50}, {50, 10}, {50, 90}} << P{{50, 50}, {80, 20}} << green;
    QTest::newRow("ARC from 0 to 90 degrees")
        << drawing("0\nARC\n8\n0\n62\n3\n10\n50\n20\n50\n40\n40\n50\n0\n51\n90\n")
        << P{{90, 50}, {50, 90}, {78, 78}} << P{{10, 50}, {50, 10}} << green;
    QTest::newRow("ARC across zero degrees")
        << drawing("0\nARC\n8\n0\n62\n3\n10\n50\n20\n50\n40\n40\n50\n270\n51\n45\n")
        << P{{90, 50}, {50, 10}, {78, 78}} << P{{10, 50}, {50, 90}} << green;
    QTest::newRow("ELLIPSE half as high")
        << drawing("0\nELLIPSE\n8\n0\n62\n5\n10\n50\n20\n50\n11\n40\n21\n0\n40\n0.5\n41\n0\n42\n6.283185307\n")
        << P{{90, 50}, {10, 50}, {50, 30}, {50, 70}} << P{{50, 10}, {50, 50}} << blue;
    QTest::newRow("ELLIPSE upper half")
        << drawing("0\nELLIPSE\n8\n0\n62\n5\n10\n50\n20\n50\n11\n40\n21\n0\n40\n0.5\n41\n0\n42\n3.141592654\n")
        << P{{50, 70}, {10, 50}} << P{{50, 30}} << blue;
    QTest::newRow("SOLID")
        << drawing("0\nSOLID\n8\n0\n62\n5\n10\n20\n20\n20\n11\n80\n21\n20\n12\n20\n22\n80\n13\n80\n23\n80\n")
        << P{{50, 50}, {21, 21}, {78, 78}} << P{{10, 10}, {90, 90}} << blue;
    QTest::newRow("SOLID triangle")
        << drawing("0\nSOLID\n8\n0\n62\n5\n10\n20\n20\n20\n11\n80\n21\n20\n12\n50\n22\n80\n")
        << P{{50, 50}, {50, 75}, {25, 25}} << P{{25, 70}, {75, 70}} << blue;
    QTest::newRow("TRACE")
        << drawing("0\nTRACE\n8\n0\n62\n1\n10\n20\n20\n40\n11\n80\n21\n40\n12\n20\n22\n60\n13\n80\n23\n60\n")
        << P{{50, 50}} << P{{50, 30}} << red;
    QTest::newRow("LWPOLYLINE closed square")
        << drawing("0\nLWPOLYLINE\n8\n0\n62\n1\n90\n4\n70\n1\n10\n10\n20\n10\n10\n90\n20\n10\n10\n90\n20\n90\n10\n10\n20\n90\n")
        << P{{10, 50}, {90, 50}, {50, 10}, {50, 90}} << P{{50, 50}} << red;
    QTest::newRow("LWPOLYLINE open stays open")
        << drawing("0\nLWPOLYLINE\n8\n0\n62\n1\n90\n3\n70\n0\n10\n10\n20\n10\n10\n90\n20\n10\n10\n90\n20\n90\n")
        << P{{90, 50}, {50, 10}} << P{{10, 50}, {50, 90}} << red;
    QTest::newRow("LWPOLYLINE bulge is a half circle")
        << drawing("0\nLWPOLYLINE\n8\n0\n62\n1\n90\n2\n70\n0\n10\n10\n20\n50\n42\n1\n10\n90\n20\n50\n")
        << P{{50, 10}, {22, 22}} << P{{50, 90}, {50, 50}} << red;
    QTest::newRow("POLYLINE with VERTEX")
        << drawing("0\nPOLYLINE\n8\n0\n62\n3\n66\n1\n70\n1\n"
                   "0\nVERTEX\n8\n0\n10\n10\n20\n10\n0\nVERTEX\n8\n0\n10\n90\n20\n10\n"
                   "0\nVERTEX\n8\n0\n10\n90\n20\n90\n0\nSEQEND\n8\n0\n")
        << P{{50, 10}, {90, 50}, {50, 50}} << P{{10, 50}, {50, 90}} << green;
    QTest::newRow("TEXT")
        << drawing("0\nTEXT\n8\n0\n62\n1\n10\n10\n20\n10\n40\n30\n1\nHH\n")
        << P{} << P{{80, 20}} << red;
    QTest::newRow("layer colour by layer")
        << drawing("0\nLINE\n8\nWALLS\n10\n10\n20\n50\n11\n90\n21\n50\n",
                   "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n1\n0\nLAYER\n2\nwalls\n70\n0\n62\n5\n6\nCONTINUOUS\n0\nENDTAB\n0\nENDSEC\n")
        << P{{50, 50}} << P{} << blue;
    QTest::newRow("layer turned off is not drawn")
        << drawing("0\nLINE\n8\nHIDDEN\n62\n1\n10\n10\n20\n50\n11\n90\n21\n50\n",
                   "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nHIDDEN\n62\n-1\n0\nENDTAB\n0\nENDSEC\n")
        << P{} << P{{50, 50}, {20, 50}} << red;
    QTest::newRow("INSERT scaled, by block colour")
        << drawing("0\nINSERT\n8\n0\n62\n3\n2\nSQUARE\n10\n40\n20\n40\n41\n2\n42\n2\n",
                   "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nSQUARE\n70\n0\n10\n5\n20\n5\n"
                   + solidText(5, 5, 15, 15, 0) + "0\nENDBLK\n8\n0\n0\nENDSEC\n")
        << P{{42, 58}, {50, 50}, {58, 42}} << P{{35, 50}, {65, 50}} << green;
    QTest::newRow("INSERT turned a quarter")
        << drawing("0\nINSERT\n8\n0\n2\nBAR\n10\n50\n20\n50\n50\n90\n",
                   "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nBAR\n10\n0\n20\n0\n"
                   + solidText(0, -2, 30, 2, 1) + "0\nENDBLK\n0\nENDSEC\n")
        << P{{50, 60}, {50, 75}} << P{{60, 50}, {75, 50}, {50, 40}} << red;
    QTest::newRow("INSERT as an array")
        << drawing("0\nINSERT\n8\n0\n2\nDOT\n10\n10\n20\n10\n70\n3\n71\n2\n44\n30\n45\n40\n",
                   "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nDOT\n10\n0\n20\n0\n"
                   + solidText(0, 0, 4, 4, 1) + "0\nENDBLK\n0\nENDSEC\n")
        << P{{12, 12}, {42, 12}, {72, 12}, {12, 52}, {72, 52}} << P{{27, 12}, {12, 32}} << red;
    QTest::newRow("mirrored CIRCLE lies on the other side")
        << drawing("0\nCIRCLE\n8\n0\n62\n1\n10\n-70\n20\n50\n40\n10\n230\n-1\n")
        << P{{80, 50}, {60, 50}} << P{{30, 50}} << red;
}

void TestOwnCodecs::dxfEntities()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QPoint>, coloured);
    QFETCH(QList<QPoint>, white);
    QFETCH(QRgb, colour);
    QString reason;
    const QImage image = readDxf(bytes, &reason);
    QVERIFY2(!image.isNull(), qPrintable(reason));
    QCOMPARE(image.size(), QSize(101, 101));
    for (const QPoint &p : coloured)
        QVERIFY2(near(image, p.x(), 100 - p.y(), colour),
                 qPrintable(QStringLiteral("no colour near %1, %2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : white)
        QVERIFY2(image.pixel(p.x(), 100 - p.y()) == qRgb(255, 255, 255),
                 qPrintable(QStringLiteral("colour at %1, %2").arg(p.x()).arg(p.y())));
    if (QByteArray(QTest::currentDataTag()) == "TEXT")
        QVERIFY2(count(image, colour) > 30, "the text left too few pixels");
}

void TestOwnCodecs::dxfBinaryMatchesText()
{
    const QByteArray text = "0\nSECTION\n2\nENTITIES\n" + solidText(0, 0, 12, 8, 5)
        + "0\nLINE\n8\n0\n62\n1\n10\n0\n20\n4\n11\n12\n21\n4\n0\nENDSEC\n0\nEOF\n";
    const QByteArray binary = binaryDrawing(text);
    QVERIFY(imaging::detail::looksLikeDxf(binary));
    QString reason;
    const QImage fromBinary = readDxf(binary, &reason);
    QVERIFY2(!fromBinary.isNull(), qPrintable(reason));
    QCOMPARE(fromBinary, readDxf(text, &reason));
    QCOMPARE(count(fromBinary, qRgb(255, 0, 0)), 13);
    QVERIFY(readDxf(binary.chopped(5), &reason).isNull());
    QVERIFY2(reason.contains(QLatin1String("incomplete")), qPrintable(reason));
}

void TestOwnCodecs::dxfWrittenByEzdxf_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sameAs");
    QTest::newRow("R12 text") << "ezdxf-r12.dxf" << QString();
    QTest::newRow("R12 binary, one-byte codes") << "ezdxf-r12-binary.dxf" << "ezdxf-r12.dxf";
    QTest::newRow("R2000 text") << "ezdxf-r2000.dxf" << QString();
    QTest::newRow("R2000 binary, two-byte codes") << "ezdxf-r2000-binary.dxf" << "ezdxf-r2000.dxf";
}

// Drawings made by another program's DXF library, with the handles, owners
// and subclass markers ours leaves out.
void TestOwnCodecs::dxfWrittenByEzdxf()
{
    QFETCH(QString, name);
    QFETCH(QString, sameAs);
    const auto read = [](const QString &file, QString *reason) {
        return readDxf(readAll(QStringLiteral(KESTRUNE_TEST_DATA "/formats/") + file), reason);
    };
    QString reason;
    const QImage image = read(name, &reason);
    QVERIFY2(!image.isNull(), qPrintable(reason));
    // The line from (0, 0) to (120, 80) spans the drawing.
    QCOMPARE(image.size(), QSize(121, 81));
    const auto at = [&](int x, int y, QRgb colour) { return near(image, x, 80 - y, colour); };
    QVERIFY(at(60, 40, qRgb(255, 0, 0)));      // LINE, colour 1
    QVERIFY(at(45, 40, qRgb(0, 0, 255)));      // CIRCLE on a blue layer
    QVERIFY(at(90, 55, qRgb(0, 255, 0)));      // ARC, colour 3
    QVERIFY(at(47, 67, qRgb(255, 255, 0)));    // SOLID, colour 2
    QVERIFY(at(115, 67, aciColour(30)));       // POLYLINE
    QVERIFY(at(10, 16, qRgb(255, 0, 0)));      // a block's circle, by block
    // TEXT: its letters are smoothed, so count any ink right of (60, 65).
    QVERIFY(count(image.copy(60, 80 - 75, 30, 12), qRgb(255, 255, 255)) < 30 * 12 - 20);
    if (name.contains(QLatin1String("r2000"))) {
        QVERIFY(at(80, 20, qRgb(0, 255, 255))); // ELLIPSE, colour 4
        QVERIFY(at(15, 55, qRgb(255, 0, 255))); // the LWPOLYLINE's bulge
    }
    if (!sameAs.isEmpty())
        QCOMPARE(image, read(sameAs, &reason));
}

void TestOwnCodecs::dxfRead_data()
{
    QTest::addColumn<QSize>("size"); // invalid: refused
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // what the refusal says
    const auto sized = [](const char *row, const QByteArray &bytes, QSize size) {
        QTest::newRow(row) << size << bytes << QString();
    };
    const auto refused = [](const char *row) -> QTestData & { return QTest::newRow(row) << QSize(); };
    const QByteArray head = "0\nSECTION\n2\nENTITIES\n", tail = "0\nENDSEC\n0\nEOF\n";
    sized("one pixel per unit", head + solidText(-20, 5, 30, 35, 1) + tail, QSize(50, 30));
    sized("smaller than a unit grows to 1024", head + solidText(0, 0, 0.5, 0.25, 1) + tail, QSize(1024, 512));
    sized("wider than the side limit shrinks to 1024", head + solidText(0, 0, 100000, 50000, 1) + tail, QSize(1024, 512));
    sized("more pixels than the limit shrinks to 1024", head + solidText(0, 0, 20000, 15000, 1) + tail, QSize(1024, 768));
    sized("a line is one unit wide", head + "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n" + tail, QSize(11, 1));
    sized("after a byte-order mark", "\xEF\xBB\xBF" + head + solidText(0, 0, 3, 2, 1) + tail, QSize(3, 2));
    sized("one point is one pixel", head + "0\nPOINT\n8\n0\n10\n5\n20\n5\n" + tail, QSize(1, 1));
    refused("no entities section") << QByteArray("0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nEOF\n") << "no ENTITIES section";
    refused("nothing to draw") << head + tail << "no entities to draw";
    refused("only unknown entities") << head + "0\nHATCH\n8\n0\n" + tail << "no entities to draw";
    refused("group code not a number") << head + "x1\nLINE\n" + tail << "line 5: \"x1\" is not a group code";
    refused("group code out of range") << head + "5000\nLINE\n" + tail << "is not a group code";
    refused("coordinate not a number") << head + "0\nLINE\n10\nten\n" + tail << "line 8: \"ten\" is not a number";
    refused("not a finite number") << head + "0\nCIRCLE\n40\nnan\n" + tail << "not a finite number";
    refused("absurd coordinate") << head + "0\nLINE\n10\n1e300\n" + tail << "extents are absurd";
    refused("absurd radius") << head + "0\nCIRCLE\n40\n1e15\n" + tail << "extents are absurd";
    refused("ends inside the entities") << head + solidText(0, 0, 1, 1, 1) << "ends inside its ENTITIES section";
    refused("code without a value") << head + solidText(0, 0, 1, 1, 1) + "0\n" << "has no value";
    refused("block inserts itself")
        << "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nLOOP\n" + solidText(0, 0, 1, 1, 1)
               + "0\nINSERT\n2\nLOOP\n10\n1\n20\n0\n0\nENDBLK\n0\nENDSEC\n" + head
               + "0\nINSERT\n2\nLOOP\n" + tail
        << "nested more than";
    refused("blocks multiply past the limit")
        << "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nA\n" + solidText(0, 0, 1, 1, 1)
               + "0\nENDBLK\n0\nBLOCK\n2\nB\n0\nINSERT\n2\nA\n70\n2000\n71\n2000\n0\nENDBLK\n0\nENDSEC\n"
               + head + "0\nINSERT\n2\nB\n70\n3\n" + tail
        << "once its blocks are inserted";
    refused("array too large") << head + "0\nINSERT\n2\nA\n70\n100000\n71\n100000\n" + tail << "inserted more than";
    refused("absurd after inserting")
        << "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nA\n" + solidText(0, 0, 1e11, 1, 1)
               + "0\nENDBLK\n0\nENDSEC\n" + head + "0\nINSERT\n2\nA\n41\n1000\n" + tail
        << "extents are absurd";
    refused("too many entities") << head + QByteArray("0\nPOINT\n").repeated(int(kMaxDxfEntities + 1)) + tail
        << QStringLiteral("more than %1 entities").arg(kMaxDxfEntities);
    refused("binary cut after the sentinel") << QByteArray("AutoCAD Binary DXF\r\n\x1a\0\0\0SECT", 28) << "incomplete";
}

void TestOwnCodecs::dxfRead()
{
    QFETCH(QSize, size);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QString why;
    const QImage image = readDxf(bytes, &why);
    if (!size.isValid()) {
        QVERIFY(image.isNull());
        QVERIFY2(why.contains(reason), qPrintable(why));
        return;
    }
    QVERIFY2(!image.isNull(), qPrintable(why));
    QCOMPARE(image.size(), size);
    QVERIFY(count(image, qRgb(255, 255, 255)) < image.width() * image.height());
}

void TestOwnCodecs::dxfSurvivesDamageAndRegressions()
{
    // Every cut and every damage of a sound drawing either reads or is
    // refused with a reason; the sanitizer build checks that no byte outside
    // the input is read. So must the inputs that once broke the reader.
    QString reason;
    const QList<QByteArray> sound{encodeDxf(noise(9, 7), &reason),
                                  readAll(QStringLiteral(KESTRUNE_TEST_DATA "/formats/entities.dxf"))};
    QRandomGenerator random(11);
    for (const QByteArray &bytes : sound) {
        QVERIFY2(!readDxf(bytes, &reason).isNull(), qPrintable(reason));
        for (qsizetype n = 0; n < bytes.size(); n += std::max<qsizetype>(1, bytes.size() / 400))
            readsOrRefuses(QByteArray(bytes.constData(), n), "cut"); // its own buffer, ending at n
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = bytes;
            for (int k = 0; k < 4; ++k)
                damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
            readsOrRefuses(damaged, "damaged");
        }
    }
    int seen = 0;
    for (QDirIterator it(QStringLiteral(KESTRUNE_TEST_DATA "/formats/dxf-regressions"), QDir::Files); it.hasNext(); ++seen) {
        const QString file = it.next();
        readsOrRefuses(readAll(file), qPrintable(file));
    }
    QVERIFY2(seen > 0, "the regression inputs are missing");
}

void TestOwnCodecs::wmfLayout_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("one pixel") << picture("quadrants", 1, 1);
    QTest::newRow("odd width needs row padding") << picture("quadrants", 5, 3);
    QTest::newRow("noise 33x17") << noise(33, 17);
    QTest::newRow("transparent parts on white") << picture("half transparent", 4, 4);
}

void TestOwnCodecs::wmfLayout()
{
    QFETCH(QImage, image);
    QString reason;
    const QByteArray wmf = encodeWmf(image, &reason);
    QVERIFY2(!wmf.isEmpty(), qPrintable(reason));
    const int w = image.width(), h = image.height();
    // The placeable header: key, bounding box from (0, 0), units, checksum.
    QCOMPARE(le32(wmf, 0), kPlaceableKey);
    QCOMPARE(QList<int>({le16(wmf, 6), le16(wmf, 8), le16(wmf, 10), le16(wmf, 12), le16(wmf, 14)}),
             QList<int>({0, 0, w, h, kWmfUnitsPerInch}));
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= le16(wmf, i);
    QCOMPARE(le16(wmf, 20), checksum);
    const int meta = kPlaceableHeaderBytes;
    QCOMPARE(le16(wmf, meta + 2), 9);
    QCOMPARE(qint64(le32(wmf, meta + 6)) * 2, qint64(wmf.size() - meta));

    // Walk the records: every size must add up to the end of the file.
    qsizetype at = meta + kMetaHeaderBytes, dib = -1;
    quint32 largest = 0;
    while (at < wmf.size()) {
        const quint32 words = le32(wmf, at);
        largest = std::max(largest, words);
        if (le16(wmf, at + 4) == kMetaStretchDib) {
            QCOMPARE(dib, -1); // one bitmap only
            QCOMPARE(le32(wmf, at + 6), kSourceCopy);
            // source and destination, each height then width
            QCOMPARE(QList<int>({le16(wmf, at + 12), le16(wmf, at + 14), le16(wmf, at + 20), le16(wmf, at + 22)}),
                     QList<int>({h, w, h, w}));
            dib = at + 28;
        }
        if (le16(wmf, at + 4) == 0)
            QCOMPARE(at + 6, wmf.size());
        at += qsizetype(words) * 2;
    }
    QCOMPARE(at, wmf.size());
    QCOMPARE(le32(wmf, meta + 12), largest);
    QVERIFY(dib > 0);
    QCOMPARE(QList<quint32>({le32(wmf, dib), le32(wmf, dib + 4), le32(wmf, dib + 8), le16(wmf, dib + 14)}),
             QList<quint32>({40u, quint32(w), quint32(h), 24u}));
    // Rows bottom up, each padded to four bytes, pixels blue first.
    const int stride = (w * 3 + 3) / 4 * 4;
    for (int y = 0; y < h; ++y) {
        const char *row = wmf.constData() + dib + 40 + qsizetype(h - 1 - y) * stride;
        for (int x = 0; x < w; ++x)
            QCOMPARE(qRgb(quint8(row[x * 3 + 2]), quint8(row[x * 3 + 1]), quint8(row[x * 3])), onWhite(image.pixel(x, y)));
    }
}

void TestOwnCodecs::wmfTooWide()
{
    QImage wide(32768, 1, QImage::Format_RGB32);
    wide.fill(Qt::red);
    QString reason;
    QVERIFY(encodeWmf(wide, &reason).isEmpty());
    QVERIFY2(reason.contains(QLatin1String("32767")), qPrintable(reason));
}

QTEST_MAIN(TestOwnCodecs)
#include "tst_owncodecs.moc"
