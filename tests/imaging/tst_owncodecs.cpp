#include "imaging/codecs/aci.h"
#include "imaging/deadline.h"
#include "imaging/detect.h"
#include "imaging/dxf/dxf.h"
#include "imaging/dxf/limits.h"
#include "imaging/codecs/pcx.h"
#include "imaging/codecs/png.h"
#include "imaging/codecs/rle.h"
#include "imaging/codecs/wmf.h"
#include "pictures.h"

#include <QBuffer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QTest>
#include <QtEndian>
#include <functional>
#include <thread>

using namespace imaging::detail;
using namespace testpictures;
using namespace std::chrono_literals;

// Our own codecs on their own: the DXF reader over the cases in
// tests/data/formats/dxf-cases and the inputs that once broke it, the layout
// of the drawings and metafiles we write, and every writer's deadline.
namespace {

const QString kFormats = QStringLiteral(KESTRUNE_TEST_DATA "/formats/");

// A device that hands out three bytes at a time, as a pipe may: every group
// straddles two reads.
struct Trickle : QIODevice {
    explicit Trickle(QByteArray bytes) : m_bytes(std::move(bytes)) { open(ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 readData(char *data, qint64 most) override
    {
        const qint64 n = std::min<qint64>({most, 3, m_bytes.size() - m_at});
        std::memcpy(data, m_bytes.constData() + m_at, size_t(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
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

int count(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) | 0xFF000000u) == (colour | 0xFF000000u);
    return n;
}

// Whether `colour` is within one pixel of (x, y).
bool near(const QImage &image, int x, int y, QRgb colour)
{
    return count(image.copy(QRect(x - 1, y - 1, 3, 3) & image.rect()), colour) > 0;
}

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

// One check of a picture read from dxf-cases/cases.tsv: "x,y=#rrggbb" (that
// colour within a pixel of x, y from the top left), "x,y=white" (exactly
// white there) or "#rrggbb>=n" (at least n pixels of it).
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

quint16 le16(const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 le32(const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }

// One piece of work of a codec of ours under a deadline: empty bytes when it
// did not finish.
using Work = std::function<QByteArray(const imaging::Deadline &, QString *)>;

} // namespace

Q_DECLARE_METATYPE(Work)

class TestOwnCodecs : public QObject
{
    Q_OBJECT
private slots:
    void aciColours()
    {
        // Entries of the standard palette; 0 and 256 are no colour.
        const std::pair<int, QRgb> known[] = {
            {1, qRgb(255, 0, 0)},       {5, qRgb(0, 0, 255)},     {7, qRgb(0, 0, 0)}, // the foreground, black on white
            {8, qRgb(128, 128, 128)},   {11, qRgb(255, 127, 127)}, {14, qRgb(127, 0, 0)},
            {20, qRgb(255, 63, 0)},     {150, qRgb(0, 127, 255)},  {250, qRgb(51, 51, 51)},
            {255, qRgb(255, 255, 255)}, {0, qRgb(0, 0, 0)},        {256, qRgb(0, 0, 0)}};
        for (const auto &[index, rgb] : known)
            QVERIFY2(aciColour(index) == rgb, qPrintable(QStringLiteral("index %1").arg(index)));
        for (int i = kAciFirst; i <= kAciLast; ++i)
            QCOMPARE(aciColour(nearestAci(aciColour(i))), aciColour(i));
        QCOMPARE(nearestAci(qRgb(0, 0, 0)), kAciForeground);
        QCOMPARE(nearestAci(qRgb(250, 5, 3)), 1);
    }

    // Pictures whose number of filled rectangles is known
    // (tests/data/formats/dxf-writer) come back from a drawing of them exactly,
    // in the drawing's colours.
    void dxfRoundTrip_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("solids"); // "-": any number
        const QList<QStringList> rows = tableRows(kFormats + QStringLiteral("dxf-writer/cases.tsv"));
        QVERIFY2(!rows.isEmpty(), "the cases are missing");
        for (const QStringList &field : rows)
            QTest::newRow(qPrintable(field.value(0))) << kFormats + QStringLiteral("dxf-writer/") + field.value(0) << field.value(1);
    }

    void dxfRoundTrip()
    {
        QFETCH(QString, file);
        QFETCH(QString, solids);
        const QImage image(file);
        QVERIFY2(!image.isNull(), qPrintable(file));
        QString reason;
        const QByteArray bytes = encodeDxf(image, imaging::Deadline(), &reason);
        QVERIFY2(!bytes.isEmpty(), qPrintable(reason));
        QVERIFY(looksLikeDxf(bytes.left(kDetectBytes)));
        if (solids != QLatin1String("-"))
            QCOMPARE(bytes.count("\r\nSOLID\r\n"), solids.toInt());
        const QImage back = read(bytes, &reason);
        QVERIFY2(!back.isNull(), qPrintable(reason));
        const Difference d = difference(back, reducedToAci(image));
        QVERIFY2(d.largest == 0, qPrintable(d.text()));
    }

    // A round trip cannot tell a drawing upside down; the file, kept byte for
    // byte, can: its red top row lies between y 3 and 4. (ezdxf audits the rest.)
    void dxfWrittenAsBefore()
    {
        QString reason;
        const QImage topRow(kFormats + QStringLiteral("dxf-writer/red-top-row-over-white.png"));
        const QByteArray bytes = encodeDxf(topRow, imaging::Deadline(), &reason);
        QCOMPARE(bytes, readAll(kFormats + QStringLiteral("written-red-top-row.dxf")));
    }

    void dxfReads_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("size");     // WxH, or "refused"
        QTest::addColumn<QString>("expected"); // the checks, or a part of the reason
        const QList<QStringList> rows = tableRows(kFormats + QStringLiteral("dxf-cases/cases.tsv"));
        QVERIFY2(!rows.isEmpty(), "the cases are missing");
        for (const QStringList &field : rows) {
            QVERIFY2(field.size() == 3, qPrintable(field.join(QLatin1Char('\t'))));
            QTest::newRow(qPrintable(field[0])) << kFormats + QStringLiteral("dxf-cases/") + field[0] << field[1] << field[2];
        }
    }

    void dxfReads()
    {
        QFETCH(QString, file);
        QFETCH(QString, size);
        QFETCH(QString, expected);
        const QByteArray bytes = readAll(file);
        QVERIFY(looksLikeDxf(bytes.left(kDetectBytes)));
        QString reason;
        const QImage image = read(bytes, &reason);
        if (size == QLatin1String("refused")) {
            QVERIFY2(image.isNull() && reason.contains(expected), qPrintable(reason));
            return;
        }
        QVERIFY2(!image.isNull(), qPrintable(reason));
        QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), size);
        for (const QString &item : expected.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            check(image, item);
    }

    // A binary drawing is the same picture as its text twin, and a drawing that
    // arrives a few bytes at a time is the same as one read whole.
    void dxfReadsInPieces()
    {
        for (const char *version : {"r12", "r2000"}) {
            const QString text = kFormats + QStringLiteral("dxf-cases/ezdxf-%1.dxf").arg(QLatin1String(version));
            QString reason;
            const QImage whole = read(readAll(text), &reason);
            QVERIFY2(!whole.isNull(), qPrintable(reason));
            QCOMPARE(read(readAll(QString(text).replace(".dxf", "-binary.dxf")), &reason), whole);
            Trickle trickle(readAll(text));
            QCOMPARE(readDxf(trickle, imaging::Deadline(), &reason), whole);
        }
    }

    // Inputs too big to keep as files, made here.
    void dxfRefusesPastItsLimits()
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

    void dxfSurvivesDamageAndRegressions()
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

    void wmfLayout_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("one pixel") << noise(1, 1);
        QTest::newRow("odd width needs row padding") << noise(5, 3);
        QTest::newRow("noise 33x17") << noise(33, 17);
    }

