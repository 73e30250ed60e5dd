#pragma once

#include "imaging/imageman.h"

#include <QImage>
#include <QRandomGenerator>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

// The generated photos every benchmark converts.
namespace bench {

namespace detail {

// Grainy shading at every scale, strongest in the coarse ones: the falling
// spectrum of daylight scenes. Values about -1 to 1, width x height of them.
inline std::vector<float> fractalNoise(QRandomGenerator &random, int width, int height)
{
    std::vector<float> field(size_t(width) * size_t(height), 0.0f);
    float amplitude = 0.5f;
    for (int cell = 256; cell >= 2; cell /= 2, amplitude *= 0.6f) {
        const int columns = width / cell + 2, rows = height / cell + 2;
        std::vector<float> grid(size_t(columns) * size_t(rows));
        for (float &v : grid)
            v = float(random.generateDouble() * 2 - 1);
        for (int y = 0; y < height; ++y) {
            const float fy = float(y) / float(cell);
            const int gy = int(fy);
            const float ty = fy - float(gy), sy = ty * ty * (3 - 2 * ty);
            float *line = field.data() + size_t(y) * size_t(width);
            const float *top = grid.data() + size_t(gy) * size_t(columns), *bottom = top + columns;
            for (int x = 0; x < width; ++x) {
                const float fx = float(x) / float(cell);
                const int gx = int(fx);
                const float tx = fx - float(gx), sx = tx * tx * (3 - 2 * tx);
                const float upper = top[gx] + (top[gx + 1] - top[gx]) * sx;
                const float lower = bottom[gx] + (bottom[gx + 1] - bottom[gx]) * sx;
                line[x] += amplitude * (upper + (lower - upper) * sy);
            }
        }
    }
    return field;
}

} // namespace detail

// A seeded stand-in for a camera photo: overlapping objects of every size
// (sizes falling off as in natural scenes, so the spectrum falls as 1/f),
// anti-aliased edges, lit and shaded surfaces with grain at every scale, a
// fifth of them woven or striped finely enough (2 to 7 pixels a period) to
// alias under a poor downscale, and sensor noise. Pictures of this kind score
// much as camera photos do against a careful resampler; flat shading with
// uniform grain flattered every tool.
inline QImage photo(int seed, int width = 1600, int height = 1200)
{
    QRandomGenerator random{quint32(seed) * 2654435761u + 1};
    const std::vector<float> texture = detail::fractalNoise(random, width, height);
    std::vector<float> rgb(size_t(width) * size_t(height) * 3);
    // A sky-to-ground shading behind everything.
    const float skyR = 90 + float(random.bounded(80)), skyG = 120 + float(random.bounded(80)), skyB = 170 + float(random.bounded(80));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float t = float(y) / float(height), n = texture[size_t(y) * size_t(width) + size_t(x)];
            float *p = rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3;
            p[0] = skyR * (1 - t) + 70 * t + 30 * n;
            p[1] = skyG * (1 - t) + 80 * t + 30 * n;
            p[2] = skyB * (1 - t) + 50 * t + 30 * n;
        }

    // Sizes from 2 pixels to a third of the short side with density r^-3,
    // drawn smallest first: fine detail behind, large surfaces in front.
    const double smallest = 2.0, largest = std::min(width, height) / 3.0;
    const double a = 1 / (smallest * smallest), b = 1 / (largest * largest);
    std::vector<double> radii(size_t(double(width) * double(height) / 40.0));
    for (double &radius : radii)
        radius = 1 / std::sqrt(a - random.generateDouble() * (a - b));
    std::sort(radii.begin(), radii.end());
    // A scene has a few colours (foliage, earth, stone, skin, fabric) that
    // its objects vary.
    float palette[5][3];
    for (auto &colour : palette)
        for (float &channel : colour)
            channel = float(40 + random.bounded(180));
    for (const double radius : radii) {
        const double cx = random.generateDouble() * width, cy = random.generateDouble() * height;
        const double squash = 0.3 + 0.7 * random.generateDouble(), turn = random.generateDouble() * M_PI;
        const double rx = radius, ry = radius * squash, c = std::cos(turn), s = std::sin(turn);
        const float *scene = palette[random.bounded(5)];
        float base[3];
        for (int k = 0; k < 3; ++k)
            base[k] = scene[k] + float(random.bounded(50)) - 25;
        const float grey = (base[0] + base[1] + base[2]) / 3, saturation = float(0.3 + 0.6 * random.generateDouble());
        const double lightAngle = random.generateDouble() * 2 * M_PI;
        const float lx = float(std::cos(lightAngle)), ly = float(std::sin(lightAngle));
        const float grain = float(0.1 + 0.4 * random.generateDouble());
        const bool woven = random.bounded(5) == 0 && radius > 8;
        const double period = 2 + 5 * random.generateDouble(), weave = random.generateDouble() * M_PI;
        const float wx = float(std::cos(weave) * 2 * M_PI / period), wy = float(std::sin(weave) * 2 * M_PI / period);
        const float wovenDepth = float(0.1 + 0.25 * random.generateDouble());
        const int x0 = std::max(0, int(cx - rx - 1)), x1 = std::min(width - 1, int(cx + rx + 1));
        const int y0 = std::max(0, int(cy - rx - 1)), y1 = std::min(height - 1, int(cy + rx + 1));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
                const double u = (dx * c + dy * s) / rx, v = (-dx * s + dy * c) / ry;
                const double q = std::sqrt(u * u + v * v);
                // Coverage over about one pixel across the edge.
                const float cover = float(std::clamp((1 - q) * ry + 0.5, 0.0, 1.0));
                if (cover <= 0)
                    continue;
                const size_t at = size_t(y) * size_t(width) + size_t(x);
                float light = 1 + 0.35f * float(dx * lx + dy * ly) / float(rx) + grain * texture[at];
                if (woven)
                    light *= 1 + wovenDepth * std::sin(wx * float(x) + wy * float(y));
                float *p = rgb.data() + at * 3;
                for (int k = 0; k < 3; ++k) {
                    const float colour = (grey + (base[k] - grey) * saturation) * light;
                    p[k] += (colour - p[k]) * cover;
                }
            }
        }
    }

    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        const float *p = rgb.data() + size_t(y) * size_t(width) * 3;
        for (int x = 0; x < width; ++x, p += 3) {
            // Sensor noise, in the light and in each channel.
            const float shared = float(random.generateDouble() - 0.5) * 5;
            int channel[3];
            for (int k = 0; k < 3; ++k)
                channel[k] = std::clamp(int(std::lround(p[k] + shared + float(random.generateDouble() - 0.5) * 3)), 0, 255);
            line[x] = qRgb(channel[0], channel[1], channel[2]);
        }
    }
    return picture;
}

// Writes `count` photos of 1600 x 1200 as JPEG quality 90 into `folder`
// (photo000.jpg on), each a different picture, made on every core. Their
// names, or none when one could not be written.
inline QStringList writePhotos(const QString &folder, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("photo%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
    const int workers = std::max(1, QThread::idealThreadCount());
    std::atomic_bool failed = false;
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w)
        threads.emplace_back([&, w] {
            imaging::ImageMan maker;
            maker.setJpegQuality(90);
            for (int i = w; i < count; i += workers)
                if (!maker.setImage(photo(i)) || !maker.saveImage(folder + '/' + names[i]))
                    failed = true;
        });
    for (std::thread &thread : threads)
        thread.join();
    return failed ? QStringList() : names;
}

} // namespace bench
