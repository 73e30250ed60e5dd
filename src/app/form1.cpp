#include "form1.h"

#include "artwork.h"
#include "drivelist.h"
#include "droptarget.h"
#include "filelist.h"
#include "folderaccess.h"
#include "folderlist.h"
#include "layout.h"
#include "picturebox.h"
#include "tabcontrol.h"
#include "typefilter.h"

#include "common/maker.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>

using app::Container;
using app::Kind;

namespace {

const QString kBatchCaption = QStringLiteral("Batch Convert");
const QString kParseCaption = QStringLiteral("Parse Clips");

// What QLineEdit keeps between its contents and its text on each side.
constexpr int kLineEditMargin = 2;

QString programTitle()
{
    return QLatin1String(common::kProgramTitle);
}

QString helpAddress()
{
    return QLatin1String(common::kMakerAddress) + QStringLiteral("/Plenwick/help.htm");
}

QString makerNotice()
{
    return QStringLiteral("Kestrune, copyright 2026 Tarvix Graphics. All rights reserved.");
}

void paintGround(QWidget *widget, const QColor &ground)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ground);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A folder that can be listed to start from: the current one when possible.
QString startFolder()
{
    for (const QString &candidate : {QDir::currentPath(), QDir::homePath(), QDir::rootPath()}) {
        if (app::folderFault(candidate).isEmpty())
            return candidate;
    }
    return QDir::rootPath();
}

} // namespace

