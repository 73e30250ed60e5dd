#include "batchengine.h"

#include "captions.h"
#include "memorybudget.h"
#include "workerthread.h"

#include "imaging/estimate.h"
#include "imaging/imageman.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <mutex>

namespace convert {

namespace {

// Closing the window must be over within a second; the rest of it is spent
// outside the wait.
constexpr std::chrono::milliseconds kStopWait{750};

Converter onOwnInstance(std::optional<double> jpegQuality)
{
    return [jpegQuality](const ConversionJob &job, std::chrono::milliseconds limit,
                         const imaging::CancelFlag &cancel) { return convertFile(job, limit, cancel, jpegQuality); };
}

} // namespace

// The way back from the worker threads. It is cut when the engine stops, so
// that a conversion left running posts nothing to an engine that may be gone.
struct BatchEngine::Link {
    std::mutex mutex;
    BatchEngine *engine;

    explicit Link(BatchEngine *e) : engine(e) {}
    void post(std::function<void(BatchEngine &)> call)
    {
        std::lock_guard lock(mutex);
        if (engine)
            QMetaObject::invokeMethod(engine, [e = engine, call = std::move(call)] { call(*e); },
                                      Qt::QueuedConnection);
    }
    void cut()
    {
        std::lock_guard lock(mutex);
        engine = nullptr;
    }
};

struct BatchEngine::Job {
    enum class State { Estimating, Ready, Converting };

