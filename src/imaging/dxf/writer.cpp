#include "dxf.h"

#include "imaging/codecs/aci.h"
#include "imaging/codecs/codecsupport.h"
#include "limits.h"

#include <QHash>
#include <charconv>
#include <cstring>
#include <vector>

namespace imaging::detail {
namespace {

class DxfText
{
public:
    DxfText() { m_out.reserve(1 << 16); }
    void group(int code, const char *value)
    {
        code3(code);
        m_out += value;
        m_out += "\r\n";
    }
    void group(int code, qint64 value)
    {
        code3(code);
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_out.append(digits, end - digits);
        m_out += "\r\n";
    }
    void group(int code, double value)
    {
        group(code, QByteArray::number(value, 'f', 6).constData());
    }
    void point(int code, qint64 x, qint64 y)
    {
        group(code, x);
        group(code + 10, y);
    }
    qsizetype size() const { return m_out.size(); }
    QByteArray take() { return std::move(m_out); }

private:
    // Group codes right-aligned in three columns, as the oldest readers expect.
    void code3(int code)
    {
        char text[8] = {' ', ' ', ' '};
        char digits[8];
        const int n = int(std::to_chars(digits, digits + sizeof digits, code).ptr - digits);
        std::memcpy(text + std::max(0, 3 - n), digits, size_t(n));
        m_out.append(text, std::max(3, n));
        m_out += "\r\n";
    }

