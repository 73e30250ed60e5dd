#pragma once

#include "deadline.h"
#include "epsbox.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace imaging::detail {

// The most memory the Ghostscript child may map, in bytes. A file it draws
// counts all of it in its estimated peak (imageman.h).
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
