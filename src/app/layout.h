#pragma once

#include "convert/sizerule.h"
#include "imaging/formats.h"

#include <QColor>
#include <QHash>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <array>
#include <span>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

// The window's controls as data: one row per control, turned into widgets by
// one loop (buildControls) and read by the keyboard order and the tests alike.
// The layout names (`Command5`, `Check1(3)`) are written here only, as each
// widget's objectName; the code knows a control by its role.
namespace app {

class DriveList;
class FileList;
class FolderList;
class PictureBox;
class TabControl;

enum class Role {
    Pages,
    SortingList, // the scratch list the cut lines are sorted through
    FileDialog,
    PlateReader, // the imaging instance that reads plates
    PieceWriter, // the imaging instance that writes pieces
    Heading,
    PageDivider,
    PlateDivider,
    DestinationDrives,
    DestinationFolders,
    SizeFrame,
    SizeButton,
    CustomWidth,
    CustomHeight,
    FormatButton, // index: the file type
    ConvertButton,
    SourceDrives,
    SourceFolders,
    SourceFiles,
    TypeBox, // index: the file type
    CutLineList,
    GenerateButton,
    LoadNormalButton,
    LoadHighlightsButton,
    LoadSelectedButton,
    BackPlate,
    HighlightPlate,
    SelectedPlate,
};

enum class Kind {
    TabControl,
    ListBox,
    Label,
    Line,
    DriveList,
    FolderList,
    FileList,
    Frame,
    OptionButton,
    CheckBox,
    Button,
    TextBox,
    PictureBox,
    ImagingComponent, // held by the window as an object, never a widget
    FileDialog,       // shown on demand through common::Dialogs
};

// Where a control's Left and Top are measured from. Page controls are
// measured from the tab control's own top-left corner, tab row included.
enum class Container { Window, BatchPage, ParsePage, SizeFrame };

enum class Ink { Default, White, Black, Grey };

struct Control {
    Role role;
    const char *name;    // layout name: "Check1"
    int index;           // element of a control array; -1 for a plain control
    Kind kind;
    Container container;
    // Twips. A line runs from (left, top) to (left + width, top + height).
    int left;
    int top;
    int width;
    int height;
    int order;           // keyboard order in the whole window; -1 for none
    const char *caption; // caption or initial text; nullptr for none
    bool on;             // ticked, selected or (buttons) enabled at start
    Ink ink;             // line colour, or the text colour of a list
};

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 6975;  // twips, inside border, caption and menu bar
inline constexpr int kClientHeight = 5355;

std::span<const Control> controls();

// The layout name, with "_" and the element for an element of an array
// ("Check1_3" for Check1(3)).
QString objectName(const Control &control);
// The window's own layout name, and the menu bar's entries.
QString windowObjectName();
struct MenuEntry {
    const char *name; // objectName
    const char *caption;
};
struct MenuEntries {
    MenuEntry fileMenu, exit, helpMenu, helpPage, about;
};
const MenuEntries &menuEntries();
// The control's rectangle in pixels, relative to its container.
QRect pixelRect(const Control &control);
int twipsToPixels(double twips);

// The controls that have a keyboard order, first to last.
QList<const Control *> keyboardOrder();

inline const QColor kLightGrey{192, 192, 192};
inline const QColor kGrey{128, 128, 128};

QColor inkColour(Ink ink);

// The widgets of the table, made under `client` (the window's client area,
// given the layout's grey ground) and owned by it: every row that is a
// widget, with its objectName, its rectangle in its container, its caption
// and initial state, and the keyboard order of the table. The tab control
// holds the two pages; the format buttons and the size buttons form one
// group each. Arrays are indexed by file type and by size choice.
struct Controls {
    TabControl *pages = nullptr;
    QListWidget *cutLineList = nullptr;
    QListWidget *sortingList = nullptr;
    std::array<QLabel *, 2> headings{}; // destination, source
    DriveList *sourceDrives = nullptr;
    DriveList *destinationDrives = nullptr;
    FolderList *sourceFolders = nullptr;
    FolderList *destinationFolders = nullptr;
    FileList *sourceFiles = nullptr;
    QGroupBox *sizeFrame = nullptr;
    std::array<QRadioButton *, imaging::kFileTypeCount> formatButtons{};
    std::array<QRadioButton *, convert::kSizeChoiceCount> sizeButtons{};
    QLineEdit *customWidth = nullptr;
    QLineEdit *customHeight = nullptr;
    std::array<QCheckBox *, imaging::kFileTypeCount> typeBoxes{};
    QPushButton *convertButton = nullptr;
    QPushButton *loadNormalButton = nullptr;
    QPushButton *loadHighlightsButton = nullptr;
    QPushButton *loadSelectedButton = nullptr;
    QPushButton *generateButton = nullptr;
    PictureBox *backPlate = nullptr;
    PictureBox *highlightPlate = nullptr;
    PictureBox *selectedPlate = nullptr;
    QButtonGroup *formatGroup = nullptr; // ids: the file types
    QButtonGroup *sizeGroup = nullptr;   // ids: the size choices
};
Controls buildControls(QWidget *client);

// The tab control's new size in twips for the window's outer size in twips:
// width W - 100 when W > 5, height H - 700 when H > 5. A dimension keeps its
// current value when the test fails or the new value would not be positive.
QSizeF tabSizeForWindow(QSizeF outer, QSizeF current);

} // namespace app
