#include "sandbox.h"

#include "common/nativename.h"
#include "imaging/fileaccess.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace imaging::detail {
namespace {

using Outcome = ChildResult::Outcome;

constexpr qsizetype kErrorRoom = 4096;
// The program's home and temporary folder under bubblewrap.
constexpr const char *kSandboxHome = "/tmp/work";

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

// A new folder that only we may enter, removed with whatever was put in it.
// Its name holds our process id: the folder of a process that was killed
// outright is removed by the next one that makes a folder of its own.
class PrivateFolder
{
public:
    bool create(QString *reason)
    {
        const QDir temp(QDir::tempPath());
        const auto orphans = temp.entryInfoList({QStringLiteral("kestrune-child-*")}, QDir::Dirs | QDir::Hidden);
        for (const QFileInfo &folder : orphans) {
            const pid_t owner = folder.fileName().section(QLatin1Char('-'), 2, 2).toInt();
            if (owner > 0 && folder.ownerId() == ::geteuid() && !folder.isSymLink()
                && ::kill(owner, 0) != 0 && errno == ESRCH)
                QDir(folder.filePath()).removeRecursively();
        }
        QByteArray pattern = common::nativeName(
            temp.filePath(QStringLiteral("kestrune-child-%1-XXXXXX").arg(::getpid())));
        if (!::mkdtemp(pattern.data())) {
            *reason = QStringLiteral("no private folder for a helper program could be made in %1 (%2)")
                          .arg(common::shownName(QDir::tempPath()), systemReason(errno));
            return false;
        }
        m_path = pattern;
        return true;
    }
    ~PrivateFolder()
    {
        if (!m_path.isEmpty())
            QDir(common::nameFromNative(m_path)).removeRecursively();
    }
    const QByteArray &path() const { return m_path; }

private:
    QByteArray m_path;
};

pid_t parentOf(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The name in brackets may hold spaces; the state and the parent follow.
    const QByteArray text = stat.read(1024);
    return pid_t(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toInt());
}

// A started child, leader of its own session and process group. Until it is
// reaped, every way out kills the whole group first, so nothing is left
// running and no zombie remains.
class Child
{
public:
    ~Child()
    {
        if (m_pid > 0)
            reap();
    }
    void start(pid_t pid) { m_pid = pid; }

    // bwrap's report of its first process in the sandbox. Killed, that one
    // takes the whole sandbox with it, and bwrap collects it and ends: killed
    // together, the dead first process would be left to the system's init,
    // which in a container may never collect it.
    void sandboxStarted(pid_t inner)
    {
        // Called directly: this C library's header lacks C linkage.
        Fd fd(int(::syscall(SYS_pidfd_open, inner, 0)));
        // While it is bwrap's child the number cannot have been reused.
        if (fd.isOpen() && parentOf(inner) == m_pid)
            m_inner = std::move(fd);
    }

