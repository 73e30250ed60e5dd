#include "workerthread.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace convert {

namespace {

std::atomic_int g_abandonedRunning{0};

} // namespace

struct WorkerThread::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    bool quitting = false;
    bool ended = false;
    bool abandoned = false;
};

WorkerThread::WorkerThread()
    : m_state(std::make_shared<State>())
{
    m_thread = std::thread([state = m_state] {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(state->mutex);
                state->changed.wait(lock, [&] { return state->quitting || !state->tasks.empty(); });
                if (state->quitting)
                    break;
                task = std::move(state->tasks.front());
                state->tasks.pop_front();
            }
            task();
        }
        std::lock_guard lock(state->mutex);
        state->ended = true;
        if (state->abandoned)
            --g_abandonedRunning;
        state->changed.notify_all();
    });
}

WorkerThread::~WorkerThread()
{
    if (m_thread.joinable()) {
        quit();
        m_thread.join();
    }
}

void WorkerThread::post(std::function<void()> task)
{
    std::lock_guard lock(m_state->mutex);
    m_state->tasks.push_back(std::move(task));
    m_state->changed.notify_all();
}

void WorkerThread::quit()
{
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(m_state->mutex);
    m_state->quitting = true;
    dropped.swap(m_state->tasks);
    m_state->changed.notify_all();
}

bool WorkerThread::wait(QDeadlineTimer deadline)
{
    {
        std::unique_lock lock(m_state->mutex);
        const auto ended = [&] { return m_state->ended; };
        if (deadline.isForever())
            m_state->changed.wait(lock, ended);
        else if (!m_state->changed.wait_until(lock, deadline.deadline<std::chrono::steady_clock>(), ended))
            return false;
    }
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

void WorkerThread::abandon()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->ended) {
            m_state->abandoned = true;
            ++g_abandonedRunning;
        }
    }
    m_thread.detach();
}

int WorkerThread::abandonedRunning()
{
    return g_abandonedRunning;
}

} // namespace convert
