#include "palette.h"

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

namespace imaging::detail {
namespace {

constexpr QRgb kOpaque = 0xFF000000u;

quint32 hashed(QRgb colour, int bits)
{
    return (colour * 2654435761u) >> (32 - bits);
}

// The colours met so far, at most 256, found again through a small
// open-addressed table.
class ExactColours
{
public:
    // The index of the opaque `colour`, added when new; -1 once there would
    // be a 257th.
    int indexOf(QRgb colour)
    {
        for (quint32 slot = hashed(colour, kBits);; slot = (slot + 1) & (kSlots - 1)) {
            if (m_keys[slot] == colour)
                return m_index[slot];
            if (m_keys[slot] == 0) { // no opaque colour is 0
                if (m_palette.size() == 256)
                    return -1;
                m_keys[slot] = colour;
                m_index[slot] = quint8(m_palette.size());
                m_palette.push_back(colour);
                return m_index[slot];
            }
        }
    }
    const QList<QRgb> &palette() const { return m_palette; }

private:
    static constexpr int kBits = 10, kSlots = 1 << kBits;
    std::array<QRgb, kSlots> m_keys{};
    std::array<quint8, kSlots> m_index{};
    QList<QRgb> m_palette;
};

enum class Outcome { Done, TooManyColours, Failed };

Outcome indexExactly(const QImage &picture, Checkpoint &checkpoint, IndexedPicture *out, QString *reason)
{
    QImage indexed(picture.size(), QImage::Format_Indexed8);
    if (indexed.isNull()) {
        *reason = outOfMemory();
        return Outcome::Failed;
    }
    const int width = picture.width(), height = picture.height();
    ExactColours colours;
    bool grey = true;
    for (int y = 0; y < height; ++y) {
        if (!checkpoint.pass(width)) {
            *reason = checkpoint.deadline().reason();
            return Outcome::Failed;
        }
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        uchar *target = indexed.scanLine(y);
        QRgb last = 0;
        int lastIndex = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb colour = line[x] | kOpaque;
            if (colour != last) {
                lastIndex = colours.indexOf(colour);
                if (lastIndex < 0)
                    return Outcome::TooManyColours;
                last = colour;
                grey = grey && qRed(colour) == qGreen(colour) && qGreen(colour) == qBlue(colour);
            }
            target[x] = uchar(lastIndex);
        }
    }
    QList<QRgb> palette = colours.palette();
    if (grey) {
        // Readers take a palette that is the plain ramp for a grey picture.
        std::array<uchar, 256> level{};
        for (qsizetype i = 0; i < palette.size(); ++i)
            level[size_t(i)] = uchar(qRed(palette[i]));
        for (int y = 0; y < height; ++y) {
            if (!checkpoint.pass(width)) {
                *reason = checkpoint.deadline().reason();
                return Outcome::Failed;
            }
            uchar *line = indexed.scanLine(y);
            for (int x = 0; x < width; ++x)
                line[x] = level[line[x]];
        }
        palette.clear();
        for (int i = 0; i < 256; ++i)
            palette.push_back(qRgb(i, i, i));
    }
    indexed.setColorTable(palette);
    *out = IndexedPicture{indexed, grey, true};
    return Outcome::Done;
}

// The palette entry nearest to a colour (least sum of squared differences).
// Entries are kept sorted by green, and the search walks outwards from the
// green asked for until the green difference alone rules out the rest.
class NearestColour
{
public:
    explicit NearestColour(const QList<QRgb> &palette)
    {
        for (qsizetype i = 0; i < palette.size(); ++i)
            m_entries.push_back({qRed(palette[i]), qGreen(palette[i]), qBlue(palette[i]), int(i)});
        std::sort(m_entries.begin(), m_entries.end(),
                  [](const Entry &a, const Entry &b) { return a.g < b.g; });
        int at = 0;
        for (int g = 0; g < 256; ++g) {
            while (at < int(m_entries.size()) - 1 && m_entries[size_t(at)].g < g)
                ++at;
            m_start[size_t(g)] = at;
        }
    }

