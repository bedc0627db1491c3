#include "resample.h"

#include "allocation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace corvane {
namespace {

// Pixels are held as four floats, premultiplied: blue, green, red, alpha (0 … 255).
constexpr int kChannels = 4;
// Catmull-Rom reaches two pixels either side of the sample point.
constexpr double kRadius = 2.0;

double CatmullRom(double x) {
    x = std::fabs(x);
    if (x < 1.0) {
        return (1.5 * x - 2.5) * x * x + 1.0;
    }
    if (x < 2.0) {
        return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
    }
    return 0.0;
}

// The filter along one axis: output position i is the sum over k < count[i] of
// weights[i * taps + k] times source position first[i] + k. Windows move forward
// monotonically with i, which the row streaming below relies on.
struct AxisFilter {
    int taps = 0;
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> weights;

    int Last(int i) const { return first[i] + count[i] - 1; }
};

AxisFilter MakeAxisFilter(int sourceLength, int targetLength) {
    const double scale = static_cast<double>(sourceLength) / targetLength;
    // Shrinking widens the kernel by the scale, so it averages over every source pixel.
    const double stretch = std::max(scale, 1.0);
    const double reach = kRadius * stretch;
    AxisFilter filter;
    filter.first.resize(targetLength);
    filter.count.resize(targetLength);
    for (int i = 0; i < targetLength; ++i) {
        const double centre = (i + 0.5) * scale;
        const int low = std::max(0, static_cast<int>(std::floor(centre - reach)));
        const int high = std::min(sourceLength, static_cast<int>(std::ceil(centre + reach)));
        filter.first[i] = low;
        filter.count[i] = std::max(1, high - low);
        filter.taps = std::max(filter.taps, filter.count[i]);
    }
    filter.weights.assign(static_cast<std::size_t>(targetLength) * filter.taps, 0.0f);
    std::vector<double> raw(filter.taps);
    for (int i = 0; i < targetLength; ++i) {
        const double centre = (i + 0.5) * scale;
        double sum = 0.0;
        for (int k = 0; k < filter.count[i]; ++k) {
            raw[k] = CatmullRom((filter.first[i] + k + 0.5 - centre) / stretch);
            sum += raw[k];
        }
        float* weights = &filter.weights[static_cast<std::size_t>(i) * filter.taps];
        for (int k = 0; k < filter.count[i]; ++k) {
            // Normalised, so a flat area stays exactly flat, also where the image edge cuts
            // the window short.
            weights[k] = static_cast<float>(raw[k] / sum);
        }
    }
    return filter;
}

// bytes[0 … count) as floats. Converting the source is a good part of all the work, so where
// SSE2 is sure to exist (every x86-64) sixteen bytes are widened at a time.
void ExpandBytes(const uchar* in, float* out, int count) {
    int i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i low = _mm_unpacklo_epi8(bytes, zero);
        const __m128i high = _mm_unpackhi_epi8(bytes, zero);
        _mm_storeu_ps(out + i, _mm_cvtepi32_ps(_mm_unpacklo_epi16(low, zero)));
        _mm_storeu_ps(out + i + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(low, zero)));
        _mm_storeu_ps(out + i + 8, _mm_cvtepi32_ps(_mm_unpacklo_epi16(high, zero)));
        _mm_storeu_ps(out + i + 12, _mm_cvtepi32_ps(_mm_unpackhi_epi16(high, zero)));
    }
#endif
    for (; i < count; ++i) {
        out[i] = in[i];
    }
}

// One source row as premultiplied floats. 32-bit pixels are read as bytes, which on a
// little-endian machine lie in memory as blue, green, red, alpha: the order of the floats.
void LoadRow(const QImage& image, int y, float* out) {
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "32-bit pixels are read byte by byte");
    const int width = image.width();
    const uchar* in = image.constScanLine(y);
    switch (image.format()) {
        case QImage::Format_RGB888:  // red, green, blue
            for (int x = 0; x < width; ++x, in += 3, out += kChannels) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = 255.0f;
            }
            return;
        case QImage::Format_RGB32:
            ExpandBytes(in, out, width * kChannels);
            for (int x = 0; x < width; ++x) {
                out[x * kChannels + 3] = 255.0f;  // the fourth byte is not trusted to be 0xFF
            }
            return;
        case QImage::Format_ARGB32:
            ExpandBytes(in, out, width * kChannels);
            for (int x = 0; x < width; ++x, out += kChannels) {
                const float factor = out[3] * (1.0f / 255.0f);
                out[0] *= factor;
                out[1] *= factor;
                out[2] *= factor;
            }
            return;
        default:  // ARGB32_Premultiplied
            ExpandBytes(in, out, width * kChannels);
            return;
    }
}

// Writes one row of premultiplied floats as straight ARGB, clamping the cubic's overshoot.
void StoreRow(const float* in, int width, QRgb* out) {
    for (int x = 0; x < width; ++x, in += kChannels) {
        const float alpha = std::clamp(in[3], 0.0f, 255.0f);
        if (alpha < 0.5f) {
            out[x] = 0;
            continue;
        }
        const float unpremultiply = 255.0f / alpha;
        const auto channel = [&](float value) {
            return static_cast<int>(std::clamp(value, 0.0f, alpha) * unpremultiply + 0.5f);
        };
        out[x] =
            qRgba(channel(in[2]), channel(in[1]), channel(in[0]), static_cast<int>(alpha + 0.5f));
    }
}

// The horizontal pass: one source row, loaded and filtered to the target width.
class RowFilter {
public:
    RowFilter(const QImage& image, int targetWidth)
        : image_(image),
          across_(MakeAxisFilter(image.width(), targetWidth)),
          pixels_(static_cast<std::size_t>(image.width()) * kChannels) {}

