#include "childprocess.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace imaging::detail::child {
namespace {

using Outcome = ChildResult::Outcome;

constexpr qsizetype kErrorRoom = 4096;

pid_t parentOf(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The name in brackets may hold spaces; the state and the parent follow.
    const QByteArray text = stat.read(1024);
    return pid_t(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toInt());
}

[[noreturn]] void failBeforeExec(int report)
{
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(report, &error, sizeof error);
    ::_exit(127);
}

} // namespace

Child::~Child()
{
    if (m_pid > 0)
        reap();
}

void Child::sandboxStarted(pid_t inner)
{
    // Called directly: this C library's header lacks C linkage.
    Fd fd(int(::syscall(SYS_pidfd_open, inner, 0)));
    // While it is bwrap's child the number cannot have been reused.
    if (fd.isOpen() && parentOf(inner) == m_pid)
        m_inner = std::move(fd);
}

bool Child::ended() const
{
    siginfo_t info{};
    return ::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == m_pid;
}

int Child::reap()
{
    if (m_inner.isOpen() && ::syscall(SYS_pidfd_send_signal, m_inner.get(), SIGKILL, nullptr, 0) == 0) {
        for (int wait = 0; wait < 200 && !ended(); ++wait)
            ::usleep(5000);
    }
    m_inner.reset();
    ::kill(-m_pid, SIGKILL);
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return status;
}

rlimit limit(int resource, rlim_t wanted)
{
    rlimit current{};
    ::getrlimit(resource, &current);
    const rlim_t value = std::min(wanted, current.rlim_max);
    return rlimit{value, value};
}

[[noreturn]] void becomeChild(const Launch &l)
{
    // Without a controlling terminal nothing in it can type into ours, and
    // one kill of the group reaches bwrap and the program it starts alike.
    ::setsid();
    // The signal comes when the thread that forked ends; that thread waits
    // for this child, so it is the same as our process ending.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != l.parent)
        ::_exit(127);
    if (::chdir(l.folder) != 0)
        failBeforeExec(l.report);
    // Moved out of the way first: a descriptor may already sit at 0 to 4.
    const int from[5] = {l.in, l.out, l.err, l.report, l.info};
    const int count = l.info >= 0 ? 5 : 4;
    int moved[5];
    for (int i = 0; i < count; ++i) {
        moved[i] = ::fcntl(from[i], F_DUPFD, 10);
        if (moved[i] < 0)
            failBeforeExec(l.report);
    }
    for (int i = 0; i < count; ++i) {
        if (::dup2(moved[i], i) < 0)
            failBeforeExec(l.report);
    }
    ::fcntl(3, F_SETFD, FD_CLOEXEC);
    // Descriptors other threads opened without close-on-exec stay ours.
    if (::close_range(unsigned(count), ~0u, 0) != 0) {
        for (int fd = count; fd < 4096; ++fd)
            ::close(fd);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    // A write to a file then fails with an error instead of killing it.
    ::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_AS, &l.memory) != 0 || ::setrlimit(RLIMIT_CPU, &l.cpu) != 0
        || ::setrlimit(RLIMIT_FSIZE, &l.fileSize) != 0 || ::setrlimit(RLIMIT_CORE, &l.core) != 0)
        failBeforeExec(3);
    ::execve(l.argv[0], l.argv.data(), l.envp.data());
    failBeforeExec(3);
}

// Feeds the program to the child and collects its picture and messages until

pid_t Exchange::sandboxProcess() const
{
    const qsizetype at = sandbox.indexOf("\"child-pid\":");
    if (at < 0 || !sandbox.contains('}'))
        return -1;
    return pid_t(sandbox.mid(at + 12).split(',').value(0).trimmed().toInt());
}

void Exchange::read(Fd &fd, QByteArray &to, qsizetype room)
{
    char chunk[65536];
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
        fd.reset();
    if (n > 0)
        to.append(chunk, std::clamp<qsizetype>(room - to.size(), 0, n));
}

void Exchange::write()
{
    const qsizetype n = std::min<qsizetype>(input.size() - written, 1 << 20);
    // A socket, so that a child that stops reading cannot raise SIGPIPE
    // in us.
    const ssize_t sent = ::send(in.get(), input.data() + written, size_t(n), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0)
        written += sent;
    else if (sent < 0 && errno != EAGAIN && errno != EINTR)
        in.reset();
    if (in.isOpen() && written == input.size()) {
        ::shutdown(in.get(), SHUT_WR);
        in.reset();
    }
}

Outcome exchange(Exchange &x, Child &child, const Deadline &deadline)
{
    while (x.out.isOpen() || x.err.isOpen()) {
        if (deadline.expired())
            return Outcome::Expired;
        pollfd fds[4] = {{x.in.get(), POLLOUT, 0}, {x.out.get(), POLLIN, 0}, {x.err.get(), POLLIN, 0},
                         {x.info.get(), POLLIN, 0}};
        const auto wait = std::min(deadline.remaining(), std::chrono::milliseconds(50));
        if (::poll(fds, 4, int(wait.count())) < 0 && errno != EINTR)
            return Outcome::Broken;
        if (fds[3].revents) {
            x.read(x.info, x.sandbox, 4096);
            if (const pid_t inner = x.sandboxProcess(); inner > 0) {
                child.sandboxStarted(inner);
                x.info.reset();
            }
        }
        if (fds[0].revents)
            x.write();
        if (fds[1].revents) {
            x.read(x.out, x.picture, x.limit + 1);
            if (x.picture.size() > x.limit)
                return Outcome::TooMuch;
        }
        if (fds[2].revents)
            x.read(x.err, x.errors, kErrorRoom);
    }
    // Both streams are closed: it is ending, or it closed them to run on.
    while (!child.ended()) {
        if (deadline.expired())
            return Outcome::Expired;
        ::usleep(5000);
    }
    return Outcome::Finished;
}

} // namespace imaging::detail::child
