#include "png_writer.h"

#include "platform/work_pool.h"
#include "png_filter.h"

#include <QColorSpace>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

namespace corvane {
namespace {

using Byte = std::uint8_t;

// About this many filtered bytes make a band: large enough that the flush points cost nothing
// measurable (a few bytes each), small enough to share a picture among cores.
constexpr std::size_t kBandBytes = 256 * 1024;
// Whether string matching pays for a band is judged on a few samples spread over it.
constexpr int kSamples = 4;
constexpr std::size_t kSampleBytes = 4096;
constexpr int kStringLevel = 4;
// zlib takes at most 4 GiB per call; a row can be longer.
constexpr std::size_t kDeflateStep = std::size_t(1) << 30;

constexpr std::array<Byte, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// zlib header: deflate with a 32 KiB window, no dictionary, "fastest" level (FLEVEL 0); the two
// bytes read as a big-endian number are a multiple of 31.
constexpr std::array<Byte, 2> kZlibHeader = {0x78, 0x01};

struct Layout {
    Byte colourType;
    int bpp;
};

Layout LayoutOf(QImage::Format format) {
    switch (format) {
        case QImage::Format_ARGB32:
            return {6, 4};
        case QImage::Format_Grayscale8:
            return {0, 1};
        default:  // RGB32, RGB888
            return {2, 3};
    }
}

// One row of the picture as PNG samples: red, green, blue (and alpha), or grey.
void ConvertRow(const QImage& image, int y, Byte* out) {
    const uchar* in = image.constScanLine(y);
    const int width = image.width();
    switch (image.format()) {
        case QImage::Format_RGB32: {
            const auto* pixels = reinterpret_cast<const QRgb*>(in);
            for (int x = 0; x < width; ++x, out += 3) {
                out[0] = static_cast<Byte>(qRed(pixels[x]));
                out[1] = static_cast<Byte>(qGreen(pixels[x]));
                out[2] = static_cast<Byte>(qBlue(pixels[x]));
            }
            return;
        }
        case QImage::Format_ARGB32: {
            const auto* pixels = reinterpret_cast<const QRgb*>(in);
            for (int x = 0; x < width; ++x, out += 4) {
                out[0] = static_cast<Byte>(qRed(pixels[x]));
                out[1] = static_cast<Byte>(qGreen(pixels[x]));
                out[2] = static_cast<Byte>(qBlue(pixels[x]));
                out[3] = static_cast<Byte>(qAlpha(pixels[x]));
            }
            return;
        }
        case QImage::Format_RGB888:
            std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
            return;
        default:  // Grayscale8
            std::memcpy(out, in, static_cast<std::size_t>(width));
            return;
    }
}

// The rows of a picture held whole.
class ImageRows final : public PngRowSource {
public:
    explicit ImageRows(const QImage& image) : image_(image) {}
    bool Fill(int, int) override { return true; }
    void CopyRow(int y, Byte* out) const override { ConvertRow(image_, y, out); }

private:
    const QImage& image_;
};

// Deflates `data` as raw deflate blocks, ending at a flush point or, for the last band, with
// the final block. False when zlib fails.
bool Deflate(const std::vector<Byte>& data, int level, int strategy, bool last,
             std::vector<Byte>& out) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) {
        return false;
    }
    // Above the worst case of any strategy: stored blocks of incompressible bytes.
    const std::size_t size = data.size();
    out.resize(size + (size >> 3) + (size >> 6) + 64);
    std::size_t in = 0;
    int result = Z_OK;
    do {
        const std::size_t step = std::min(size - in, kDeflateStep);
        const bool more = in + step < size;
        stream.next_in = const_cast<Byte*>(data.data() + in);
        stream.avail_in = static_cast<uInt>(step);
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out =
            static_cast<uInt>(std::min<std::size_t>(out.size() - stream.total_out, kDeflateStep));
        result = deflate(&stream, more ? Z_NO_FLUSH : (last ? Z_FINISH : Z_SYNC_FLUSH));
        in += step - stream.avail_in;
    } while (in < size && result == Z_OK);
    // A flush that filled the output to the last byte may have more to give: not taken as done.
    const bool ok =
        in == size && stream.avail_out > 0 && (last ? result == Z_STREAM_END : result == Z_OK);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return ok;
}

