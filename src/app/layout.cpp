#include "layout.h"

#include "drivelist.h"
#include "filelist.h"
#include "folderlist.h"
#include "picturebox.h"
#include "spoken.h"
#include "tabcontrol.h"

#include "imaging/formats.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <qdrawutil.h>
#include <algorithm>
#include <array>
#include <cmath>

namespace app {

namespace {

using R = Role;
using K = Kind;
using C = Container;

constexpr Ink D = Ink::Default;

constexpr std::array kControls{
    // In the window itself.
    Control{R::Pages, "SSTab1", -1, K::TabControl, C::Window, 0, 0, 6915, 5340, 1, nullptr, true, D},
    // Below the client area on purpose: a scratch list nobody should see.
    Control{R::SortingList, "List2", -1, K::ListBox, C::Window, 1335, 7725, 1590, 1425, 45, nullptr, true, D},
    Control{R::FileDialog, "CommonDialog1", -1, K::FileDialog, C::Window, 0, 0, 0, 0, -1, nullptr, true, D},
    Control{R::PlateReader, "ImageMan1", -1, K::ImagingComponent, C::Window, 3735, 7365, 1455, 1215, 0, nullptr, false, D},

    // "Batch Convert": destination and output options on the left, source on the right.
    Control{R::Heading, "Label1", 0, K::Label, C::BatchPage, 1440, 420, 1455, 255, 41, "DESTINATION", true, D},
    Control{R::Heading, "Label1", 1, K::Label, C::BatchPage, 4200, 420, 1455, 255, 40, "SOURCE", true, D},
    Control{R::PageDivider, "Line1", -1, K::Line, C::BatchPage, 3240, 420, 0, 4020, -1, nullptr, true, Ink::White},
    Control{R::DestinationDrives, "Drive2", -1, K::DriveList, C::BatchPage, 960, 660, 2055, 315, 12, nullptr, true, D},
    Control{R::DestinationFolders, "Dir2", -1, K::FolderList, C::BatchPage, 960, 1020, 2055, 765, 11, nullptr, true, D},
    Control{R::SizeFrame, "Frame1", -1, K::Frame, C::BatchPage, 840, 1740, 2295, 855, 3, nullptr, true, D},
    Control{R::SizeButton, "Option2", 0, K::OptionButton, C::SizeFrame, 30, 105, 975, 255, 7, "1 to 1", true, D},
    Control{R::SizeButton, "Option2", 4, K::OptionButton, C::SizeFrame, 1110, 105, 975, 255, 9, "800x600", false, D},
    Control{R::SizeButton, "Option2", 3, K::OptionButton, C::SizeFrame, 30, 345, 975, 255, 10, "640x480", false, D},
    Control{R::SizeButton, "Option2", 5, K::OptionButton, C::SizeFrame, 1110, 345, 1095, 255, 8, "1024x768", false, D},
    Control{R::SizeButton, "Option2", 1, K::OptionButton, C::SizeFrame, 30, 585, 855, 255, 6, "Custom", false, D},
    Control{R::CustomWidth, "Text1", 0, K::TextBox, C::SizeFrame, 990, 585, 375, 285, 5, "10", true, D},
    Control{R::CustomHeight, "Text1", 1, K::TextBox, C::SizeFrame, 1470, 585, 375, 285, 4, "10", true, D},
    // Three columns of four, filled column by column, in file-type order.
    Control{R::FormatButton, "Option1", 0, K::OptionButton, C::BatchPage, 840, 2820, 975, 255, 36, imaging::kFormats[0].caption, true, D},
    Control{R::FormatButton, "Option1", 1, K::OptionButton, C::BatchPage, 840, 3060, 975, 255, 35, imaging::kFormats[1].caption, false, D},
    Control{R::FormatButton, "Option1", 2, K::OptionButton, C::BatchPage, 840, 3300, 975, 255, 34, imaging::kFormats[2].caption, false, D},
    Control{R::FormatButton, "Option1", 3, K::OptionButton, C::BatchPage, 840, 3540, 975, 255, 33, imaging::kFormats[3].caption, false, D},
    Control{R::FormatButton, "Option1", 4, K::OptionButton, C::BatchPage, 1560, 2820, 975, 255, 32, imaging::kFormats[4].caption, false, D},
    Control{R::FormatButton, "Option1", 5, K::OptionButton, C::BatchPage, 1560, 3075, 975, 255, 31, imaging::kFormats[5].caption, false, D},
    Control{R::FormatButton, "Option1", 6, K::OptionButton, C::BatchPage, 1560, 3300, 975, 255, 30, imaging::kFormats[6].caption, false, D},
    Control{R::FormatButton, "Option1", 7, K::OptionButton, C::BatchPage, 1560, 3540, 975, 255, 29, imaging::kFormats[7].caption, false, D},
    Control{R::FormatButton, "Option1", 8, K::OptionButton, C::BatchPage, 2280, 2820, 735, 255, 28, imaging::kFormats[8].caption, false, D},
    Control{R::FormatButton, "Option1", 9, K::OptionButton, C::BatchPage, 2280, 3060, 735, 255, 27, imaging::kFormats[9].caption, false, D},
    Control{R::FormatButton, "Option1", 10, K::OptionButton, C::BatchPage, 2280, 3300, 735, 255, 26, imaging::kFormats[10].caption, false, D},
    Control{R::FormatButton, "Option1", 11, K::OptionButton, C::BatchPage, 2280, 3540, 735, 255, 25, imaging::kFormats[11].caption, false, D},
    Control{R::ConvertButton, "Command1", -1, K::Button, C::BatchPage, 1080, 3960, 1695, 255, 2, "BATCH CONVERT", true, D},
    Control{R::SourceDrives, "Drive1", -1, K::DriveList, C::BatchPage, 3600, 660, 2055, 315, 39, nullptr, true, D},
    Control{R::SourceFolders, "Dir1", -1, K::FolderList, C::BatchPage, 3600, 1020, 2055, 765, 38, nullptr, true, D},
    Control{R::SourceFiles, "File1", -1, K::FileList, C::BatchPage, 3600, 1860, 2055, 870, 37, nullptr, true, D},
    // All unticked here: start-up ticks them from the stored pattern.
    Control{R::TypeBox, "Check1", 0, K::CheckBox, C::BatchPage, 3600, 2820, 735, 195, 24, imaging::kFormats[0].caption, false, D},
    Control{R::TypeBox, "Check1", 1, K::CheckBox, C::BatchPage, 3600, 3060, 735, 195, 23, imaging::kFormats[1].caption, false, D},
    Control{R::TypeBox, "Check1", 2, K::CheckBox, C::BatchPage, 3600, 3300, 735, 195, 22, imaging::kFormats[2].caption, false, D},
    Control{R::TypeBox, "Check1", 3, K::CheckBox, C::BatchPage, 3600, 3540, 735, 195, 21, imaging::kFormats[3].caption, false, D},
    Control{R::TypeBox, "Check1", 4, K::CheckBox, C::BatchPage, 4320, 2820, 735, 195, 20, imaging::kFormats[4].caption, false, D},
    Control{R::TypeBox, "Check1", 5, K::CheckBox, C::BatchPage, 4320, 3060, 735, 195, 19, imaging::kFormats[5].caption, false, D},
    Control{R::TypeBox, "Check1", 6, K::CheckBox, C::BatchPage, 4320, 3300, 735, 195, 18, imaging::kFormats[6].caption, false, D},
    Control{R::TypeBox, "Check1", 7, K::CheckBox, C::BatchPage, 4320, 3540, 735, 195, 17, imaging::kFormats[7].caption, false, D},
    Control{R::TypeBox, "Check1", 8, K::CheckBox, C::BatchPage, 5040, 2820, 735, 195, 16, imaging::kFormats[8].caption, false, D},
    Control{R::TypeBox, "Check1", 9, K::CheckBox, C::BatchPage, 5040, 3060, 735, 195, 15, imaging::kFormats[9].caption, false, D},
    Control{R::TypeBox, "Check1", 10, K::CheckBox, C::BatchPage, 5040, 3300, 735, 195, 14, imaging::kFormats[10].caption, false, D},
    Control{R::TypeBox, "Check1", 11, K::CheckBox, C::BatchPage, 5040, 3540, 735, 195, 13, imaging::kFormats[11].caption, false, D},

    // "Parse Clips".
    Control{R::CutLineList, "List1", -1, K::ListBox, C::ParsePage, 420, 420, 1830, 645, 44, nullptr, true, Ink::Grey},
    Control{R::GenerateButton, "Command5", -1, K::Button, C::ParsePage, 2685, 585, 4050, 270, 50, "Generate JPGS and Scripts", true, D},
    Control{R::LoadNormalButton, "Command2", -1, K::Button, C::ParsePage, 390, 1095, 1800, 255, 43, "Load Normal", true, D},
    Control{R::LoadHighlightsButton, "Command3", -1, K::Button, C::ParsePage, 2685, 1095, 1800, 255, 47, "Load Highlights", true, D},
    Control{R::LoadSelectedButton, "Command4", -1, K::Button, C::ParsePage, 4905, 1095, 1800, 255, 48, "Load Selected Now", true, D},
    Control{R::BackPlate, "Picture1", -1, K::PictureBox, C::ParsePage, 330, 1395, 1890, 2685, 42, nullptr, true, D},
    Control{R::HighlightPlate, "Picture2", -1, K::PictureBox, C::ParsePage, 2595, 1395, 1890, 2685, 46, nullptr, true, D},
    Control{R::SelectedPlate, "Picture3", -1, K::PictureBox, C::ParsePage, 4905, 1395, 1890, 2685, 49, nullptr, true, D},
    Control{R::PlateDivider, "Line2", 1, K::Line, C::ParsePage, 2415, 1665, 0, 1905, -1, nullptr, true, Ink::Black},
    Control{R::PlateDivider, "Line2", 0, K::Line, C::ParsePage, 4695, 1620, 0, 1905, -1, nullptr, true, Ink::Black},
    Control{R::PieceWriter, "ImageMan3", -1, K::ImagingComponent, C::ParsePage, 5850, 3945, 1455, 3000, 51, nullptr, false, D},
};

} // namespace

std::span<const Control> controls()
{
    return kControls;
}

QString windowObjectName()
{
    return QStringLiteral("Form1");
}

const MenuEntries &menuEntries()
{
    static constexpr MenuEntries kMenus{
        {"filex", "&File"}, {"exit", "E&xit"}, {"helzp", "&Help"}, {"ffff", "&Help Web Page"}, {"about", "&About"}};
    return kMenus;
}

QString objectName(const Control &control)
{
    QString name = QLatin1String(control.name);
    if (control.index >= 0)
        name += QLatin1Char('_') + QString::number(control.index);
    return name;
}

int twipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QRect pixelRect(const Control &control)
{
    return QRect(twipsToPixels(control.left), twipsToPixels(control.top),
                 twipsToPixels(control.width), twipsToPixels(control.height));
}

QList<const Control *> keyboardOrder()
{
    QList<const Control *> ordered;
    for (const Control &control : kControls) {
        if (control.order >= 0)
            ordered.append(&control);
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const Control *a, const Control *b) { return a->order < b->order; });
    return ordered;
}

