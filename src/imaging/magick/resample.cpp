#include "picture.h"

#include "library.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace imaging::detail {

namespace {

using namespace MagickLib;

// One pixel's four samples, worked on together.
using Samples = float __attribute__((vector_size(16)));
using QuantumSamples = Quantum __attribute__((vector_size(4 * sizeof(Quantum))));
using IntSamples = int __attribute__((vector_size(16)));
static_assert(sizeof(PixelPacket) == sizeof(QuantumSamples) && sizeof(Quantum) <= 2,
              "a pixel is four samples of at most 16 bits");

constexpr int kOpacityLane = int(offsetof(PixelPacket, opacity) / sizeof(Quantum));
constexpr double kLobes = 3;
// The library's writers take 8-bit samples from its deeper ones by cutting
// off the low bits, which darkens every resampled picture by half a level on
// average; raising the samples by half an 8-bit step (less one, for the
// rounding below) makes that cut a rounding. 16-bit files see 0.2 % of a
// level in 8 bits, nothing.
constexpr float kEightBitRounding = float((MaxRGB / 255.0 - 1) / 2);

double lanczos(double x)
{
    const auto sinc = [](double t) { return t == 0 ? 1.0 : std::sin(M_PI * t) / (M_PI * t); };
    return x > -kLobes && x < kLobes ? sinc(x) * sinc(x / kLobes) : 0.0;
}

// Which source samples make each output sample of one axis, and with what
// weights. The kernel is widened by the reduction so that it removes what
// the smaller grid cannot hold; pixel centres sit at half-integers, and
// weights cut off by an edge are made up by the others.
struct Taps {
    std::vector<int> first; // the first source sample of each output sample
    std::vector<int> count;
    std::vector<float> weights; // `stride` a sample, `count` of them used
    int stride = 0;
};

Taps lanczosTaps(int from, int to)
{
    const double scale = double(from) / double(to);
    const double widen = std::max(scale, 1.0);
    const double support = kLobes * widen;
    Taps taps;
    taps.stride = int(std::ceil(support)) * 2 + 1;
    taps.first.resize(size_t(to));
    taps.count.resize(size_t(to));
    taps.weights.assign(size_t(to) * size_t(taps.stride), 0.0f);
    std::vector<double> raw(size_t(taps.stride));
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale;
        const int lo = std::max(int(centre - support + 0.5), 0);
        const int hi = std::min(int(centre + support + 0.5), from);
        double sum = 0;
        for (int k = lo; k < hi; ++k)
            sum += raw[size_t(k - lo)] = lanczos((k - centre + 0.5) / widen);
        taps.first[size_t(i)] = lo;
        taps.count[size_t(i)] = hi - lo;
        for (int k = lo; k < hi; ++k)
            taps.weights[size_t(i) * size_t(taps.stride) + size_t(k - lo)] = float(raw[size_t(k - lo)] / sum);
    }
    return taps;
}

// A pixel's samples as floats; with transparency, colours are weighted by
// their opacity first, so that a clear pixel's colour bleeds into nothing.
template <bool Matte>
Samples load(const PixelPacket &pixel)
{
    QuantumSamples raw;
    std::memcpy(&raw, &pixel, sizeof raw);
    Samples samples = __builtin_convertvector(__builtin_convertvector(raw, IntSamples), Samples);
    if constexpr (Matte) {
        const float alpha = float(MaxRGB) - samples[kOpacityLane];
        samples *= alpha / float(MaxRGB);
        samples[kOpacityLane] = alpha;
    }
    return samples;
}

template <bool Matte>
void store(Samples samples, PixelPacket *pixel)
{
    if constexpr (Matte) {
        const float alpha = std::clamp(samples[kOpacityLane], 0.0f, float(MaxRGB));
        samples *= alpha > 0.5f ? float(MaxRGB) / alpha : 0.0f;
        samples[kOpacityLane] = float(MaxRGB) - alpha;
    } else {
        samples[kOpacityLane] = float(OpaqueOpacity);
    }
    const Samples low{0, 0, 0, 0}, high{float(MaxRGB), float(MaxRGB), float(MaxRGB), float(MaxRGB)};
    // Opacity counts the other way: it is lowered for its cut to round.
    Samples bias{kEightBitRounding, kEightBitRounding, kEightBitRounding, kEightBitRounding};
    bias[kOpacityLane] = -kEightBitRounding;
    samples += bias;
    samples = samples < low ? low : samples > high ? high : samples;
    const QuantumSamples out = __builtin_convertvector(samples + 0.5f, QuantumSamples);
    std::memcpy(pixel, &out, sizeof out);
}

// One output row from one row of the source's width.
template <bool Matte>
void resampleAcross(const std::vector<Samples> &row, const Taps &across, PixelPacket *out, long width)
{
    for (long x = 0; x < width; ++x) {
        const float *w = across.weights.data() + size_t(x) * size_t(across.stride);
        const Samples *in = row.data() + across.first[size_t(x)];
        const int count = across.count[size_t(x)];
        Samples even{0, 0, 0, 0}, odd{0, 0, 0, 0};
        int k = 0;
        for (; k + 1 < count; k += 2) {
            even += w[k] * in[k];
            odd += w[k + 1] * in[k + 1];
        }
        if (k < count)
            even += w[k] * in[k];
        store<Matte>(even + odd, out + x);
    }
}

