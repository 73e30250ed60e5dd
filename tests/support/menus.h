#pragma once

#include "rollover/cutfinder.h"

#include <QImage>
#include <QRandomGenerator>

// Plates of generated menus, and where they differ, for the cut-line finder.
namespace testmenus {

struct Menu {
    QImage normal, highlight, selected;
    QList<rollover::RowSpan> changed; // the rows each entry's highlight changes, shadow included
};

enum class Look { Box, Lettering };

// `entries` entries of uneven heights and gaps on a 160-pixel-wide plate. The
// highlight recolours each entry's box, or only its lettering (one line of
// strokes, two close ones in a tall box); a shadow adds three dark rows and a
// faint one below each box; noise moves every channel of both plates by up to
// 20 and speckles 0.3 % of the pixels.
inline Menu menu(int entries, Look look, bool shadow, bool noise, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QRect> boxes;
    for (int i = 0, y = 4 + random.bounded(16); i < entries; ++i) {
        boxes.append(QRect(10, y, 130, 12 + random.bounded(30)));
        y = boxes.last().bottom() + 10 + random.bounded(18);
    }
    Menu menu{QImage(160, boxes.last().bottom() + 10 + random.bounded(18), QImage::Format_RGB32), {}, {}, {}};
    menu.normal.fill(QColor(150, 60, 170));
    menu.highlight = menu.normal;
    const auto fill = [](QImage &plate, const QRect &area, QRgb colour, bool stroke = false) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (!stroke || ((y - area.top()) % 9 < 7 && (x / 3 + y) % 4))
                    plate.setPixel(x, y, colour);
    };
    for (const QRect &box : boxes) {
        const int lines = box.height() >= 26 ? 2 : 1;
        const QRect text(box.left() + 12, box.center().y() - (lines * 9 - 2) / 2, 90, lines * 9 - 2);
        fill(menu.normal, box, qRgb(40, 10, 50));
        fill(menu.highlight, box, look == Look::Box ? qRgb(230, 170, 40) : qRgb(40, 10, 50));
        fill(menu.normal, text, qRgb(255, 140, 0), true);
        fill(menu.highlight, text, qRgb(255, 240, 255), true);
        if (shadow) {
            fill(menu.highlight, QRect(box.left() + 3, box.bottom() + 1, box.width(), 3), qRgb(75, 30, 85));
            fill(menu.highlight, QRect(box.left() + 3, box.bottom() + 4, box.width(), 1), qRgb(130, 52, 150));
        }
        menu.changed.append({look == Look::Box ? box.top() : text.top(),
                             shadow ? box.bottom() + 3 : look == Look::Box ? box.bottom() : text.bottom()});
    }
    const auto shake = [&](int v) { return std::clamp(v + random.bounded(41) - 20, 0, 255); };
    for (QImage *plate : {&menu.normal, &menu.highlight})
        for (int y = 0; noise && y < plate->height(); ++y)
            for (int x = 0; x < plate->width(); ++x) {
                const QRgb c = plate->pixel(x, y);
                plate->setPixel(x, y, random.bounded(1000) < 3 ? random.generate() | 0xFF000000u
                                                               : qRgb(shake(qRed(c)), shake(qGreen(c)), shake(qBlue(c))));
            }
    menu.selected = menu.highlight.mirrored(true, false);
    return menu;
}

} // namespace testmenus