// Whether zlib's string matching is likely to deflate the band at least 3% smaller than
// run-length matching, judged on samples (on photographs it seldom is, on text nearly always).
// Small bands are simply tried both ways.
bool StringsLikelyPay(const std::vector<Byte>& band) {
    const std::size_t stride = band.size() / kSamples;
    if (stride <= kSampleBytes) {
        return true;
    }
    std::size_t runs = 0;
    std::size_t strings = 0;
    std::vector<Byte> sample(kSampleBytes);
    std::vector<Byte> deflated;
    for (int i = 0; i < kSamples; ++i) {
        const auto from = band.begin() + static_cast<std::ptrdiff_t>(i * stride);
        std::copy(from, from + kSampleBytes, sample.begin());
        if (!Deflate(sample, Z_DEFAULT_COMPRESSION, Z_RLE, true, deflated)) {
            return true;
        }
        runs += deflated.size();
        if (!Deflate(sample, kStringLevel, Z_DEFAULT_STRATEGY, true, deflated)) {
            return true;
        }
        strings += deflated.size();
    }
    return strings * 100 < runs * 97;
}

struct Band {
    std::vector<Byte> deflated;
    uLong adler = 1;
    std::size_t length = 0;  // filtered bytes
    bool ok = false;
};

// Cuts a picture into bands and encodes any one of them on its own.
class BandEncoder {
public:
    BandEncoder(const PngPicture& picture, const PngRowSource& rows)
        : rows_(rows),
          height_(picture.size.height()),
          bpp_(LayoutOf(picture.format).bpp),
          stride_(static_cast<std::size_t>(picture.size.width()) * bpp_),
          rowsPerBand_(static_cast<int>(std::max<std::size_t>(1, kBandBytes / (stride_ + 1)))),
          count_((height_ + rowsPerBand_ - 1) / rowsPerBand_) {}

    int Count() const { return count_; }
    // The rows bands [first, end) read: their own and the one above the first.
    int FirstRowOf(int band) const { return std::max(0, band * rowsPerBand_ - 1); }
    int EndRowOf(int band) const { return std::min(height_, band * rowsPerBand_); }

    void Encode(int index, Band& band) const {
        try {
            band.ok = EncodeOrThrow(index, band);
        } catch (const std::bad_alloc&) {
            band.ok = false;
        }
    }

private:
    bool EncodeOrThrow(int index, Band& band) const {
        const int first = index * rowsPerBand_;
        const int end = std::min(height_, first + rowsPerBand_);
        // Two rows, each after its padding of zeros: the one above and the current one.
        std::vector<Byte> rows(2 * (kPngRowPad + stride_), 0);
        Byte* above = rows.data() + kPngRowPad;
        Byte* row = above + stride_ + kPngRowPad;
        if (first > 0) {
            rows_.CopyRow(first - 1, above);
        }
        std::vector<Byte> filtered(static_cast<std::size_t>(end - first) * (stride_ + 1));
        for (int y = first; y < end; ++y) {
            rows_.CopyRow(y, row);
            FilterPngRow(row, above, stride_, bpp_, &filtered[(y - first) * (stride_ + 1)]);
            std::swap(row, above);
        }
        band.length = filtered.size();
        band.adler = adler32_z(1, filtered.data(), filtered.size());
        const bool last = index == count_ - 1;
        if (!Deflate(filtered, Z_DEFAULT_COMPRESSION, Z_RLE, last, band.deflated)) {
            return false;
        }
        if (StringsLikelyPay(filtered)) {
            std::vector<Byte> strings;
            if (!Deflate(filtered, kStringLevel, Z_DEFAULT_STRATEGY, last, strings)) {
                return false;
            }
            if (strings.size() < band.deflated.size()) {
                band.deflated.swap(strings);
            }
        }
        return true;
    }

