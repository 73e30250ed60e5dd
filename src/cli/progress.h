#pragma once

#include <QElapsedTimer>
#include <QString>

namespace convert {
struct FileOutcome;
}

namespace cli {

// What a conversion run tells the user as it goes. On a terminal one line,
// rewritten in place, gives the count, the current file, the rate and the
// time left; elsewhere each file gets a plain line of its own. Failures go to
// the standard error with their reasons, as they happen.
class Progress
{
public:
    // `leftOut` is said after the totals: what the run left out and why.
    Progress(qsizetype total, bool terminal, const QString &leftOut = {});

    // The file at `source` was handed to a worker.
    void handedOut(const QString &source);
    void finished(const convert::FileOutcome &outcome);
    // Ends the line and prints the totals.
    void end();

private:
    void redraw();
    QString statusLine() const;

    qsizetype m_total;
    bool m_terminal;
    qsizetype m_done = 0;
    qsizetype m_failed = 0;
    QString m_current;
    QString m_leftOut;
    QElapsedTimer m_clock;
    bool m_lineShown = false;
};

} // namespace cli
