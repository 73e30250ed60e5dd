#pragma once

#include "deadline.h"
#include "epsbox.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace imaging::detail {

// The most memory the Ghostscript child may map, in bytes.
inline constexpr qint64 kGhostscriptMemory = qint64(2) << 30;

// Draws `eps.postScript` with Ghostscript in a child process and returns the
// picture as raw PNM (P6) bytes, exactly eps.box.width() x eps.box.height()
// pixels: one point per pixel, the box's lower left corner at the picture's
// lower left, opaque on white. The caller checks the box's size first; this
// side only refuses output larger than that one page.
//
// The child never sees a file name: the PostScript reaches it on standard
// input and the picture comes back on a pipe. It runs without a shell, in a
// process group of its own, with -dSAFER, a minimal environment whose
// temporary folder is a new private one (so SAFER's permission to use the
// temporary folder opens nothing of ours), at most kGhostscriptMemory of
// memory, no file writing, and processor time up to the deadline. It is
// killed when the deadline passes or its flag is raised, and when this process
// dies. Whatever the outcome, the child has been reaped and its folder removed
// when this returns.
//
// On failure returns nothing and sets *reason to a phrase that can follow
// "Cannot open FILE: ": deadline.reason() when stopped or out of time.
std::optional<QByteArray> renderEps(const EpsProgram &eps, const Deadline &deadline, QString *reason);

} // namespace imaging::detail
