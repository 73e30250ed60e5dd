#pragma once

#include "codecsupport.h"

#include <QImage>

// Representing a picture of more than 256 colours by 256 of them.
namespace imaging::detail {

// Chooses 256 colours for the opaque RGB32 `picture` (a median cut of its
// colour histogram, refined) and sets each pixel of `indexed`, an
// Format_Indexed8 image of the same size, to the nearest of them (no
// dithering); its colour table becomes the chosen colours. Time grows
// linearly with the pixels, plus a fixed part for the histogram. False when
// the deadline expires first.
bool reduceColours(const QImage &picture, Checkpoint &checkpoint, QImage *indexed);

} // namespace imaging::detail