    const PngRowSource& rows_;
    const int height_;
    const int bpp_;
    const std::size_t stride_;
    const int rowsPerBand_;
    const int count_;
};

// Writes one chunk: length, type, data in pieces, CRC of type and data.
class ChunkWriter {
public:
    explicit ChunkWriter(QIODevice* device) : device_(device) {}

    bool Ok() const { return ok_; }

    void Begin(const char* type, std::size_t length) {
        Byte head[8];
        qToBigEndian(static_cast<quint32>(length), head);
        std::memcpy(head + 4, type, 4);
        Write(head, 8);
        crc_ = crc32_z(0, head + 4, 4);
    }
    void Data(const void* data, std::size_t size) {
        crc_ = crc32_z(crc_, static_cast<const Byte*>(data), size);
        Write(data, size);
    }
    void Number(quint32 value) {
        Byte bytes[4];
        qToBigEndian(value, bytes);
        Data(bytes, 4);
    }
    void End() { WriteNumber(static_cast<quint32>(crc_)); }

    void Chunk(const char* type, const QByteArray& data) {
        Begin(type, static_cast<std::size_t>(data.size()));
        Data(data.constData(), static_cast<std::size_t>(data.size()));
        End();
    }
    void Raw(const void* data, std::size_t size) { Write(data, size); }

private:
    void WriteNumber(quint32 value) {
        Byte bytes[4];
        qToBigEndian(value, bytes);
        Write(bytes, 4);
    }
    void Write(const void* data, std::size_t size) {
        ok_ = ok_ && device_->write(static_cast<const char*>(data), static_cast<qint64>(size)) ==
                         static_cast<qint64>(size);
    }

    QIODevice* device_;
    uLong crc_ = 0;
    bool ok_ = true;
};

QByteArray BigEndian(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A chunk keyword: 1 to 79 printable Latin-1 characters, single spaces, none at either end.
QByteArray Keyword(const QString& text) {
    QByteArray keyword;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool printable = (u >= 33 && u <= 126) || (u >= 161 && u <= 255);
        if (printable) {
            keyword.append(static_cast<char>(u));
        } else if (u == u' ' && !keyword.isEmpty() && !keyword.endsWith(' ')) {
            keyword.append(' ');
        }
    }
    return keyword.left(79).trimmed();
}

void WriteColourProfile(ChunkWriter& out, const QColorSpace& space) {
    const QByteArray profile = space.isValid() ? space.iccProfile() : QByteArray();
    if (profile.isEmpty()) {
        return;
    }
    QByteArray name = Keyword(space.description());
    if (name.isEmpty()) {
        name = "ICC profile";
    }
    uLongf size = compressBound(static_cast<uLong>(profile.size()));
    QByteArray compressed(static_cast<qsizetype>(size), '\0');
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                  reinterpret_cast<const Bytef*>(profile.constData()),
                  static_cast<uLong>(profile.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        return;
    }
    compressed.truncate(static_cast<qsizetype>(size));
    out.Chunk("iCCP", name + '\0' + '\0' + compressed);
}

