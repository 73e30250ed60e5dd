#pragma once

#include "imaging/codecs/aci.h"

#include <QPointF>
#include <QString>
#include <vector>

// A drawing as read, before anything is drawn: the shapes of the entities
// section and of each block, in drawing units (y up).
namespace imaging::detail::dxf {

inline constexpr double kPi = 3.14159265358979323846;

struct Shape {
    enum class Kind : quint8 { Polyline, Fill, Point, Curve, Text, Insert };
    Kind kind = Kind::Polyline;
    bool closed = false;
    bool mirrored = false; // drawn from below: x runs the other way
    int layer = 0;
    int aci = 256;                // 0 by block, 256 by layer
    qint32 trueColour = -1;       // 0xRRGGBB, or -1 for none
    quint32 first = 0, count = 0; // points, and bulges where there are any
    int extra = -1;               // index of its curve, text or insert
};

// An elliptic arc: centre + cos t * major + sin t * minor, t from start to end
// (radians, end > start, at most a full turn apart).
struct Curve {
    QPointF centre, major, minor;
    double start = 0, end = 2 * kPi;
};

// 72: 0 left, 1 centre, 2 right, 3 aligned, 4 middle, 5 fit;
// 73: 0 baseline, 1 bottom, 2 middle, 3 top.
struct TextItem {
    QString text;
    QPointF anchor;
    double height = 1, rotation = 0, widthFactor = 1; // rotation in degrees
    int hAlign = 0, vAlign = 0;
};

struct InsertItem {
    int block = -1;
    QPointF at, scale{1, 1};
    double rotation = 0; // degrees
    int columns = 1, rows = 1;
    double columnSpacing = 0, rowSpacing = 0;
};

struct Drawing {
    std::vector<Shape> shapes;
    std::vector<QPointF> points;
    std::vector<double> bulges; // shorter than points when the rest are 0
    std::vector<Curve> curves;
    std::vector<TextItem> texts;
    std::vector<InsertItem> inserts;
    QPointF base;         // a block's insertion point
    bool defined = false; // a block named before it was defined is not
};

struct Layer {
    int aci = kAciForeground;
    qint32 trueColour = -1;
    bool off = false;
};

} // namespace imaging::detail::dxf
