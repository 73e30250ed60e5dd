#pragma once

#include "common/filetypes.h"

#include <QtGlobal>

// What we tell the imaging library once per process, and what we ask of it.
namespace imaging::detail {

// A picture larger than this is refused before it is decoded, and no resize
// may make one.
inline constexpr qint64 kMaxSide = 32767;
inline constexpr qint64 kMaxPixels = 200'000'000;

bool sizeAllowed(qint64 width, qint64 height);

// Sets the library's limits, removes every decoder outside our types and
// limits its own threads to one (callers run one instance per core).
void initializeLibrary();

// Whether the library still has a decoder registered under `format`.
bool libraryDecodes(const char *format);

// The library encoder that writes `type`, or nullptr for the types written by
// our own code (DXF, WMF).
const char *encoderFor(common::FileType type);

} // namespace imaging::detail
