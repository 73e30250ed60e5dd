#pragma once

#include "rollover/cutfinder.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

// Plates of generated menus, and where they differ, for the cut-line finder.
namespace testmenus {

struct Menu {
    QImage normal, highlight, selected;
    QList<rollover::RowSpan> changed; // rows each entry's highlight changes, shadow included
};

enum class Look { Box, Lettering };

// `entries` entries of uneven heights and gaps on a 160-pixel-wide plate. The
// highlight recolours each entry's box, or only its lettering; a shadow adds
// three dark rows and a faint one below each highlighted box; noise moves
// every channel of both plates by up to 20 and speckles 0.3 % of the pixels.
inline Menu menu(int entries, Look look, bool shadow, bool noise, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QRect> boxes;
    int y = 4 + random.bounded(16);
    for (int i = 0; i < entries; ++i) {
        const int height = 12 + random.bounded(30);
        boxes.append(QRect(10, y, 130, height));
        y += height + 9 + random.bounded(18);
    }
    Menu menu{QImage(160, y, QImage::Format_RGB32), {}, {}, {}};
    menu.normal.fill(QColor(150, 60, 170));
    menu.highlight = menu.normal;
    QPainter normal(&menu.normal), highlight(&menu.highlight);
    for (const QRect &box : boxes) {
        // Lettering: one line of strokes, or two close lines in a tall box.
        const int lines = box.height() >= 26 ? 2 : 1;
        const QRect text(box.left() + 12, box.center().y() - (lines * 9 - 2) / 2, 90, lines * 9 - 2);
        normal.fillRect(box, QColor(40, 10, 50));
        highlight.fillRect(box, look == Look::Box ? QColor(230, 170, 40) : QColor(40, 10, 50));
        for (int row = text.top(); row <= text.bottom(); ++row) {
            if ((row - text.top()) % 9 >= 7)
                continue;
            for (int x = text.left(); x <= text.right(); ++x) {
                if ((x / 3 + row) % 4 == 0)
                    continue;
                menu.normal.setPixel(x, row, qRgb(255, 140, 0));
                menu.highlight.setPixel(x, row, qRgb(255, 240, 255));
            }
        }
        int last = look == Look::Box ? box.bottom() : text.bottom();
        if (shadow) {
            highlight.fillRect(QRect(box.left() + 3, box.bottom() + 1, box.width(), 3), QColor(75, 30, 85));
            highlight.fillRect(QRect(box.left() + 3, box.bottom() + 4, box.width(), 1), QColor(130, 52, 150));
            last = box.bottom() + 3;
        }
        menu.changed.append({look == Look::Box ? box.top() : text.top(), last});
    }
    normal.end();
    highlight.end();
    if (noise) {
        for (QImage *plate : {&menu.normal, &menu.highlight}) {
            for (int py = 0; py < plate->height(); ++py) {
                for (int px = 0; px < plate->width(); ++px) {
                    const QRgb c = plate->pixel(px, py);
                    const auto shake = [&](int v) { return std::clamp(v + random.bounded(41) - 20, 0, 255); };
                    plate->setPixel(px, py, random.bounded(1000) < 3 ? random.generate() | 0xFF000000u
                                                                     : qRgb(shake(qRed(c)), shake(qGreen(c)), shake(qBlue(c))));
                }
            }
        }
    }
    menu.selected = menu.highlight.mirrored(true, false);
    return menu;
}

} // namespace testmenus
