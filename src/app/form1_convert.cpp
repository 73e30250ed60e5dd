// The "Batch Convert" page's handlers: the format buttons, the batch run and
// the double-click on a file. The work itself is convert::BatchEngine's.

#include "form1.h"

#include "app/filelist.h"
#include "app/folderlist.h"
#include "convert/batchengine.h"
#include "convert/captions.h"

#include "common/paths.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

void Form1::connectConversionPage()
{
    m_batch = new convert::BatchEngine({}, this);
    connect(m_batch, &convert::BatchEngine::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_batch, &convert::BatchEngine::finished, this,
            [this](const QList<convert::FileOutcome> &failures, qsizetype count) {
                m_runPointer.reset();
                Command1()->setEnabled(true);
                if (!failures.isEmpty())
                    warn(convert::failureMessage(failures, count));
            });
    connect(m_batch, &convert::BatchEngine::singleFinished, this, [this](const convert::FileOutcome &outcome) {
        if (--m_singlesInHand == 0)
            m_singlePointer.reset();
        if (!outcome.converted)
            warn(convert::failureMessage({outcome}, 1));
    });

    // Programmatic checks (start-up selects JPG) raise no click; the mouse and
    // the arrow keys do.
    connect(m_option1Group, &QButtonGroup::idClicked, this, &Form1::Option1_Click);
    connect(File1(), &app::FileList::entryDoubleClicked, this, &Form1::File1_DblClick);

    // The list's own rule enables the button whenever the folder or the types
    // change and the list has entries; during a run that would allow a second
    // run inside the first, so the button stays disabled until the run ends.
    const auto keepDisabled = [this] {
        if (m_batch->isRunning())
            Command1()->setEnabled(false);
    };
    connect(File1(), &app::FileList::pathChanged, this, keepDisabled);
    connect(File1(), &app::FileList::patternChanged, this, keepDisabled);
    connect(Command1(), &QPushButton::clicked, this, &Form1::Command1_Click);
}

convert::FileChoices Form1::conversionChoices(int row) const
{
    convert::FileChoices choices;
    choices.folder = Dir1()->path();
    choices.count = File1()->count();
    choices.name = File1()->entry(row);
    choices.size = convert::sizeChoiceFromIndex(m_option2Group->checkedId())
                       .value_or(convert::SizeChoice::OneToOne);
    choices.customWidth = Text1(0)->text();
    choices.customHeight = Text1(1)->text();
    choices.outext = m_outext;
    choices.destination = Dir2()->path();
    return choices;
}

void Form1::Option1_Click(int index)
{
    m_outext = Option1(index)->text();
}

void Form1::Command1_Click()
{
    if (m_batch->isRunning())
        return;
    Command1()->setEnabled(false);
    m_runPointer.emplace();
    QStringList sources;
    for (int row = 0; row < File1()->count(); ++row)
        sources.append(common::joinPath(Dir1()->path(), File1()->entry(row)));
    m_batch->start(sources, [this](qsizetype position) { return conversionChoices(int(position)); });
}

void Form1::File1_DblClick()
{
    const int row = File1()->selectedIndex();
    if (row < 0)
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
        Command1()->setEnabled(true);
    QMainWindow::closeEvent(event);
}
