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
// - a differing pixel counts only beside another that differs the same way
//   (darker, or otherwise), so that lone specks of noise are not an entry,
//   nor part of one, while strokes of lettering are;
// - a row differs with at least kRowPixels such pixels and kRowPermille
//   thousandths of the width;
// - gaps of fewer than kMinGap rows (between the lines of one entry's
//   lettering) are closed;
// - bands of fewer than kMinEntry rows (a stray line of noise) are dropped;
// - a band of at most kMaxShadow rows that is (in three quarters of its
//   pixels) only darker on the highlight plate is the drop shadow of the
//   entry above it and joins that entry, so the shadow stays in its entry's
//   piece (an entry whose highlight only darkens it must therefore be taller
//   than that).
// Three pixels a row and three rows an entry are the least that lettering
// gives, and more than two specks of noise side by side ever do.
FoundCuts findCuts(const QImage &normal, const QImage &highlight);

inline constexpr int kChannelTolerance = 48;
inline constexpr int kRowPixels = 3;
inline constexpr int kRowPermille = 10;
inline constexpr int kMinGap = 3;
inline constexpr int kMinEntry = 3;
inline constexpr int kMaxShadow = 6;

} // namespace rollover