    int operator()(int r, int g, int b) const
    {
        int best = INT_MAX, found = 0;
        const auto consider = [&](const Entry &e) {
            const int dg = e.g - g;
            if (dg * dg >= best)
                return false;
            const int d = dg * dg + (e.r - r) * (e.r - r) + (e.b - b) * (e.b - b);
            if (d < best) {
                best = d;
                found = e.index;
            }
            return true;
        };
        const int start = m_start[size_t(g)];
        for (int i = start; i < int(m_entries.size()) && consider(m_entries[size_t(i)]); ++i) {
        }
        for (int i = start - 1; i >= 0 && consider(m_entries[size_t(i)]); --i) {
        }
        return found;
    }

private:
    struct Entry {
        int r, g, b, index;
    };
    std::vector<Entry> m_entries;
    std::array<int, 256> m_start{};
};

// A cell of the colour histogram: how many pixels fell in it and their mean.
struct Bin {
    std::array<float, 3> mean;
    double count;
};

// Channel sums over a run of bins, enough for the squared error of
// replacing them all by their mean.
struct Moments {
    double count = 0;
    std::array<double, 3> sum{};
    double squares = 0;

    void add(const Bin &bin)
    {
        count += bin.count;
        for (size_t c = 0; c < 3; ++c) {
            sum[c] += bin.count * bin.mean[c];
            squares += bin.count * bin.mean[c] * bin.mean[c];
        }
    }
    double error() const
    {
        if (count <= 0)
            return 0;
        return squares - (sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) / count;
    }
};

// Six bits a channel: fine enough that a smooth gradient still finds 256
// shades, coarse enough that the histogram stays small beside a photo.
constexpr int kCellBits = 6;

bool histogram(const QImage &picture, Checkpoint &checkpoint, std::vector<Bin> *bins)
{
    constexpr int shift = 8 - kCellBits;
    std::vector<quint32> counts(size_t(1) << (3 * kCellBits));
    std::vector<std::array<quint64, 3>> sums(counts.size());
    for (int y = 0; y < picture.height(); ++y) {
        if (!checkpoint.pass(picture.width()))
            return false;
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            const size_t cell = size_t((r >> shift) << (2 * kCellBits) | (g >> shift) << kCellBits | (b >> shift));
            ++counts[cell];
            sums[cell][0] += quint64(r);
            sums[cell][1] += quint64(g);
            sums[cell][2] += quint64(b);
        }
    }
    for (size_t cell = 0; cell < counts.size(); ++cell) {
        if (!counts[cell])
            continue;
        const double n = counts[cell];
        bins->push_back({{float(double(sums[cell][0]) / n), float(double(sums[cell][1]) / n),
                          float(double(sums[cell][2]) / n)},
                         n});
    }
    return checkpoint.pass(qint64(counts.size()));
}

struct Box {
    size_t begin, end;
    double error;
};

// Cuts the box along the channel that varies most, where the two halves'
// summed squared error is least (a variance-minimising median cut).
void split(std::vector<Bin> &bins, const Box &box, Box *low, Box *high)
{
    Moments all;
    std::array<double, 3> squares{};
    for (size_t i = box.begin; i < box.end; ++i) {
        all.add(bins[i]);
        for (size_t c = 0; c < 3; ++c)
            squares[c] += bins[i].count * bins[i].mean[c] * bins[i].mean[c];
    }
    size_t axis = 0;
    double widest = -1;
    for (size_t c = 0; c < 3; ++c) {
        const double spread = squares[c] - all.sum[c] * all.sum[c] / all.count;
        if (spread > widest) {
            widest = spread;
            axis = c;
        }
    }
    std::sort(bins.begin() + qsizetype(box.begin), bins.begin() + qsizetype(box.end),
              [axis](const Bin &a, const Bin &b) { return a.mean[axis] < b.mean[axis]; });
    Moments left;
    size_t cut = box.begin + 1;
    double least = -1;
    for (size_t i = box.begin; i + 1 < box.end; ++i) {
        left.add(bins[i]);
        Moments right = all;
        right.count -= left.count;
        right.squares -= left.squares;
        for (size_t c = 0; c < 3; ++c)
            right.sum[c] -= left.sum[c];
        const double error = left.error() + right.error();
        if (least < 0 || error < least) {
            least = error;
            cut = i + 1;
        }
    }
    const auto boxOf = [&bins](size_t begin, size_t end) {
        Moments m;
        for (size_t i = begin; i < end; ++i)
            m.add(bins[i]);
        return Box{begin, end, end - begin > 1 ? std::max(m.error(), 0.0) : 0.0};
    };
    *low = boxOf(box.begin, cut);
    *high = boxOf(cut, box.end);
}

QRgb meanColour(const Moments &m)
{
    const auto channel = [&m](size_t c) { return std::clamp(int(m.sum[c] / m.count + 0.5), 0, 255); };
    return qRgb(channel(0), channel(1), channel(2));
}

