#include "cutlinelist.h"

#include "pieces.h"

#include <algorithm>
#include <cstdlib>

namespace rollover {

bool CutLineList::take(int row)
{
    // 64-bit so that a pointer captured far outside the box cannot overflow.
    const auto near = [row](int line) { return std::abs(qint64(line) - qint64(row)) <= 1; };
    const auto found = std::find_if(m_rows.begin(), m_rows.end(), near);
    if (found == m_rows.end())
        return false;
    m_rows.erase(found);
    return true;
}

void CutLineList::setPlateHeight(int rows)
{
    m_plateHeight = rows;
    m_rows = normalised(m_rows, lastRow());
}

int CutLineList::lastRow() const
{
    return m_plateHeight > 0 ? std::min(int(kLastRow), lastCutRow(m_plateHeight)) : kLastRow;
}

QList<int> CutLineList::guide(int row) const
{
    return QList<int>(m_rows) << row;
}

QList<int> CutLineList::place(int row)
{
    m_rows.append(row);
    return settle();
}

QList<int> CutLineList::settle()
{
    const QList<int> drawn = m_rows;
    m_rows = normalised(m_rows, lastRow());
    return drawn;
}

QList<int> CutLineList::remove(int row)
{
    take(row);
    return settle();
}

QList<int> CutLineList::normalised(QList<int> rows, int lastRow)
{
    rows.removeIf([lastRow](int line) { return line < 0 || line > lastRow; });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace rollover
