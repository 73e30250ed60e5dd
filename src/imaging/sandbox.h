#pragma once

#include "deadline.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Running another package's program over a file's bytes without trusting
// either: the program never sees a file name (the bytes reach it on standard
// input and its picture comes back on standard output), runs without a shell
// in a process group of its own, with a minimal environment whose home and
// temporary folder are a new private one, removed afterwards, limited memory,
// no file larger than it asks for and processor time up to the deadline. It is
// killed when the deadline passes or its flag is raised, and when this process
// dies. Whatever the outcome, the child has been reaped and its folder
// removed on return.
namespace imaging::detail {

// The most memory a child may map, in bytes.
inline constexpr qint64 kChildMemory = qint64(2) << 30;

struct ChildRun {
    QString program;               // a program's name, looked up on the PATH
    QList<QByteArray> arguments;   // after the program's own name
    QByteArrayView input;          // all of standard input
    qsizetype outputLimit = 0;     // more standard output than this is refused
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
// exited with 0. `name` is how the program is called in messages.
QString childFailure(const ChildResult &result, const QString &name);

} // namespace imaging::detail