Form1::Form1(common::Dialogs &dialogs, common::Clipboard &clipboard, common::UrlOpener &opener,
             QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_clipboard(clipboard)
    , m_opener(opener)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarvix Graphics Utilities - ")
                   + QLatin1String(common::kMakerAddress));
    setWindowIcon(QIcon(QPixmap::fromImage(app::programIcon())));

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, app::kLightGrey);
    palette.setColor(QPalette::Button, app::kLightGrey);
    // The layout's ink is for enabled controls. Disabled ones keep a grey
    // of their own: the style's (a light grey) would vanish on this ground.
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, Qt::black);
        palette.setColor(QPalette::Inactive, role, Qt::black);
        palette.setColor(QPalette::Disabled, role, app::kGrey);
    }
    setPalette(palette);
    // The layout was drawn for a small, narrow dialog font; larger defaults would
    // cut off captions such as "1024x768".
    QFont small = font();
    if (small.pointSizeF() > 7.5)
        small.setPointSizeF(7.5);
    setFont(small);

    buildControls();
    buildMenus();
    openStartFolders();
    connectHandlers();
    connectConversionPage();

    resize(app::twipsToPixels(app::kClientWidth),
           app::twipsToPixels(app::kClientHeight) + menuBar()->sizeHint().height());
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    paintGround(client, app::kLightGrey);
    setCentralWidget(client);

    app::TabControl *tabs = nullptr;
    QGroupBox *frame = nullptr;
    m_option1Group = new QButtonGroup(this);
    m_option2Group = new QButtonGroup(this);

    for (const app::Control &row : app::controls()) {
        QWidget *parent = client;
        int page = -1;
        if (row.container == Container::BatchPage || row.container == Container::ParsePage) {
            page = row.container == Container::BatchPage ? 0 : 1;
            parent = tabs->widget(page);
        } else if (row.container == Container::Frame1) {
            parent = frame;
        }

        QWidget *widget = nullptr;
        const QString caption = row.caption ? QString::fromUtf8(row.caption) : QString();
        switch (row.kind) {
        case Kind::TabControl: {
            tabs = new app::TabControl(parent);
            for (const QString &title : {kBatchCaption, kParseCaption}) {
                auto *sheet = new QWidget;
                paintGround(sheet, app::kLightGrey);
                tabs->addTab(sheet, title);
            }
            tabs->setCurrentIndex(0);
            widget = tabs;
            break;
        }
        case Kind::ListBox: {
            auto *list = new QListWidget(parent);
            QPalette colours = list->palette();
            if (row.ink != app::Ink::Default) {
                colours.setColor(QPalette::Base, app::kLightGrey);
                colours.setColor(QPalette::Active, QPalette::Text, app::inkColour(row.ink));
                colours.setColor(QPalette::Inactive, QPalette::Text, app::inkColour(row.ink));
            }
            list->setPalette(colours);
            widget = list;
            break;
        }
        case Kind::Label:
            widget = new QLabel(caption, parent);
            break;
        case Kind::Line:
            widget = new QWidget(parent);
            paintGround(widget, app::inkColour(row.ink));
            break;
        case Kind::DriveList:
            widget = new app::DriveList(parent);
            break;
        case Kind::FolderList:
            widget = new app::FolderList(parent);
            break;
        case Kind::FileList:
            widget = new app::FileList(parent);
            break;
        case Kind::Frame:
            frame = new QGroupBox(parent);
            widget = frame;
            break;
        case Kind::OptionButton: {
            auto *option = new QRadioButton(caption, parent);
            (row.container == Container::Frame1 ? m_option2Group : m_option1Group)
                ->addButton(option, row.index);
            option->setChecked(row.on);
            widget = option;
            break;
        }
        case Kind::CheckBox: {
            auto *box = new QCheckBox(caption, parent);
            box->setChecked(row.on);
            widget = box;
            break;
        }
        case Kind::Button:
            widget = new QPushButton(caption, parent);
            widget->setEnabled(row.on);
            break;
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
            widget = edit;
            break;
        }
        case Kind::PictureBox:
            widget = new app::PictureBox(parent);
            break;
        case Kind::ImagingComponent:
        case Kind::FileDialog:
            break;
        }
        if (!widget)
            continue;

        const QString name = app::objectName(row);
        widget->setObjectName(name);
        QRect rect = app::pixelRect(row);
        if (row.kind == Kind::Line)
            rect.setSize(rect.size().expandedTo(QSize(1, 1)));
        if (page >= 0)
            tabs->place(page, widget, rect);
        else
            widget->setGeometry(rect);
        m_controls.insert(name, widget);
    }

    Picture1()->setPicture(app::samplePlate(0));
    Picture2()->setPicture(app::samplePlate(1));
    Picture3()->setPicture(app::samplePlate(2));

    QWidget *previous = nullptr;
    for (const app::Control *row : app::keyboardOrder()) {
        QWidget *widget = m_controls.value(app::objectName(*row));
        if (!widget)
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

void Form1::buildMenus()
{
    QMenu *filex = menuBar()->addMenu(QStringLiteral("&File"));
    filex->setObjectName(QStringLiteral("filex"));
    QAction *exit = filex->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("exit"));
    connect(exit, &QAction::triggered, this, &Form1::exit_Click);

    QMenu *helzp = menuBar()->addMenu(QStringLiteral("&Help"));
    helzp->setObjectName(QStringLiteral("helzp"));
    QAction *ffff = helzp->addAction(QStringLiteral("&Help Web Page"));
    ffff->setObjectName(QStringLiteral("ffff"));
    connect(ffff, &QAction::triggered, this, &Form1::ffff_Click);
    QAction *about = helzp->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("about"));
    connect(about, &QAction::triggered, this, &Form1::about_Click);
}

// The lists open on the current folder before any handler is connected, so
// creating the window raises nothing.
void Form1::openStartFolders()
{
    const QString folder = startFolder();
    const QStringList drives = app::DriveList::mountedDrives();
    for (app::DriveList *list : {Drive1(), Drive2()}) {
        list->setDrives(drives);
        list->showDriveOf(folder);
    }
    Dir1()->setPath(folder);
    Dir2()->setPath(folder);
    File1()->setPath(folder);
}

