#include "deadline.h"

namespace imaging {

using Clock = std::chrono::steady_clock;

Deadline::Deadline(std::chrono::milliseconds limit, CancelFlag cancel)
    : m_end(Clock::now() + limit)
    , m_limit(limit)
    , m_cancel(std::move(cancel))
{
}

bool Deadline::expired() const
{
    return m_cancel.raised() || Clock::now() >= m_end;
}

std::chrono::milliseconds Deadline::remaining() const
{
    if (m_cancel.raised())
        return std::chrono::milliseconds(0);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_end - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

QString Deadline::reason() const
{
    if (m_cancel.raised())
        return QStringLiteral("the conversion was stopped");
    const auto seconds = std::chrono::duration<double>(m_limit).count();
    return QStringLiteral("it took longer than %1 s").arg(seconds, 0, 'g', 3);
}

} // namespace imaging
