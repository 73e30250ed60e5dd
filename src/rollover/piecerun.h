#pragma once

#include "pagetext.h"
#include "pieces.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace common {
class Clipboard;
}
namespace imaging {
class ImageMan;
}

namespace rollover {

// Where the pieces of a run come from and go to. Paths are absolute; the
// folders must exist before the run.
struct RunPlaces {
    QString plates[kPlateCount]; // the working plate files, in Plate order
    QString imagesFolder;        // every piece file goes here
    QString pagePath;            // the page, replaced by a complete new file

    // The window's fixed places (common/paths.h).
    static RunPlaces fixed();
};

// Why plates of `sizes` (in Plate order) cannot be cut along `rows`, checked
// before anything is deleted or written; nothing when they can. Pieces are cut
// along the same rows of all three plates and the page shows a highlight piece
// at its back-plate piece's size, so the three must have one size; and every
// cut line must leave a piece below it (lastCutRow). Messages name each plate
// by `names`: the user's own files, never working copies made of them.
struct PlateFault {
    enum class Kind { Sizes, CutLine };
    Kind kind;
    QString message;
};
std::optional<PlateFault> plateFault(const std::array<QSize, kPlateCount> &sizes,
                                     const std::array<QString, kPlateCount> &names, const QList<int> &rows);

// The sizes of the plates at `places` as `imageMan` decodes them, or nothing
// when one of them is missing or cannot be read.
std::optional<std::array<QSize, kPlateCount>> readPlateSizes(const RunPlaces &places, imaging::ImageMan &imageMan);

// The writing half of "Generate JPGS and Scripts": cuts the three working
// plates along `rows` (ascending plate rows, each belonging to the piece above
// it) into JPEG pieces named after `header` at `pieceWriter`'s quality, then
// writes the page with each back-plate piece's size as read back. Pieces
// travel from `plateReader` to `pieceWriter`. A plate that cannot be read gives no
// pieces; nothing that fails stops the run. With a clipboard, it is emptied
// after the pieces and then holds the page text; without one the page is only
// written to its file. `page` says which page is written at the page path
// (the modern page's style sheet goes beside it) and must fit the entries
// (pageChoiceFault). Returns what failed, one line each; empty when all was
// written.
QStringList writePiecesAndPage(const RunPlaces &places, const QString &header, const QList<int> &rows,
                               imaging::ImageMan &plateReader, imaging::ImageMan &pieceWriter,
                               common::Clipboard *clipboard, const PageChoice &page = {});

} // namespace rollover
