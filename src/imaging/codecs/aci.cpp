#include "aci.h"

#include <array>

namespace imaging::detail {
namespace {

struct Rgb {
    int r, g, b;
};

// Indices 10 to 249 run through 24 hues 15 degrees apart. Each hue has five
// brightness steps, each step a full colour (even index) and one halfway to
// white (odd index). 250 to 255 are greys from dark to white.
constexpr Rgb generated(int index)
{
    constexpr Rgb fixed[10] = {{0, 0, 0},     {255, 0, 0},   {255, 255, 0},
                               {0, 255, 0},   {0, 255, 255}, {0, 0, 255},
                               {255, 0, 255}, {0, 0, 0},     {128, 128, 128},
                               {192, 192, 192}};
    if (index < 10)
        return fixed[index];
    if (index >= 250) {
        constexpr int greys[6] = {51, 91, 132, 173, 214, 255};
        const int v = greys[index - 250];
        return {v, v, v};
    }
    const int hue = (index - 10) / 10 * 15;
    const int step = (index % 10) / 2;
    const bool pale = index % 2 == 1;
    constexpr double brightness[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    // Hue ramp of the fully saturated colour, components in 0..1.
    const auto ramp = [&](int offset) {
        int h = (hue + offset) % 360;
        if (h < 0)
            h += 360;
        if (h < 60 || h >= 300)
            return 1.0;
        if (h < 120)
            return (120 - h) / 60.0;
        if (h < 240)
            return 0.0;
        return (h - 240) / 60.0;
    };
    double c[3] = {ramp(0), ramp(-120), ramp(-240)};
    Rgb out{};
    int *component[3] = {&out.r, &out.g, &out.b};
    for (int i = 0; i < 3; ++i) {
        if (pale)
            c[i] = 0.5 + c[i] / 2;
        *component[i] = int(c[i] * 255 * brightness[step]);
    }
    return out;
}

constexpr std::array<Rgb, 256> makeTable()
{
    std::array<Rgb, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = generated(i);
    return table;
}

constexpr std::array<Rgb, 256> kTable = makeTable();

static_assert(kTable[1].r == 255 && kTable[1].g == 0 && kTable[1].b == 0);
static_assert(kTable[21].r == 255 && kTable[21].g == 159 && kTable[21].b == 127);
static_assert(kTable[22].r == 165 && kTable[22].g == 41 && kTable[22].b == 0);
static_assert(kTable[255].r == 255 && kTable[255].g == 255 && kTable[255].b == 255);

} // namespace

QRgb aciColour(int index)
{
    if (index < kAciFirst || index > kAciLast)
        return qRgb(0, 0, 0);
    const Rgb &c = kTable[size_t(index)];
    return qRgb(c.r, c.g, c.b);
}

int nearestAci(QRgb colour)
{
    const int r = qRed(colour), g = qGreen(colour), b = qBlue(colour);
    int best = kAciForeground;
    long bestDistance = -1;
    for (int i = kAciFirst; i <= kAciLast; ++i) {
        const Rgb &c = kTable[size_t(i)];
        // The eye weighs green most and blue least.
        const long distance = 3L * (r - c.r) * (r - c.r) + 4L * (g - c.g) * (g - c.g)
            + 2L * (b - c.b) * (b - c.b);
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace imaging::detail