    void wmfLayout()
    {
        QFETCH(QImage, image);
        QString reason;
        const QByteArray wmf = encodeWmf(image, imaging::Deadline(), &reason);
        QVERIFY2(!wmf.isEmpty(), qPrintable(reason));
        const int w = image.width(), h = image.height();
        // The format's own numbers, not the writer's: the placeable header's
        // key and size, the metafile header's size, META_STRETCHDIB, SRCCOPY;
        // 96 units an inch is ours.
        const quint32 placeableKey = 0x9AC6CDD7u, sourceCopy = 0x00CC0020u;
        const int placeableBytes = 22, metaHeaderBytes = 18, stretchDib = 0x0F43, unitsPerInch = 96;
        // The placeable header: key, bounding box from (0, 0), units, checksum.
        QCOMPARE(le32(wmf, 0), placeableKey);
        QCOMPARE(QList<int>({le16(wmf, 6), le16(wmf, 8), le16(wmf, 10), le16(wmf, 12), le16(wmf, 14)}),
                 QList<int>({0, 0, w, h, unitsPerInch}));
        quint16 checksum = 0;
        for (int i = 0; i < placeableBytes - 2; i += 2)
            checksum ^= le16(wmf, i);
        QCOMPARE(le16(wmf, placeableBytes - 2), checksum);
        const int meta = placeableBytes;
        QCOMPARE(le16(wmf, meta + 2), 9);
        QCOMPARE(qint64(le32(wmf, meta + 6)) * 2, qint64(wmf.size() - meta));

        // Walk the records: every size must add up to the end of the file.
        qsizetype at = meta + metaHeaderBytes, dib = -1;
        quint32 largest = 0;
        while (at < wmf.size()) {
            const quint32 words = le32(wmf, at);
            largest = std::max(largest, words);
            if (le16(wmf, at + 4) == stretchDib) {
                QCOMPARE(dib, -1); // one bitmap only
                QCOMPARE(le32(wmf, at + 6), sourceCopy);
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
                QCOMPARE(qRgb(quint8(row[x * 3 + 2]), quint8(row[x * 3 + 1]), quint8(row[x * 3])), image.pixel(x, y));
        }
    }

    void wmfTooWide()
    {
        QString reason;
        QVERIFY(encodeWmf(QImage(32768, 1, QImage::Format_RGB32), imaging::Deadline(), &reason).isEmpty());
        QVERIFY2(reason.contains(QLatin1String("32767")), qPrintable(reason));
    }

    void stopsAtItsDeadline_data()
    {
        QTest::addColumn<Work>("work");
        QTest::addColumn<bool>("stopped"); // or out of time
        // Far more than any machine does in the time allowed, so that each is
        // caught in the middle of its loops.
        static const QImage big = noise(4000, 3000);
        static const QImage rgb = big.convertToFormat(QImage::Format_RGB888);
        using Writer = QByteArray (*)(const QImage &, const imaging::Deadline &, QString *);
        const auto writing = [](Writer writer) {
            return Work([writer](const imaging::Deadline &deadline, QString *reason) { return writer(big, deadline, reason); });
        };
        const std::pair<const char *, Work> works[] = {
            {"PCX", writing(encodePcx)}, {"DCX", writing(encodeDcx)}, {"RLE", writing(encodeRle8Bmp)},
            {"DXF", writing(encodeDxf)}, {"WMF", writing(encodeWmf)},
            {"PNG", [](const imaging::Deadline &deadline, QString *reason) {
                 const PngPixels pixels{rgb.constBits(), rgb.width(), rgb.height(), 3, rgb.bytesPerLine()};
                 return encodePng(pixels, {}, deadline, reason);
             }},
            {"reading eight million DXF lines", [](const imaging::Deadline &deadline, QString *reason) {
                 const QString file = QStringLiteral(KESTRUNE_TEST_DATA "/hostile/dxf-eight-million-lines.dxf");
                 return read(readAll(file), reason, deadline).isNull() ? QByteArray() : QByteArray("drawn");
             }},
        };
        for (const auto &[name, work] : works) {
            QTest::addRow("%s out of time", name) << work << false;
            QTest::addRow("%s stopped", name) << work << true;
        }
    }

    void stopsAtItsDeadline()
    {
        QFETCH(Work, work);
        QFETCH(bool, stopped);
        constexpr auto limit = 5ms;
        imaging::CancelFlag cancel;
        const imaging::Deadline deadline(stopped ? 60s : std::chrono::milliseconds(limit), cancel);
        std::thread stopper([&] {
            std::this_thread::sleep_for(limit);
            if (stopped)
                cancel.raise();
        });
        QElapsedTimer clock;
        clock.start();
        QString reason;
        const QByteArray bytes = work(deadline, &reason);
        const qint64 took = clock.elapsed();
        stopper.join();
        QVERIFY(bytes.isEmpty());
        QCOMPARE(reason, deadline.reason());
        QVERIFY2(took < (limit + 1000ms).count(), qPrintable(QStringLiteral("took %1 ms").arg(took)));
    }
};

QTEST_MAIN(TestOwnCodecs)
#include "tst_owncodecs.moc"
