#pragma once

#include <QImage>

// The program's own pictures, drawn in code so that nothing is borrowed.
namespace app {

inline constexpr int kSamplePlateWidth = 126;
inline constexpr int kSamplePlateHeight = 179;

// A menu of two buttons, "Available" and "Second Button", on a dark
// purple-to-red textured ground, lettered orange (`plate` 0, normal), yellow
// (1, highlighted) or green (2, selected); 126 x 179 pixels, 256 colours at
// most.
QImage samplePlate(int plate);

// The window icon in the 16 standard colours on a transparent ground (a 17th
// entry of its colour table), `size` x `size` pixels: the
// window shows it at 32; the installed icons are the same drawing at the
// desktop's sizes (data/icons.cpp).
QImage programIcon(int size = 32);

} // namespace app
