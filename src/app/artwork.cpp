#include "artwork.h"

#include <QFont>
#include <QPainter>
#include <algorithm>

namespace app {

namespace {

// A small integer hash gives the ground its grain; the same pixels every run.
int grain(int x, int y)
{
    quint32 h = static_cast<quint32>(x) * 374761393u + static_cast<quint32>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<int>((h ^ (h >> 16)) % 29) - 14;
}

int clampChannel(int value)
{
    return std::clamp(value, 0, 255);
}

void drawGround(QImage &image)
{
    const QColor top(58, 12, 82);     // dark purple
    const QColor bottom(128, 14, 28); // dark red
    // Sixteen bands of the gradient times ten grain levels stay well inside
    // 256 colours, so the plate converts to 256 colours without loss.
    constexpr int bands = 16;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const int band = y * bands / image.height();
        for (int x = 0; x < image.width(); ++x) {
            // Faint diagonal ridges under the grain read as a woven texture.
            const int ridge = ((x + y) % 6 < 2) ? 10 : 0;
            const int noise = grain(x, y) / 7 * 7 + ridge;
            const auto mix = [&](int a, int b) { return a + (b - a) * band / (bands - 1); };
            line[x] = qRgb(clampChannel(mix(top.red(), bottom.red()) + noise),
                           clampChannel(mix(top.green(), bottom.green()) + noise / 3),
                           clampChannel(mix(top.blue(), bottom.blue()) + noise));
        }
    }
}

void drawButton(QPainter &painter, const QRect &box, const QString &text, const QColor &ink)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(34, 8, 40));
    painter.drawRect(box);
    // Bevel: light upper-left edges, dark lower-right edges.
    painter.setPen(QColor(150, 90, 170));
    painter.drawLine(box.topLeft(), box.topRight());
    painter.drawLine(box.topLeft(), box.bottomLeft());
    painter.setPen(QColor(12, 2, 14));
    painter.drawLine(box.bottomLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomRight());
    painter.setPen(ink);
    painter.drawText(box, Qt::AlignCenter, text);
}

QColor sampleLettering(int plate)
{
    switch (plate) {
    case 1:
        return QColor(255, 230, 0);
    case 2:
        return QColor(40, 220, 60);
    default:
        return QColor(255, 140, 0);
    }
}

} // namespace

QImage samplePlate(int plate)
{
    QImage image(kSamplePlateWidth, kSamplePlateHeight, QImage::Format_RGB32);
    drawGround(image);
    {
        QPainter painter(&image);
        QFont font = painter.font();
        font.setPixelSize(13);
        font.setBold(true);
        // Smoothed edges would add colours between the lettering and the button.
        font.setStyleStrategy(QFont::NoAntialias);
        painter.setFont(font);
        const QColor ink = sampleLettering(plate);
        drawButton(painter, QRect(8, 34, 110, 34), QStringLiteral("Available"), ink);
        drawButton(painter, QRect(8, 104, 110, 34), QStringLiteral("Second Button"), ink);
    }
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

QImage programIcon(int size)
{
    // The sixteen standard colours of the old display adapters.
    const QList<QRgb> palette{
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    // Drawn on a transparent ground, so that the desktop's own shows round it.
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        // Drawn on a grid of 32 units. Without smoothing each edge is rounded
        // to a whole pixel, so every size keeps the sixteen colours.
        painter.scale(size / 32.0, size / 32.0);
        // A picture in a frame, cut in two by a red line: both jobs at a glance.
        painter.fillRect(QRect(3, 3, 26, 26), QColor(palette[0]));
        painter.fillRect(QRect(5, 5, 22, 12), QColor(palette[12]));
        painter.fillRect(QRect(5, 17, 22, 10), QColor(palette[2]));
        painter.fillRect(QRect(19, 7, 5, 5), QColor(palette[11]));
        painter.fillRect(QRect(8, 13, 6, 4), QColor(palette[10]));
        painter.fillRect(QRect(1, 15, 30, 2), QColor(palette[9]));
    }
    return image.convertToFormat(QImage::Format_Indexed8, QList<QRgb>(palette) << qRgba(0, 0, 0, 0), Qt::ThresholdDither);
}

} // namespace app
