#pragma once

#include "codecsupport.h"

#include <QImage>
#include <QString>
#include <algorithm>
#include <array>
#include <vector>

// Turning a picture into palette indices for the palette types we write
// ourselves (PCX with one plane, RLE8 bitmaps, PNG with a palette).
namespace imaging::detail {

// Up to 256 colours, each numbered in the order it was first met: the one
// exact palette of our writers. A colour is any 32-bit value, packed as the
// caller packs its pixels. Runs of one colour cost one comparison.
class ExactPalette
{
public:
    ExactPalette()
    {
        m_index.fill(-1);
        m_colours.reserve(256);
    }

    // The index of `colour`, added when new; -1 once it would be a 257th,
    // after which the palette is of no use.
    int indexOf(quint32 colour)
    {
        if (colour == m_lastColour && m_lastIndex >= 0)
            return m_lastIndex;
        const quint32 slot = slotOf(colour);
        if (m_index[slot] < 0) {
            if (m_colours.size() == 256)
                return -1;
            m_index[slot] = qint16(m_colours.size());
            m_key[slot] = colour;
            m_colours.push_back(colour);
        }
        m_lastColour = colour;
        m_lastIndex = m_index[slot];
        return m_lastIndex;
    }

    // Renumbers the colours so that those for which `first` holds come
    // first, each part in its old order. Returns how many hold.
    template <typename Predicate>
    int moveToFront(Predicate first)
    {
        const auto end = std::stable_partition(m_colours.begin(), m_colours.end(), first);
        for (size_t i = 0; i < m_colours.size(); ++i)
            m_index[slotOf(m_colours[i])] = qint16(i);
        m_lastIndex = -1;
        return int(end - m_colours.begin());
    }

    const std::vector<quint32> &colours() const { return m_colours; }

private:
    static constexpr int kBits = 10, kSlots = 1 << kBits;

    quint32 slotOf(quint32 colour) const
    {
        quint32 slot = colourHash(colour, kBits);
        while (m_index[slot] >= 0 && m_key[slot] != colour)
            slot = (slot + 1) & (kSlots - 1);
        return slot;
    }

    std::array<quint32, kSlots> m_key{};
    std::array<qint16, kSlots> m_index;
    std::vector<quint32> m_colours;
    quint32 m_lastColour = 0;
    int m_lastIndex = -1;
};

// A picture as one palette index per pixel.
struct IndexedPicture {
    // Format_Indexed8; its colour table (at most 256 opaque colours) is the
    // palette. Null when there is none.
    QImage image;
    // Every pixel is grey; the palette is then the full ramp 0..255 and an
    // index is the grey level itself.
    bool grey = false;
    // Every pixel kept its colour.
    bool exact = false;
};

enum class Reduction {
    // Only an exact palette will do: a picture of more than 256 colours
    // gives no indexed picture at all.
    ExactOnly,
    // A picture of more than 256 colours is represented by 256 chosen ones,
    // each pixel taking the nearest.
    Allowed,
};

// Indexes the opaque RGB32 `picture`. A picture of at most 256 colours keeps
// every colour exactly, listed in the order they first appear (a grey one
// gets the ramp). Time grows with the pixels (the reduction adds a fixed
// amount for its histogram). Returns false with a reason when the deadline
// expires or memory runs out; true with a null `out->image` when the
// picture has more than 256 colours and `reduction` is ExactOnly.
bool indexColours(const QImage &picture, Reduction reduction, Checkpoint &checkpoint,
                  IndexedPicture *out, QString *reason);

} // namespace imaging::detail
