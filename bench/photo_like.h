#pragma once
// Test pictures for the benchmarks.

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace corvane::bench {

// Smooth lighting, textures of a few scales and a little sensor-like noise.
inline QImage PhotoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 29) - 4;
            const double light = 0.55 + 0.45 * std::sin(2.1 * u + 1.3) * std::cos(1.7 * v - 0.4);
            const double texture = 18 * std::sin(40 * u + 9 * std::sin(13 * v));
            const double r = 235 * light * (0.8 + 0.2 * u) + texture + n;
            const double g = 210 * light * (0.6 + 0.4 * v) + 0.5 * texture + n;
            const double b = 120 + 100 * std::sin(5 * u - 3 * v) * light - texture + n;
            row[x] = qRgb(std::clamp(int(r), 0, 255), std::clamp(int(g), 0, 255),
                          std::clamp(int(b), 0, 255));
        }
    }
    return image;
}

}  // namespace corvane::bench
