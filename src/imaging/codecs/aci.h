#pragma once

#include <QRgb>

// The 256 colours of the DXF colour index, shared by the DXF writer (which
// reduces a picture to them) and the reader (which draws with them).
namespace imaging::detail {

// Index 0 means "by block" and 256 "by layer"; neither is a colour. Index 7 is
// drawn in the foreground colour, which on our white ground is black.
inline constexpr int kAciFirst = 1;
inline constexpr int kAciLast = 255;
inline constexpr int kAciForeground = 7;

// The RGB of colour index `index` (1 to 255); black outside that range.
QRgb aciColour(int index);

// The index 1 to 255 whose colour is nearest to `colour` (alpha ignored).
int nearestAci(QRgb colour);

} // namespace imaging::detail
