// The "Batch Convert" page's handlers: the drive, folder and file lists, the
// type boxes, the format buttons, the batch run and the double-click on a
// file. The rules are convert's; the work is convert::BatchEngine's.

#include "mainwindow.h"

#include "drivelist.h"
#include "droptarget.h"
#include "filelist.h"
#include "folderlist.h"

#include "common/maker.h"
#include "common/nativename.h"
#include "common/paths.h"
#include "convert/batchengine.h"
#include "convert/captions.h"
#include "convert/typepattern.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace app {

void MainWindow::connectConversionPage()
{
    connect(m_ui.sourceDrives, &DriveList::changed, this, &MainWindow::onSourceDriveChanged);
    connect(m_ui.destinationDrives, &DriveList::changed, this, &MainWindow::onDestinationDriveChanged);
    connect(m_ui.sourceFolders, &FolderList::changed, this, &MainWindow::onSourceFolderChanged);
    // Opening a folder on another volume moves the drive list along, quietly,
    // so the drive shown is always the one holding the folder shown.
    connect(m_ui.destinationFolders, &FolderList::changed, this, [this] { m_ui.destinationDrives->showDriveOf(m_ui.destinationFolders->path()); });
    for (FolderList *folders : {m_ui.sourceFolders, m_ui.destinationFolders}) {
        connect(folders, &FolderList::openFailed, this, [this](const QString &path, const QString &reason) {
            warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(common::shownName(path), reason));
        });
    }
    connect(m_ui.sourceFiles, &FileList::pathChanged, this, &MainWindow::onSourceFilesPathChanged);
    connect(m_ui.sourceFiles, &FileList::patternChanged, this, &MainWindow::onSourceFilesPatternChanged);
    connect(m_ui.sourceFiles, &FileList::entryDoubleClicked, this, &MainWindow::onSourceFileDoubleClicked);
    for (int i = 0; i < imaging::kFileTypeCount; ++i)
        connect(m_ui.typeBoxes[i], &QCheckBox::toggled, this, [this, i] { onTypeBoxClicked(i); });
    // Programmatic checks (start-up selects JPG) raise no click; the mouse and
    // the arrow keys do.
    connect(m_ui.formatGroup, &QButtonGroup::idClicked, this, &MainWindow::onFormatClicked);
    connect(m_ui.convertButton, &QPushButton::clicked, this, &MainWindow::onBatchConvert);
    connect(new DropTarget(m_ui.sourceFolders, DropKind::Folder), &DropTarget::dropped, this, &MainWindow::onSourceFolderDropped);
    connect(new DropTarget(m_ui.sourceFiles, DropKind::Folder), &DropTarget::dropped, this, &MainWindow::onSourceFilesDropped);
    connect(new DropTarget(m_ui.destinationFolders, DropKind::Folder), &DropTarget::dropped, this, &MainWindow::onDestinationFolderDropped);

    m_batch = new convert::BatchEngine({}, this);
    connect(m_batch, &convert::BatchEngine::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_batch, &convert::BatchEngine::finished, this,
            [this](const QList<convert::FileOutcome> &failures, qsizetype count) {
                m_runPointer.reset();
                m_ui.convertButton->setEnabled(true);
                const QString said = convert::endMessage(failures, count, std::exchange(m_runLeftOut, {}));
                if (!said.isEmpty())
                    warn(said);
            });
    connect(m_batch, &convert::BatchEngine::singleFinished, this, [this](const convert::FileOutcome &outcome) {
        if (--m_singlesInHand == 0)
            m_singlePointer.reset();
        if (!outcome.converted)
            warn(convert::failureMessage({outcome}, 1));
    });
    // The list's own rule enables the button whenever the folder or the types
    // change and the list has entries; during a run that would allow a second
    // run inside the first, so the button stays disabled until the run ends.
    // Connected after the list's handlers, so it has the last word.
    const auto keepDisabled = [this] {
        if (m_batch->isRunning())
            m_ui.convertButton->setEnabled(false);
    };
    connect(m_ui.sourceFiles, &FileList::pathChanged, this, keepDisabled);
    connect(m_ui.sourceFiles, &FileList::patternChanged, this, keepDisabled);
}

void MainWindow::driveFault(DriveList *drives, FolderList *folders)
{
    warn(QStringLiteral("The drive %1 cannot be read: %2.").arg(drives->drive(), folders->errorString()));
    drives->showDriveOf(folders->path());
}

void MainWindow::onSourceDriveChanged()
{
    if (!m_ui.sourceFolders->setPath(m_ui.sourceDrives->drive()))
        driveFault(m_ui.sourceDrives, m_ui.sourceFolders);
}

void MainWindow::onSourceFolderChanged()
{
    m_ui.sourceDrives->showDriveOf(m_ui.sourceFolders->path());
    if (!m_ui.sourceFiles->setPath(m_ui.sourceFolders->path())) {
        warn(QStringLiteral("The files of the folder %1 cannot be listed: %2.")
                 .arg(common::shownName(m_ui.sourceFiles->path()), m_ui.sourceFiles->errorString()));
    }
}

