#include "progress.h"

#include "commandline.h"

#include "common/nativename.h"
#include "convert/fileoutcome.h"

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

int terminalColumns()
{
#ifdef Q_OS_UNIX
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20)
        return size.ws_col;
#endif
    return 80;
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

Progress::Progress(qsizetype total, bool terminal, const QString &leftOut)
    : m_total(total)
    , m_terminal(terminal)
    , m_leftOut(leftOut)
{
    m_clock.start();
}

void Progress::handedOut(const QString &source)
{
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
        std::fputs("\r\033[K", stdout);
        std::fflush(stdout);
        m_lineShown = false;
    }
    if (!outcome.converted)
        printError(outcome.message);
    else if (!m_terminal)
        printOut(QStringLiteral("%1/%2 %3 -> %4")
                     .arg(m_done)
                     .arg(m_total)
                     .arg(common::shownName(outcome.source), common::shownName(outcome.output)));
    if (outcome.converted && !outcome.message.isEmpty())
        printOut(outcome.message);
    if (m_terminal)
        redraw();
}

void Progress::end()
{
    if (m_terminal && m_lineShown)
        std::fputs("\n", stdout);
    m_lineShown = false;
    const QString totals = QStringLiteral("%1 converted, %2 failed.").arg(m_done - m_failed).arg(m_failed);
    printOut(m_leftOut.isEmpty() ? totals : totals + QLatin1Char(' ') + m_leftOut);
}

QString Progress::statusLine() const
{
    QString line = QStringLiteral("[%1/%2] ").arg(m_done).arg(m_total);
    const QString rate = rateText(m_done, m_total, m_clock.elapsed());
    const QString tail = rate.isEmpty() ? QString() : QStringLiteral("  ") + rate;
    // The name gives way first, so the count and the time left stay in view.
    const qsizetype room = terminalColumns() - 1 - line.size() - tail.size();
    QString name = m_current;
    if (name.size() > room)
        name = room > 1 ? QChar(0x2026) + name.right(room - 1) : QString();
    return line + name + tail;
}

void Progress::redraw()
{
    std::fputs(("\r" + statusLine().toLocal8Bit() + "\033[K").constData(), stdout);
    std::fflush(stdout);
    m_lineShown = true;
}

} // namespace cli
