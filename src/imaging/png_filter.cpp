#include "png_filter.h"

#include <cstdlib>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define CORVANE_PNG_SSE2 1
#endif

namespace corvane {
namespace {

using Byte = std::uint8_t;

// Sums of the absolute filtered values of one row, per candidate filter.
struct Sums {
    std::uint64_t sub = 0;
    std::uint64_t up = 0;
    std::uint64_t paeth = 0;
};

int PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) {
        return a;
    }
    return pb <= pc ? b : c;
}

// The filtered byte i; the bytes left of the row are the zeros of its padding.
Byte FilteredByte(PngFilter filter, const Byte* row, const Byte* above, std::size_t i, int bpp) {
    const std::ptrdiff_t left = static_cast<std::ptrdiff_t>(i) - bpp;
    const int x = row[i];
    switch (filter) {
        case PngFilter::Sub:
            return static_cast<Byte>(x - row[left]);
        case PngFilter::Up:
            return static_cast<Byte>(x - above[i]);
        case PngFilter::Paeth:
            return static_cast<Byte>(x - PaethPredictor(row[left], above[i], above[left]));
        default:
            return static_cast<Byte>(x);
    }
}

int Magnitude(Byte value) {
    return std::abs(static_cast<int>(static_cast<std::int8_t>(value)));
}

void AddSumsScalar(const Byte* row, const Byte* above, std::size_t from, std::size_t length,
                   int bpp, Sums& sums) {
    for (std::size_t i = from; i < length; ++i) {
        sums.sub += Magnitude(FilteredByte(PngFilter::Sub, row, above, i, bpp));
        sums.up += Magnitude(FilteredByte(PngFilter::Up, row, above, i, bpp));
        sums.paeth += Magnitude(FilteredByte(PngFilter::Paeth, row, above, i, bpp));
    }
}

void ApplyScalar(PngFilter filter, const Byte* row, const Byte* above, std::size_t from,
                 std::size_t length, int bpp, Byte* out) {
    for (std::size_t i = from; i < length; ++i) {
        out[i] = FilteredByte(filter, row, above, i, bpp);
    }
}

PngFilter Cheapest(const Sums& sums) {
    PngFilter best = PngFilter::Sub;
    std::uint64_t least = sums.sub;
    if (sums.up < least) {
        best = PngFilter::Up;
        least = sums.up;
    }
    return sums.paeth < least ? PngFilter::Paeth : best;
}

#if defined(CORVANE_PNG_SSE2)
// Sixteen bytes at a time: the three candidates are computed side by side and their sums taken
// with the sum-of-absolute-differences instruction.

__m128i Load(const Byte* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

__m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

__m128i Abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// The Paeth predictor of eight pixels' bytes widened to 16 bits.
__m128i PaethHalf(__m128i a, __m128i b, __m128i c) {
    const __m128i bc = _mm_sub_epi16(b, c);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc);
    const __m128i pb = Abs16(ac);
    const __m128i pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i bOrC = Select(_mm_cmpgt_epi16(pb, pc), c, b);
    return Select(notA, bOrC, a);
}

struct Neighbours {
    __m128i x, a, b, c;
};

Neighbours LoadAt(const Byte* row, const Byte* above, std::size_t i, int bpp) {
    return {Load(row + i), Load(row + i - bpp), Load(above + i), Load(above + i - bpp)};
}

__m128i Paeth(const Neighbours& n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = PaethHalf(_mm_unpacklo_epi8(n.a, zero), _mm_unpacklo_epi8(n.b, zero),
                                  _mm_unpacklo_epi8(n.c, zero));
    const __m128i high = PaethHalf(_mm_unpackhi_epi8(n.a, zero), _mm_unpackhi_epi8(n.b, zero),
                                   _mm_unpackhi_epi8(n.c, zero));
    return _mm_sub_epi8(n.x, _mm_packus_epi16(low, high));
}

// Two 64-bit partial sums of the bytes' magnitudes as signed numbers.
__m128i MagnitudeSums(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero);
}

std::uint64_t Total(__m128i sums) {
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}

// Sums over the whole 16-byte steps; gives where the scalar rest begins.
std::size_t AddSumsVector(const Byte* row, const Byte* above, std::size_t length, int bpp,
                          Sums& sums) {
    __m128i sub = _mm_setzero_si128();
    __m128i up = _mm_setzero_si128();
    __m128i paeth = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        const Neighbours n = LoadAt(row, above, i, bpp);
        sub = _mm_add_epi64(sub, MagnitudeSums(_mm_sub_epi8(n.x, n.a)));
        up = _mm_add_epi64(up, MagnitudeSums(_mm_sub_epi8(n.x, n.b)));
        paeth = _mm_add_epi64(paeth, MagnitudeSums(Paeth(n)));
    }
    sums.sub += Total(sub);
    sums.up += Total(up);
    sums.paeth += Total(paeth);
    return i;
}

// Writes the whole 16-byte steps, the same steps as AddSumsVector.
void ApplyVector(PngFilter filter, const Byte* row, const Byte* above, std::size_t length, int bpp,
                 Byte* out) {
    for (std::size_t i = 0; i + 16 <= length; i += 16) {
        const Neighbours n = LoadAt(row, above, i, bpp);
        __m128i value = n.x;
        switch (filter) {
            case PngFilter::Sub:
                value = _mm_sub_epi8(n.x, n.a);
                break;
            case PngFilter::Up:
                value = _mm_sub_epi8(n.x, n.b);
                break;
            case PngFilter::Paeth:
                value = Paeth(n);
                break;
            default:
                break;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), value);
    }
}
#endif

}  // namespace

void FilterPngRowScalar(const Byte* row, const Byte* above, std::size_t length, int bpp,
                        Byte* out) {
    Sums sums;
    AddSumsScalar(row, above, 0, length, bpp, sums);
    const PngFilter filter = Cheapest(sums);
    out[0] = static_cast<Byte>(filter);
    ApplyScalar(filter, row, above, 0, length, bpp, out + 1);
}

void FilterPngRow(const Byte* row, const Byte* above, std::size_t length, int bpp, Byte* out) {
#if defined(CORVANE_PNG_SSE2)
    Sums sums;
    const std::size_t rest = AddSumsVector(row, above, length, bpp, sums);
    AddSumsScalar(row, above, rest, length, bpp, sums);
    const PngFilter filter = Cheapest(sums);
    out[0] = static_cast<Byte>(filter);
    ApplyVector(filter, row, above, length, bpp, out + 1);
    ApplyScalar(filter, row, above, rest, length, bpp, out + 1);
#else
    FilterPngRowScalar(row, above, length, bpp, out);
#endif
}

}  // namespace corvane
