#pragma once

#include <QtGlobal>

// The limits within which we read and draw a DXF drawing. Anything beyond them
// is refused before it is drawn: a drawing is text that costs nothing to make
// and anything to render.
namespace imaging::detail {

// A file past this size is refused before it is read.
inline constexpr qint64 kMaxDxfBytes = qint64(512) << 20;
// One line of a text drawing, or one text value of a binary one; real ones
// hold a few hundred bytes at most.
inline constexpr qsizetype kMaxDxfLineBytes = qsizetype(1) << 20;

// Entities read from the file, and shapes drawn once blocks are inserted.
inline constexpr qint64 kMaxDxfEntities = 4'000'000;
inline constexpr qint64 kMaxDxfDrawnShapes = 8'000'000;
// Corners and vertices held (16 bytes each), and points drawn along lines and
// curves over one drawing.
inline constexpr qint64 kMaxDxfPoints = 16'000'000;
inline constexpr qint64 kMaxDxfDrawnPoints = 64'000'000;
// Blocks inside blocks.
inline constexpr int kMaxDxfBlockDepth = 16;
// A coordinate this far out is no drawing's.
inline constexpr double kMaxDxfCoordinate = 1e12;

// A drawing is drawn at one pixel per unit when that gives at most this many
// pixels on a side; otherwise it is scaled so that its longer side has
// kDxfScaledSide pixels. The picture is headed for a web page: a larger one
// only costs memory (about 16 bytes a pixel once loaded, 1 GB at this side).
inline constexpr int kDxfMaxSide = 8192;
inline constexpr int kDxfScaledSide = 1024;

// The work painting may take, in pixels touched, for a picture of `area`
// pixels: every line's length plus one, every filled shape's bounding box, and
// every painted text's box plus 64 a letter (laying out a letter costs more
// than filling its box when it is small). A real drawing covers its picture a
// few times over at most; the constant lets small pictures hold dense
// drawings. At the largest picture this is about 600 million pixels of lines
// (some 3 s of painting slanted ones) and 1.1 billion of fills (under 1 s).
// What each shape costs beyond its pixels is bounded by kMaxDxfDrawnShapes.
inline constexpr qint64 maxDxfStrokePixels(qint64 area) { return 8 * area + 64'000'000; }
inline constexpr qint64 maxDxfFillPixels(qint64 area) { return 16 * area + 64'000'000; }

} // namespace imaging::detail
