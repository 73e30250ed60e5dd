#pragma once

#include <QDeadlineTimer>
#include <functional>
#include <memory>
#include <thread>

namespace convert {

// One thread that runs the tasks posted to it, one after the other. It can be
// left behind: a task stuck in a decoder that does not listen to its cancel
// flag must not hold up the window nor be torn down while it runs, so the
// thread and the tasks' state are owned jointly by this object and the thread
// itself, and whichever ends last frees them.
class WorkerThread
{
public:
    WorkerThread();
    // Ends the thread after its current task and waits for it, unless it was
    // abandoned.
    ~WorkerThread();
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    // Runs `task` on the thread after the tasks posted before it. The task
    // must not refer to anything that may be gone when it runs.
    void post(std::function<void()> task);

    // The thread ends once its current task returns; tasks not yet begun are
    // dropped. Returns at once.
    void quit();
    // After quit(): true once the thread has ended, false if it is still in a
    // task at `deadline`.
    bool wait(QDeadlineTimer deadline);
    // Lets the thread run its current task to the end on its own; whatever
    // the task does then is no concern of this object's owner.
    void abandon();

    // Threads abandoned that are still in a task, in this process.
    static int abandonedRunning();

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

} // namespace convert
