#include "cutfinder.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace rollover {

namespace {

bool differs(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) > kChannelTolerance || std::abs(qGreen(a) - qGreen(b)) > kChannelTolerance
        || std::abs(qBlue(a) - qBlue(b)) > kChannelTolerance;
}

// For each row of the common part, whether it holds enough differing pixels
// that have a differing neighbour.
std::vector<bool> differingRows(const QImage &normal, const QImage &highlight)
{
    const QImage a = normal.convertToFormat(QImage::Format_RGB32);
    const QImage b = highlight.convertToFormat(QImage::Format_RGB32);
    const int width = std::min(a.width(), b.width());
    const int height = std::min(a.height(), b.height());
    std::vector<std::vector<bool>> mask(size_t(std::max(height, 0)), std::vector<bool>(size_t(std::max(width, 0))));
    for (int y = 0; y < height; ++y) {
        const auto *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < width; ++x)
            mask[y][x] = differs(lineA[x], lineB[x]);
    }
    const auto at = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < height && mask[y][x];
    };
    const int needed = std::max(kRowPixels, (width * kRowPermille + 999) / 1000);
    std::vector<bool> rows(size_t(std::max(height, 0)));
    for (int y = 0; y < height; ++y) {
        int count = 0;
        for (int x = 0; x < width; ++x) {
            if (!mask[y][x])
                continue;
            bool neighbour = false;
            for (int dy = -1; dy <= 1 && !neighbour; ++dy)
                for (int dx = -1; dx <= 1 && !neighbour; ++dx)
                    neighbour = (dx || dy) && at(x + dx, y + dy);
            count += neighbour;
        }
        rows[y] = count >= needed;
    }
    return rows;
}

} // namespace

FoundCuts findCuts(const QImage &normal, const QImage &highlight)
{
    const std::vector<bool> rows = differingRows(normal, highlight);
    QList<RowSpan> spans;
    for (int y = 0; y < int(rows.size()); ++y) {
        if (!rows[y])
            continue;
        if (!spans.isEmpty() && y - spans.last().last - 1 < kMinGap)
            spans.last().last = y;
        else
            spans.append({y, y});
    }
    FoundCuts found;
    for (const RowSpan &span : spans) {
        if (span.last - span.first + 1 >= kMinEntry)
            found.entries.append(span);
    }
    for (qsizetype i = 1; i < found.entries.size(); ++i)
        found.cuts.append((found.entries[i - 1].last + 1 + found.entries[i].first - 1) / 2);
    return found;
}

} // namespace rollover