QColor inkColour(Ink ink)
{
    switch (ink) {
    case Ink::White:
        return Qt::white;
    case Ink::Grey:
        return kGrey;
    case Ink::Black:
    case Ink::Default:
        break;
    }
    return Qt::black;
}

namespace {

const QString kBatchCaption = QStringLiteral("Batch Convert");
const QString kParseCaption = QStringLiteral("Parse Clips");

// What QLineEdit keeps between its contents and its text on each side.
constexpr int kLineEditMargin = 2;

// Each group of option buttons is one Tab stop, its selected button, and the
// arrow keys move within the group (QAbstractButton). Left alone, Qt makes
// the group's last focused button its stop, selected or not.
class SelectedTabStop : public QObject
{
public:
    explicit SelectedTabStop(QButtonGroup *group)
        : QObject(group)
        , m_group(group)
    {
        connect(group, &QButtonGroup::buttonToggled, this, &SelectedTabStop::fix);
        for (QAbstractButton *button : group->buttons())
            button->installEventFilter(this);
        fix();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // A button focused without being selected (a press taken back) took
        // the stop; it is given back as the focus leaves.
        if (event->type() == QEvent::FocusOut)
            fix();
        return false;
    }

private:
    void fix()
    {
        for (QAbstractButton *button : m_group->buttons())
            button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }

