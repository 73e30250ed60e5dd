// The window itself: its controls, menus, start-up and size. The pages'
// handlers are in form1_convert.cpp and form1_rollover.cpp.

#include "form1.h"

#include "artwork.h"
#include "drivelist.h"
#include "filelist.h"
#include "folderaccess.h"
#include "folderlist.h"
#include "layout.h"
#include "picturebox.h"
#include "tabcontrol.h"

#include "common/maker.h"
#include "convert/typepattern.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace app {

namespace {

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
    return QStringLiteral("%1, copyright 2026 %2. All rights reserved.")
        .arg(programTitle(), QLatin1String(common::kMakerName));
}

// A folder that can be listed to start from: the current one when possible.
QString startFolder()
{
    for (const QString &candidate : {convert::absolutePath(QStringLiteral(".")), QDir::homePath(), QDir::rootPath()}) {
        if (folderFault(candidate).isEmpty())
            return candidate;
    }
    return QDir::rootPath();
}

template<typename T>
T *control(const Controls &controls, const QString &name)
{
    auto *found = qobject_cast<T *>(controls.byName.value(name));
    Q_ASSERT_X(found, "Form1", qPrintable(name));
    return found;
}

template<typename T, std::size_t N>
void elements(const Controls &controls, const char *name, std::array<T *, N> &out)
{
    for (int i = 0; i < int(N); ++i)
        out[i] = qobject_cast<T *>(controls.byName.value(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i)));
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
    setWindowTitle(QStringLiteral("%1 Utilities - %2")
                       .arg(QLatin1String(common::kMakerName), QLatin1String(common::kMakerAddress)));
    setWindowIcon(QIcon(QPixmap::fromImage(programIcon())));

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kLightGrey);
    palette.setColor(QPalette::Button, kLightGrey);
    // The layout's ink is for enabled controls. Disabled ones keep a grey
    // of their own: the style's (a light grey) would vanish on this ground.
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, Qt::black);
        palette.setColor(QPalette::Inactive, role, Qt::black);
        palette.setColor(QPalette::Disabled, role, kGrey);
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
    connectConversionPage();
    connectRolloverHandlers();

    resize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight) + menuBar()->sizeHint().height());
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    const Controls controls = app::buildControls(client);

    m_sstab1 = control<TabControl>(controls, QStringLiteral("SSTab1"));
    m_list1 = control<QListWidget>(controls, QStringLiteral("List1"));
    m_list2 = control<QListWidget>(controls, QStringLiteral("List2"));
    m_drive1 = control<DriveList>(controls, QStringLiteral("Drive1"));
    m_drive2 = control<DriveList>(controls, QStringLiteral("Drive2"));
    m_dir1 = control<FolderList>(controls, QStringLiteral("Dir1"));
    m_dir2 = control<FolderList>(controls, QStringLiteral("Dir2"));
    m_file1 = control<FileList>(controls, QStringLiteral("File1"));
    m_frame1 = control<QGroupBox>(controls, QStringLiteral("Frame1"));
    m_command1 = control<QPushButton>(controls, QStringLiteral("Command1"));
    m_command2 = control<QPushButton>(controls, QStringLiteral("Command2"));
    m_command3 = control<QPushButton>(controls, QStringLiteral("Command3"));
    m_command4 = control<QPushButton>(controls, QStringLiteral("Command4"));
    m_command5 = control<QPushButton>(controls, QStringLiteral("Command5"));
    m_picture1 = control<PictureBox>(controls, QStringLiteral("Picture1"));
    m_picture2 = control<PictureBox>(controls, QStringLiteral("Picture2"));
    m_picture3 = control<PictureBox>(controls, QStringLiteral("Picture3"));
    elements(controls, "Label1", m_label1);
    elements(controls, "Option1", m_option1);
    elements(controls, "Option2", m_option2);
    elements(controls, "Text1", m_text1);
    elements(controls, "Check1", m_check1);
    m_option1Group = controls.option1;
    m_option2Group = controls.option2;
}

void Form1::buildMenus()
{
    menuBar()->setAccessibleName(QStringLiteral("Menus"));
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
    const QStringList drives = DriveList::mountedDrives();
    for (DriveList *list : {m_drive1, m_drive2}) {
        list->setDrives(drives);
        list->showDriveOf(folder);
    }
    m_dir1->setPath(folder);
    m_dir2->setPath(folder);
    m_file1->setPath(folder);
}

void Form1::warn(const QString &text)
{
    m_dialogs.messageBox(text, programTitle(), common::Dialogs::Icon::Warning);
}

void Form1::Form_Load()
{
    m_typepattern = convert::readStoredTypePattern();
    show();
    m_restoring = true;
    const convert::TypeTicks ticks = convert::restoredTicks(m_typepattern);
    for (int i = 0; i < imaging::kFileTypeCount; ++i) {
        if (ticks[i])
            m_check1[i]->setChecked(true);
    }
    m_restoring = false;
    m_file1->setPattern(m_typepattern);
    m_outext = QStringLiteral("jpg");
    m_option1[0]->setChecked(true);
    move(pos().x(), 0);
    // A window manager places and frames the window once it is mapped, after
    // show() has returned, and a move made before is lost. When the window is
    // first exposed it is placed and framed: the move, and the sizing that
    // reads the frame, are made again then.
    windowHandle()->installEventFilter(this);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            move(pos().x(), 0);
            Form_Resize();
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::Form_Resize()
{
    const QSizeF outer = QSizeF(frameGeometry().size()) * kTwipsPerPixel;
    const QSizeF current = QSizeF(m_sstab1->size()) * kTwipsPerPixel;
    const QSizeF wanted = tabSizeForWindow(outer, current);
    m_sstab1->resize(qMax(1, twipsToPixels(wanted.width())), qMax(1, twipsToPixels(wanted.height())));
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

} // namespace app
