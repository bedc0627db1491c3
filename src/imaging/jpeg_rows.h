#pragma once
// Decoding a JPEG (held in memory, or read as it goes) a few rows at a time, for work that never
// needs the whole picture at once. Private to the imaging library.
//
// The rows are exactly those of Qt's JPEG reader: the same libjpeg with the same settings
// (accurate integer transform, smooth upsampling), RGB or grey samples. What Qt's reader attaches
// to the picture besides - colour profile, resolution, comments - is read the way it reads them.
//
// A damaged file makes libjpeg give up mid-way; every call after that fails and Error() says why.
// A truncated file is not an error: its missing rows come out grey, as from Qt's reader.

#include <QByteArrayView>
#include <QColorSpace>
#include <QIODevice>
#include <QMap>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

namespace corvane {

// The smallest size libjpeg can decode at (1/2, 1/4 or 1/8) that still covers `least` on both
// sides; the declared size when none is smaller. Rounded down, so that Qt's JPEG reader picks
// exactly that libjpeg scale. `declared` and `least` are in the stored orientation.
QSize JpegDecodeSize(QSize declared, QSize least);

class JpegRows {
public:
    // `bytes` must outlive the reader.
    explicit JpegRows(QByteArrayView bytes);
    // Reads `device` (which must outlive the reader) from its position a window of 64 KiB at a
    // time, so that a large file is never held whole. The rows are the same as from its bytes.
    explicit JpegRows(QIODevice* device);
    ~JpegRows();
    JpegRows(const JpegRows&) = delete;
    JpegRows& operator=(const JpegRows&) = delete;

    // Reads everything before the image data; false when libjpeg cannot. What the header says
    // (colour space, resolution, comments) can be asked until Finish().
    bool ReadHeader();
    // Decodes at `size` (after ReadHeader(), before Start()): the declared size divided by 2, 4
    // or 8, which libjpeg makes while decoding, as Qt's reader makes it when asked for that size.
    // False, and the size unchanged or not exactly `size`, for any other size.
    bool ShrinkTo(QSize size);
    // The size of the rows: the declared size, or as shrunk.
    QSize Size() const;
    // What libjpeg holds beside the rows of a file read in several scans (progressive, or one
    // scan per component): every component's coefficients at full size, whatever the scale of
    // the output; 0 for a file read in one scan.
    std::uint64_t CoefficientBytes() const;
    // Bytes per pixel of a row: 3 (red, green, blue), 4 (RGB32, see DecodeAsRgb32) or 1 (grey); 0
    // for a picture in another colour model (CMYK), which this reader does not decode.
    int Samples() const;
    // The colour space of the ICC profile in the APP2 markers, joined in file order; invalid when
    // there is none or Qt cannot read it.
    QColorSpace ColourSpace() const;
    // Whether the file states its resolution (per inch or per centimetre), and that resolution
    // in dots per metre.
    bool StatesResolution() const;
    int DotsPerMeterX() const;
    int DotsPerMeterY() const;
    // The comments, as keys and values ("Description" for a comment without a key of its own).
    QMap<QString, QString> Texts() const;

    // Asks for RGB rows laid out as QImage's RGB32 (4 bytes a pixel, opaque), so that they can be
    // placed into such a picture as they are; Samples() then says 4. No effect on grey.
    void DecodeAsRgb32();
    // Starts decoding (after ReadHeader()); false when libjpeg cannot.
    bool Start();
    // Decodes the next `count` rows into rows[0] ... rows[count - 1], each Size().width() *
    // Samples() bytes; false when the data is damaged.
    bool Read(std::uint8_t* const* rows, int count);
    // Reads what follows the last row; false when it is damaged.
    bool Finish();

    // Why the last call failed: libjpeg's own sentence.
    QString Error() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace corvane
