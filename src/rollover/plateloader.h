#pragma once

#include "pieces.h"

#include <QImage>
#include <QString>

namespace common {
class Dialogs;
}
namespace imaging {
class ImageMan;
}

namespace rollover {

inline constexpr char kPlateDialogTitle[] = "Load Image";
// The file dialog's first entry: its description, then its patterns. Extensions
// match in any letter case.
inline constexpr char kPlateFilterDescription[] = "Pictures (*.bmp;*.jpg;*.tif;*.pcd)";
inline constexpr char kPlateFilterPatterns[] = "*.bmp;*.jpg;*.tif;*.pcd";

// A second entry offers every type the imaging component reads, so that a
// plate of any of them can be picked: "All pictures (*.jpg;...;*.eps)".
QString allPicturesPatterns();

// The two entries as a Qt file dialog filter takes them: each description
// followed by its patterns in parentheses, separated by blanks; the first
// entry is the one shown.
QString plateDialogFilter();

struct PlateLoad
{
    enum class Outcome { Loaded, Cancelled, Failed };
    Outcome outcome = Outcome::Cancelled;
    QString platePath;   // the working plate file, when loaded
    QImage picture;      // the working plate file as read back, to be shown
    QString message;     // what failed, naming the file, when failed
};

// The load steps for a file picked (or dropped) for a plate, without the
// window: decodes `picked` with `plateReader`, writes it as the working bitmap
// `target` and reads that back for showing. Nothing after a failing step
// runs, and the failure is not shown here but returned, so the window keeps
// its picture and its cut lines.
PlateLoad loadPlateFile(const QString &picked, const QString &target, imaging::ImageMan &plateReader);

// The same into the plate's working file (common::platePath).
PlateLoad loadPlate(Plate plate, const QString &picked, imaging::ImageMan &plateReader);

// The plate's working file (common::platePath) as read for showing, so that
// the window can show at start-up what an earlier run left to be cut; a null
// picture when there is none or it cannot be read.
QImage readWorkingPlate(Plate plate);

// "Load Normal", "Load Highlights", "Load Selected Now" without the window:
// the dialog step, then the load steps unless cancelled. Emptying the
// cut-line list after a loaded back plate is the window's part.
PlateLoad askAndLoadPlate(Plate plate, common::Dialogs &dialogs, imaging::ImageMan &plateReader);

} // namespace rollover