void Form1::connectHandlers()
{
    connect(Drive1(), &app::DriveList::changed, this, &Form1::Drive1_Change);
    connect(Drive2(), &app::DriveList::changed, this, &Form1::Drive2_Change);
    connect(Dir1(), &app::FolderList::changed, this, &Form1::Dir1_Change);
    connect(File1(), &app::FileList::pathChanged, this, &Form1::File1_PathChange);
    connect(File1(), &app::FileList::patternChanged, this, &Form1::File1_PatternChange);
    for (int i = 0; i < common::kFileTypeCount; ++i)
        connect(Check1(i), &QCheckBox::toggled, this, [this, i] { Check1_Click(i); });

    // Opening a folder on another volume moves the drive list along, quietly,
    // so the drive shown is always the one holding the folder shown.
    connect(Dir2(), &app::FolderList::changed, this,
            [this] { Drive2()->showDriveOf(Dir2()->path()); });
    connect(new app::DropTarget(Dir1(), app::DropKind::Folder), &app::DropTarget::dropped, this,
            &Form1::Dir1_DragDrop);
    connect(new app::DropTarget(File1(), app::DropKind::Folder), &app::DropTarget::dropped, this,
            &Form1::File1_DragDrop);
    connect(new app::DropTarget(Dir2(), app::DropKind::Folder), &app::DropTarget::dropped, this,
            &Form1::Dir2_DragDrop);
    connectRolloverHandlers();
    for (app::FolderList *folders : {Dir1(), Dir2()}) {
        connect(folders, &app::FolderList::openFailed, this,
                [this](const QString &path, const QString &reason) {
                    warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(path, reason));
                });
    }
}

template<typename T>
T *Form1::control(const QString &name) const
{
    return qobject_cast<T *>(m_controls.value(name));
}

template<typename T>
T *Form1::element(const char *name, int index) const
{
    return control<T>(QLatin1String(name) + QLatin1Char('_') + QString::number(index));
}

app::TabControl *Form1::SSTab1() const { return control<app::TabControl>(QStringLiteral("SSTab1")); }
QListWidget *Form1::List1() const { return control<QListWidget>(QStringLiteral("List1")); }
QListWidget *Form1::List2() const { return control<QListWidget>(QStringLiteral("List2")); }
QLabel *Form1::Label1(int index) const { return element<QLabel>("Label1", index); }
app::DriveList *Form1::Drive1() const { return control<app::DriveList>(QStringLiteral("Drive1")); }
app::DriveList *Form1::Drive2() const { return control<app::DriveList>(QStringLiteral("Drive2")); }
app::FolderList *Form1::Dir1() const { return control<app::FolderList>(QStringLiteral("Dir1")); }
app::FolderList *Form1::Dir2() const { return control<app::FolderList>(QStringLiteral("Dir2")); }
app::FileList *Form1::File1() const { return control<app::FileList>(QStringLiteral("File1")); }
QGroupBox *Form1::Frame1() const { return control<QGroupBox>(QStringLiteral("Frame1")); }
QRadioButton *Form1::Option1(int index) const { return element<QRadioButton>("Option1", index); }
QRadioButton *Form1::Option2(int index) const { return element<QRadioButton>("Option2", index); }
QLineEdit *Form1::Text1(int index) const { return element<QLineEdit>("Text1", index); }
QCheckBox *Form1::Check1(int index) const { return element<QCheckBox>("Check1", index); }
QPushButton *Form1::Command1() const { return control<QPushButton>(QStringLiteral("Command1")); }
QPushButton *Form1::Command2() const { return control<QPushButton>(QStringLiteral("Command2")); }
QPushButton *Form1::Command3() const { return control<QPushButton>(QStringLiteral("Command3")); }
QPushButton *Form1::Command4() const { return control<QPushButton>(QStringLiteral("Command4")); }
QPushButton *Form1::Command5() const { return control<QPushButton>(QStringLiteral("Command5")); }
app::PictureBox *Form1::Picture1() const { return control<app::PictureBox>(QStringLiteral("Picture1")); }
app::PictureBox *Form1::Picture2() const { return control<app::PictureBox>(QStringLiteral("Picture2")); }
app::PictureBox *Form1::Picture3() const { return control<app::PictureBox>(QStringLiteral("Picture3")); }

