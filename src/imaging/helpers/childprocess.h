#pragma once

#include "sandbox.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

// The mechanics of one child process for sandbox.cpp: its descriptors, its
// start after fork, the exchange of its standard streams and its end. What
// the child may see and do is decided there.
namespace imaging::detail::child {

// A descriptor closed with its owner.
class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd &operator=(Fd &&other) noexcept { reset(std::exchange(other.m_fd, -1)); return *this; }
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// A started child, leader of its own session and process group. Until it is
// reaped, every way out kills the whole group first, so nothing is left
// running and no zombie remains.
class Child
{
public:
    ~Child();
    void start(pid_t pid) { m_pid = pid; }

    // bwrap's report of its first process in the sandbox. Killed, that one
    // takes the whole sandbox with it, and bwrap collects it and ends: killed
    // together, the dead first process would be left to the system's init,
    // which in a container may never collect it.
    void sandboxStarted(pid_t inner);
    // Whether it has ended; it stays unreaped so that its group id cannot be
    // reused before the group is killed.
    bool ended() const;
    // Kills what is left of the group and collects the child's status.
    int reap();

private:
    pid_t m_pid = -1;
    Fd m_inner;  // a pidfd
};

// Everything the child needs, made before fork: after it only
// async-signal-safe calls are allowed, since another thread may have held the
// allocator's lock at that moment.
struct Launch {
    Launch() { strings.reserve(64); }
    std::vector<QByteArray> strings;
    std::vector<char *> argv, envp;
    rlimit memory{}, cpu{}, fileSize{}, core{};
    const char *folder = nullptr;
    pid_t parent = 0;
    int in = -1, out = -1, err = -1, report = -1;
    int info = -1;  // bwrap's report of the sandbox, when it is run

    void list(std::vector<char *> &to, const QList<QByteArray> &items)
    {
        for (const QByteArray &item : items)
            to.push_back(strings.emplace_back(item).data());
        to.push_back(nullptr);
    }
};

// `wanted`, or the hard limit when that is lower, as both limits.
rlimit limit(int resource, rlim_t wanted);

// Runs in the forked child: takes `launch`'s descriptors as 0 to 4, sets
// its limits and executes its program. An error before the program runs is
// written to the report descriptor; it never returns.
[[noreturn]] void becomeChild(const Launch &launch);

// The streams of a started child: the program fed to it, its picture and
// its messages.
struct Exchange {
    Fd in, out, err, info;
    QByteArrayView input;
    qsizetype written = 0;
    QByteArray picture, errors, sandbox;
    qsizetype limit = 0;

    // bwrap's first process in the sandbox, once its report is whole; its
    // report is JSON: {"child-pid": 123, ...}.
    pid_t sandboxProcess() const;
    // Keeps at most `room` bytes in `to`; closes `fd` once its stream ends.
    static void read(Fd &fd, QByteArray &to, qsizetype room);
    // Sends the next part of the input, closing the stream after the last.
    void write();
};

// Feeds the program to the child and collects its picture and messages until
// both streams end, the picture outgrows the exchange's limit, or the
// deadline passes.
ChildResult::Outcome exchange(Exchange &x, Child &child, const Deadline &deadline);

} // namespace imaging::detail::child