void MainWindow::onDestinationDriveChanged()
{
    if (!m_ui.destinationFolders->setPath(m_ui.destinationDrives->drive()))
        driveFault(m_ui.destinationDrives, m_ui.destinationFolders);
}

void MainWindow::onSourceFolderDropped(const QString &folder)
{
    if (!m_ui.sourceFolders->setPath(folder))
        warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(common::shownName(folder), m_ui.sourceFolders->errorString()));
}

void MainWindow::onSourceFilesDropped(const QString &folder)
{
    onSourceFolderDropped(folder);
}

void MainWindow::onDestinationFolderDropped(const QString &folder)
{
    if (!m_ui.destinationFolders->setPath(folder))
        warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(common::shownName(folder), m_ui.destinationFolders->errorString()));
}

void MainWindow::onSourceFilesPathChanged()
{
    m_ui.convertButton->setEnabled(m_ui.sourceFiles->count() > 0);
}

void MainWindow::onSourceFilesPatternChanged()
{
    m_ui.convertButton->setEnabled(m_ui.sourceFiles->count() > 0);
}

void MainWindow::onTypeBoxClicked(int)
{
    if (m_restoring)
        return;
    convert::TypeTicks ticks{};
    for (int i = 0; i < imaging::kFileTypeCount; ++i)
        ticks[i] = m_ui.typeBoxes[i]->isChecked();
    m_typePattern = convert::buildTypePattern(ticks);
    m_ui.sourceFiles->setPattern(m_typePattern);
    QString storeFile;
    if (!convert::storeTypePattern(m_typePattern, &storeFile))
        warn(QStringLiteral("The file-type choice could not be stored in %1.").arg(storeFile));
}

void MainWindow::onFormatClicked(int index)
{
    m_outext = m_ui.formatButtons[index]->text();
}

convert::FileChoices MainWindow::conversionChoices(int row) const
{
    convert::FileChoices choices;
    choices.folder = m_ui.sourceFolders->path();
    choices.count = m_ui.sourceFiles->count();
    choices.name = m_ui.sourceFiles->entry(row);
    const int size = m_ui.sizeGroup->checkedId();
    choices.size = size < 0 ? convert::SizeChoice::OneToOne : convert::SizeChoice(size);
    choices.customWidth = m_ui.customWidth->text();
    choices.customHeight = m_ui.customHeight->text();
    choices.outext = m_outext;
    choices.destination = m_ui.destinationFolders->path();
    return choices;
}

// False when the files of `rows` would replace their own sources and the
// user says No; `asked` tells whether the question was put.
bool MainWindow::sourcesMayBeReplaced(const QList<int> &rows, bool *asked)
{
    QList<convert::ConversionJob> plans;
    for (int row : rows)
        plans.append(convert::planConversion(conversionChoices(row), row));
    const QStringList replaced = convert::replacedSources(plans);
    *asked = !replaced.isEmpty();
    return replaced.isEmpty() || m_dialogs.askYesNo(convert::replaceQuestion(replaced), QLatin1String(common::kProgramTitle));
}

void MainWindow::onBatchConvert()
{
    if (m_batch->isRunning())
        return;
    QList<int> rows;
    QStringList sources;
    for (int row = 0; row < m_ui.sourceFiles->count(); ++row) {
        rows.append(row);
        sources.append(common::joinPath(m_ui.sourceFolders->path(), m_ui.sourceFiles->entry(row)));
    }
    // A source is replaced only when the user said so; one that a change
    // during the run would replace fails instead.
    bool asked = false;
    if (!sourcesMayBeReplaced(rows, &asked))
        return;
    m_ui.convertButton->setEnabled(false);
    m_runPointer.emplace();
    m_runLeftOut = m_ui.sourceFiles->leftOut();
    m_batch->start(sources, [this](qsizetype position) { return conversionChoices(int(position)); },
                   asked ? convert::SourceRule::Replace : convert::SourceRule::Keep);
}

void MainWindow::onSourceFileDoubleClicked()
{
    const int row = m_ui.sourceFiles->selectedIndex();
    bool asked = false;
    if (row < 0 || !sourcesMayBeReplaced({row}, &asked))
        return;
    // The conversion runs on a worker thread; the pointer stays busy until
    // every double-clicked file is done.
    if (m_singlesInHand++ == 0)
        m_singlePointer.emplace();
    m_batch->convertOne(conversionChoices(row));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The files in hand, of a run or double-clicked, are stopped (each save
    // is whole or nothing); no further file is started and no message follows
    // the window's close.
    const bool running = m_batch->isRunning();
    m_batch->stop();
    m_runPointer.reset();
    m_singlePointer.reset();
    m_singlesInHand = 0;
    if (running)
        m_ui.convertButton->setEnabled(true);
    QMainWindow::closeEvent(event);
}

} // namespace app
