#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <span>

// The window's controls as data: one row per control, turned into widgets by
// one loop in Form1 and read by the keyboard order and the tests alike.
namespace app {

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
    ImagingComponent, // held by Form1 as an object, never a widget
    FileDialog,       // shown on demand through common::Dialogs
};

// Where a control's Left and Top are measured from. Page controls are
// measured from the tab control's own top-left corner, tab row included.
enum class Container { Window, BatchPage, ParsePage, Frame1 };

enum class Ink { Default, White, Black, Grey };

struct Control {
    const char *name;    // "Check1"
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

// "Command1", or "Check1_3" for the element 3 of Check1.
QString objectName(const Control &control);
// The control's rectangle in pixels, relative to its container.
QRect pixelRect(const Control &control);
int twipsToPixels(double twips);

// The controls that have a keyboard order, first to last.
QList<const Control *> keyboardOrder();

// The row of a control; nullptr when the layout has none of that name.
const Control *findControl(const char *name, int index = -1);

inline const QColor kLightGrey{192, 192, 192};
inline const QColor kGrey{128, 128, 128};

QColor inkColour(Ink ink);

} // namespace app
