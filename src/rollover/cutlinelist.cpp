#include "cutlinelist.h"

namespace rollover {

// Every item is written by this class from a whole row, so reading it back
// cannot fail.
static int rowOf(const QString &item)
{
    return item.toInt();
}

QList<int> CutLineList::rows() const
{
    QList<int> out;
    out.reserve(m_list1.size());
    for (const QString &item : m_list1)
        out.append(rowOf(item));
    return out;
}

void CutLineList::clear()
{
    m_list1.clear();
}

bool CutLineList::press(int row)
{
    for (qsizetype i = 0; i < m_list1.size(); ++i) {
        const qint64 v = rowOf(m_list1[i]);
        // 64-bit so that a pointer captured far outside the box cannot overflow.
        if (v == qint64(row) || v == qint64(row) + 1 || v == qint64(row) - 1) {
            m_list1.removeAt(i);
            return true;
        }
    }
    return false;
}

QList<int> CutLineList::drag(int buttons, int row) const
{
    if (buttons != kLeftButton)
        return {};
    QList<int> drawn = rows();
    drawn.append(row);
    return drawn;
}

QList<int> CutLineList::release(int button, int row)
{
    if (button == kLeftButton)
        m_list1.append(QString::number(row));
    const QList<int> drawn = rows();
    normalise();
    return drawn;
}

// Sorting by text through the scratch list drops whatever is not the plain
// decimal form of a row from 0 to 768, and keeps a row held twice once.
void CutLineList::normalise()
{
    m_list2.clear();
    for (int j = 0; j <= kLastRow; ++j) {
        const QString text = QString::number(j);
        if (m_list1.contains(text))
            m_list2.append(text);
    }
    m_list1.clear();
    for (const QString &item : std::as_const(m_list2))
        m_list1.append(item);
}

} // namespace rollover
