#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// Where the pieces of a rollover menu come from and where they go.
namespace rollover {

// The three plates, in the order they are loaded and cut.
enum class Plate { Back = 0, Highlight = 1, Selected = 2 };

inline constexpr int kPlateCount = 3;
inline constexpr Plate kPlates[kPlateCount] = {Plate::Back, Plate::Highlight, Plate::Selected};

// The rectangles, in plate pixels with edges included, of the pieces of a
// plate of `plateSize` cut along `cutLines` (ascending rows): piece 0 above
// the first line, the last piece below the last line down to the plate's own
// bottom row, every piece the plate's full width. Each cut line belongs to the
// piece above it. A line at or below the plate's last row leaves rectangles
// that reach below the plate; one that lies wholly below it has top > bottom.
QList<QRect> pieceRects(const QList<int> &cutLines, QSize plateSize);

// The lowest row a cut line can take on a plate `plateHeight` rows high. A
// line is the last row of the piece above it, so one on the plate's last row
// leaves the piece below it empty and one further down leaves it wholly off
// the plate; one on row 0 is fine and makes a top piece of one row. Cut lines
// are rows 0 to lastCutRow(): none fits a plate of one row.
constexpr int lastCutRow(int plateHeight) { return plateHeight - 2; }

// "TSTa0.jpg": header, plate letter ("a" back, "b" highlight, "c" selected),
// piece number, nothing in between.
QString pieceFileName(const QString &header, Plate plate, int piece);
// The same file as the page refers to it: "images/TSTa0.jpg".
QString pieceReference(const QString &header, Plate plate, int piece);

// Why `header` cannot begin the pieces' file names, or nothing when it can.
// A header is refused when it holds a path separator, a character that file
// names on Windows or Linux cannot hold, or nothing but dots, since such a
// header would write outside the images folder or fail on every piece.
std::optional<QString> headerFault(const QString &header);

} // namespace rollover
