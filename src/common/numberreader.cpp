#include "numberreader.h"

#include <charconv>
#include <limits>
#include <string>

namespace common {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitValue(char c, int base)
{
    int value = -1;
    if (isDigit(c))
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

double readRadix(const std::string &s, size_t pos, int base)
{
    double value = 0;
    for (; pos < s.size(); ++pos) {
        const int digit = digitValue(s[pos], base);
        if (digit < 0)
            break;
        value = value * base + digit;
    }
    return value;
}

} // namespace

double readLeadingNumber(QStringView text)
{
    // Only ASCII can take part in a number; anything else ends it, so it is
    // mapped to a character that cannot continue one.
    std::string s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        s.push_back(c.unicode() < 128 ? char(c.unicode()) : '\x01');
    }

    if (s.size() >= 2 && s[0] == '&') {
        const char kind = s[1];
        if (kind == 'h' || kind == 'H')
            return readRadix(s, 2, 16);
        if (kind == 'o' || kind == 'O')
            return readRadix(s, 2, 8);
        return 0;
    }

    size_t end = 0;
    if (end < s.size() && (s[end] == '+' || s[end] == '-'))
        ++end;
    const size_t mantissaStart = end;
    while (end < s.size() && isDigit(s[end]))
        ++end;
    if (end < s.size() && s[end] == '.') {
        ++end;
        while (end < s.size() && isDigit(s[end]))
            ++end;
    }
    const size_t mantissaEnd = end;
    bool hasDigit = false;
    for (size_t i = mantissaStart; i < mantissaEnd; ++i)
        hasDigit = hasDigit || isDigit(s[i]);
    if (!hasDigit)
        return 0;

    std::string number = s.substr(0, mantissaEnd);
    if (end < s.size() && (s[end] == 'e' || s[end] == 'E' || s[end] == 'd' || s[end] == 'D')) {
        size_t exp = end + 1;
        if (exp < s.size() && (s[exp] == '+' || s[exp] == '-'))
            ++exp;
        const size_t expDigits = exp;
        while (exp < s.size() && isDigit(s[exp]))
            ++exp;
        if (exp > expDigits)
            number += 'e' + s.substr(end + 1, exp - end - 1);
    }

    // from_chars takes no leading '+' and ignores the locale.
    const bool negative = number[0] == '-';
    const size_t first = (number[0] == '+' || number[0] == '-') ? 1 : 0;
    double value = 0;
    const char *begin = number.data() + first;
    const auto [ptr, ec] = std::from_chars(begin, number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large becomes infinity.
        const bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

} // namespace common
