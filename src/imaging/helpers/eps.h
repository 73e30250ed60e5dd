#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The EPS reader. An EPS file's own description of itself (where its
// PostScript is and the page it draws on) is read here without running
// anything; the PostScript is then drawn by Ghostscript in the sandbox.
namespace imaging::detail {

// The page of an EPS picture in PostScript points (1/72 inch), corners rounded
// outwards to whole points. Rendered at 72 dots per inch one point is one
// pixel, so width() x height() is the picture's size in pixels. Both are at
// least 1; either may be far beyond any size we accept.
struct EpsBox {
    qint64 left = 0, bottom = 0, right = 0, top = 0;
    qint64 width() const { return right - left; }
    qint64 height() const { return top - bottom; }
};

// An EPS file's PostScript and the box it is drawn in. The PostScript is a
// view into the bytes readEps() was given, valid as long as they are.
struct EpsProgram {
    QByteArrayView postScript;
    EpsBox box;
};

// Takes the PostScript of an EPS file (the whole file, or the PostScript
// section of a DOS binary EPS, whose preview is ignored) and finds its box:
// the last %%BoundingBox of the header comments, or, when that says (atend),
// the last one after the last %%Trailer (the last one in the file when there
// is no trailer). Lines may end in CR, LF or CR LF. On failure returns nothing
// and sets *reason to a phrase such as "it has no %%BoundingBox comment".
std::optional<EpsProgram> readEps(QByteArrayView file, QString *reason);


// The most memory the Ghostscript child may map, in bytes. A file it draws
// counts all of it in its estimated peak (estimate.h).
inline constexpr qint64 kGhostscriptMemory = qint64(2) << 30;

// Draws `eps.postScript` with Ghostscript in a child process and returns the
// picture as raw PNM (P6) bytes, exactly eps.box.width() x eps.box.height()
// pixels: one point per pixel, the box's lower left corner at the picture's
// lower left, opaque on white. The caller checks the box's size first; this
// side only refuses output larger than that one page.
//
// Ghostscript runs in the locked-down child of sandbox.h, with -dSAFER.
//
// On failure returns nothing and sets *reason to a phrase that can follow
// "Cannot open FILE: ": deadline.reason() when stopped or out of time.
std::optional<QByteArray> renderEps(const EpsProgram &eps, const Deadline &deadline, QString *reason);

} // namespace imaging::detail
