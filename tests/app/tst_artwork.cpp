#include "app/artwork.h"

#include <QSet>
#include <QTest>

namespace {

// Pixels within a small distance of `colour`: lettering is drawn smoothed,
// so only its cores hit the colour closely.
int pixelsNear(const QImage &image, const QColor &colour, int tolerance = 40)
{
    int hits = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
                    + std::abs(pixel.blue() - colour.blue())
                <= tolerance)
                ++hits;
        }
    }
    return hits;
}

QColor averageRow(const QImage &image, int y)
{
    int r = 0, g = 0, b = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor pixel = image.pixelColor(x, y);
        r += pixel.red();
        g += pixel.green();
        b += pixel.blue();
    }
    const int n = image.width();
    return QColor(r / n, g / n, b / n);
}

} // namespace

class TstArtwork : public QObject
{
    Q_OBJECT

private slots:
    void platesAreLetteredInTheirOwnColour_data();
    void platesAreLetteredInTheirOwnColour();
    void groundRunsFromPurpleToRedWithTexture();
    void platesDifferOnlyInLettering();
    void iconIsSmallAndSixteenColours();
};

void TstArtwork::platesAreLetteredInTheirOwnColour_data()
{
    QTest::addColumn<int>("plate");
    QTest::addColumn<QColor>("ink");
    QTest::newRow("normal is orange") << 0 << QColor(255, 140, 0);
    QTest::newRow("highlighted is yellow") << 1 << QColor(255, 230, 0);
    QTest::newRow("selected is green") << 2 << QColor(40, 220, 60);
}

void TstArtwork::platesAreLetteredInTheirOwnColour()
{
    QFETCH(int, plate);
    QFETCH(QColor, ink);
    const QImage image = app::samplePlate(plate);
    QCOMPARE(image.size(), QSize(126, 179));
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QVERIFY(image.colorCount() > 16);
    QCOMPARE(app::sampleLettering(plate), ink);
    for (int other = 0; other < 3; ++other) {
        const int hits = pixelsNear(app::samplePlate(other), ink);
        if (other == plate)
            QVERIFY2(hits > 40, qPrintable(QString::number(hits)));
        else
            QCOMPARE(hits, 0);
    }
}

void TstArtwork::groundRunsFromPurpleToRedWithTexture()
{
    const QImage image = app::samplePlate(0);
    const QColor top = averageRow(image, 2);
    const QColor bottom = averageRow(image, image.height() - 3);
    QVERIFY2(top.blue() > top.green() && top.red() > top.green() && top.blue() > 60,
             qPrintable(top.name()));
    QVERIFY2(bottom.red() > 2 * bottom.blue() && bottom.red() > 100, qPrintable(bottom.name()));
    QVERIFY(top.lightness() < 110 && bottom.lightness() < 110);
    QSet<QRgb> rowColours;
    for (int x = 0; x < image.width(); ++x)
        rowColours.insert(image.pixel(x, 2));
    QVERIFY2(rowColours.size() > 5, "a flat ground has no texture");
}

void TstArtwork::platesDifferOnlyInLettering()
{
    const QImage normal = app::samplePlate(0).convertToFormat(QImage::Format_RGB32);
    const QImage selected = app::samplePlate(2).convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < normal.height(); ++y) {
        for (int x = 0; x < normal.width(); ++x) {
            if (normal.pixel(x, y) != selected.pixel(x, y)) {
                ++differing;
                // Lettering sits inside the two buttons.
                const bool inButton = x >= 8 && x < 118
                    && ((y >= 34 && y < 68) || (y >= 104 && y < 138));
                QVERIFY2(inButton, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
    }
    QVERIFY(differing > 40);
}

void TstArtwork::iconIsSmallAndSixteenColours()
{
    const QImage icon = app::programIcon();
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.format(), QImage::Format_Indexed8);
    QCOMPARE(icon.colorCount(), 16);
    QSet<int> used;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            used.insert(icon.pixelIndex(x, y));
    }
    QVERIFY(used.size() >= 4);
}

QTEST_MAIN(TstArtwork)
#include "tst_artwork.moc"
