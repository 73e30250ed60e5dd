#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <memory>

namespace imaging {

// How long one load or one save of one file may take.
inline constexpr std::chrono::seconds kFileTimeLimit{60};

// A flag that one thread raises to stop the work another thread does for it:
// closing the window stops the files in hand. Copies share one flag, and
// raising it is safe from any thread.
class CancelFlag
{
public:
    CancelFlag() : m_flag(std::make_shared<std::atomic_bool>(false)) {}

    void raise() const { m_flag->store(true, std::memory_order_relaxed); }
    bool raised() const { return m_flag->load(std::memory_order_relaxed); }

private:
    std::shared_ptr<std::atomic_bool> m_flag;
};

// The bound on one operation: the moment it must be over by, and the flag
// that stops it earlier. Long loops ask expired() every so often and give up
// with reason() when it says so; a child process is killed.
class Deadline
{
public:
    explicit Deadline(std::chrono::milliseconds limit = kFileTimeLimit, CancelFlag cancel = {});

    // Past its time or stopped.
    bool expired() const;
    bool cancelled() const { return m_cancel.raised(); }
    // Time left, zero once expired.
    std::chrono::milliseconds remaining() const;
    // Why the work ended, in the user's words: "it took longer than 60 s" or
    // "the conversion was stopped". Meant to follow "Cannot open FILE: ".
    QString reason() const;

    const CancelFlag &cancelFlag() const { return m_cancel; }

private:
    std::chrono::steady_clock::time_point m_end;
    std::chrono::milliseconds m_limit;
    CancelFlag m_cancel;
};

} // namespace imaging
