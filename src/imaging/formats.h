#pragma once

#include "common/filetypes.h"

#include <QByteArrayView>
#include <QSize>
#include <array>

// What we know of each of the twelve types, in one table keyed by the type:
// who reads it and how, who writes it and with which settings, what it cannot
// store, and how close a picture comes back from a round trip through it.
// Loading, saving, content detection and the tests all read this table; a
// new type or a new quirk is one row.
namespace imaging {

using common::FileType;

// Who decodes a type.
enum class Reader {
    Library,     // the imaging library, with the decoder named in the row
    OwnDxf,      // our DXF renderer
    Ghostscript, // a Ghostscript child process we start, its PNM output read by the library
    // The library's own command-line tool in a child process we start, for
    // decoders that can neither be stopped nor bounded in ours; its PNM
    // output is read by the library.
    LibraryTool,
};

// Who encodes a type.
enum class Writer {
    Library, // the imaging library, with the encoder and settings of the row
    OwnPng,
    OwnPcx,
    OwnDcx,
    OwnRle8, // a 256-colour Windows bitmap with RLE8 compression
    OwnDxf,
    OwnWmf,
};

// The program other than ours that the tests open our files with.
enum class Witness { Pillow, Ghostscript, Libwmf, Ezdxf };

// How far a picture of a few dozen flat colours may differ per channel after
// being written and read back: the largest difference of any pixel and the
// mean. Zero for both is exact.
struct Fidelity {
    int largest = 0;
    double mean = 0;
    // Compared with the picture reduced to the 255 colours of a drawing.
    bool drawingColours = false;
    // How far the mean colour of any picture may move, read by another
    // program: the nearest of a drawing's colours, a Photo CD's colour space.
    double meanShift = 0;
};

struct Format {
    FileType type;
    Reader reader = Reader::Library;
    // The library's decoder for Reader::Library; the content may pick a
    // variant (a Utah raster is an RLE file read by "RLE").
    const char *decoder = nullptr;
    // When a file holds several pictures, the one we read, and only that one
    // (a Photo CD's third is its 768 x 512 base image, its first a thumbnail).
    int picture = 0;
    // Reader quirks, from the file's leading bytes; null when the decoder
    // gets it right. The dots per inch to draw a vector file at, 0 for the
    // decoder's default; whether the file really stores transparency.
    int (*readDensity)(QByteArrayView head) = nullptr;
    bool (*storesAlpha)(QByteArrayView head) = nullptr;
    bool scalesOnLoad = false; // can decode at a reduced scale for a size hint

    Writer writer = Writer::Library;
    const char *encoder = nullptr; // the library's encoder for Writer::Library
    const char *defines = "";      // its settings, "key=value" separated by ";"
    int density = 0;               // dots per inch written; 0 keeps the picture's own
    bool opaque = false;           // stores no transparency: put on white first
    QSize onlySize = QSize();      // the one size the type holds (landscape); empty for any

    // Memory that writing takes beside the picture itself, in bytes per pixel
    // written, measured on a 4000 x 3000 noise picture; the batch run plans
    // with it.
    int writeBytesPerPixel = 8;
    Fidelity fidelity = {};
    Witness witness = Witness::Pillow;
};

const std::array<Format, common::kFileTypeCount> &formats();
const Format &format(FileType type);

} // namespace imaging
