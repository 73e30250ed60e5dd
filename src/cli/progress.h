#pragma once

#include "convert/sourcefiles.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <cstdio>

namespace convert {
struct FileOutcome;
}

namespace cli {

// What the folders of a run left out, said after its totals.
struct LeftOutReport {
    convert::LeftOutCounts counts;
    QList<convert::LeftOut> named; // each said with its reason
};

// `head` ("12 converted, 0 failed") with what was left out: "12 converted,
// 0 failed, 5 left out: 3 of other types, 2 hidden." and then each named
// entry and why; `end` closes the first sentence.
QString totalsText(const QString &head, const LeftOutReport &leftOut, const QString &end = QStringLiteral("."));

// What a conversion run tells the user as it goes. On a terminal one line,
// rewritten in place, gives the count, the current file, the rate and the
// time left; elsewhere each file gets a plain line of its own. Failures go to
// the standard error with their reasons, as they happen.
class Progress
{
public:
    // `leftOut` is said after the totals. With `json` the standard output
    // carries only one JSON object a line for each file (source, output,
    // status, reason, bytes, width, height, milliseconds) and a last one
    // with the totals and the left-out counts; the line rewritten in place
    // and the totals in words then go to the standard error, when it is a
    // terminal.
    Progress(qsizetype total, bool terminal, LeftOutReport leftOut = {}, bool json = false);

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
    LeftOutReport m_leftOut;
    bool m_json;
    FILE *m_human; // where the line rewritten in place goes
    QHash<QString, qint64> m_handedOutAt; // source -> ms on m_clock
    QElapsedTimer m_clock;
    bool m_lineShown = false;
};

} // namespace cli
