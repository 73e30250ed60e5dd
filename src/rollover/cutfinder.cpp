#include "cutfinder.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace rollover {

namespace {

enum Change : unsigned char { Same, Darker, Other };

Change change(QRgb normal, QRgb highlight)
{
    const int d[3] = {qRed(highlight) - qRed(normal), qGreen(highlight) - qGreen(normal),
                      qBlue(highlight) - qBlue(normal)};
    const bool moved = std::any_of(d, d + 3, [](int v) { return std::abs(v) > kChannelTolerance; });
    if (!moved)
        return Same;
    return std::all_of(d, d + 3, [](int v) { return v <= kChannelTolerance; }) ? Darker : Other;
}

struct Row {
    int counted = 0; // differing pixels beside one that differs the same way
    int darker = 0;  // of those, the ones that are only darker
};

// For each row of the common part, its differing pixels that have a
// neighbour differing the same way: a speck of noise beside a shadow is not
// part of it.
std::vector<Row> rowsOf(const QImage &normal, const QImage &highlight)
{
    const QImage a = normal.convertToFormat(QImage::Format_RGB32);
    const QImage b = highlight.convertToFormat(QImage::Format_RGB32);
    const int width = std::max(0, std::min(a.width(), b.width()));
    const int height = std::max(0, std::min(a.height(), b.height()));
    std::vector<Change> mask(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const auto *lineA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lineB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < width; ++x)
            mask[size_t(y) * width + x] = change(lineA[x], lineB[x]);
    }
    const auto at = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < height ? mask[size_t(y) * width + x] : Same;
    };
    std::vector<Row> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Change kind = at(x, y);
            if (kind == Same)
                continue;
            bool neighbour = false;
            for (int dy = -1; dy <= 1 && !neighbour; ++dy)
                for (int dx = -1; dx <= 1 && !neighbour; ++dx)
                    neighbour = (dx || dy) && at(x + dx, y + dy) == kind;
            if (neighbour) {
                ++rows[y].counted;
                rows[y].darker += kind == Darker;
            }
        }
    }
    return rows;
}

} // namespace

FoundCuts findCuts(const QImage &normal, const QImage &highlight)
{
    const std::vector<Row> rows = rowsOf(normal, highlight);
    const int width = std::min(normal.width(), highlight.width());
    const int needed = std::max(kRowPixels, (width * kRowPermille + 999) / 1000);
    struct Span {
        RowSpan rows;
        Row pixels;
    };
    QList<Span> spans;
    for (int y = 0; y < int(rows.size()); ++y) {
        if (rows[y].counted < needed)
            continue;
        if (spans.isEmpty() || y - spans.last().rows.last - 1 >= kMinGap)
            spans.append(Span{{y, y}, {}});
        spans.last().rows.last = y;
        spans.last().pixels.counted += rows[y].counted;
        spans.last().pixels.darker += rows[y].darker;
    }
    FoundCuts found;
    for (const Span &span : spans) {
        const int height = span.rows.last - span.rows.first + 1;
        const bool shadow = span.pixels.darker * 4 >= span.pixels.counted * 3;
        if (height < kMinEntry)
            continue;
        if (shadow && height <= kMaxShadow && !found.entries.isEmpty())
            found.entries.last().last = span.rows.last;
        else
            found.entries.append(span.rows);
    }
    for (qsizetype i = 1; i < found.entries.size(); ++i)
        found.cuts.append((found.entries[i - 1].last + 1 + found.entries[i].first - 1) / 2);
    return found;
}

} // namespace rollover
