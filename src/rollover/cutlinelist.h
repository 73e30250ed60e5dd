#pragma once

#include <QList>
#include <QStringList>

namespace rollover {

// The cut lines of the rollover builder, kept the way the window's two list
// boxes hold them: `list1()` is the cut-line list (`List1`), `list2()` the
// scratch list the normalisation sorts through (`List2`). Items are texts, the
// decimal form of a plate row (0 is the top row). The window mirrors both
// lists after every call and draws the rows the calls return in yellow.
//
// After release() the cut-line list is normalised: whole rows from 0 to 768,
// ascending, each once. Between a press and its release it may lack the line
// the press took out.
class CutLineList
{
public:
    // Mouse buttons as the window reports them: the sum of the buttons held
    // for a move, the one button for a press or release.
    static constexpr int kLeftButton = 1;
    static constexpr int kLastRow = 768;

    CutLineList() = default;
    // Takes up the lists as the window's list boxes hold them, so that the
    // list boxes stay the one record of the cut lines.
    CutLineList(QStringList list1, QStringList list2)
        : m_list1(std::move(list1)), m_list2(std::move(list2))
    {
    }

    const QStringList &list1() const { return m_list1; }
    const QStringList &list2() const { return m_list2; }

    // The cut-line rows in list order; meant for a normalised list.
    QList<int> rows() const;

    // Loading a new back plate starts a fresh layout; the scratch list keeps
    // its items until the next normalisation.
    void clear();

    // `Picture1_MouseDown`, any button: takes out the first line at `row` or
    // one row above or below it. True when a line was taken out.
    bool press(int row);

    // `Picture1_MouseMove`: the rows to draw on `Picture1` after clearing it,
    // every cut line and then the guide line at `row` (the last entry). Empty,
    // and nothing is to be redrawn, unless `buttons` is the left button alone.
    QList<int> drag(int buttons, int row) const;

    // `Picture1_MouseUp`: a left release adds a line at `row`. Returns the rows
    // to draw on all three plates after clearing them, taken before the list is
    // normalised, so a line outside 0 to 768 is drawn this once and then gone.
    QList<int> release(int button, int row);

private:
    void normalise();

    QStringList m_list1;
    QStringList m_list2;
};

} // namespace rollover