// 256 colours for a picture of more: a median cut of the histogram, then two
// rounds of moving each colour to the mean of the cells nearest to it.
bool choosePalette(std::vector<Bin> &bins, Checkpoint &checkpoint, QList<QRgb> *palette)
{
    std::vector<Box> boxes{{0, bins.size(), 1}};
    while (boxes.size() < 256) {
        const auto worst = std::max_element(boxes.begin(), boxes.end(),
                                             [](const Box &a, const Box &b) { return a.error < b.error; });
        if (worst->error <= 0 || worst->end - worst->begin < 2)
            break;
        if (!checkpoint.pass(qint64(worst->end - worst->begin) * 8))
            return false;
        Box low{}, high{};
        split(bins, *worst, &low, &high);
        *worst = low;
        boxes.push_back(high);
    }
    palette->clear();
    for (const Box &box : boxes) {
        Moments m;
        for (size_t i = box.begin; i < box.end; ++i)
            m.add(bins[i]);
        palette->push_back(meanColour(m));
    }
    for (int round = 0; round < 2; ++round) {
        const NearestColour nearest(*palette);
        std::vector<Moments> members(size_t(palette->size()));
        for (const Bin &bin : bins) {
            if (!checkpoint.pass(16))
                return false;
            const auto at = [&bin](size_t c) { return int(bin.mean[c] + 0.5f); };
            members[size_t(nearest(at(0), at(1), at(2)))].add(bin);
        }
        for (size_t i = 0; i < members.size(); ++i) {
            if (members[i].count > 0)
                (*palette)[qsizetype(i)] = meanColour(members[i]);
        }
    }
    return true;
}

bool indexNearest(const QImage &picture, const QList<QRgb> &palette, Checkpoint &checkpoint,
                  QImage *indexed)
{
    const NearestColour nearest(palette);
    // Photos repeat their colours; a small direct-mapped cache spares most
    // of the searches.
    constexpr int kCacheBits = 16;
    struct Slot {
        QRgb colour = 0;
        uchar index = 0;
    };
    std::vector<Slot> cache(size_t(1) << kCacheBits);
    for (int y = 0; y < picture.height(); ++y) {
        if (!checkpoint.pass(picture.width()))
            return false;
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        uchar *target = indexed->scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = line[x] | kOpaque;
            Slot &slot = cache[hashed(colour, kCacheBits)];
            if (slot.colour != colour) {
                slot.colour = colour;
                slot.index = uchar(nearest(qRed(colour), qGreen(colour), qBlue(colour)));
            }
            target[x] = slot.index;
        }
    }
    return true;
}

} // namespace

QImage opaqueOnWhite(const QImage &picture, Checkpoint &checkpoint)
{
    if (!picture.hasAlphaChannel())
        return picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QImage flat(picture.size(), QImage::Format_RGB32);
    if (argb.isNull() || flat.isNull())
        return {};
    for (int y = 0; y < flat.height(); ++y) {
        if (!checkpoint.pass(flat.width()))
            return {};
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        auto *target = reinterpret_cast<QRgb *>(flat.scanLine(y));
        for (int x = 0; x < flat.width(); ++x) {
            const int a = qAlpha(line[x]);
            const auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            target[x] = qRgb(over(qRed(line[x])), over(qGreen(line[x])), over(qBlue(line[x])));
        }
    }
    return flat;
}

bool indexColours(const QImage &picture, Reduction reduction, Checkpoint &checkpoint,
                  IndexedPicture *out, QString *reason)
{
    Q_ASSERT(picture.format() == QImage::Format_RGB32);
    *out = {};
    const Outcome exact = indexExactly(picture, checkpoint, out, reason);
    if (exact != Outcome::TooManyColours)
        return exact == Outcome::Done;
    if (reduction == Reduction::ExactOnly)
        return true;

    const auto expired = [&] {
        *reason = checkpoint.deadline().reason();
        return false;
    };
    std::vector<Bin> bins;
    QList<QRgb> palette;
    if (!histogram(picture, checkpoint, &bins) || !choosePalette(bins, checkpoint, &palette))
        return expired();
    QImage indexed(picture.size(), QImage::Format_Indexed8);
    if (indexed.isNull()) {
        *reason = outOfMemory();
        return false;
    }
    if (!indexNearest(picture, palette, checkpoint, &indexed))
        return expired();
    indexed.setColorTable(palette);
    *out = IndexedPicture{indexed, false, false};
    return true;
}

} // namespace imaging::detail