    QButtonGroup *m_group;
};

// A frame without caption: an etched rectangle on the window's ground. The
// style's group box shades its inside a little darker than the ground.
class Frame : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        qDrawShadeRect(&painter, rect(), palette(), true, 1, 0);
    }
};

void paintGround(QWidget *widget, const QColor &ground)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ground);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The layout's size buttons are the elements 0, 1, 3, 4 and 5, in the order
// of the size choices.
int sizeChoiceOfElement(int element)
{
    return element < 2 ? element : element - 1;
}

QWidget *makeWidget(const Control &row, QWidget *parent, Controls &made)
{
    const QString caption = row.caption ? QString::fromUtf8(row.caption) : QString();
    switch (row.kind) {
    case Kind::TabControl: {
        auto *tabs = new TabControl(parent);
        for (const QString &title : {kBatchCaption, kParseCaption}) {
            auto *sheet = new QWidget;
            paintGround(sheet, kLightGrey);
            tabs->addTab(sheet, title);
        }
        tabs->setCurrentIndex(0);
        tabs->widget(0)->setAccessibleName(kBatchCaption);
        tabs->widget(1)->setAccessibleName(kParseCaption);
        return tabs;
    }
    case Kind::ListBox: {
        auto *list = new QListWidget(parent);
        if (row.ink != Ink::Default) {
            QPalette colours = list->palette();
            colours.setColor(QPalette::Base, kLightGrey);
            colours.setColor(QPalette::Active, QPalette::Text, inkColour(row.ink));
            colours.setColor(QPalette::Inactive, QPalette::Text, inkColour(row.ink));
            list->setPalette(colours);
        }
        return list;
    }
    case Kind::Label:
        return new QLabel(caption, parent);
    case Kind::Line: {
        auto *line = new QWidget(parent);
        paintGround(line, inkColour(row.ink));
        return line;
    }
    case Kind::DriveList:
        return new DriveList(parent);
    case Kind::FolderList:
        return new FolderList(parent);
    case Kind::FileList:
        return new FileList(parent);
    case Kind::Frame:
        return new Frame(parent);
    case Kind::OptionButton: {
        auto *option = new QRadioButton(caption, parent);
        if (row.role == Role::SizeButton)
            made.sizeGroup->addButton(option, sizeChoiceOfElement(row.index));
        else
            made.formatGroup->addButton(option, row.index);
        option->setChecked(row.on);
        return option;
    }
    case Kind::CheckBox: {
        auto *box = new QCheckBox(caption, parent);
        box->setChecked(row.on);
        return box;
    }
    case Kind::Button: {
        auto *button = new QPushButton(caption, parent);
        button->setEnabled(row.on);
        return button;
    }
    case Kind::TextBox: {
        // A line edit keeps two pixels a side between its contents and its
        // text, and scrolls the text unless its width and a pixel for the
        // cursor fit in between. Without the frame and with the text moved
        // out over those margins, four digits fit the layout's narrow box
        // unscrolled; its white ground still marks the box, and the font
        // stays the window's.
        auto *edit = new QLineEdit(caption, parent);
        edit->setFrame(false);
        edit->setTextMargins(-kLineEditMargin - 1, 0, -kLineEditMargin, 0);
        return edit;
    }
    case Kind::PictureBox:
        return new PictureBox(parent);
    case Kind::ImagingComponent:
    case Kind::FileDialog:
        break;
    }
    return nullptr;
}

