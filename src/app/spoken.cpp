#include "spoken.h"

#include <QString>
#include <QWidget>
#include <array>

namespace app {

namespace {

using R = Role;

// What a screen reader says for each control: its name and what it is for.
// Keyed by role and element, or by role alone (-1) for an array whose
// elements differ by caption only; "%1" stands for the caption.
struct Spoken {
    Role role;
    int index;
    const char *name;
    const char *description;
};

constexpr std::array kSpoken{
    Spoken{R::Pages, -1, "Pages", "Batch Convert converts a folder of pictures; Parse Clips cuts a menu into rollover pieces"},
    Spoken{R::SortingList, -1, "Sorted cut lines", "Scratch list the cut lines are sorted through"},
    Spoken{R::Heading, 0, "Destination", "Heading of the destination and output options"},
    Spoken{R::Heading, 1, "Source", "Heading of the source choices"},
    Spoken{R::PageDivider, -1, "Divider", "Line between the destination and the source"},
    Spoken{R::DestinationDrives, -1, "Destination drive", "Drive whose folders the destination folder list shows"},
    Spoken{R::DestinationFolders, -1, "Destination folder", "Folder the converted pictures are written to; Enter opens the highlighted folder"},
    Spoken{R::SizeFrame, -1, "Output size", "Size of the converted pictures"},
    Spoken{R::SizeButton, 0, "Output size 1 to 1", "Each picture keeps its own size"},
    Spoken{R::SizeButton, 4, "Output size 800x600", "Every picture is resized to 800 by 600 pixels"},
    Spoken{R::SizeButton, 3, "Output size 640x480", "Every picture is resized to 640 by 480 pixels"},
    Spoken{R::SizeButton, 5, "Output size 1024x768", "Every picture is resized to 1024 by 768 pixels"},
    Spoken{R::SizeButton, 1, "Custom output size", "Every picture is resized to the width and height typed beside"},
    Spoken{R::CustomWidth, -1, "Output width in pixels", "Width of the converted pictures when the size is custom"},
    Spoken{R::CustomHeight, -1, "Output height in pixels", "Height of the converted pictures when the size is custom"},
    Spoken{R::FormatButton, -1, "Convert to %1", "Output format of the converted pictures"},
    Spoken{R::ConvertButton, -1, "Batch convert", "Converts every listed source file to the chosen format and size"},
    Spoken{R::SourceDrives, -1, "Source drive", "Drive whose folders the source folder list shows"},
    Spoken{R::SourceFolders, -1, "Source folder", "Folder whose pictures are listed and converted; Enter opens the highlighted folder"},
    Spoken{R::SourceFiles, -1, "Source files", "Pictures of the source folder of the ticked types; a double-click converts one"},
    Spoken{R::TypeBox, -1, "List %1 files", "Source files of this type are listed and converted"},
    Spoken{R::CutLineList, -1, "Cut lines", "Plate rows at which the plates are cut, top to bottom"},
    Spoken{R::GenerateButton, -1, "Generate JPGS and Scripts", "Cuts the three plates into JPEG pieces and writes the rollover page"},
    Spoken{R::LoadNormalButton, -1, "Load Normal", "Picks the picture of the menu as it normally looks"},
    Spoken{R::LoadHighlightsButton, -1, "Load Highlights", "Picks the picture of the menu with its entries highlighted"},
    Spoken{R::LoadSelectedButton, -1, "Load Selected Now", "Picks the picture of the menu with its entries selected"},
    Spoken{R::BackPlate, -1, "Normal plate: click to place a cut line",
           "Up and Down move a guide line, Enter places a cut line there and Delete removes the one under it; "
           "dragging a line moves it, the right button removes it"},
    Spoken{R::HighlightPlate, -1, "Highlighted plate", "The highlight plate with the cut lines"},
    Spoken{R::SelectedPlate, -1, "Selected plate", "The selected plate with the cut lines"},
    Spoken{R::PlateDivider, -1, "Divider", "Line between two plates"},
};

} // namespace

void speak(QWidget *widget, const Control &row)
{
    for (const Spoken &spoken : kSpoken) {
        if (spoken.role == row.role && (spoken.index < 0 || spoken.index == row.index)) {
            QString said = QString::fromUtf8(spoken.name);
            if (row.caption)
                said.replace(QLatin1String("%1"), QString::fromUtf8(row.caption));
            widget->setAccessibleName(said);
            widget->setAccessibleDescription(QString::fromUtf8(spoken.description));
            return;
        }
    }
    Q_ASSERT_X(false, "speak", row.name);
}

} // namespace app
