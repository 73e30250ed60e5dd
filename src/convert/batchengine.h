#pragma once

#include "fileconversion.h"
#include "filechoices.h"
#include "fileoutcome.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace convert {

// Converts the files of a run on worker threads while the thread that owns the
// engine (the window's) stays free. Each worker has its own imaging instance
// and holds at most one file at a time. A file's choices are asked for on the
// engine's thread at the moment the file is handed out, so a change the user
// makes during a run applies to every file handed out after it. Files that
// share one output (a.bmp and a.png both to a.jpg) are written in list order,
// so the later entry's picture stays. No file stops the run: each one ends
// converted or failed with its reason.
class BatchEngine : public QObject
{
    Q_OBJECT

public:
    // The choices for the file at `position` (from 0), read from the window.
    using ChoiceSource = std::function<FileChoices(qsizetype position)>;

    // `workers` 0 means one per processor core.
    explicit BatchEngine(int workers = 0, QObject *parent = nullptr);
    ~BatchEngine() override;

    int workerCount() const { return m_workerCount; }
    bool isRunning() const { return m_running; }

    // Starts a run over `count` files, a number fixed for the whole run whatever
    // the list later holds. Emits the start caption at once and the progress
    // caption of each file as it is handed out; finished() always comes later,
    // from the event loop, even for an empty run. False, and nothing done, while
    // a run is going.
    bool start(qsizetype count, ChoiceSource source);

    // Converts one file now, on the calling thread and with an imaging instance
    // of its own, by the same steps as a file of a run. Allowed during a run.
    // Emits nothing.
    FileOutcome convertOne(const FileChoices &choices);

    // For closing the window: hands out no more files and waits until the
    // files in hand are written (every save is complete or leaves nothing).
    // Their outcomes and finished() are not reported. Nothing when idle.
    void stop();

signals:
    void captionChanged(const QString &caption);
    void fileFinished(const convert::FileOutcome &outcome);
    // The run is over: `failures` in the order the files finished, `count`
    // the number of files the run was started with.
    void finished(const QList<convert::FileOutcome> &failures, qsizetype count);

private:
    struct Worker;

    void handOut(size_t index);
    void dispatch(size_t index, const ConversionJob &job);
    bool writing(const QString &output) const;
    void fileDone(quint64 run, size_t index, const FileOutcome &outcome);
    void finishIfDone();
    void releaseWorkers();

    int m_workerCount;
    bool m_running = false;
    quint64 m_run = 0;
    qsizetype m_count = 0;
    qsizetype m_next = 0;
    int m_inHand = 0;
    ChoiceSource m_source;
    QList<FileOutcome> m_failures;
    std::vector<std::unique_ptr<Worker>> m_workers;
};

} // namespace convert