// Files the widget made for `row` under its role.
void keep(Controls &made, const Control &row, QWidget *widget)
{
    const auto as = [widget]<typename T>(T *&slot) { slot = static_cast<T *>(widget); };
    const std::size_t index = std::size_t(row.index);
    switch (row.role) {
    case Role::Pages: as(made.pages); break;
    case Role::CutLineList: as(made.cutLineList); break;
    case Role::SortingList: as(made.sortingList); break;
    case Role::Heading: as(made.headings.at(index)); break;
    case Role::SourceDrives: as(made.sourceDrives); break;
    case Role::DestinationDrives: as(made.destinationDrives); break;
    case Role::SourceFolders: as(made.sourceFolders); break;
    case Role::DestinationFolders: as(made.destinationFolders); break;
    case Role::SourceFiles: as(made.sourceFiles); break;
    case Role::SizeFrame: as(made.sizeFrame); break;
    case Role::FormatButton: as(made.formatButtons.at(index)); break;
    case Role::SizeButton: as(made.sizeButtons.at(std::size_t(sizeChoiceOfElement(row.index)))); break;
    case Role::CustomWidth: as(made.customWidth); break;
    case Role::CustomHeight: as(made.customHeight); break;
    case Role::TypeBox: as(made.typeBoxes.at(index)); break;
    case Role::ConvertButton: as(made.convertButton); break;
    case Role::LoadNormalButton: as(made.loadNormalButton); break;
    case Role::LoadHighlightsButton: as(made.loadHighlightsButton); break;
    case Role::LoadSelectedButton: as(made.loadSelectedButton); break;
    case Role::GenerateButton: as(made.generateButton); break;
    case Role::BackPlate: as(made.backPlate); break;
    case Role::HighlightPlate: as(made.highlightPlate); break;
    case Role::SelectedPlate: as(made.selectedPlate); break;
    case Role::FileDialog:
    case Role::PlateReader:
    case Role::PieceWriter:
    case Role::PageDivider:
    case Role::PlateDivider:
        break;
    }
}

} // namespace

