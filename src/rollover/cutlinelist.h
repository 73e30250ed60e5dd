#pragma once

#include <QList>

namespace rollover {

// The cut lines of the rollover builder, the one record of them: each is a
// plate row (0 is the top row), the last row of the piece above it. The lines
// change by gestures: a line is added by placing it, moved by taking it,
// guiding it and placing it again, and deleted by taking it and settling.
// Each gesture returns the rows to draw, and the window shows rows() after
// every change.
//
// After place() and settle() the rows are normalised: ascending, each once,
// from 0 to lastRow(). Between a take and the place or settle that ends the
// gesture they may lack the line that was taken.
class CutLineList
{
public:
    static constexpr int kLastRow = 768;

    // The cut-line rows, in list order. Empty: no cut lines.
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

    // The start of a move or a delete: takes out the first line at `row` or
    // one row above or below it. True when a line was taken out.
    bool take(int row);

    // During a move: the rows to draw on the back plate after clearing it,
    // every cut line and then the guide line at `row` (the last entry).
    QList<int> guide(int row) const;

    // The end of an add or a move: a line at `row`. Returns the rows to draw
    // on all three plates after clearing them, taken before the list is
    // normalised, so a line outside 0 to lastRow() is drawn this once and
    // then gone.
    QList<int> place(int row);
    // The end of a delete, or of a gesture that places nothing: normalises
    // and returns the rows to draw, as place() does.
    QList<int> settle();
    // A delete at once: take(row), then settle().
    QList<int> remove(int row);

    // `rows` as place() and settle() leave them: those from 0 to `lastRow`,
    // ascending, each once.
    static QList<int> normalised(QList<int> rows, int lastRow = kLastRow);

private:
    QList<int> m_rows;
    int m_plateHeight = 0;
};

} // namespace rollover
