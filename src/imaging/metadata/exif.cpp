#include "exif.h"

#include "imaging/codecs/codecsupport.h"

#include <QtEndian>
#include <algorithm>
#include <vector>

namespace imaging::detail {

namespace {

constexpr quint16 kOrientation = 0x0112;
constexpr quint16 kArtist = 0x013B;
constexpr quint16 kCopyright = 0x8298;
constexpr quint16 kExifDirectory = 0x8769;
constexpr quint16 kGpsDirectory = 0x8825;
constexpr quint16 kInteropDirectory = 0xA005;
constexpr quint16 kStripOffsets = 0x0111;
constexpr quint16 kStripByteCounts = 0x0117;
constexpr quint16 kThumbnailOffset = 0x0201;
constexpr quint16 kThumbnailLength = 0x0202;
constexpr quint16 kShort = 3, kLong = 4, kAscii = 2;

// A directory of more entries than this is damage, not a photo's tags.
constexpr int kMaxEntries = 1000;

int typeSize(quint16 type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}

QByteArrayView withoutPrefix(QByteArrayView exif)
{
    return exif.startsWith(kExifPrefix) ? exif.sliced(kExifPrefix.size()) : exif;
}

struct Entry {
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
    qint64 at = 0;    // the entry's own twelve bytes
    qint64 value = 0; // where its value lies: in the entry or at its offset
    qint64 bytes = 0; // the value's length
};

// A TIFF structure's fields, read in its byte order; anything outside the
// bytes reads as zero.
class Tiff
{
public:
    explicit Tiff(QByteArrayView bytes) : m_bytes(bytes)
    {
        m_valid = bytes.size() >= 8 && (bytes.startsWith(QByteArrayView("II*\0", 4)) || bytes.startsWith(QByteArrayView("MM\0*", 4)));
        m_little = m_valid && bytes[0] == 'I';
    }
    bool valid() const { return m_valid; }
    qint64 size() const { return m_bytes.size(); }
    bool holds(qint64 at, qint64 n) const { return at >= 0 && n >= 0 && at <= size() && n <= size() - at; }

    quint16 u16(qint64 at) const
    {
        if (!holds(at, 2))
            return 0;
        const char *p = m_bytes.data() + at;
        return m_little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    }
    quint32 u32(qint64 at) const
    {
        if (!holds(at, 4))
            return 0;
        const char *p = m_bytes.data() + at;
        return m_little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    }
    bool little() const { return m_little; }

    qint64 firstDirectory() const { return u32(4); }
    int entryCount(qint64 directory) const
    {
        const int n = u16(directory);
        return directory > 0 && n <= kMaxEntries && holds(directory, 2 + 12 * qint64(n) + 4) ? n : 0;
    }
    qint64 nextLinkAt(qint64 directory) const { return directory + 2 + 12 * qint64(entryCount(directory)); }

