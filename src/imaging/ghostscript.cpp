#include "ghostscript.h"

#include "library.h"
#include "sandbox.h"

namespace imaging::detail {
namespace {

// Room for the PNM header ("P6", a comment, the size, the largest value).
constexpr qsizetype kHeaderRoom = 1024;

QList<QByteArray> arguments(const EpsBox &box)
{
    // The page is our box at 72 dpi and cannot be changed by the program; its
    // own showpage does nothing, ours ends the one page.
    const QByteArray prologue = "/showpage {} def " + QByteArray::number(-box.left) + ' '
        + QByteArray::number(-box.bottom) + " translate";
    return {"-dSAFER", "-dBATCH", "-dNOPAUSE", "-q",
            // Its comments are ours to read; Ghostscript must not act on them.
            "-dNOEPS",
            "-sDEVICE=ppmraw", "-r72",
            "-g" + QByteArray::number(box.width()) + 'x' + QByteArray::number(box.height()),
            "-dFIXEDMEDIA", "-dFIXEDRESOLUTION",
            "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4",
            // Large pages are banded; the bands stay in memory, not in files.
            "-sBandListStorage=memory",
            // The program's own output and messages go to the error stream,
            // so standard output carries the picture alone.
            "-sstdout=%stderr", "-sOutputFile=-",
            // "-_" reads standard input as a file, in large blocks; "-" would
            // read it as a terminal, a few bytes at a time.
            "-c", prologue, "-_", "-c", "systemdict /showpage get exec"};
}

} // namespace

std::optional<QByteArray> renderEps(const EpsProgram &eps, const Deadline &deadline, QString *reason)
{
    if (!sizeAllowed(eps.box.width(), eps.box.height())) {
        *reason = QStringLiteral("its page is too large");
        return std::nullopt;
    }
    const qsizetype pixels = qsizetype(eps.box.width() * eps.box.height() * 3);
    const ChildResult drawn = runChild({QStringLiteral("gs"), arguments(eps.box), eps.postScript,
                                        pixels + kHeaderRoom, kGhostscriptMemory},
                                       deadline);
    using Outcome = ChildResult::Outcome;
    if (drawn.outcome == Outcome::NotRun && drawn.reason.contains(QLatin1String("not installed"))) {
        *reason = QStringLiteral("EPS pictures are drawn with Ghostscript, and its program gs is not installed");
        return std::nullopt;
    }
    if (drawn.outcome == Outcome::TooMuch) {
        *reason = QStringLiteral("it draws more than the one page of its %%BoundingBox");
        return std::nullopt;
    }
    if (drawn.outcome != Outcome::Finished) {
        *reason = drawn.reason;
        return std::nullopt;
    }
    if (const QString failed = childFailure(drawn, QStringLiteral("Ghostscript"), kGhostscriptMemory); !failed.isEmpty()) {
        *reason = failed;
        return std::nullopt;
    }
    if (drawn.output.size() < pixels) {
        *reason = QStringLiteral("Ghostscript drew no page: the program ended early");
        return std::nullopt;
    }
    return drawn.output;
}

} // namespace imaging::detail
