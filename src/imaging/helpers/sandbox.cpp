#include "sandbox.h"

#include "childprocess.h"
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
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace imaging::detail {
namespace {

using Outcome = ChildResult::Outcome;
using child::Child;
using child::Exchange;
using child::Fd;
using child::Launch;

// The program's home and temporary folder under bubblewrap.
constexpr const char *kSandboxHome = "/tmp/work";

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
    launch.memory = child::limit(RLIMIT_AS, rlim_t(run.memoryLimit));
    launch.cpu = child::limit(RLIMIT_CPU, rlim_t(seconds));
    launch.fileSize = child::limit(RLIMIT_FSIZE, rlim_t(run.fileLimit));
    launch.core = child::limit(RLIMIT_CORE, 0);
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
        child::becomeChild(launch);
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
    result.outcome = child::exchange(x, child, deadline);
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