void Form1::warn(const QString &text)
{
    m_dialogs.messageBox(text, programTitle(), common::Dialogs::Icon::Warning);
}

void Form1::Form_Load()
{
    m_typepattern = app::readStoredTypePattern();
    show();
    m_restoring = true;
    const app::TypeTicks ticks = app::restoredTicks(m_typepattern);
    for (int i = 0; i < common::kFileTypeCount; ++i) {
        if (ticks[i])
            Check1(i)->setChecked(true);
    }
    m_restoring = false;
    File1()->setPattern(m_typepattern);
    m_outext = QStringLiteral("jpg");
    Option1(0)->setChecked(true);
    move(pos().x(), 0);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize()
{
    app::TabControl *tabs = SSTab1();
    if (!tabs)
        return;
    const double twips = app::kTwipsPerPixel;
    const QSizeF outer = QSizeF(frameGeometry().size()) * twips;
    const QSizeF current = QSizeF(tabs->size()) * twips;
    const QSizeF wanted = app::tabSizeForWindow(outer, current);
    tabs->resize(qMax(1, app::twipsToPixels(wanted.width())),
                 qMax(1, app::twipsToPixels(wanted.height())));
}

void Form1::exit_Click()
{
    close();
    QCoreApplication::exit(0);
}

void Form1::ffff_Click()
{
    const QString address = helpAddress();
    if (!m_opener.open(QUrl(address)))
        warn(QStringLiteral("No web browser could be started for the help page %1.").arg(address));
}

void Form1::about_Click()
{
    m_dialogs.messageBox(makerNotice(), programTitle(), common::Dialogs::Icon::Information);
}

void Form1::driveFault(app::DriveList *drives, app::FolderList *folders)
{
    warn(QStringLiteral("The drive %1 cannot be read: %2.").arg(drives->drive(), folders->errorString()));
    drives->showDriveOf(folders->path());
}

void Form1::Drive1_Change()
{
    if (!Dir1()->setPath(Drive1()->drive()))
        driveFault(Drive1(), Dir1());
}

void Form1::Dir1_Change()
{
    Drive1()->showDriveOf(Dir1()->path());
    if (!File1()->setPath(Dir1()->path())) {
        warn(QStringLiteral("The files of the folder %1 cannot be listed: %2.")
                 .arg(File1()->path(), File1()->errorString()));
    }
}

void Form1::Dir1_DragDrop(const QString &folder)
{
    if (!Dir1()->setPath(folder))
        warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(folder, Dir1()->errorString()));
}

void Form1::File1_DragDrop(const QString &folder)
{
    Dir1_DragDrop(folder);
}

void Form1::Dir2_DragDrop(const QString &folder)
{
    if (!Dir2()->setPath(folder))
        warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(folder, Dir2()->errorString()));
}

void Form1::Drive2_Change()
{
    if (!Dir2()->setPath(Drive2()->drive()))
        driveFault(Drive2(), Dir2());
}

void Form1::File1_PathChange()
{
    Command1()->setEnabled(File1()->count() > 0);
}

void Form1::File1_PatternChange()
{
    Command1()->setEnabled(File1()->count() > 0);
}

void Form1::Check1_Click(int)
{
    if (m_restoring)
        return;
    app::TypeTicks ticks{};
    for (int i = 0; i < common::kFileTypeCount; ++i)
        ticks[i] = Check1(i)->isChecked();
    m_typepattern = convert::buildTypePattern(ticks);
    File1()->setPattern(m_typepattern);
    QString storeFile;
    if (!app::storeTypePattern(m_typepattern, &storeFile))
        warn(QStringLiteral("The file-type choice could not be stored in %1.").arg(storeFile));
}