    // Whether it has ended; it stays unreaped so that its group id cannot be
    // reused before the group is killed.
    bool ended() const
    {
        siginfo_t info{};
        return ::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == m_pid;
    }
    // Kills what is left of the group and collects the child's status.
    int reap()
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

rlimit limit(int resource, rlim_t wanted)
{
    rlimit current{};
    ::getrlimit(resource, &current);
    const rlim_t value = std::min(wanted, current.rlim_max);
    return rlimit{value, value};
}

[[noreturn]] void failBeforeExec(int report)
{
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(report, &error, sizeof error);
    ::_exit(127);
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
// both streams end, the picture outgrows `limit`, or the deadline passes.
struct Exchange {
    Fd in, out, err, info;
    QByteArrayView input;
    qsizetype written = 0;
    QByteArray picture, errors, sandbox;
    qsizetype limit = 0;

    // bwrap's first process in the sandbox, once its report is whole; its
    // report is JSON: {"child-pid": 123, ...}.
    pid_t sandboxProcess() const
    {
        const qsizetype at = sandbox.indexOf("\"child-pid\":");
        if (at < 0 || !sandbox.contains('}'))
            return -1;
        return pid_t(sandbox.mid(at + 12).split(',').value(0).trimmed().toInt());
    }

    // Keeps at most `room` bytes in `to`; closes `fd` once its stream ends.
    static void read(Fd &fd, QByteArray &to, qsizetype room)
    {
        char chunk[65536];
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            fd.reset();
        if (n > 0)
            to.append(chunk, std::clamp<qsizetype>(room - to.size(), 0, n));
    }

    void write()
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
};

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

// What bubblewrap shows the program: the system's programs and libraries and
// the few configuration files they read, read-only. Ghostscript finds fonts
// through the maps in /var/lib/ghostscript, the metafile player through
// /etc/fonts.
QList<QByteArray> bubblewrapArguments(const ChildRun &run)
{
    QList<QByteArray> arguments{"--unshare-all", "--die-with-parent", "--cap-drop", "ALL", "--info-fd", "4",
                                "--ro-bind", "/usr", "/usr"};
    for (const char *top : {"/bin", "/lib", "/lib64", "/sbin"}) {
        const QFileInfo here(QString::fromLatin1(top));
        if (here.isSymLink())
            arguments << "--symlink" << common::nativeName(here.symLinkTarget()) << top;
        else if (here.isDir())
            arguments << "--ro-bind" << top << top;
    }
    for (const char *path : {"/etc/ld.so.cache", "/etc/fonts", "/var/lib/ghostscript"})
        arguments << "--ro-bind-try" << path << path;
    // The temporary folder holds what the program writes, each file within
    // its limit; a few of them fit. It is a level down, so that the folder
    // above it holds nothing else either: Ghostscript lists a folder by
    // walking everything under it, links and all. For that reason there is no
    // /proc, whose links lead back to the root; neither program needs it.
    const qint64 room = 4 * run.fileLimit + (qint64(16) << 20);
    arguments << "--dev" << "/dev" << "--size" << QByteArray::number(room) << "--tmpfs" << "/tmp" << "--dir"
              << kSandboxHome << "--chdir" << kSandboxHome;
    return arguments;
}

// Runs `program` (an absolute path) as `run` says, under bubblewrap when
// `bwrap` names it, else in a private folder of ours.
ChildResult runProgram(const ChildRun &run, const QString &program, const QString &bwrap, const Deadline &deadline)
{
    ChildResult result;
    const auto notRun = [&](const QString &reason) {
        result.reason = reason;
        return result;
    };
    const bool confined = !bwrap.isEmpty();
    PrivateFolder folder;
    QString reason;
    if (!confined && !folder.create(&reason))
        return notRun(reason);
    const auto cannotStart = [&](int error) {
        return notRun(QStringLiteral("%1 could not be started (%2)")
                          .arg(common::shownName(confined ? bwrap : program), systemReason(error)));
    };

    int in[2], out[2], err[2], report[2], info[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0)
        return cannotStart(errno);
    Exchange x;
    Fd childIn(in[1]), childOut, childErr, childReport, reportRead, childInfo;
    x.in.reset(in[0]);
    for (auto [fds, ours, theirs] : {std::tuple{out, &x.out, &childOut}, std::tuple{err, &x.err, &childErr},
                                     std::tuple{report, &reportRead, &childReport},
                                     std::tuple{info, &x.info, &childInfo}}) {
        if (theirs == &childInfo && !confined)
            break;
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return cannotStart(errno);
        ours->reset(fds[0]);
        theirs->reset(fds[1]);
    }

    Launch launch;
    const QByteArray home = confined ? QByteArray(kSandboxHome) : folder.path();
    QList<QByteArray> argv{common::nativeName(program)};
    if (confined)
        argv = QList<QByteArray>{common::nativeName(bwrap)} + bubblewrapArguments(run) + QList<QByteArray>{"--"} + argv;
    launch.list(launch.argv, argv + run.arguments);
    launch.list(launch.envp, {"PATH=/usr/bin:/bin", "LC_ALL=C", "HOME=" + home, "TMPDIR=" + home,
                              "TEMP=" + home, "TMP=" + home});
    // Inherited through bwrap; its own needs are small.
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(deadline.remaining()).count() + 1;
    launch.memory = limit(RLIMIT_AS, rlim_t(run.memoryLimit));
    launch.cpu = limit(RLIMIT_CPU, rlim_t(seconds));
    launch.fileSize = limit(RLIMIT_FSIZE, rlim_t(run.fileLimit));
    launch.core = limit(RLIMIT_CORE, 0);
    launch.folder = confined ? "/" : home.constData();
    launch.parent = ::getpid();
    launch.in = childIn.get();
    launch.out = childOut.get();
    launch.err = childErr.get();
    launch.report = childReport.get();
    launch.info = childInfo.get();

    Child child;
    const pid_t pid = ::fork();
    if (pid == 0)
        becomeChild(launch);
    if (pid < 0)
        return cannotStart(errno);
    child.start(pid);
    childIn.reset();
    childOut.reset();
    childErr.reset();
    childReport.reset();
    childInfo.reset();

    // The report pipe closes at exec, or carries the error that stopped it.
    // Either way the child's session, and so its group, exists by then.
    int error = 0;
    ssize_t got;
    while ((got = ::read(reportRead.get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (got == ssize_t(sizeof error))
        return cannotStart(error);

    for (const Fd *fd : {&x.out, &x.err, &x.info})
        ::fcntl(fd->get(), F_SETFL, O_NONBLOCK);
    x.input = run.input;
    x.limit = run.outputLimit;
    x.picture.reserve(x.limit);
    result.outcome = exchange(x, child, deadline);
    result.status = child.reap();
    result.output = std::move(x.picture);
    result.errors = std::move(x.errors);
    // bwrap ends with 128 and the signal's number when the program is
    // killed, as a shell does.
    if (confined && WIFEXITED(result.status) && WEXITSTATUS(result.status) > 128
        && WEXITSTATUS(result.status) < 128 + NSIG)
        result.status = WEXITSTATUS(result.status) - 128;
    // Processor time was given from the deadline; a program on several
    // threads spends it faster than the clock does.
    if (result.outcome == Outcome::Finished && WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGXCPU)
        result.outcome = Outcome::Expired;
    if (result.outcome == Outcome::Expired)
        result.reason = deadline.reason();
    if (result.outcome == Outcome::Broken)
        result.reason = QStringLiteral("the output of %1 could not be watched").arg(run.program);
    return result;
}

// An absolute path to `program` on the PATH, without links: under bubblewrap
// /etc/alternatives, say, is not there to follow. Empty when not found.
QString findProgram(const QString &program)
{
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? found : QFileInfo(found).canonicalFilePath();
}

// Runs true under bubblewrap: where namespaces are refused it fails at once.
QString probeBubblewrap(const QString &bwrap)
{
    if (bwrap.isEmpty())
        return QStringLiteral("bwrap is not installed");
    const QString program = findProgram(QStringLiteral("true"));
    if (program.isEmpty())
        return QStringLiteral("the program true is not installed");
    const ChildResult ran = runProgram({QStringLiteral("bwrap"), {}, {}, 0, qint64(1) << 30, 0}, program, bwrap,
                                       Deadline(std::chrono::seconds(10)));
    if (ran.outcome != Outcome::Finished)
        return ran.reason;
    if (WIFEXITED(ran.status) && WEXITSTATUS(ran.status) == 0)
        return {};
    const QByteArray said = ran.errors.trimmed().split('\n').value(0).trimmed();
    return said.isEmpty() ? childFailure(ran, QStringLiteral("bwrap"), qint64(1) << 30)
                          : QString::fromLocal8Bit(said.left(300));
}

// bwrap on the PATH, or an empty text when helper programs run without it.
// Each bwrap is tried once; where it fails, that is said once on standard
// error.
QString bubblewrap(QString *problem = nullptr)
{
    static QMutex mutex;
    static QHash<QString, QString> problems;
    const QString bwrap = findProgram(QStringLiteral("bwrap"));
    const QMutexLocker lock(&mutex);
    auto known = problems.constFind(bwrap);
    if (known == problems.cend()) {
        known = problems.insert(bwrap, probeBubblewrap(bwrap));
        if (!known->isEmpty())
            qWarning().noquote() << QStringLiteral("helper programs run without bubblewrap: %1").arg(*known);
    }
    if (problem)
        *problem = *known;
    return known->isEmpty() ? bwrap : QString();
}

} // namespace

ChildResult runChild(const ChildRun &run, const Deadline &deadline)
{
    ChildResult notRun;
    if (deadline.expired()) {
        notRun.reason = deadline.reason();
        return notRun;
    }
    const QString program = findProgram(run.program);
    if (program.isEmpty()) {
        notRun.reason = QStringLiteral("the program %1 is not installed").arg(run.program);
        return notRun;
    }
    return runProgram(run, program, bubblewrap(), deadline);
}

QString bubblewrapProblem()
{
    QString problem;
    bubblewrap(&problem);
    return problem;
}

QString childFailure(const ChildResult &result, const QString &name, qint64 memoryLimit)
{
    const int status = result.status;
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU || signal == SIGKILL)
            return QStringLiteral("%1 was stopped at its limit of processor time").arg(name);
        return QStringLiteral("%1 crashed (%2)").arg(name, QString::fromLocal8Bit(::strsignal(signal)));
    }
    if (WEXITSTATUS(status) == 0)
        return {};
    const QByteArray &errors = result.errors;
    if (errors.contains("VMerror") || errors.contains("Unable to allocate")
        || errors.contains("Memory allocation failed"))
        return QStringLiteral("drawing it needs more than the %1 GB of memory %2 may use")
            .arg(memoryLimit >> 30)
            .arg(name);
    // The line that names the error, else the first one.
    const QList<QByteArray> lines = errors.trimmed().split('\n');
    QByteArray said = lines.value(0);
    for (const QByteArray &line : lines) {
        if (line.contains("rror")) {
            said = line;
            break;
        }
    }
    if (!said.trimmed().isEmpty())
        return QStringLiteral("%1 could not draw it (%2)")
            .arg(name, QString::fromLocal8Bit(said.trimmed().left(160)));
    return QStringLiteral("%1 failed with exit code %2").arg(name).arg(WEXITSTATUS(status));
}

} // namespace imaging::detail
