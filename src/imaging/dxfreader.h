#pragma once

#include <QtGlobal>

// The limits within which we draw a DXF drawing. Anything beyond them is
// refused before it is drawn: a drawing is text that costs nothing to make and
// anything to render.
namespace imaging::detail {

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
// A drawing that does not fit at one pixel per unit is scaled so that its
// longer side has this many pixels.
inline constexpr int kDxfScaledSide = 1024;

} // namespace imaging::detail
