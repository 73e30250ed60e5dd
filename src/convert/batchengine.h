#pragma once

#include "fileconversion.h"
#include "filechoices.h"
#include "fileoutcome.h"
#include "runplan.h"

#include "imaging/formats.h"
#include "imaging/deadline.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace convert {

class WorkerThread;

// What converting one file is expected to need at its peak, in bytes: the
// source's path, the exact size it is resized to (none keeps its own) and the
// output's type. Called on a worker thread.
using PeakEstimator = std::function<qint64(const QString &source, std::optional<QSize> size, imaging::FileType output)>;

// Converts one planned file within `limit` for each load and each save,
// giving up with a failure once `cancel` is raised. Called on a worker thread.
using Converter = std::function<FileOutcome(const ConversionJob &job, std::chrono::milliseconds limit,
                                            const imaging::CancelFlag &cancel)>;

// How an engine works; every member has a default fit for the window, and
// tests put small budgets, fake estimates and stand-in conversions here.
struct EngineOptions {
    int workers = 0;              // files converted at once; 0 means one per processor core
    qint64 memoryBudget = 0;      // bytes; 0 means defaultMemoryBudget() (memorybudget.h)
    PeakEstimator estimate = {};  // empty means imaging::estimatePeakBytes
    std::chrono::milliseconds timeLimit = imaging::kFileTimeLimit; // for each load and each save
    std::optional<double> jpegQuality = {}; // 20 to 100; none keeps the imaging default
    Converter convert = {};       // empty means convertFile() (fileconversion.h) at jpegQuality
    // Added to the reason of a file that a run keeping its sources refuses
    // ("use --in-place to allow it"); empty adds nothing.
    QString keepSourcesAdvice = {};
};

// Converts the files of a run, and single files, on worker threads while the
// thread that owns the engine (the window's) stays free. No widgets: the window
// and the command line drive it alike.
//
// Hand-out: a run's file is handed out when fewer files than workers are in
// hand; its choices are asked for on the engine's thread at that moment, so a
// change the user makes during a run applies to every file handed out after
// it. A handed-out file starts once
// - every file handed out before it with the same output has ended;
// - its estimated peak memory fits the budget beside the files converting. A
//   file over the budget on its own converts alone. While a file waits for
//   memory no further file is handed out, so it cannot be starved.
//
// Nothing of a run is lost. A conversion never replaces
// - a file that is an entry of the running run (the list's files when it
//   started, and every file handed out since) other than its own source;
// - an output that a file of the running run has written: of several entries
//   with one output (a.bmp and a.png to a.jpg) the first converted keeps it;
// - under SourceRule::Keep, its own source.
// Such a file fails untouched with a reason naming the file it would have
// replaced; so does a double-clicked one during a run. No file stops the
// run: each one ends converted or failed with its reason. Two names of one
// file (a link, "." or "..") are one file; an output's own name is taken as
// it is, since a write never goes through a link standing there.
//
// The engine is used from the thread that owns it; the choice source is
// called and every signal emitted there, never from a worker.
class BatchEngine : public QObject
{
    Q_OBJECT

public:
    // The choices for the file at `position` (from 0), read from the window.
    using ChoiceSource = std::function<FileChoices(qsizetype position)>;

    explicit BatchEngine(EngineOptions options = {}, QObject *parent = nullptr);
    // Stops whatever is in hand, as stop() does.
    ~BatchEngine() override;

    int workerCount() const { return m_workerCount; }
    bool isRunning() const { return m_running; }

    // Starts a run over the files whose full paths are `sources` (the list
    // when the run starts); their number is fixed for the whole run whatever
    // the list later holds. Emits the start caption at once and the progress
    // caption of each file as it is handed out; finished() always comes later,
    // from the event loop, even for an empty run. `rule` says whether a file
    // may replace its own source. False, and nothing done, while a run is
    // going.
    bool start(const QStringList &sources, ChoiceSource choices, SourceRule rule = SourceRule::Replace);

    // The plans a run of `sources` would make, in their order, each with the
    // refusal it would get were every file before it converted. Reads no
    // picture and writes nothing.
    QList<ConversionJob> plan(const QStringList &sources, const ChoiceSource &choices, SourceRule rule) const;

    // Converts one file by the same steps as a file of a run, in turn with the
    // files in hand that share its output, and reports it with
    // singleFinished(). During a run it may not replace the run's entries.
    // Returns at once.
    void convertOne(const FileChoices &choices);

    // For closing the window: raises the cancel flag of every file in hand and
    // returns within a second. Every save is whole or leaves nothing; a
    // conversion that has not given up by then is left to end on its own
    // thread. No outcome, finished() or singleFinished() follows for what was
    // in hand. Nothing when idle.
    void stop();
    // For an interrupted run that still owes its totals: stops as stop()
    // does, but first reports with fileFinished() each run file that had
    // ended when it was called, converted or failed, then each whose whole
    // output was written while its conversion was giving up. Files that
    // gave up are not reported.
    void stopReportingEnded();

signals:
    void captionChanged(const QString &caption);
    void fileFinished(const convert::FileOutcome &outcome);
    // The run is over: `failures` in the order the files finished, `count`
    // the number of files the run was started with.
    void finished(const QList<convert::FileOutcome> &failures, qsizetype count);
    // A file given to convertOne() is done.
    void singleFinished(const convert::FileOutcome &outcome);

private:
    struct Job;
    struct Link;
    using RunFiles = detail::RunFiles;

    void pump();
    void handOut();
    void addJob(ConversionJob plan, std::shared_ptr<RunFiles> run, bool single);
    void startReady();
    QString refusal(const Job &job) const;
    void launch(Job &job);
    void estimated(quint64 id, qint64 bytes);
    // `afterStop`: the conversion returned after it was told to give up, so
    // a failure is its giving up rather than a fault of the file.
    void ended(quint64 id, const FileOutcome &outcome, bool afterStop = false);
    std::unique_ptr<WorkerThread> takeWorker();
    void finishIfDone();
    void releaseWorkers();

    int m_workerCount;
    qint64 m_budget;
    PeakEstimator m_estimate;
    Converter m_convert;
    std::chrono::milliseconds m_timeLimit;

    bool m_running = false;
    bool m_waitingForMemory = false;
    bool m_stopping = false; // in stopReportingEnded()
    quint64 m_epoch = 0; // changes with every start and stop
    quint64 m_lastId = 0;
    qsizetype m_count = 0;
    qsizetype m_next = 0;
    ChoiceSource m_choices;
    QString m_keepSourcesAdvice;
    std::shared_ptr<RunFiles> m_run;
    QList<FileOutcome> m_failures;
    std::vector<std::unique_ptr<Job>> m_jobs; // in hand, in the order handed out
    std::vector<std::unique_ptr<WorkerThread>> m_idle;
    imaging::CancelFlag m_cancel;
    std::shared_ptr<Link> m_link;
};

} // namespace convert
