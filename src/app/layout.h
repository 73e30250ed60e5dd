#pragma once

#include <QColor>
#include <QHash>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <span>

class QButtonGroup;
class QWidget;

// The window's controls as data: one row per control, turned into widgets by
// one loop (buildControls) and read by the keyboard order and the tests alike.
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

inline const QColor kLightGrey{192, 192, 192};
inline const QColor kGrey{128, 128, 128};

QColor inkColour(Ink ink);

// The widgets of the table, made under `client` (the window's client area,
// given the layout's grey ground) and owned by it: every row that is a widget, with its objectName, its
// rectangle in its container, its caption and initial state, and the
// keyboard order of the table. The tab control holds the two pages; the
// buttons of Option1 and of Option2 form one group each, their ids the
// element indexes.
struct Controls {
    QHash<QString, QWidget *> byName; // by objectName
    QButtonGroup *option1 = nullptr;
    QButtonGroup *option2 = nullptr;
};
Controls buildControls(QWidget *client);

// The tab control's new size in twips for the window's outer size in twips:
// width W - 100 when W > 5, height H - 700 when H > 5. A dimension keeps its
// current value when the test fails or the new value would not be positive.
QSizeF tabSizeForWindow(QSizeF outer, QSizeF current);

} // namespace app
