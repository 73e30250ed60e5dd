// The window itself: its controls, menus, start-up and size. The pages'
// handlers are in mainwindow_convert.cpp and mainwindow_rollover.cpp.

#include "mainwindow.h"

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

} // namespace

MainWindow::MainWindow(common::Dialogs &dialogs, common::Clipboard &clipboard, common::UrlOpener &opener,
                       QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_clipboard(clipboard)
    , m_opener(opener)
{
    setObjectName(windowObjectName());
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

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    m_ui = buildControls(client);
    buildMenus();
    openStartFolders();
    connectConversionPage();
    connectRolloverHandlers();

    resize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight) + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    const MenuEntries &names = menuEntries();
    const auto add = [this](auto *owner, const MenuEntry &entry, void (MainWindow::*handler)()) {
        QAction *action = owner->addAction(QString::fromUtf8(entry.caption));
        action->setObjectName(QLatin1String(entry.name));
        connect(action, &QAction::triggered, this, handler);
    };
    menuBar()->setAccessibleName(QStringLiteral("Menus"));
    QMenu *fileMenu = menuBar()->addMenu(QString::fromUtf8(names.fileMenu.caption));
    fileMenu->setObjectName(QLatin1String(names.fileMenu.name));
    add(fileMenu, names.exit, &MainWindow::onExit);
    QMenu *helpMenu = menuBar()->addMenu(QString::fromUtf8(names.helpMenu.caption));
    helpMenu->setObjectName(QLatin1String(names.helpMenu.name));
    add(helpMenu, names.helpPage, &MainWindow::onHelp);
    add(helpMenu, names.about, &MainWindow::onAbout);
}

// The lists open on the current folder before any handler is connected, so
// creating the window raises nothing.
void MainWindow::openStartFolders()
{
    const QString folder = startFolder();
    const QStringList drives = DriveList::mountedDrives();
    for (DriveList *list : {m_ui.sourceDrives, m_ui.destinationDrives}) {
        list->setDrives(drives);
        list->showDriveOf(folder);
    }
    m_ui.sourceFolders->setPath(folder);
    m_ui.destinationFolders->setPath(folder);
    m_ui.sourceFiles->setPath(folder);
}

void MainWindow::warn(const QString &text)
{
    m_dialogs.messageBox(text, programTitle(), common::Dialogs::Icon::Warning);
}

void MainWindow::start()
{
    m_typePattern = convert::readStoredTypePattern();
    show();
    m_restoring = true;
    const convert::TypeTicks ticks = convert::restoredTicks(m_typePattern);
    for (int i = 0; i < imaging::kFileTypeCount; ++i) {
        if (ticks[i])
            m_ui.typeBoxes[i]->setChecked(true);
    }
    m_restoring = false;
    m_ui.sourceFiles->setPattern(m_typePattern);
    m_outext = QStringLiteral("jpg");
    m_ui.formatButtons[0]->setChecked(true);
    move(pos().x(), 0);
    // A window manager places and frames the window once it is mapped, after
    // show() has returned, and a move made before is lost. When the window is
    // first exposed it is placed and framed: the move, and the sizing that
    // reads the frame, are made again then.
    windowHandle()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            move(pos().x(), 0);
            fitPagesToWindow();
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    fitPagesToWindow();
}

void MainWindow::fitPagesToWindow()
{
    const QSizeF outer = QSizeF(frameGeometry().size()) * kTwipsPerPixel;
    const QSizeF current = QSizeF(m_ui.pages->size()) * kTwipsPerPixel;
    const QSizeF wanted = tabSizeForWindow(outer, current);
    m_ui.pages->resize(qMax(1, twipsToPixels(wanted.width())), qMax(1, twipsToPixels(wanted.height())));
}

void MainWindow::onExit()
{
    close();
    QCoreApplication::exit(0);
}

void MainWindow::onHelp()
{
    const QString address = helpAddress();
    if (!m_opener.open(QUrl(address)))
        warn(QStringLiteral("No web browser could be started for the help page %1.").arg(address));
}

void MainWindow::onAbout()
{
    m_dialogs.messageBox(makerNotice(), programTitle(), common::Dialogs::Icon::Information);
}

} // namespace app