    QByteArray m_out;
};

// One filled rectangle of pixels: columns [x0, x1), rows [top, top + rows).
struct Block {
    int x0, x1, top, rows, aci;
};

void writeHeader(DxfText &dxf, int width, int height)
{
    dxf.group(0, "SECTION");
    dxf.group(2, "HEADER");
    dxf.group(9, "$ACADVER");
    dxf.group(1, "AC1009");
    dxf.group(9, "$INSBASE");
    dxf.point(10, 0, 0);
    dxf.group(30, qint64(0));
    dxf.group(9, "$EXTMIN");
    dxf.point(10, 0, 0);
    dxf.group(30, qint64(0));
    dxf.group(9, "$EXTMAX");
    dxf.point(10, width, height);
    dxf.group(30, qint64(0));
    dxf.group(9, "$LIMMIN");
    dxf.point(10, 0, 0);
    dxf.group(9, "$LIMMAX");
    dxf.point(10, width, height);
    dxf.group(0, "ENDSEC");

    dxf.group(0, "SECTION");
    dxf.group(2, "TABLES");
    // The active viewport opens centred on the picture, for readers that
    // ignore the extents.
    dxf.group(0, "TABLE");
    dxf.group(2, "VPORT");
    dxf.group(70, qint64(1));
    dxf.group(0, "VPORT");
    dxf.group(2, "*ACTIVE");
    dxf.group(70, qint64(0));
    dxf.point(10, 0, 0);
    dxf.point(11, 1, 1);
    dxf.group(12, width / 2.0);
    dxf.group(22, height / 2.0);
    dxf.point(13, 0, 0);
    dxf.point(14, 1, 1);
    dxf.point(15, 0, 0);
    dxf.point(16, 0, 0);
    dxf.group(36, qint64(1));
    dxf.point(17, 0, 0);
    dxf.group(37, qint64(0));
    dxf.group(40, double(height) * 1.05);
    dxf.group(41, double(width) / double(height));
    dxf.group(42, 50.0);
    dxf.group(43, 0.0);
    dxf.group(44, 0.0);
    dxf.group(50, 0.0);
    dxf.group(51, 0.0);
    for (int code : {71, 72, 73, 74, 75, 76, 77, 78})
        dxf.group(code, qint64(code == 72 ? 100 : code == 73 ? 1 : code == 74 ? 3 : 0));
    dxf.group(0, "ENDTAB");
    dxf.group(0, "TABLE");
    dxf.group(2, "LTYPE");
    dxf.group(70, qint64(1));
    dxf.group(0, "LTYPE");
    dxf.group(2, "CONTINUOUS");
    dxf.group(70, qint64(0));
    dxf.group(3, "Solid line");
    dxf.group(72, qint64(65));
    dxf.group(73, qint64(0));
    dxf.group(40, 0.0);
    dxf.group(0, "ENDTAB");
    dxf.group(0, "TABLE");
    dxf.group(2, "LAYER");
    dxf.group(70, qint64(1));
    dxf.group(0, "LAYER");
    dxf.group(2, "0");
    dxf.group(70, qint64(0));
    dxf.group(62, qint64(kAciForeground));
    dxf.group(6, "CONTINUOUS");
    dxf.group(0, "ENDTAB");
    dxf.group(0, "ENDSEC");
}

// DXF's y axis points up, so row `top` of the picture lies at height - top.
void writeSolid(DxfText &dxf, const Block &b, int height)
{
    const qint64 upper = height - b.top, lower = height - b.top - b.rows;
    dxf.group(0, "SOLID");
    dxf.group(8, "0");
    dxf.group(62, qint64(b.aci));
    // The third and fourth corners cross over: a rectangle is 1, 2, 4, 3.
    dxf.point(10, b.x0, lower);
    dxf.point(11, b.x1, lower);
    dxf.point(12, b.x0, upper);
    dxf.point(13, b.x1, upper);
}

// A drawing past the size our reader takes is refused: we write nothing we
// would not read back.
QByteArray encodeRuns(const QImage &picture, const Deadline &deadline, QString *reason)
{
    const QImage flat = opaqueInput(picture, reason);
    if (flat.isNull())
        return {};
    const int width = flat.width(), height = flat.height();
    DxfText dxf;
    writeHeader(dxf, width, height);
    dxf.group(0, "SECTION");
    dxf.group(2, "ENTITIES");

    QHash<QRgb, int> reduced;
    std::vector<int> indices(static_cast<size_t>(width));
    // Rectangles still growing downwards, in column order; a run that repeats
    // the one above it exactly extends it by a row.
    std::vector<Block> open, next;
    for (int y = 0; y <= height; ++y) {
        if (deadline.expired()) {
            *reason = deadline.reason();
            return {};
        }
        next.clear();
        size_t above = 0;
        if (y < height) {
            const auto *line = reinterpret_cast<const QRgb *>(flat.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                const QRgb colour = line[x] | 0xFF000000u;
                auto it = reduced.constFind(colour);
                if (it == reduced.constEnd())
                    it = reduced.insert(colour, nearestAci(colour));
                indices[size_t(x)] = *it;
            }
            for (int x = 0; x < width;) {
                int end = x + 1;
                while (end < width && indices[size_t(end)] == indices[size_t(x)])
                    ++end;
                while (above < open.size() && open[above].x0 < x)
                    writeSolid(dxf, open[above++], height);
                if (above < open.size() && open[above].x0 == x && open[above].x1 == end
                    && open[above].aci == indices[size_t(x)]) {
                    Block grown = open[above++];
                    ++grown.rows;
                    next.push_back(grown);
                } else {
                    next.push_back(Block{x, end, y, 1, indices[size_t(x)]});
                }
                x = end;
            }
        }
        while (above < open.size())
            writeSolid(dxf, open[above++], height);
        open.swap(next);
        if (dxf.size() > kMaxDxfBytes) {
            *reason = QStringLiteral("the drawing would be larger than %1 MB; the picture has too many areas of different colour")
                          .arg(kMaxDxfBytes >> 20);
            return {};
        }
    }
    dxf.group(0, "ENDSEC");
    dxf.group(0, "EOF");
    return dxf.take();
}

} // namespace

QByteArray encodeDxf(const QImage &picture, const Deadline &deadline, QString *reason)
{
    return guarded([&] { return encodeRuns(picture, deadline, reason); }, reason);
}

} // namespace imaging::detail
