#include "nativename.h"

#include <QDir>

namespace common {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // carries bytes 0x80..0xFF as U+DC80..U+DCFF

bool isCarriedByte(char16_t unit)
{
    return unit >= 0xDC80 && unit <= 0xDCFF;
}

// The length of the valid UTF-8 sequence at `bytes[i]`, 0 when it is not one.
// Overlong forms, encoded surrogates and values past U+10FFFF are not valid.
int sequenceLength(QByteArrayView bytes, qsizetype i, char32_t *value)
{
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        *value = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    *value = code;
    return length;
}

// A unit in U+DC80..U+DCFF is a carried byte unless it is the low half of a
// valid pair (U+10080, say).
bool carriesByteAt(const QString &path, qsizetype i)
{
    return isCarriedByte(path.at(i).unicode()) && !(i > 0 && path.at(i - 1).isHighSurrogate());
}

} // namespace

QByteArray nativeName(const QString &path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path.at(i).unicode();
        if (isCarriedByte(unit)) {
            bytes.append(char(unit - kEscapeBase));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < path.size() && path.at(i + 1).isLowSurrogate()) {
            bytes.append(QString(path.constData() + i, 2).toUtf8());
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            bytes.append("\xEF\xBF\xBD"); // a stray surrogate no system name can hold
        } else {
            bytes.append(QString(QChar(unit)).toUtf8());
        }
    }
    return bytes;
}

QString nameFromNative(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t code = 0;
        const int length = sequenceLength(bytes, i, &code);
        if (length == 0) {
            name.append(QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i]))));
            ++i;
        } else {
            const char32_t one[1] = {code};
            name.append(QString::fromUcs4(one, 1));
            i += length;
        }
    }
    return name;
}

QString shownName(const QString &path)
{
    if (!hasRawBytes(path))
        return QDir::toNativeSeparators(path);
    QString shown;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (carriesByteAt(path, i))
            shown += QLatin1String("\\x") + QString::number(path.at(i).unicode() - kEscapeBase, 16).toUpper();
        else
            shown += path.at(i);
    }
    return QDir::toNativeSeparators(shown);
}

bool hasRawBytes(const QString &path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (carriesByteAt(path, i))
            return true;
    }
    return false;
}

} // namespace common
