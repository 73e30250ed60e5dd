#include "batchengine.h"

#include "captions.h"

#include "imaging/imageman.h"

#include <QDir>
#include <QThread>

namespace convert {

struct BatchEngine::Worker {
    QThread thread;
    QObject *context = nullptr; // lives in `thread`; jobs are posted to it
    imaging::ImageMan imageMan; // used only by `thread` while a file is in hand
    QString output;             // of the file in `thread`'s hands; empty when none
    // A file handed out whose output an earlier file is still writing.
    std::optional<ConversionJob> waiting;
};

namespace {

QString sameFile(const QString &path)
{
    return QDir::cleanPath(path);
}

} // namespace

BatchEngine::BatchEngine(int workers, QObject *parent)
    : QObject(parent)
    , m_workerCount(workers > 0 ? workers : std::max(1, QThread::idealThreadCount()))
{
    qRegisterMetaType<convert::FileOutcome>();
}

BatchEngine::~BatchEngine()
{
    stop();
}

bool BatchEngine::start(qsizetype count, ChoiceSource source)
{
    if (m_running)
        return false;
    m_running = true;
    ++m_run;
    m_count = std::max<qsizetype>(count, 0);
    m_next = 0;
    m_inHand = 0;
    m_source = std::move(source);
    m_failures.clear();

    const quint64 run = m_run;
    emit captionChanged(startCaption(m_count));
    if (run != m_run)
        return true;

    const qsizetype wanted = std::min<qsizetype>(m_workerCount, m_count);
    for (qsizetype i = 0; i < wanted; ++i) {
        auto worker = std::make_unique<Worker>();
        worker->thread.setObjectName(QStringLiteral("convert worker %1").arg(i + 1));
        worker->context = new QObject;
        worker->context->moveToThread(&worker->thread);
        connect(&worker->thread, &QThread::finished, worker->context, &QObject::deleteLater);
        worker->thread.start();
        m_workers.push_back(std::move(worker));
    }
    for (qsizetype i = 0; i < wanted && run == m_run; ++i)
        handOut(size_t(i));
    // An empty run still ends through the event loop, like any other.
    if (run == m_run && m_inHand == 0)
        QMetaObject::invokeMethod(this, [this, run] {
            if (run == m_run)
                finishIfDone();
        }, Qt::QueuedConnection);
    return true;
}

void BatchEngine::handOut(size_t index)
{
    if (!m_running || m_next >= m_count)
        return;
    const qsizetype position = m_next++;
    const quint64 run = m_run;
    const FileChoices choices = m_source(position);
    // The choice source and the caption run window code, which may stop the run.
    if (run != m_run)
        return;
    emit captionChanged(progressCaption(position, choices.count));
    if (run != m_run)
        return;
    ConversionJob job = planConversion(choices, position);
    ++m_inHand;
    // Two entries can have one output (a.bmp and a.png to a.jpg): the later
    // entry's picture must be the one that stays, as when files go one by one.
    if (job.refusal.isEmpty() && writing(job.output)) {
        m_workers[index]->waiting = std::move(job);
        return;
    }
    dispatch(index, job);
}

bool BatchEngine::writing(const QString &output) const
{
    const QString file = sameFile(output);
    for (const auto &worker : m_workers)
        if (worker->output == file)
            return true;
    return false;
}

void BatchEngine::dispatch(size_t index, const ConversionJob &job)
{
    const quint64 run = m_run;
    Worker *worker = m_workers[index].get();
    worker->output = job.refusal.isEmpty() ? sameFile(job.output) : QString();
    QMetaObject::invokeMethod(worker->context, [this, run, index, worker, job] {
        const FileOutcome outcome = convertFile(worker->imageMan, job);
        QMetaObject::invokeMethod(this, [this, run, index, outcome] {
            fileDone(run, index, outcome);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void BatchEngine::fileDone(quint64 run, size_t index, const FileOutcome &outcome)
{
    // Outcomes of a stopped run may still be queued; its workers are gone.
    if (run != m_run || !m_running)
        return;
    --m_inHand;
    m_workers[index]->output.clear();
    if (!outcome.converted)
        m_failures.append(outcome);
    emit fileFinished(outcome);
    if (run != m_run)
        return;
    // Waiting files go first, earliest first, so that of several files with
    // one output the last one in the list is written last.
    for (;;) {
        Worker *next = nullptr;
        size_t nextIndex = 0;
        for (size_t i = 0; i < m_workers.size(); ++i) {
            Worker *w = m_workers[i].get();
            if (w->waiting && !writing(w->waiting->output)
                && (!next || w->waiting->position < next->waiting->position)) {
                next = w;
                nextIndex = i;
            }
        }
        if (!next)
            break;
        const ConversionJob job = *std::exchange(next->waiting, std::nullopt);
        dispatch(nextIndex, job);
    }
    handOut(index);
    finishIfDone();
}

void BatchEngine::finishIfDone()
{
    if (!m_running || m_inHand > 0 || m_next < m_count)
        return;
    releaseWorkers();
    m_running = false;
    m_source = nullptr;
    const QList<FileOutcome> failures = std::exchange(m_failures, {});
    emit finished(failures, m_count);
}

void BatchEngine::releaseWorkers()
{
    for (const auto &worker : m_workers)
        worker->thread.quit();
    for (const auto &worker : m_workers)
        worker->thread.wait();
    m_workers.clear();
}

void BatchEngine::stop()
{
    if (!m_running)
        return;
    m_running = false;
    // The file in each worker's hands either runs to its end, its save whole
    // or nothing, or is dropped unstarted with its thread's event loop.
    releaseWorkers();
    ++m_run;
    m_source = nullptr;
    m_failures.clear();
}

FileOutcome BatchEngine::convertOne(const FileChoices &choices)
{
    imaging::ImageMan imageMan;
    return convertFile(imageMan, planConversion(choices, -1));
}

} // namespace convert