Controls buildControls(QWidget *client)
{
    paintGround(client, kLightGrey);
    Controls made;
    made.formatGroup = new QButtonGroup(client);
    made.sizeGroup = new QButtonGroup(client);
    QHash<const Control *, QWidget *> widgets;
    // The table lists each container before the controls it holds.
    TabControl *tabs = nullptr;
    QWidget *frame = nullptr;
    for (const Control &row : kControls) {
        const bool onPage = row.container == Container::BatchPage || row.container == Container::ParsePage;
        const int page = row.container == Container::BatchPage ? 0 : 1;
        QWidget *parent = onPage ? tabs->widget(page) : row.container == Container::SizeFrame ? frame : client;
        QWidget *widget = makeWidget(row, parent, made);
        if (!widget)
            continue;
        widget->setObjectName(objectName(row));
        speak(widget, row);
        QRect rect = pixelRect(row);
        if (row.kind == Kind::Line)
            rect.setSize(rect.size().expandedTo(QSize(1, 1)));
        if (onPage)
            tabs->place(page, widget, rect);
        else
            widget->setGeometry(rect);
        if (row.kind == Kind::TabControl)
            tabs = static_cast<TabControl *>(widget);
        else if (row.kind == Kind::Frame)
            frame = widget;
        keep(made, row, widget);
        widgets.insert(&row, widget);
    }

    // The scratch list lies below the client area so that nobody sees it; a
    // taller window would show it, and Tab would reach it.
    made.sortingList->hide();
    new SelectedTabStop(made.formatGroup);
    new SelectedTabStop(made.sizeGroup);

    QWidget *previous = nullptr;
    for (const Control *row : keyboardOrder()) {
        QWidget *widget = widgets.value(row);
        if (!widget)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
    return made;
}

QSizeF tabSizeForWindow(QSizeF outer, QSizeF current)
{
    QSizeF size = current;
    if (outer.width() > 5 && outer.width() - 100 > 0)
        size.setWidth(outer.width() - 100);
    if (outer.height() > 5 && outer.height() - 700 > 0)
        size.setHeight(outer.height() - 700);
    return size;
}

} // namespace app
