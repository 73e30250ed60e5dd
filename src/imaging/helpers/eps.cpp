#include "eps.h"

#include "imaging/magick/library.h"
#include "sandbox.h"

#include <QList>
#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace imaging::detail {
namespace {

constexpr QByteArrayView kBox = "%%BoundingBox:";
constexpr QByteArrayView kAtEnd = "(atend)";

// Calls `line` for each line of `text`, without its end (CR, LF or CR LF),
// until it returns false.
template<typename Line>
void forEachLine(QByteArrayView text, Line line)
{
    const auto isEnd = [](char c) { return c == '\r' || c == '\n'; };
    const char *at = text.begin();
    while (at < text.end()) {
        const char *end = std::find_if(at, text.end(), isEnd);
        if (!line(QByteArrayView(at, end)))
            return;
        at = end + 1;
        if (*end == '\r' && at < text.end() && *at == '\n')
            ++at;
    }
}

QString quoted(QByteArrayView value)
{
    value = value.trimmed();
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(value.first(std::min<qsizetype>(value.size(), 80))));
}

std::optional<EpsBox> parseBox(QByteArrayView value, QString *reason)
{
    const QList<QByteArray> parts = value.toByteArray().simplified().split(' ');
    double v[4];
    bool ok = parts.size() == 4;
    for (int i = 0; ok && i < 4; ++i) {
        v[i] = parts[i].toDouble(&ok);
        ok = ok && std::isfinite(v[i]);
    }
    if (!ok) {
        *reason = QStringLiteral("its %%BoundingBox %1 is not four numbers").arg(quoted(value));
        return std::nullopt;
    }
    // Far beyond any size we accept, yet still exact as an integer.
    const auto whole = [](double x) { return qint64(std::clamp(x, -1e12, 1e12)); };
    EpsBox box;
    box.left = whole(std::floor(std::min(v[0], v[2])));
    box.bottom = whole(std::floor(std::min(v[1], v[3])));
    box.right = whole(std::ceil(std::max(v[0], v[2])));
    box.top = whole(std::ceil(std::max(v[1], v[3])));
    if (box.width() < 1 || box.height() < 1) {
        *reason = QStringLiteral("its %%BoundingBox %1 encloses nothing").arg(quoted(value));
        return std::nullopt;
    }
    return box;
}

// A DOS binary EPS starts with a 30-byte table of the offsets and lengths of
// its PostScript, metafile and TIFF sections.
std::optional<QByteArrayView> dosPostScript(QByteArrayView file, QString *reason)
{
    if (file.size() < 30) {
        *reason = QStringLiteral("the file ends early");
        return std::nullopt;
    }
    const quint32 offset = qFromLittleEndian<quint32>(file.constData() + 4);
    const quint32 length = qFromLittleEndian<quint32>(file.constData() + 8);
    if (offset < 30 || length == 0 || offset > quint64(file.size())
        || length > quint64(file.size()) - offset) {
        *reason = QStringLiteral("its PostScript section lies outside the file");
        return std::nullopt;
    }
    const QByteArrayView postScript = file.sliced(offset, length);
    if (!postScript.startsWith("%!")) {
        *reason = QStringLiteral("its PostScript section holds no PostScript");
        return std::nullopt;
    }
    return postScript;
}

} // namespace

std::optional<EpsProgram> readEps(QByteArrayView file, QString *reason)
{
    EpsProgram eps;
    if (file.startsWith("\xC5\xD0\xD3\xC6")) {
        const auto section = dosPostScript(file, reason);
        if (!section)
            return std::nullopt;
        eps.postScript = *section;
    } else {
        eps.postScript = file;
    }

    // The header comments run to %%EndComments or to the first line that is
    // no comment; a later header box overrides an earlier one.
    std::optional<QByteArrayView> header;
    qsizetype bodyAt = 0;
    const QByteArrayView text = eps.postScript;
    forEachLine(text, [&](QByteArrayView line) {
        if (!line.startsWith('%') || line.startsWith("%%EndComments"))
            return false;
        if (line.startsWith(kBox))
            header = line.sliced(kBox.size()).trimmed();
        bodyAt = line.end() - text.begin();
        return true;
    });
    if (!header) {
        *reason = QStringLiteral("it has no %%BoundingBox comment, so the size of its picture is unknown");
        return std::nullopt;
    }
    if (!header->startsWith(kAtEnd)) {
        auto box = parseBox(*header, reason);
        if (!box)
            return std::nullopt;
        eps.box = *box;
        return eps;
    }

    // The trailer comes last, so its box is the last in the file; a file
    // whose trailer lost it still gets the last one anywhere after the header.
    std::optional<QByteArrayView> atEnd;
    forEachLine(text.sliced(bodyAt), [&](QByteArrayView line) {
        if (line.startsWith(kBox) && !line.sliced(kBox.size()).trimmed().startsWith(kAtEnd))
            atEnd = line.sliced(kBox.size());
        return true;
    });
    if (!atEnd) {
        *reason = QStringLiteral("its %%BoundingBox is given as (atend), but none follows at the end");
        return std::nullopt;
    }
    auto box = parseBox(*atEnd, reason);
    if (!box)
        return std::nullopt;
    eps.box = *box;
    return eps;
}

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