    int TargetWidth() const { return static_cast<int>(across_.first.size()); }

    void Filter(int y, float* out) {
        LoadRow(image_, y, pixels_.data());
        const int width = TargetWidth();
        for (int i = 0; i < width; ++i, out += kChannels) {
            const float* weights = &across_.weights[static_cast<std::size_t>(i) * across_.taps];
            const float* in = &pixels_[static_cast<std::size_t>(across_.first[i]) * kChannels];
            // Two running sums, so that one addition need not wait for the one before.
            float even[kChannels] = {};
            float odd[kChannels] = {};
            const int count = across_.count[i];
            int k = 0;
            for (; k + 1 < count; k += 2, in += 2 * kChannels) {
                for (int c = 0; c < kChannels; ++c) {
                    even[c] += weights[k] * in[c];
                    odd[c] += weights[k + 1] * in[kChannels + c];
                }
            }
            if (k < count) {
                for (int c = 0; c < kChannels; ++c) {
                    even[c] += weights[k] * in[c];
                }
            }
            for (int c = 0; c < kChannels; ++c) {
                out[c] = even[c] + odd[c];
            }
        }
    }

private:
    const QImage& image_;
    AxisFilter across_;
    std::vector<float> pixels_;
};

// sum += weight * row, over one row of pixels.
void AddWeighted(float weight, const float* row, float* sum, int width) {
    for (int x = 0; x < width; ++x, row += kChannels, sum += kChannels) {
        for (int c = 0; c < kChannels; ++c) {
            sum[c] += weight * row[c];
        }
    }
}

QRgb* TargetRow(QImage& target, int y) {
    return reinterpret_cast<QRgb*>(target.scanLine(y));
}

// Enlarging (or keeping) the height: each output row gathers its few source rows from a ring
// of already filtered rows, each source row being filtered once.
void GatherRows(RowFilter& rows, const AxisFilter& down, QImage& target) {
    const int width = rows.TargetWidth();
    const std::size_t rowFloats = static_cast<std::size_t>(width) * kChannels;
    std::vector<float> ring(rowFloats * down.taps);
    std::vector<float> sum(rowFloats);
    const auto slot = [&](int y) { return &ring[rowFloats * (y % down.taps)]; };
    int filtered = -1;
    for (int j = 0; j < target.height(); ++j) {
        for (int y = std::max(filtered + 1, down.first[j]); y <= down.Last(j); ++y) {
            rows.Filter(y, slot(y));
        }
        filtered = std::max(filtered, down.Last(j));
        std::fill(sum.begin(), sum.end(), 0.0f);
        const float* weights = &down.weights[static_cast<std::size_t>(j) * down.taps];
        for (int k = 0; k < down.count[j]; ++k) {
            AddWeighted(weights[k], slot(down.first[j] + k), sum.data(), width);
        }
        StoreRow(sum.data(), width, TargetRow(target, j));
    }
}

// How many output rows are open at once while the source rows stream past.
int OpenRowsAtOnce(const AxisFilter& down, int sourceHeight) {
    const int targetHeight = static_cast<int>(down.first.size());
    int most = 1;
    int next = 0;
    int opened = 0;
    for (int y = 0; y < sourceHeight && next < targetHeight; ++y) {
        while (opened < targetHeight && down.first[opened] <= y) {
            ++opened;
        }
        most = std::max(most, opened - next);
        while (next < opened && down.Last(next) <= y) {
            ++next;
        }
    }
    return most;
}

// Shrinking the height: each source row is filtered once and added into the few output rows
// whose window holds it; an output row is written as soon as its last source row is in.
void ScatterRows(RowFilter& rows, const AxisFilter& down, int sourceHeight, QImage& target) {
    const int width = rows.TargetWidth();
    const int targetHeight = target.height();
    const std::size_t rowFloats = static_cast<std::size_t>(width) * kChannels;
    const int open = OpenRowsAtOnce(down, sourceHeight);
    std::vector<float> sums(rowFloats * open);
    std::vector<float> row(rowFloats);
    const auto sum = [&](int j) { return &sums[rowFloats * (j % open)]; };
    int next = 0;    // first output row not yet written
    int opened = 0;  // output rows [next, opened) are being summed
    for (int y = 0; y < sourceHeight && next < targetHeight; ++y) {
        while (opened < targetHeight && down.first[opened] <= y) {
            std::fill_n(sum(opened), rowFloats, 0.0f);
            ++opened;
        }
        if (next == opened) {
            continue;  // no output row needs this source row
        }
        rows.Filter(y, row.data());
        for (int j = next; j < opened; ++j) {
            const int k = y - down.first[j];
            if (k < down.count[j]) {
                AddWeighted(down.weights[static_cast<std::size_t>(j) * down.taps + k], row.data(),
                            sum(j), width);
            }
        }
        while (next < opened && down.Last(next) <= y) {
            StoreRow(sum(next), width, TargetRow(target, next));
            ++next;
        }
    }
}

bool IsReadableFormat(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB888;
}

}  // namespace

QImage ResampleImage(const QImage& source, int width, int height) {
    QImage target = AllocateImage(width, height, QImage::Format_ARGB32);
    if (target.isNull() || source.isNull()) {
        return {};
    }
    const QImage image =
        IsReadableFormat(source.format()) ? source : source.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    try {
        RowFilter rows(image, width);
        const AxisFilter down = MakeAxisFilter(image.height(), height);
        if (height >= image.height()) {
            GatherRows(rows, down, target);
        } else {
            ScatterRows(rows, down, image.height(), target);
        }
    } catch (const std::bad_alloc&) {
        return {};  // the filter tables or row buffers did not fit
    }
    return target;
}

}  // namespace corvane
