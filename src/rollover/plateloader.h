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
// The file dialog's one entry: its description, then its patterns. Extensions
// match in any letter case.
inline constexpr char kPlateFilterName[] = "Pictures (*.bmp;*.jpg;*.tif;*.pcd)";
inline constexpr char kPlateFilterPatterns[] = "*.bmp;*.jpg;*.tif;*.pcd";

// The entry as a Qt file dialog filter takes it: the description followed by
// the patterns in parentheses, separated by blanks.
QString plateDialogFilter();

struct PlateLoad
{
    enum class Outcome { Loaded, Cancelled, Failed };
    Outcome outcome = Outcome::Cancelled;
    QString platePath;   // the working plate file, when loaded
    QImage picture;      // the working plate file as read back, to be shown
    QString message;     // what failed, naming the file, when failed
};

// "Load Normal", "Load Highlights", "Load Selected Now" without the window:
// asks for a picture, decodes it with `imageMan1`, writes it as the plate's
// working bitmap and reads that back for showing. Nothing after a failing
// step runs, and the failure is not shown here but returned, so the window
// keeps its picture and its cut lines. Emptying the cut-line list after a
// loaded back plate is the window's part.
PlateLoad loadPlate(Plate plate, common::Dialogs &dialogs, imaging::ImageMan &imageMan1);

} // namespace rollover