    std::vector<Entry> entries(qint64 directory) const
    {
        std::vector<Entry> out;
        const int n = entryCount(directory);
        for (int i = 0; i < n; ++i) {
            Entry e;
            e.at = directory + 2 + 12 * qint64(i);
            e.tag = u16(e.at);
            e.type = u16(e.at + 2);
            e.count = u32(e.at + 4);
            e.bytes = qint64(typeSize(e.type)) * e.count;
            e.value = e.bytes <= 4 ? e.at + 8 : qint64(u32(e.at + 8));
            if (typeSize(e.type) > 0 && holds(e.value, e.bytes))
                out.push_back(e);
        }
        return out;
    }
    // The first value of a SHORT or LONG entry.
    quint32 number(const Entry &e) const
    {
        return e.type == kShort ? u16(e.value) : e.type == kLong ? u32(e.value) : 0;
    }
    QByteArray text(const Entry &e) const
    {
        QByteArray t = m_bytes.sliced(e.value, e.bytes).toByteArray();
        while (t.endsWith('\0'))
            t.chop(1);
        return t;
    }

private:
    QByteArrayView m_bytes;
    bool m_little = false;
    bool m_valid = false;
};

const Entry *find(const std::vector<Entry> &entries, quint16 tag)
{
    const auto it = std::find_if(entries.begin(), entries.end(), [tag](const Entry &e) { return e.tag == tag; });
    return it == entries.end() ? nullptr : &*it;
}

// The end of the bytes a directory, its values and the directories it links
// to occupy, so that what lies beyond them all can be cut off.
qint64 keptEnd(const Tiff &tiff, qint64 directory, int depth)
{
    if (depth > 3 || tiff.entryCount(directory) == 0)
        return 0;
    qint64 end = tiff.nextLinkAt(directory) + 4;
    for (const Entry &e : tiff.entries(directory)) {
        end = std::max(end, e.value + e.bytes);
        if (e.tag == kExifDirectory || e.tag == kGpsDirectory || e.tag == kInteropDirectory)
            end = std::max(end, keptEnd(tiff, tiff.number(e), depth + 1));
    }
    return end;
}

} // namespace

int exifOrientation(QByteArrayView exif)
{
    const Tiff tiff(withoutPrefix(exif));
    if (!tiff.valid())
        return 0;
    const std::vector<Entry> entries = tiff.entries(tiff.firstDirectory());
    const Entry *e = find(entries, kOrientation);
    const quint32 value = e ? tiff.number(*e) : 0;
    return value >= 1 && value <= 8 ? int(value) : 0;
}

ExifAuthorship exifAuthorship(QByteArrayView exif)
{
    ExifAuthorship found;
    const Tiff tiff(withoutPrefix(exif));
    if (!tiff.valid())
        return found;
    const std::vector<Entry> entries = tiff.entries(tiff.firstDirectory());
    if (const Entry *e = find(entries, kArtist); e && e->type == kAscii)
        found.artist = tiff.text(*e);
    if (const Entry *e = find(entries, kCopyright); e && e->type == kAscii)
        found.copyright = tiff.text(*e);
    return found;
}

QByteArray minimalExif(const ExifAuthorship &authorship)
{
    struct Text {
        quint16 tag;
        QByteArray value;
    };
    std::vector<Text> texts;
    for (const Text &t : {Text{kArtist, authorship.artist}, Text{kCopyright, authorship.copyright}})
        if (!t.value.isEmpty())
            texts.push_back({t.tag, t.value + '\0'});

    const quint32 directory = 8;
    const int entries = 1 + int(texts.size());
    quint32 valueAt = directory + 2 + 12 * entries + 4;
    QByteArray tiff("II*\0", 4);
    appendLe32(tiff, directory);
    appendLe16(tiff, quint16(entries));
    appendLe16(tiff, kOrientation);
    appendLe16(tiff, kShort);
    appendLe32(tiff, 1);
    appendLe32(tiff, 1); // the value 1, left-justified in the four bytes
    QByteArray values;
    for (const Text &t : texts) {
        appendLe16(tiff, t.tag);
        appendLe16(tiff, kAscii);
        appendLe32(tiff, quint32(t.value.size()));
        if (t.value.size() <= 4) {
            tiff.append(t.value.leftJustified(4, '\0'));
        } else {
            appendLe32(tiff, valueAt + quint32(values.size()));
            values.append(t.value);
            if (values.size() % 2)
                values.append('\0'); // values start on a word boundary
        }
    }
    appendLe32(tiff, 0);
    return kExifPrefix.toByteArray() + tiff + values;
}

QByteArray uprightExif(QByteArrayView exif)
{
    const qsizetype prefix = exif.startsWith(kExifPrefix) ? kExifPrefix.size() : 0;
    QByteArray block = exif.toByteArray();
    const QByteArray source = block.sliced(prefix);
    const Tiff tiff(source);
    if (!tiff.valid())
        return {};
    const auto write16 = [&](qint64 at, quint16 v) {
        char *p = block.data() + prefix + at;
        tiff.little() ? qToLittleEndian(v, p) : qToBigEndian(v, p);
    };
    const auto zero = [&](qint64 at, qint64 n) {
        if (tiff.holds(at, n))
            std::fill_n(block.data() + prefix + at, n, '\0');
    };

    const qint64 first = tiff.firstDirectory();
    const std::vector<Entry> entries = tiff.entries(first);
    if (const Entry *e = find(entries, kOrientation); e && e->type == kShort)
        write16(e->value, 1);

    const qint64 link = tiff.nextLinkAt(first);
    if (const qint64 second = tiff.entries(first).empty() ? 0 : tiff.u32(link); second > 0) {
        const std::vector<Entry> thumbnail = tiff.entries(second);
        // A JPEG thumbnail is one run of bytes; an uncompressed one is in strips.
        const Entry *offset = find(thumbnail, kThumbnailOffset);
        const Entry *length = find(thumbnail, kThumbnailLength);
        if (offset && length)
            zero(tiff.number(*offset), tiff.number(*length));
        const Entry *strips = find(thumbnail, kStripOffsets);
        const Entry *counts = find(thumbnail, kStripByteCounts);
        if (strips && counts && strips->count == counts->count) {
            const int step = typeSize(strips->type), countStep = typeSize(counts->type);
            for (quint32 i = 0; i < strips->count; ++i) {
                const quint32 at = step == 2 ? tiff.u16(strips->value + i * 2) : tiff.u32(strips->value + i * 4);
                const quint32 n = countStep == 2 ? tiff.u16(counts->value + i * 2) : tiff.u32(counts->value + i * 4);
                zero(at, n);
            }
        }
        for (const Entry &e : thumbnail)
            if (e.value != e.at + 8)
                zero(e.value, e.bytes);
        zero(second, tiff.nextLinkAt(second) + 4 - second);
        zero(link, 4);
    }
    const qint64 end = keptEnd(tiff, first, 0);
    if (end > 0 && end < tiff.size())
        block.truncate(prefix + end);
    return block;
}

QByteArray jpegExif(QByteArrayView file)
{
    if (!file.startsWith("\xFF\xD8"))
        return {};
    qint64 at = 2;
    while (at + 4 <= file.size()) {
        if (uchar(file[at]) != 0xFF)
            return {};
        const uchar marker = uchar(file[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // image data or its end: no more metadata
            return {};
        const qint64 length = qFromBigEndian<quint16>(file.data() + at + 2);
        if (length < 2 || at + 2 + length > file.size())
            return {};
        const QByteArrayView body = file.sliced(at + 4, length - 2);
        if (marker == 0xE1 && body.startsWith(kExifPrefix))
            return body.toByteArray();
        at += 2 + length;
    }
    return {};
}

} // namespace imaging::detail
