#include "imaging/aci.h"
#include "imaging/deadline.h"
#include "imaging/detect.h"
#include "imaging/dxf/dxf.h"
#include "imaging/dxf/limits.h"
#include "imaging/library.h"
#include "imaging/wmfwriter.h"
#include "pictures.h"

#include <QBuffer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryFile>
#include <QTest>
#include <QtEndian>
#include <thread>

using namespace imaging::detail;
using namespace testpictures;
using namespace std::chrono_literals;

namespace {

const QString kFormats = QStringLiteral(KESTRUNE_TEST_DATA "/formats/");

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

// A device that hands out three bytes at a time, as a pipe may: every group
// straddles two reads.
class Trickle : public QIODevice
{
public:
    explicit Trickle(QByteArray bytes) : m_bytes(std::move(bytes)) { open(ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 most) override
    {
        const qint64 n = std::min<qint64>({most, 3, m_bytes.size() - m_at});
        std::memcpy(data, m_bytes.constData() + m_at, size_t(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

QImage read(const QByteArray &bytes, QString *reason, const imaging::Deadline &deadline = imaging::Deadline())
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readDxf(buffer, deadline, reason);
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

quint16 le16(const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 le32(const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }

// Reads `bytes`, which must either give a picture within the size limits or
// a reason; never both, never neither.
void readsOrRefuses(const QByteArray &bytes, const char *what)
{
    QString reason;
    const QImage image = read(bytes, &reason);
    QVERIFY2(image.isNull() != reason.isEmpty(), what);
    if (!image.isNull())
        QVERIFY2(image.width() <= kDxfMaxSide && image.height() <= kDxfMaxSide, what);
}

// One check of a picture read from tests/data/formats/dxf-cases/cases.tsv:
// "x,y=#rrggbb" (that colour within a pixel of x, y from the top left),
// "x,y=white" (exactly white there) or "#rrggbb>=n" (at least n pixels of it).
void check(const QImage &image, const QString &item)
{
    const QStringList at = item.split(QRegularExpression(QStringLiteral("[,=]|>=")));
    QVERIFY2(at.size() == 2 || at.size() == 3, qPrintable(item));
    if (at.size() == 2) {
        QVERIFY2(count(image, QColor(at[0]).rgb()) >= at[1].toInt(), qPrintable(item));
        return;
    }
    const int x = at[0].toInt(), y = at[1].toInt();
    if (at[2] == QLatin1String("white"))
        QVERIFY2(image.pixel(x, y) == qRgb(255, 255, 255), qPrintable(item));
    else
        QVERIFY2(near(image, x, y, QColor(at[2]).rgb()), qPrintable(item));
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
    void dxfWrittenAsBefore();
    void dxfReads_data();
    void dxfReads();
    void dxfWrittenByEzdxf_data();
    void dxfWrittenByEzdxf();
    void dxfRefusesPastItsLimits();
    void dxfSurvivesDamageAndRegressions();
    void stopsWhenCancelled_data();
    void stopsWhenCancelled();
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

// Text, binary and marked drawings are recognised by dxfReads.
void TestOwnCodecs::looksLikeDxf_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("dxf");
    QTest::newRow("comment first") << QByteArray("999\nmade by hand\n0\nSECTION\n") << true;
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
    QTest::newRow("noise 97x61, read in many pieces") << noise(97, 61) << -1;
    QTest::newRow("half transparent 8x4") << picture("half transparent", 8, 4) << 2;
}

void TestOwnCodecs::dxfRoundTrip()
{
    QFETCH(QImage, image);
    QFETCH(int, solids);
    QString reason;
    const QByteArray bytes = encodeDxf(image, imaging::Deadline(), &reason);
    QVERIFY2(!bytes.isEmpty(), qPrintable(reason));
    QVERIFY(imaging::detail::looksLikeDxf(bytes.left(kDetectBytes)));
    if (solids >= 0)
        QCOMPARE(bytes.count("\r\nSOLID\r\n"), solids);
    const QImage back = read(bytes, &reason);
    QVERIFY2(!back.isNull(), qPrintable(reason));
    QCOMPARE(back.size(), image.size());
    const QImage expected = reducedToAci(image);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QVERIFY2((back.pixel(x, y) | 0xFF000000u) == expected.pixel(x, y),
                     qPrintable(QStringLiteral("pixel %1, %2 is %3, not %4")
                                    .arg(x).arg(y).arg(back.pixel(x, y), 0, 16).arg(expected.pixel(x, y), 0, 16)));
}

// A round trip cannot tell a drawing upside down; the file, kept byte for
// byte, can: its red top row lies between y 3 and 4. (ezdxf audits the rest.)
void TestOwnCodecs::dxfWrittenAsBefore()
{
    QString reason;
    const QByteArray bytes = encodeDxf(picture("top row", 6, 4), imaging::Deadline(), &reason);
    QCOMPARE(bytes, readAll(kFormats + QStringLiteral("written-red-top-row.dxf")));
}

void TestOwnCodecs::dxfReads_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("size"); // WxH, or "refused"
    QTest::addColumn<QString>("expected"); // the checks, or a part of the reason
    QFile cases(kFormats + QStringLiteral("dxf-cases/cases.tsv"));
    QVERIFY2(cases.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(cases.fileName()));
    while (!cases.atEnd()) {
        const QString line = QString::fromUtf8(cases.readLine()).trimmed();
        const QStringList field = line.split(QLatin1Char('\t'));
        if (line.startsWith(QLatin1Char('#')) || line.isEmpty())
            continue;
        QVERIFY2(field.size() == 3, qPrintable(line));
        QTest::newRow(qPrintable(field[0])) << kFormats + QStringLiteral("dxf-cases/") + field[0] << field[1] << field[2];
    }
}

void TestOwnCodecs::dxfReads()
{
    QFETCH(QString, file);
    QFETCH(QString, size);
    QFETCH(QString, expected);
    const QByteArray bytes = readAll(file);
    QVERIFY(imaging::detail::looksLikeDxf(bytes.left(kDetectBytes)));
    QString reason;
    const QImage image = read(bytes, &reason);
    if (size == QLatin1String("refused")) {
        QVERIFY(image.isNull());
        QVERIFY2(reason.contains(expected), qPrintable(reason));
        return;
    }
    QVERIFY2(!image.isNull(), qPrintable(reason));
    QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), size);
    for (const QString &item : expected.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        check(image, item);
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
    QString reason;
    const QImage image = read(readAll(kFormats + name), &reason);
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
        QCOMPARE(image, read(readAll(kFormats + sameAs), &reason));
    Trickle trickle(readAll(kFormats + name));
    QCOMPARE(readDxf(trickle, imaging::Deadline(), &reason), image);
}

// Inputs too big to keep as files, made here.
void TestOwnCodecs::dxfRefusesPastItsLimits()
{
    const QByteArray head = "0\nSECTION\n2\nENTITIES\n", tail = "0\nENDSEC\n0\nEOF\n";
    QString reason;
    QVERIFY(read(head + QByteArray("0\nPOINT\n").repeated(int(kMaxDxfEntities + 1)) + tail, &reason).isNull());
    QVERIFY2(reason.contains(QStringLiteral("more than %1 entities").arg(kMaxDxfEntities)), qPrintable(reason));
    QVERIFY(read(head + "999\n" + QByteArray(kMaxDxfLineBytes + 1, 'x') + "\n" + tail, &reason).isNull());
    QVERIFY2(reason.contains(QLatin1String("line 6 is longer than 1 MB")), qPrintable(reason));

    // Refused by its size before a byte is read: the file is mostly a hole.
    QTemporaryFile big;
    QVERIFY(big.open());
    big.write(head + "0\nPOINT\n");
    QVERIFY(big.resize(kMaxDxfBytes + 1));
    big.seek(0);
    QVERIFY(readDxf(big, imaging::Deadline(), &reason).isNull());
    QCOMPARE(reason, QStringLiteral("the drawing is larger than 512 MB"));
}

void TestOwnCodecs::dxfSurvivesDamageAndRegressions()
{
    // Every cut and every damage of a sound drawing either reads or is
    // refused with a reason; the sanitizer build checks that no byte outside
    // the input is read. So must the inputs that once broke the reader.
    QString reason;
    const QList<QByteArray> sound{encodeDxf(noise(9, 7), imaging::Deadline(), &reason),
                                  readAll(kFormats + QStringLiteral("entities.dxf"))};
    QRandomGenerator random(11);
    for (const QByteArray &bytes : sound) {
        QVERIFY2(!read(bytes, &reason).isNull(), qPrintable(reason));
        for (qsizetype n = 0; n < bytes.size(); n += std::max<qsizetype>(1, bytes.size() / 400))
            readsOrRefuses(bytes.left(n), "cut");
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = bytes;
            for (int k = 0; k < 4; ++k)
                damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
            readsOrRefuses(damaged, "damaged");
        }
    }
    int seen = 0;
    for (QDirIterator it(kFormats + QStringLiteral("dxf-regressions"), QDir::Files); it.hasNext(); ++seen) {
        const QString file = it.next();
        readsOrRefuses(readAll(file), qPrintable(file));
    }
    QVERIFY2(seen > 0, "the regression inputs are missing");
}

void TestOwnCodecs::stopsWhenCancelled_data()
{
    QTest::addColumn<QString>("work");
    QTest::newRow("reading eight million lines, stopped at 100 ms") << "read";
    QTest::newRow("writing a DXF, stopped before") << "dxf";
    QTest::newRow("writing a WMF, stopped before") << "wmf";
}

void TestOwnCodecs::stopsWhenCancelled()
{
    QFETCH(QString, work);
    const imaging::CancelFlag cancel;
    const imaging::Deadline deadline(60s, cancel);
    QString reason;
    if (work != QLatin1String("read")) {
        cancel.raise();
        const QImage image = noise(20, 10);
        QVERIFY(work == QLatin1String("dxf") ? encodeDxf(image, deadline, &reason).isEmpty()
                                             : encodeWmf(image, deadline, &reason).isEmpty());
        QCOMPARE(reason, QStringLiteral("the conversion was stopped"));
        return;
    }
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        cancel.raise();
    });
    QElapsedTimer clock;
    clock.start();
    const QImage image =
        read(readAll(QStringLiteral(KESTRUNE_TEST_DATA "/hostile/dxf-eight-million-lines.dxf")), &reason, deadline);
    const qint64 took = clock.elapsed();
    stopper.join();
    QVERIFY(image.isNull());
    QCOMPARE(reason, QStringLiteral("the conversion was stopped"));
    // It would paint for seconds more; stopping takes a few hundred shapes.
    QVERIFY2(took < 1500, qPrintable(QStringLiteral("took %1 ms").arg(took)));
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
    const QByteArray wmf = encodeWmf(image, imaging::Deadline(), &reason);
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
    QVERIFY(encodeWmf(wide, imaging::Deadline(), &reason).isEmpty());
    QVERIFY2(reason.contains(QLatin1String("32767")), qPrintable(reason));
}

QTEST_MAIN(TestOwnCodecs)
#include "tst_owncodecs.moc"