    quint64 id = 0;
    ConversionJob plan;
    detail::FileKeys keys;
    // The running run's files; none outside a run.
    std::shared_ptr<RunFiles> run;
    bool single = false;
    State state = State::Estimating;
    qint64 estimate = 0; // bytes
    std::unique_ptr<WorkerThread> worker; // from the estimate to the end
};

BatchEngine::BatchEngine(EngineOptions options, QObject *parent)
    : QObject(parent)
    , m_workerCount(options.workers > 0 ? options.workers : std::max(1, QThread::idealThreadCount()))
    , m_budget(options.memoryBudget > 0 ? options.memoryBudget : defaultMemoryBudget())
    , m_estimate(options.estimate ? std::move(options.estimate) : PeakEstimator(imaging::estimatePeakBytes))
    , m_convert(options.convert ? std::move(options.convert) : onOwnInstance(options.jpegQuality))
    , m_timeLimit(options.timeLimit)
    , m_keepSourcesAdvice(std::move(options.keepSourcesAdvice))
    , m_link(std::make_shared<Link>(this))
{
    qRegisterMetaType<convert::FileOutcome>();
}

BatchEngine::~BatchEngine()
{
    stop();
    m_link->cut();
}

bool BatchEngine::start(const QStringList &sources, ChoiceSource choices, SourceRule rule)
{
    if (m_running)
        return false;
    m_running = true;
    const quint64 epoch = ++m_epoch;
    m_count = sources.size();
    m_next = 0;
    m_choices = std::move(choices);
    m_failures.clear();
    m_run = std::make_shared<RunFiles>();
    m_run->rule = rule;
    for (const QString &source : sources)
        m_run->addEntry(source);

    emit captionChanged(startCaption(m_count));
    if (epoch != m_epoch)
        return true;
    // An empty run still ends through the event loop, like any other.
    if (m_count == 0)
        m_link->post([epoch](BatchEngine &engine) {
            if (epoch == engine.m_epoch)
                engine.pump();
        });
    else
        pump();
    return true;
}

QList<ConversionJob> BatchEngine::plan(const QStringList &sources, const ChoiceSource &choices, SourceRule rule) const
{
    return detail::planRun(sources, choices, rule, m_keepSourcesAdvice);
}

void BatchEngine::convertOne(const FileChoices &choices)
{
    addJob(planConversion(choices, -1), m_running ? m_run : nullptr, true);
    pump();
}

void BatchEngine::pump()
{
    if (m_stopping)
        return;
    const quint64 epoch = m_epoch;
    startReady();
    while (m_running && !m_waitingForMemory && m_next < m_count && qsizetype(m_jobs.size()) < m_workerCount) {
        handOut();
        if (epoch != m_epoch)
            return;
    }
    startReady();
    finishIfDone();
}

void BatchEngine::handOut()
{
    const qsizetype position = m_next++;
    const quint64 epoch = m_epoch;
    const FileChoices choices = m_choices(position);
    // The choice source and the caption run window code, which may stop the run.
    if (epoch != m_epoch)
        return;
    emit captionChanged(progressCaption(position, choices.count));
    if (epoch != m_epoch)
        return;
    addJob(planConversion(choices, position), m_run, false);
}

void BatchEngine::addJob(ConversionJob plan, std::shared_ptr<RunFiles> run, bool single)
{
    auto job = std::make_unique<Job>();
    job->id = ++m_lastId;
    job->single = single;
    job->run = std::move(run);
    job->plan = std::move(plan);
    if (!job->plan.refusal.isEmpty()) {
        job->state = Job::State::Ready;
        m_jobs.push_back(std::move(job));
        return;
    }
    job->keys = detail::keysOf(job->plan);
    // A file the list gained during the run is as much the run's as the others.
    if (!single && job->run)
        job->run->entries.unite({job->keys.source, job->keys.sourceName});
    // The estimate reads the file's header, which may be slow: off this thread.
    job->worker = takeWorker();
    job->worker->post([link = m_link, estimate = m_estimate, id = job->id, plan = job->plan] {
        const auto type = imaging::fileTypeFromPath(plan.output);
        const qint64 bytes = type ? estimate(plan.source, plan.size, *type) : 0;
        link->post([id, bytes](BatchEngine &engine) { engine.estimated(id, bytes); });
    });
    m_jobs.push_back(std::move(job));
}

void BatchEngine::estimated(quint64 id, qint64 bytes)
{
    for (const auto &job : m_jobs)
        if (job->id == id) {
            job->estimate = std::max<qint64>(bytes, 0);
            job->state = Job::State::Ready;
            pump();
            return;
        }
}

QString BatchEngine::refusal(const Job &job) const
{
    return detail::refusal(job.plan, job.keys, job.run.get(), job.single, m_keepSourcesAdvice);
}

void BatchEngine::startReady()
{
    qint64 inUse = 0;
    bool converting = false;
    for (const auto &job : m_jobs)
        if (job->state == Job::State::Converting) {
            inUse += job->estimate;
            converting = true;
        }
    m_waitingForMemory = false;
    for (size_t i = 0; i < m_jobs.size(); ++i) {
        Job &job = *m_jobs[i];
        if (job.state != Job::State::Ready)
            continue;
        if (!job.keys.output.isEmpty()) {
            // What an earlier file of the same output writes decides this one's fate.
            const auto sameOutput = [&](const auto &earlier) { return earlier->keys.output == job.keys.output; };
            if (std::any_of(m_jobs.begin(), m_jobs.begin() + qsizetype(i), sameOutput))
                continue;
            job.plan.refusal = refusal(job);
            if (!job.plan.refusal.isEmpty())
                job.keys.output.clear();
        }
        if (!job.keys.output.isEmpty()) {
            // A file over the budget waits until nothing converts; while it
            // converts, the sum is over the budget and nothing joins it.
            const bool fits = job.estimate > m_budget ? !converting : inUse + job.estimate <= m_budget;
            if (!fits) {
                m_waitingForMemory = true;
                return;
            }
            inUse += job.estimate;
            converting = true;
        }
        launch(job);
    }
}

void BatchEngine::launch(Job &job)
{
    job.state = Job::State::Converting;
    const quint64 id = job.id;
    if (!job.plan.refusal.isEmpty()) {
        const FileOutcome outcome{job.plan.position, job.plan.name, job.plan.source, job.plan.output, false,
                                  job.plan.refusal};
        m_link->post([id, outcome](BatchEngine &engine) { engine.ended(id, outcome); });
        return;
    }
    job.worker->post([link = m_link, convert = m_convert, limit = m_timeLimit, cancel = m_cancel, id,
                      plan = job.plan] {
        const FileOutcome outcome = convert(plan, limit, cancel);
        const bool afterStop = cancel.raised();
        link->post([id, outcome, afterStop](BatchEngine &engine) { engine.ended(id, outcome, afterStop); });
    });
}

void BatchEngine::ended(quint64 id, const FileOutcome &outcome, bool afterStop)
{
    const auto at = std::find_if(m_jobs.begin(), m_jobs.end(), [id](const auto &job) { return job->id == id; });
    // A stopped run's outcomes may still be queued.
    if (at == m_jobs.end())
        return;
    const std::unique_ptr<Job> job = std::move(*at);
    m_jobs.erase(at);
    if (job->worker)
        m_idle.push_back(std::move(job->worker));
    const quint64 epoch = m_epoch;
    if (!job->single && job->run && outcome.converted && !job->keys.output.isEmpty())
        job->run->written.insert(job->keys.output, job->plan.source);
    if (job->single) {
        emit singleFinished(outcome);
    } else if (outcome.converted || !afterStop) {
        if (!outcome.converted)
            m_failures.append(outcome);
        emit fileFinished(outcome);
    }
    if (epoch == m_epoch)
        pump();
}

std::unique_ptr<WorkerThread> BatchEngine::takeWorker()
{
    if (m_idle.empty())
        return std::make_unique<WorkerThread>();
    std::unique_ptr<WorkerThread> worker = std::move(m_idle.back());
    m_idle.pop_back();
    return worker;
}

void BatchEngine::finishIfDone()
{
    const bool runFilesInHand = std::any_of(m_jobs.begin(), m_jobs.end(), [](const auto &job) { return !job->single; });
    if (m_jobs.empty())
        releaseWorkers();
    if (!m_running || m_next < m_count || runFilesInHand)
        return;
    m_running = false;
    m_choices = nullptr;
    m_run.reset();
    const QList<FileOutcome> failures = std::exchange(m_failures, {});
    emit finished(failures, m_count);
}

void BatchEngine::releaseWorkers()
{
    // Idle: each ends at once.
    m_idle.clear();
}

void BatchEngine::stopReportingEnded()
{
    if (!m_running && m_jobs.empty())
        return;
    // Nothing more is handed out or started.
    m_stopping = true;
    m_running = false;
    m_choices = nullptr;
    m_cancel.raise();
    const QDeadlineTimer deadline(kStopWait);
    std::vector<WorkerThread *> busy;
    for (const auto &job : m_jobs)
        if (job->worker)
            busy.push_back(job->worker.get());
    for (WorkerThread *worker : busy)
        worker->quit();
    for (WorkerThread *worker : busy)
        worker->wait(deadline);
    // Each file that ended has its outcome queued by now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_stopping = false;
    stop();
}

void BatchEngine::stop()
{
    ++m_epoch;
    const bool inHand = m_running || !m_jobs.empty();
    m_running = false;
    m_waitingForMemory = false;
    m_choices = nullptr;
    m_run.reset();
    m_failures.clear();
    if (inHand) {
        m_cancel.raise();
        m_cancel = {};
        m_link->cut();
        m_link = std::make_shared<Link>(this);
        std::vector<std::unique_ptr<WorkerThread>> busy;
        for (const auto &job : m_jobs)
            if (job->worker)
                busy.push_back(std::move(job->worker));
        m_jobs.clear();
        const QDeadlineTimer deadline(kStopWait);
        for (const auto &worker : busy)
            worker->quit();
        for (const auto &worker : busy)
            if (!worker->wait(deadline))
                worker->abandon();
    }
    releaseWorkers();
}

} // namespace convert