void WriteHeader(ChunkWriter& out, const PngPicture& picture, QPoint offset) {
    out.Raw(kSignature.data(), kSignature.size());
    const QByteArray header = BigEndian(static_cast<quint32>(picture.size.width())) +
                              BigEndian(static_cast<quint32>(picture.size.height())) + '\x08' +
                              static_cast<char>(LayoutOf(picture.format).colourType) +
                              QByteArray(3, '\0');  // deflate, adaptive filters, no interlace
    out.Chunk("IHDR", header);
    WriteColourProfile(out, picture.colourSpace);
    if (picture.dotsPerMeterX > 0 && picture.dotsPerMeterY > 0) {
        out.Chunk("pHYs", BigEndian(static_cast<quint32>(picture.dotsPerMeterX)) +
                              BigEndian(static_cast<quint32>(picture.dotsPerMeterY)) +
                              '\x01');  // per metre
    }
    if (!offset.isNull()) {
        out.Chunk("oFFs", BigEndian(static_cast<quint32>(offset.x())) +
                              BigEndian(static_cast<quint32>(offset.y())) + '\0');  // in pixels
    }
}

// The image data: one IDAT chunk per band, the zlib header before the first band and the
// checksum of all filtered bytes after the last. Bands are encoded a group at a time, so that
// only a group's deflated bytes wait in memory.
bool WriteImageData(ChunkWriter& out, const PngPicture& picture, PngRowSource& rows,
                    WorkPool* pool) {
    const BandEncoder encoder(picture, rows);
    const int group = pool != nullptr ? 4 * (pool->Helpers() + 1) : 1;
    std::vector<Band> bands(static_cast<std::size_t>(group));
    uLong adler = 1;
    for (int start = 0; start < encoder.Count(); start += group) {
        const int count = std::min(group, encoder.Count() - start);
        if (!rows.Fill(encoder.FirstRowOf(start), encoder.EndRowOf(start + count))) {
            return false;
        }
        RunParts(pool, count, [&](int i) { encoder.Encode(start + i, bands[i]); });
        for (int i = 0; i < count; ++i) {
            const Band& band = bands[i];
            if (!band.ok) {
                return false;
            }
            adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.length));
            const bool first = start + i == 0;
            const bool last = start + i == encoder.Count() - 1;
            out.Begin("IDAT",
                      band.deflated.size() + (first ? kZlibHeader.size() : 0) + (last ? 4 : 0));
            if (first) {
                out.Data(kZlibHeader.data(), kZlibHeader.size());
            }
            out.Data(band.deflated.data(), band.deflated.size());
            if (last) {
                out.Number(static_cast<quint32>(adler));
            }
            out.End();
        }
    }
    return out.Ok();
}

bool WritePicture(const PngPicture& picture, QPoint offset, PngRowSource& rows, QIODevice* device,
                  WorkPool* pool, const std::vector<PngChunk>& chunks) {
    ChunkWriter out(device);
    WriteHeader(out, picture, offset);
    for (const PngChunk& chunk : chunks) {
        out.Chunk(chunk.type.constData(), chunk.data);
    }
    if (!out.Ok() || !WriteImageData(out, picture, rows, pool)) {
        return false;
    }
    out.Chunk("IEND", QByteArray());
    return out.Ok();
}

}  // namespace

bool CanWritePng(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_RGB888:
        case QImage::Format_Grayscale8:
            return !image.isNull();
        default:
            return false;
    }
}

bool WritePng(const QImage& image, QIODevice* device, WorkPool* pool,
              const std::vector<PngChunk>& chunks) {
    if (!CanWritePng(image) || device == nullptr) {
        return false;
    }
    const PngPicture picture{image.size(), image.format(), image.colorSpace(),
                             image.dotsPerMeterX(), image.dotsPerMeterY()};
    ImageRows rows(image);
    return WritePicture(picture, image.offset(), rows, device, pool, chunks);
}

bool WritePngRows(const PngPicture& picture, PngRowSource& rows, QIODevice* device, WorkPool* pool,
                  const std::vector<PngChunk>& chunks) {
    const bool known =
        picture.format == QImage::Format_RGB888 || picture.format == QImage::Format_Grayscale8;
    return known && !picture.size.isEmpty() && device != nullptr &&
           WritePicture(picture, QPoint(), rows, device, pool, chunks);
}

}  // namespace corvane
