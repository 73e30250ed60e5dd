#pragma once

#include <QImage>
#include <QList>

namespace rollover {

// A run of plate rows, both ends included.
struct RowSpan {
    int first = 0;
    int last = 0;
    friend bool operator==(const RowSpan &, const RowSpan &) = default;
};

struct FoundCuts {
    QList<RowSpan> entries; // where the highlight plate differs, top to bottom
    QList<int> cuts;        // one cut line midway through each gap between entries
};

// Finds a menu's entries from its plates: the rows where `highlight` differs
// from `normal` (compared over the part both cover) form the entries, and a
// cut line goes midway through each gap between two entries, so that each
// piece holds one entry; there is none above the first or below the last, so
// one entry (or none) gives no cut line. A cut row belongs to the piece above
// it, as in the cut-line list.
//
// Meant for plates that other programs drew and saved lossily:
// - a pixel differs when one of its channels moves by more than
//   kChannelTolerance, so dithering and compression noise do not count;
// - a differing pixel counts only beside another differing pixel, so that
//   lone specks of noise are not an entry, while strokes of lettering are;
// - a row differs with at least kRowPixels such pixels and kRowPermille
//   thousandths of the width;
// - gaps of fewer than kMinGap rows (between the lines of one entry's
//   lettering) are closed, then entries of fewer than kMinEntry rows (a
//   stray line of noise) are dropped.
// A drop shadow the highlight adds below an entry counts as part of it, so
// the shadow stays in its entry's piece.
FoundCuts findCuts(const QImage &normal, const QImage &highlight);

inline constexpr int kChannelTolerance = 48;
inline constexpr int kRowPixels = 2;
inline constexpr int kRowPermille = 10;
inline constexpr int kMinGap = 3;
inline constexpr int kMinEntry = 3;

} // namespace rollover
