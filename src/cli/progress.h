#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <cstdio>

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
    // `leftOut` is said after the totals: what the run left out and why, in
    // `leftOutCount` files. With `json` the standard output carries only one
    // JSON object a line for each file (source, output, status, reason,
    // bytes, milliseconds) and a last one with the totals; the line rewritten
    // in place and the totals in words then go to the standard error, when
    // it is a terminal.
    Progress(qsizetype total, bool terminal, const QString &leftOut = {}, bool json = false, qsizetype leftOutCount = 0);

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
    bool m_json;
    qsizetype m_leftOutCount;
    FILE *m_human; // where the line rewritten in place goes
    QHash<QString, qint64> m_handedOutAt; // source -> ms on m_clock
    QElapsedTimer m_clock;
    bool m_lineShown = false;
};

} // namespace cli
