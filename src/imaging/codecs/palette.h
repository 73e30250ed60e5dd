#pragma once

#include "codecsupport.h"

#include <QImage>
#include <QString>

// Turning an opaque picture into palette indices for the palette types we
// write ourselves (PCX with one plane, RLE8 bitmaps).
namespace imaging::detail {

// A picture as one palette index per pixel.
struct IndexedPicture {
    // Format_Indexed8; its colour table (at most 256 opaque colours) is the
    // palette. Null when there is none.
    QImage image;
    // Every pixel is grey; the palette is then the full ramp 0..255 and an
    // index is the grey level itself.
    bool grey = false;
    // Every pixel kept its colour.
    bool exact = false;
};

enum class Reduction {
    // Only an exact palette will do: a picture of more than 256 colours
    // gives no indexed picture at all.
    ExactOnly,
    // A picture of more than 256 colours is represented by 256 chosen ones,
    // each pixel taking the nearest.
    Allowed,
};

// Indexes the opaque RGB32 `picture`. A picture of at most 256 colours keeps
// every colour exactly, listed in the order they first appear (a grey one
// gets the ramp). Time grows with the pixels (the reduction adds a fixed
// amount for its histogram). Returns false with a reason when the deadline
// expires or memory runs out; true with a null `out->image` when the
// picture has more than 256 colours and `reduction` is ExactOnly.
bool indexColours(const QImage &picture, Reduction reduction, Checkpoint &checkpoint,
                  IndexedPicture *out, QString *reason);

} // namespace imaging::detail
