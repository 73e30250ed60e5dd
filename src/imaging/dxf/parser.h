#pragma once

#include "drawing.h"
#include "groups.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>

// Reads a drawing's sections into Drawings: the layer table, the blocks and
// the entities. Each family of entities has its own reader (entities.h); this
// class gives them the groups and keeps the names and the counts.
namespace imaging::detail::dxf {

// What any drawn entity may carry besides its own groups.
struct Common {
    int layer = 0;
    int aci = 256;
    qint32 trueColour = -1;
    double extrusion = 1; // z of the extrusion direction; below 0: seen from below

    Shape shape(Shape::Kind kind) const
    {
        Shape s;
        s.kind = kind;
        s.layer = layer;
        s.aci = aci;
        s.trueColour = trueColour;
        s.mirrored = extrusion < 0;
        return s;
    }
};

class Parser
{
public:
    Parser(QIODevice &device, const Deadline &deadline);

    // Reads the whole drawing; false and error() on failure.
    bool parse();
    const QString &error() const { return m_error; }
    const Drawing &entities() const { return m_entities; }
    const std::vector<Drawing> &blocks() const { return m_blocks; }
    const std::vector<Layer> &layers() const { return m_layers; }

    // For the entity readers. Each returns false once a failure is recorded.
    bool fail(const QString &reason);
    // Reads the current entity's groups up to the next entity: the common
    // ones into `common`, each other to take(group, value), where value is
    // the group's number (0 for a text value). take returns false to stop.
    template <typename Take>
    bool readGroups(Common *common, Take take);
    // A radius, a height or an axis ratio, which must be within the limits.
    bool size(double value);
    // The index of a block by its name, -1 when there are too many names.
    int blockFor(QByteArrayView name);
    // Counts `count` more corners and vertices held, against the limit.
    bool holdPoints(qint64 count);
    // Appends `shape` and its points to `into`.
    bool add(Drawing &into, Shape shape, std::initializer_list<QPointF> points = {});
    // The POLYLINE of the drawing being read that still takes VERTEX
    // entities, as an index into its shapes, or -1.
    int openPolyline() const { return m_openPolyline; }
    void setOpenPolyline(int index) { m_openPolyline = index; }

private:
    bool number(const Group &g, double *out);
    bool coordinate(const Group &g, double *out);
    int layerFor(QByteArrayView name);
    int layerIndex(QByteArrayView name);
    bool skipSection();
    bool skipEntity();
    bool parseTables();
    bool parseBlocks();
    // Reads a section's records named `kind` up to its ENDSEC: each group of
    // a record's header goes to `field`, then `record` runs. False when the
    // file ends first or a callback fails.
    bool readRecords(QByteArrayView kind, const std::function<bool(const Group &)> &field,
                     const std::function<bool()> &record);
    bool parseEntities(Drawing &into, QByteArrayView end);
    bool readEntity(const Group &start, Drawing &into);

    GroupReader m_in;
    QString m_error;
    QHash<QByteArray, int> m_layerIndex;
    QByteArray m_lastLayerName;
    int m_lastLayer = -1;
    std::vector<Layer> m_layers;
    QHash<QByteArray, int> m_blockIndex;
    std::vector<Drawing> m_blocks;
    Drawing m_entities;
    bool m_sawEntities = false;
    qint64 m_entityCount = 0;
    qint64 m_pointCount = 0;
    int m_openPolyline = -1;
};

template <typename Take>
bool Parser::readGroups(Common *common, Take take)
{
    Group g;
    while (m_in.next(&g)) {
        if (g.code == 0) {
            m_in.giveBack();
            break;
        }
        if (g.code == 8) {
            common->layer = layerFor(g.text);
            continue;
        }
        const ValueKind kind = kindOf(g.code);
        if (kind == ValueKind::String || kind == ValueKind::Chunk) {
            if (!take(g, 0.0))
                return false;
            continue;
        }
        const bool isCoordinate = (g.code >= 10 && g.code <= 13) || (g.code >= 20 && g.code <= 23);
        double v = 0;
        if (!(isCoordinate ? coordinate(g, &v) : number(g, &v)))
            return false;
        if (g.code == 62)
            common->aci = int(std::clamp(std::abs(v), 0.0, 256.0));
        else if (g.code == 420)
            common->trueColour = qint32(qint64(std::clamp(v, 0.0, 16777215.0)));
        else if (g.code == 230)
            common->extrusion = v;
        else if (!take(g, v))
            return false;
    }
    return m_in.error().isEmpty() || fail(m_in.error());
}

} // namespace imaging::detail::dxf
