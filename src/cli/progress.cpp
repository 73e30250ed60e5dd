#include "progress.h"

#include "commandline.h"

#include "common/nativename.h"
#include "convert/fileoutcome.h"

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

int terminalColumns(FILE *stream)
{
#ifdef Q_OS_UNIX
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 20)
        return size.ws_col;
#endif
    return 80;
}

QString jsonText(const QString &text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

void printJson(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

qint64 fileBytes(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(common::nativeName(path).constData(), &status) == 0)
        return status.st_size;
#endif
    return 0;
}

QString duration(qint64 seconds)
{
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString tail = QStringLiteral("%1:%2").arg(m, h ? 2 : 1, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return h ? QString::number(h) + QLatin1Char(':') + tail : tail;
}

// The rate and time left for `done` of `total` files after `elapsedMs`:
// "2.5 files/s, 0:04 left"; "" before the first file is done.
QString rateText(qsizetype done, qsizetype total, qint64 elapsedMs)
{
    if (done <= 0 || elapsedMs <= 0)
        return {};
    const double rate = double(done) * 1000.0 / double(elapsedMs);
    const qint64 left = qint64(double(total - done) / rate + 0.5);
    return QStringLiteral("%1 files/s, %2 left").arg(rate, 0, 'f', rate < 10 ? 1 : 0).arg(duration(left));
}

} // namespace

QString totalsText(const QString &head, const LeftOutReport &leftOut, const QString &end)
{
    const QString counts = convert::leftOutCountText(leftOut.counts);
    const QString names = convert::leftOutNames(leftOut.named);
    return head + (counts.isEmpty() ? QString() : QStringLiteral(", ") + counts) + end
        + (names.isEmpty() ? QString() : QLatin1Char(' ') + names + QLatin1Char('.'));
}

Progress::Progress(qsizetype total, bool terminal, LeftOutReport leftOut, bool json)
    : m_total(total)
    , m_terminal(terminal)
    , m_leftOut(std::move(leftOut))
    , m_json(json)
    , m_human(json ? stderr : stdout)
{
    m_clock.start();
}

void Progress::handedOut(const QString &source)
{
    m_handedOutAt.insert(source, m_clock.elapsed());
    m_current = common::shownName(source.mid(source.lastIndexOf(QLatin1Char('/')) + 1));
    if (m_terminal)
        redraw();
}

void Progress::finished(const convert::FileOutcome &outcome)
{
    ++m_done;
    if (!outcome.converted)
        ++m_failed;
    if (m_terminal && m_lineShown) {
        // The failure gets a line of its own above the progress line.
        std::fputs("\r\033[K", m_human);
        std::fflush(m_human);
        m_lineShown = false;
    }
    if (m_json)
        // One pass, so that a name holding "%5" is not taken for a place marker.
        printJson(QStringLiteral("{\"source\":%1,\"output\":%2,\"status\":\"%3\",\"reason\":%4,\"bytes\":%5,"
                                 "\"width\":%6,\"height\":%7,\"milliseconds\":%8}")
                      .arg(jsonText(common::shownName(outcome.source)), jsonText(common::shownName(outcome.output)),
                           QLatin1String(outcome.converted ? "converted" : "failed"),
                           outcome.message.isEmpty() ? QStringLiteral("null") : jsonText(outcome.message),
                           QString::number(outcome.converted ? fileBytes(outcome.output) : 0),
                           outcome.size.isEmpty() ? QStringLiteral("null") : QString::number(outcome.size.width()),
                           outcome.size.isEmpty() ? QStringLiteral("null") : QString::number(outcome.size.height()),
                           QString::number(m_clock.elapsed() - m_handedOutAt.value(outcome.source, 0))));
    if (!outcome.converted)
        printError(outcome.message);
    else if (!m_terminal && !m_json)
        printOut(QStringLiteral("%1/%2 %3 -> %4")
                     .arg(m_done)
                     .arg(m_total)
                     .arg(common::shownName(outcome.source), common::shownName(outcome.output)));
    if (outcome.converted && !outcome.message.isEmpty())
        m_json ? printError(outcome.message) : printOut(outcome.message);
    if (m_terminal)
        redraw();
}

void Progress::end()
{
    if (m_terminal && m_lineShown)
        std::fputs("\n", m_human);
    m_lineShown = false;
    const QString words = totalsText(QStringLiteral("%1 converted, %2 failed").arg(m_done - m_failed).arg(m_failed), m_leftOut);
    if (!m_json) {
        printOut(words);
        return;
    }
    if (m_terminal) {
        std::fputs((words + QLatin1Char('\n')).toLocal8Bit().constData(), m_human);
        std::fflush(m_human);
    }
    const convert::LeftOutCounts &counts = m_leftOut.counts;
    printJson(QStringLiteral("{\"converted\":%1,\"failed\":%2,\"left out\":%3,\"other types\":%4,\"hidden\":%5,"
                             "\"subfolders\":%6,\"links to folders\":%7,\"not files\":%8,\"unreadable folders\":%9,"
                             "\"output folders\":%10,\"milliseconds\":%11}")
                  .arg(m_done - m_failed)
                  .arg(m_failed)
                  .arg(counts.total())
                  .arg(counts.otherTypes)
                  .arg(counts.hidden)
                  .arg(counts.subfolders)
                  .arg(counts.folderLinks)
                  .arg(counts.notFiles)
                  .arg(counts.unreadable)
                  .arg(counts.outputFolders)
                  .arg(m_clock.elapsed()));
}

QString Progress::statusLine() const
{
    QString line = QStringLiteral("[%1/%2] ").arg(m_done).arg(m_total);
    const QString rate = rateText(m_done, m_total, m_clock.elapsed());
    const QString tail = rate.isEmpty() ? QString() : QStringLiteral("  ") + rate;
    // The name gives way first, so the count and the time left stay in view.
    const qsizetype room = terminalColumns(m_human) - 1 - line.size() - tail.size();
    QString name = m_current;
    if (name.size() > room)
        name = room > 1 ? QChar(0x2026) + name.right(room - 1) : QString();
    return line + name + tail;
}

void Progress::redraw()
{
    std::fputs(("\r" + statusLine().toLocal8Bit() + "\033[K").constData(), m_human);
    std::fflush(m_human);
    m_lineShown = true;
}

} // namespace cli
