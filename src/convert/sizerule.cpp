#include "sizerule.h"

#include "common/numberreader.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace convert {

namespace {

// Independent of the floating-point rounding mode, which a library may change.
double roundHalfToEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction < 0.5)
        return floor;
    if (fraction > 0.5)
        return floor + 1;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

QString tooLarge(const char *side, QStringView text)
{
    QString shown = text.toString().simplified();
    if (shown.size() > 40)
        shown = shown.left(40) + QChar(0x2026);
    return QStringLiteral("the custom %1 \"%2\" is too large: a side can be at most %3 pixels")
        .arg(QLatin1String(side), shown)
        .arg(INT_MAX);
}

// One custom side: the number at the start of `text`, at least 5, rounded half
// to even; nothing when it does not fit a 32-bit signed integer.
std::optional<int> customSide(QStringView text)
{
    // The reader never gives NaN; an overlong number comes back as infinity.
    const double value = roundHalfToEven(std::max(common::readLeadingNumber(text), 5.0));
    if (!(value <= double(INT_MAX)))
        return std::nullopt;
    return int(value);
}

} // namespace

SizeDecision decideSize(SizeChoice choice, QStringView widthText, QStringView heightText)
{
    switch (choice) {
    case SizeChoice::OneToOne:
        return {};
    case SizeChoice::Size640x480:
        return {QSize(640, 480), {}};
    case SizeChoice::Size800x600:
        return {QSize(800, 600), {}};
    case SizeChoice::Size1024x768:
        return {QSize(1024, 768), {}};
    case SizeChoice::Custom:
        break;
    }
    const std::optional<int> width = customSide(widthText);
    if (!width)
        return {std::nullopt, tooLarge("width", widthText)};
    const std::optional<int> height = customSide(heightText);
    if (!height)
        return {std::nullopt, tooLarge("height", heightText)};
    return {QSize(*width, *height), {}};
}

QSize fittedSize(QSize seen, QSize asked, SizeFit fit)
{
    if (fit == SizeFit::Exact || seen.isEmpty() || asked.isEmpty())
        return asked;
    if (fit == SizeFit::Inside && seen.width() <= asked.width() && seen.height() <= asked.height())
        return seen;
    // Whole numbers throughout: sides below 2^31 keep every product and sum
    // here below 2^64, and a picture that meets the box exactly stays exact.
    using Wide = unsigned long long;
    const Wide w = Wide(seen.width()), h = Wide(seen.height());
    const Wide bw = Wide(asked.width()), bh = Wide(asked.height());
    const auto scaled = [](Wide side, Wide to, Wide from) { return std::max<Wide>(1, (2 * side * to + from) / (2 * from)); };
    if (w * bh >= h * bw)
        return QSize(int(bw), int(std::min(bh, scaled(h, bw, w))));
    return QSize(int(std::min(bw, scaled(w, bh, h))), int(bh));
}

} // namespace convert
