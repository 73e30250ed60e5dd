#pragma once

#include <QList>

namespace rollover {

// The cut lines of the rollover builder, the one record of them: each is a
// plate row (0 is the top row), the last row of the piece above it. The window
// shows rows() in List1 after every change, and in its scratch list List2
// after every release (that list is not emptied with the cut lines), and
// draws the rows the mouse calls return in yellow.
//
// After release() the rows are normalised: ascending, each once, from 0 to
// lastRow(). Between a press and its release they may lack the line the press
// took out.
class CutLineList
{
public:
    // Mouse buttons as the window reports them: the sum of the buttons held
    // for a move, the one button for a press or release.
    static constexpr int kLeftButton = 1;
    static constexpr int kLastRow = 768;

    // The cut-line rows, in list order: a new line stays last until the
    // release normalises the list. Empty: no cut lines.
    const QList<int> &rows() const { return m_rows; }

    // Loading a new back plate starts a fresh layout.
    void clear() { m_rows.clear(); }

    // The height in rows of the back plate the lines are placed on; 0 (the
    // start) when none is known. Lines that would leave no piece below them
    // (pieces.h, lastCutRow) go as those past kLastRow do, at once for lines
    // already placed.
    void setPlateHeight(int rows);
    // The lowest row a line can take: kLastRow, or higher up on a short plate.
    int lastRow() const;

    // `Picture1_MouseDown`, any button: takes out the first line at `row` or
    // one row above or below it. True when a line was taken out.
    bool press(int row);

    // `Picture1_MouseMove`: the rows to draw on `Picture1` after clearing it,
    // every cut line and then the guide line at `row` (the last entry). Empty,
    // and nothing is to be redrawn, unless `buttons` is the left button alone.
    QList<int> drag(int buttons, int row) const;

    // `Picture1_MouseUp`: a left release adds a line at `row`. Returns the rows
    // to draw on all three plates after clearing them, taken before the list is
    // normalised, so a line outside 0 to lastRow() is drawn this once and then
    // gone.
    QList<int> release(int button, int row);

    // The keyboard's gestures at a guide row, as the mouse's there: place()
    // is a left release without a press, remove() a right click. Both return
    // the rows to draw, as release() does.
    QList<int> place(int row) { return release(kLeftButton, row); }
    QList<int> remove(int row);

    // `rows` as a release leaves them: those from 0 to `lastRow`, ascending,
    // each once.
    static QList<int> normalised(QList<int> rows, int lastRow = kLastRow);

private:
    QList<int> m_rows;
    int m_plateHeight = 0;
};

} // namespace rollover
