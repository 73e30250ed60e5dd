// The "Batch Convert" page's handlers: the drive, folder and file lists, the
// type boxes, the format buttons, the batch run and the double-click on a
// file. The rules are convert's; the work is convert::BatchEngine's.

#include "form1.h"

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

void Form1::connectConversionPage()
{
    connect(m_drive1, &DriveList::changed, this, &Form1::Drive1_Change);
    connect(m_drive2, &DriveList::changed, this, &Form1::Drive2_Change);
    connect(m_dir1, &FolderList::changed, this, &Form1::Dir1_Change);
    // Opening a folder on another volume moves the drive list along, quietly,
    // so the drive shown is always the one holding the folder shown.
    connect(m_dir2, &FolderList::changed, this, [this] { m_drive2->showDriveOf(m_dir2->path()); });
    for (FolderList *folders : {m_dir1, m_dir2}) {
        connect(folders, &FolderList::openFailed, this, [this](const QString &path, const QString &reason) {
            warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(common::shownName(path), reason));
        });
    }
    connect(m_file1, &FileList::pathChanged, this, &Form1::File1_PathChange);
    connect(m_file1, &FileList::patternChanged, this, &Form1::File1_PatternChange);
    connect(m_file1, &FileList::entryDoubleClicked, this, &Form1::File1_DblClick);
    for (int i = 0; i < imaging::kFileTypeCount; ++i)
        connect(m_check1[i], &QCheckBox::toggled, this, [this, i] { Check1_Click(i); });
    // Programmatic checks (start-up selects JPG) raise no click; the mouse and
    // the arrow keys do.
    connect(m_option1Group, &QButtonGroup::idClicked, this, &Form1::Option1_Click);
    connect(m_command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(new DropTarget(m_dir1, DropKind::Folder), &DropTarget::dropped, this, &Form1::Dir1_DragDrop);
    connect(new DropTarget(m_file1, DropKind::Folder), &DropTarget::dropped, this, &Form1::File1_DragDrop);
    connect(new DropTarget(m_dir2, DropKind::Folder), &DropTarget::dropped, this, &Form1::Dir2_DragDrop);

    m_batch = new convert::BatchEngine({}, this);
    connect(m_batch, &convert::BatchEngine::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_batch, &convert::BatchEngine::finished, this,
            [this](const QList<convert::FileOutcome> &failures, qsizetype count) {
                m_runPointer.reset();
                m_command1->setEnabled(true);
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
            m_command1->setEnabled(false);
    };
    connect(m_file1, &FileList::pathChanged, this, keepDisabled);
    connect(m_file1, &FileList::patternChanged, this, keepDisabled);
}

void Form1::driveFault(DriveList *drives, FolderList *folders)
{
    warn(QStringLiteral("The drive %1 cannot be read: %2.").arg(drives->drive(), folders->errorString()));
    drives->showDriveOf(folders->path());
}

void Form1::Drive1_Change()
{
    if (!m_dir1->setPath(m_drive1->drive()))
        driveFault(m_drive1, m_dir1);
}

void Form1::Dir1_Change()
{
    m_drive1->showDriveOf(m_dir1->path());
    if (!m_file1->setPath(m_dir1->path())) {
        warn(QStringLiteral("The files of the folder %1 cannot be listed: %2.")
                 .arg(common::shownName(m_file1->path()), m_file1->errorString()));
    }
}

void Form1::Drive2_Change()
{
    if (!m_dir2->setPath(m_drive2->drive()))
        driveFault(m_drive2, m_dir2);
}

void Form1::Dir1_DragDrop(const QString &folder)
{
    if (!m_dir1->setPath(folder))
        warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(common::shownName(folder), m_dir1->errorString()));
}

void Form1::File1_DragDrop(const QString &folder)
{
    Dir1_DragDrop(folder);
}

void Form1::Dir2_DragDrop(const QString &folder)
{
    if (!m_dir2->setPath(folder))
        warn(QStringLiteral("The folder %1 cannot be opened: %2.").arg(common::shownName(folder), m_dir2->errorString()));
}

void Form1::File1_PathChange()
{
    m_command1->setEnabled(m_file1->count() > 0);
}

void Form1::File1_PatternChange()
{
    m_command1->setEnabled(m_file1->count() > 0);
}

void Form1::Check1_Click(int)
{
    if (m_restoring)
        return;
    convert::TypeTicks ticks{};
    for (int i = 0; i < imaging::kFileTypeCount; ++i)
        ticks[i] = m_check1[i]->isChecked();
    m_typepattern = convert::buildTypePattern(ticks);
    m_file1->setPattern(m_typepattern);
    QString storeFile;
    if (!convert::storeTypePattern(m_typepattern, &storeFile))
        warn(QStringLiteral("The file-type choice could not be stored in %1.").arg(storeFile));
}

void Form1::Option1_Click(int index)
{
    m_outext = m_option1[index]->text();
}

convert::FileChoices Form1::conversionChoices(int row) const
{
    convert::FileChoices choices;
    choices.folder = m_dir1->path();
    choices.count = m_file1->count();
    choices.name = m_file1->entry(row);
    choices.size = convert::sizeChoiceFromIndex(m_option2Group->checkedId()).value_or(convert::SizeChoice::OneToOne);
    choices.customWidth = m_text1[0]->text();
    choices.customHeight = m_text1[1]->text();
    choices.outext = m_outext;
    choices.destination = m_dir2->path();
    return choices;
}

// False when the files of `rows` would replace their own sources and the
// user says No; `asked` tells whether the question was put.
bool Form1::sourcesMayBeReplaced(const QList<int> &rows, bool *asked)
{
    QList<convert::ConversionJob> plans;
    for (int row : rows)
        plans.append(convert::planConversion(conversionChoices(row), row));
    const QStringList replaced = convert::replacedSources(plans);
    *asked = !replaced.isEmpty();
    return replaced.isEmpty() || m_dialogs.askYesNo(convert::replaceQuestion(replaced), QLatin1String(common::kProgramTitle));
}

void Form1::Command1_Click()
{
    if (m_batch->isRunning())
        return;
    QList<int> rows;
    QStringList sources;
    for (int row = 0; row < m_file1->count(); ++row) {
        rows.append(row);
        sources.append(common::joinPath(m_dir1->path(), m_file1->entry(row)));
    }
    // A source is replaced only when the user said so; one that a change
    // during the run would replace fails instead.
    bool asked = false;
    if (!sourcesMayBeReplaced(rows, &asked))
        return;
    m_command1->setEnabled(false);
    m_runPointer.emplace();
    m_runLeftOut = m_file1->leftOut();
    m_batch->start(sources, [this](qsizetype position) { return conversionChoices(int(position)); },
                   asked ? convert::SourceRule::Replace : convert::SourceRule::Keep);
}

void Form1::File1_DblClick()
{
    const int row = m_file1->selectedIndex();
    bool asked = false;
    if (row < 0 || !sourcesMayBeReplaced({row}, &asked))
        return;
    // The conversion runs on a worker thread; the pointer stays busy until
    // every double-clicked file is done.
    if (m_singlesInHand++ == 0)
        m_singlePointer.emplace();
    m_batch->convertOne(conversionChoices(row));
}

void Form1::closeEvent(QCloseEvent *event)
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
        m_command1->setEnabled(true);
    QMainWindow::closeEvent(event);
}

} // namespace app
