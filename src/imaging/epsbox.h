#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// Reading an EPS file's own description of itself: where its PostScript is
// and the page it draws on. Nothing here runs the PostScript.
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

} // namespace imaging::detail
