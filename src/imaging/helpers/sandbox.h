#pragma once

#include "imaging/deadline.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Running another package's program over a file's bytes without trusting
// either: the program never sees a file name (the bytes reach it on standard
// input and its picture comes back on standard output), runs without a shell
// in a session and process group of its own, with a minimal environment,
// limited memory, no file larger than it asks for and processor time up to
// the deadline. It is killed when the deadline passes or its flag is raised,
// and when this process dies.
//
// Where bubblewrap (bwrap, found on the PATH) works, the program sees only
// /usr, the library cache and the font maps, read-only, a minimal /dev and an
// empty /tmp of its own that holds its home (/tmp/work, also its temporary
// folder); it has no network and its own process and IPC namespaces. Where it does not (no unprivileged namespaces), which is
// found out once per process and said once on standard error, the program
// sees the file system, and its home and temporary folder are a new private
// folder in ours, removed afterwards. Whatever the outcome, every process of
// the run has ended on return.
namespace imaging::detail {

struct ChildRun {
    QString program;               // a program's name, looked up on the PATH
    QList<QByteArray> arguments;   // after the program's own name
    QByteArrayView input;          // all of standard input
    qsizetype outputLimit = 0;     // more standard output than this is refused
    qint64 memoryLimit = 0;        // the most memory it may map, in bytes
    // The largest file it may write, in its private folder; 0 for none.
    qint64 fileLimit = 0;
};

struct ChildResult {
    enum class Outcome { Finished, TooMuch, Expired, Broken, NotRun };
    Outcome outcome = Outcome::NotRun;
    QByteArray output;  // standard output
    QByteArray errors;  // the first few thousand bytes of standard error
    int status = 0;     // as waitpid() gives it, once finished
    QString reason;     // why it did not run, or ran out of time
};

ChildResult runChild(const ChildRun &run, const Deadline &deadline);

// Why a finished child failed, in the user's words, or an empty text when it
// exited with 0. `name` is how the program is called in messages and
// `memoryLimit` the run's.
QString childFailure(const ChildResult &result, const QString &name, qint64 memoryLimit);

// Why helper programs run without bubblewrap in this process, or an empty
// text when they run under it.
QString bubblewrapProblem();

} // namespace imaging::detail