// Columns first, one output row at a time. Each source row is turned into
// floats once, into a ring that holds the rows one output row draws on (the
// windows only move down); every loop runs along memory. A strong reduction
// draws on more rows than the ring should hold: its rows are added straight
// into the output row instead, converted once for each of the few output
// rows that share them.
template <bool Matte>
bool resampleRows(const PixelPacket *source, long sourceWidth, PixelPacket *target, long width, long height,
                  const Taps &across, const Taps &down, const Deadline &deadline)
{
    constexpr long kRingRows = 64;
    const bool ringed = down.stride <= kRingRows;
    const size_t ringRows = size_t(down.stride), rowLength = size_t(sourceWidth);
    std::vector<Samples> ring(ringed ? ringRows * rowLength : 0), row(rowLength);
    std::vector<const Samples *> lines(ringed ? ringRows : 0);
    long converted = 0; // source rows before this one are in the ring or done with
    for (long y = 0; y < height; ++y) {
        if (deadline.expired())
            return false;
        const long first = down.first[size_t(y)], count = down.count[size_t(y)];
        const float *weights = down.weights.data() + size_t(y) * size_t(down.stride);
        if (!ringed) {
            std::fill(row.begin(), row.end(), Samples{0, 0, 0, 0});
            for (long k = 0; k < count; ++k) {
                const PixelPacket *in = source + (first + k) * sourceWidth;
                for (long x = 0; x < sourceWidth; ++x)
                    row[size_t(x)] += weights[k] * load<Matte>(in[x]);
            }
            resampleAcross<Matte>(row, across, target + y * width, width);
            continue;
        }
        for (long r = std::max(converted, first); r < first + count; ++r) {
            const PixelPacket *in = source + r * sourceWidth;
            Samples *slot = ring.data() + size_t(r) % ringRows * rowLength;
            for (long x = 0; x < sourceWidth; ++x)
                slot[x] = load<Matte>(in[x]);
        }
        converted = std::max(converted, first + count);
        for (long k = 0; k < count; ++k)
            lines[size_t(k)] = ring.data() + size_t(first + k) % ringRows * rowLength;
        // Four pixels at a time, so that four sums grow side by side.
        long x = 0;
        for (; x + 4 <= sourceWidth; x += 4) {
            Samples a{0, 0, 0, 0}, b = a, c = a, d = a;
            for (long k = 0; k < count; ++k) {
                const Samples *line = lines[size_t(k)] + x;
                const float weight = weights[k];
                a += weight * line[0];
                b += weight * line[1];
                c += weight * line[2];
                d += weight * line[3];
            }
            row[size_t(x)] = a;
            row[size_t(x + 1)] = b;
            row[size_t(x + 2)] = c;
            row[size_t(x + 3)] = d;
        }
        for (; x < sourceWidth; ++x) {
            Samples sum{0, 0, 0, 0};
            for (long k = 0; k < count; ++k)
                sum += weights[k] * lines[size_t(k)][x];
            row[size_t(x)] = sum;
        }
        resampleAcross<Matte>(row, across, target + y * width, width);
    }
    return true;
}

} // namespace

std::optional<Picture> resample(const Picture &picture, QSize size, const Deadline &deadline, QString *reason)
{
    const Image *image = picture.constImage();
    const long sourceWidth = long(image->columns), sourceHeight = long(image->rows);
    const long width = size.width(), height = size.height();
    ExceptionInfo exception;
    GetExceptionInfo(&exception);
    const auto failure = [&](const QString &why) {
        *reason = why;
        DestroyExceptionInfo(&exception);
        return std::nullopt;
    };
    // A copy of everything but the pixels: profiles, density and the rest go
    // on with the new size.
    Image *resized = CloneImage(image, unsigned(width), unsigned(height), MagickTrue, &exception);
    if (!resized)
        return failure(plainReason(QString::fromLocal8Bit(exception.reason ? exception.reason : "")));
    Picture result(resized);
    resized->storage_class = DirectClass;
    resized->is_monochrome = MagickFalse;
    PixelPacket *target = SetImagePixelsEx(resized, 0, 0, width, height, &exception);
    if (!target)
        return failure(plainReason(QString::fromLocal8Bit(exception.reason ? exception.reason : "")));
    const PixelPacket *source = AcquireImagePixels(image, 0, 0, sourceWidth, sourceHeight, &exception);
    if (!source)
        return failure(plainReason(QString::fromLocal8Bit(exception.reason ? exception.reason : "")));

    const Taps across = lanczosTaps(int(sourceWidth), int(width));
    const Taps down = lanczosTaps(int(sourceHeight), int(height));
    const bool done = image->matte
        ? resampleRows<true>(source, sourceWidth, target, width, height, across, down, deadline)
        : resampleRows<false>(source, sourceWidth, target, width, height, across, down, deadline);
    if (!done)
        return failure(deadline.reason());
    if (!SyncImagePixelsEx(resized, &exception))
        return failure(plainReason(QString::fromLocal8Bit(exception.reason ? exception.reason : "")));
    DestroyExceptionInfo(&exception);
    return result;
}

} // namespace imaging::detail
