#include "memorybudget.h"

#include <QFile>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace convert {

namespace {

constexpr qint64 kGiB = qint64(1) << 30;

qint64 physicalMemory()
{
#ifdef Q_OS_WIN
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    return GlobalMemoryStatusEx(&status) ? qint64(status.ullTotalPhys) : 0;
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    qint64 total = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
    // A container may see the host's memory but be allowed far less of it.
    QFile limit(QStringLiteral("/sys/fs/cgroup/memory.max"));
    if (limit.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const qint64 allowed = limit.readAll().trimmed().toLongLong(&ok);
        if (ok && allowed > 0)
            total = total > 0 ? std::min(total, allowed) : allowed;
    }
    return total;
#endif
}

} // namespace

qint64 defaultMemoryBudget()
{
    const qint64 physical = physicalMemory();
    // Unknown: assume a small machine rather than none at all.
    if (physical <= 0)
        return 2 * kGiB;
    return std::min(physical / 2, 8 * kGiB);
}

} // namespace convert
