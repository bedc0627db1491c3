#pragma once
// Every image operation of a run, as methods of one stateless object.
//
// Rules for all methods:
// - Images are held through image slots (bitmap.h). An operation first tests its inputs with
//   IsUsable() and does nothing when that fails.
// - New bitmaps made by the operations are QImage::Format_ARGB32, except the targets of
//   CopyRegion(), which take the source's format.
// - Failure is reported through the status left on a bitmap and a false result; nothing here
//   shows a message or throws.
// - Colours given as Windows colour values (0x00BBGGRR) are drawn as opaque 0xFFRRGGBB.
// - Methods may be called from any one thread at a time per image; the object has no state.

#include "imaging/bitmap.h"
#include "imaging/output_format.h"
#include "platform/atomic_file.h"
#include "platform/spill_file.h"

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace corvane {

class WorkPool;

using Colour = std::uint32_t;  // Windows colour value 0x00BBGGRR

// The watermark of a run, prepared by the input validation and applied by SaveImage.
struct WatermarkSettings {
    bool on = false;
    QString text;       // non-empty selects the text watermark
    BitmapPtr picture;  // used when the text is empty
};

// Position of the next image in a mosaic being built (the combine accumulator).
struct CombineState {
    BitmapPtr canvas;
    int nextX = 0;
    int nextY = 0;
    int column = 0;
    int row = 0;
};

// Why a file gave no picture: a kind a program can act on, and a sentence a person can read (as
// QImageReader::errorString() gives).
struct LoadError {
    enum class Kind {
        None,        // the picture loaded
        Unreadable,  // nothing at the path, not a regular file, or the system refused to read it
        NotAnImage,  // no decoder recognises the bytes
        Corrupt,     // recognised, but damaged or truncated
        TooLarge,    // beyond the loader's bound on pixels or bytes
    };
    Kind kind = Kind::None;
    QString text;
    // For a picture that loaded: why its metadata could not be read (in full); empty when it
    // could, or when there was none.
    QString metadataProblem;
    // For a picture that loaded: why it is incomplete (the file ends before the picture does,
    // and the decoder filled in the rest); empty when it is whole.
    QString truncated = {};
    // For a picture that loaded: that its HDR was mapped to SDR, and how; empty when it was not.
    QString toneMapped = {};
};

// One output encoded ahead of its writing (ImageProcessor::EncodeImage): into memory, or into a
// spill file that the caller gave before encoding.
struct EncodedFile {
    QByteArray bytes;                  // when not spilled
    std::unique_ptr<SpillFile> spill;  // where the bytes went instead
    QString metadataProblem;           // why the metadata could not be put in; empty when it was

    // The bytes held in memory.
    qint64 BytesInMemory() const { return spill ? 0 : bytes.size(); }
};

class ImageProcessor {
public:
    // --- loading, formats, saving --------------------------------------------------------------
    // What the caller makes of a file, decided from the size it declares (as it will be shown,
    // EXIF orientation applied) before anything is decoded.
    struct DecodePlan {
        QSize least;      // the least size the picture is needed at; invalid when needed whole
        QString refusal;  // why it must not be decoded at all (too large); empty to go on
    };
    // What a file declares before it is decoded.
    struct Declared {
        QSize size;  // as it will be shown, EXIF orientation applied
        // What the decoder holds at full size beside the picture, whatever the size it decodes
        // at: a JPEG read in several scans (progressive) keeps all its coefficients.
        std::uint64_t decoderBytes = 0;
    };
    // Asked once per file that gives a picture: before decoding when the format declares its
    // size first (JPEG, PNG and Qt's other formats), else with the decoded picture's size.
    using PlanFor = std::function<DecodePlan(const Declared& declared)>;
    // Decodes a file, format decided from content; turned as its EXIF orientation says, with its
    // metadata (metadata.h) and colour profile. Gives
    // nullptr when nothing exists at the path; otherwise a bitmap whose status tells whether it
    // decoded (so the caller tests it with IsUsable). `raw` receives the decoded format. A
    // refusal of `plan` gives a TooLarge error with its text. With the plan's least size, a
    // decoder that can shrink while decoding (JPEG: by 1/2, 1/4 or 1/8, nearly for
    // free) may give a smaller picture, never smaller than that size on either side. `error`
    // receives why nothing usable came out (kind None when the picture loaded). With `turn` (90,
    // 180 or 270), a JPEG that is decoded whole may be turned clockwise by that much as it is
    // decoded, exactly as RotateQuarter would turn it, so that its picture is held once instead
    // of twice; `turned` says whether it was (otherwise the picture is as without `turn`).
    BitmapPtr LoadImage(const QString& path, RawFormat* raw = nullptr, const PlanFor& plan = {},
                        LoadError* error = nullptr, int turn = 0, bool* turned = nullptr) const;
    // Writes one output file atomically; true when the file was written. Draws the run's
    // watermark first (onto a copy, so an image saved in several formats shows it once in each).
    // Creates the target's folder when missing. A file already under the name is replaced only
    // with IfExists::Replace; otherwise the save fails with the outcome NameTaken, also when
    // another program took the name while the file was being encoded. `outcome` (optional)
    // tells why a save failed. A JPEG, PNG or TIFF gets the image's metadata; when it cannot be
    // put in, the file is written without it and `metadataProblem` says why. With a `pool`,
    // encoders that can share out their work (PNG) do; the bytes are the same without.
    bool SaveImage(ImageSlot slot, const QString& path, const OutputFormat& format,
                   const WatermarkSettings* watermark = nullptr, IfExists ifExists = IfExists::Fail,
                   WriteOutcome* outcome = nullptr, QString* metadataProblem = nullptr,
                   WorkPool* pool = nullptr) const;
    // The bytes SaveImage would write, encoded into `encoded->spill` when it has one, else into
    // memory (for another thread to write them later with WriteEncoded). False when they cannot be
    // made that way; SaveImage then writes the picture itself and reports why it fails, if it does.
    // `pool` as for SaveImage.
    bool EncodeImage(ImageSlot slot, const OutputFormat& format, const WatermarkSettings* watermark,
                     EncodedFile* encoded, WorkPool* pool = nullptr) const;
    // For a run that only makes PNGs of its files, as they are or resized: the PNG bytes of a
    // JPEG file, the same as LoadImage, then EncodeImage give, made a band of rows at a time so
    // that the picture is never held whole. Converted; Failed when the file is damaged (`error`
    // says why); or NotStreamed when this is not such a JPEG (another format, CMYK, turned by
    // its EXIF orientation, too large), for LoadImage to read as usual. The bytes go where
    // EncodeImage puts them. The metadata goes in unless `stripMetadata`;
    // `error->metadataProblem` says what of it could not be read. `plan` is asked as LoadImage
    // asks it, once the header is read; its refusal fails the file as TooLarge. With `resized`
    // (the run resizes every picture), only a file whose plan asks for a size the decoder makes
    // while decoding (1/2, 1/4 or 1/8 of the whole, exactly) is taken, and made at that size.
    enum class Streamed { Converted, Failed, NotStreamed };
    Streamed StreamJpegToPng(const QString& path, bool stripMetadata, EncodedFile* encoded,
                             LoadError* error, WorkPool* pool = nullptr, const PlanFor& plan = {},
                             bool resized = false) const;
    // Writes bytes of EncodeImage as SaveImage writes a file: atomically, folder made as needed.
    static WriteOutcome WriteEncoded(const EncodedFile& encoded, const QString& path,
                                     IfExists ifExists);
    // Replaces any pixel format other than RGB555, RGB888, RGB32 and ARGB32 by ARGB32.
    void NormalizePixelFormat(ImageSlot slot) const;
    // Draws the source rectangle (srcX, srcY, width, height) 1:1 at (dstX, dstY) of the target;
    // width or height 0 means the source's own. An empty target slot gets a new bitmap of that
    // size in the source's format. False when nothing was copied: the source is unusable, or the
    // target could not be made or drawn on.
    bool CopyRegion(ImageSlot target, Bitmap* source, int dstX, int dstY, int srcX, int srcY,
                    int width, int height) const;

    // --- rotation ------------------------------------------------------------------------------
    // Turns clockwise by `angle` degrees (negative turns counter-clockwise). Quarter turns are
    // lossless; other angles draw onto a canvas that just holds the result, filled with
    // `background` where the picture does not reach.
    void RotateByAngle(ImageSlot slot, float angle, Colour background) const;
    // The quarter turn (90, 180 or 270) RotateByAngle makes of `angle`; 0 when it makes another
    // kind of turn or none.
    static int QuarterTurnOf(float angle);
    // Lossless turn by 90, 180 or 270 degrees clockwise of `source` into `out`. When `out` holds
    // `source` it is turned in place.
    void RotateQuarter(ImageSlot out, Bitmap* source, int degrees) const;

    // --- resize ------------------------------------------------------------------------------
    // The sizes the three resize modes give an image of `size`: `size` itself when the mode
    // keeps the image; an invalid size when no bitmap that large can be made.
    static QSize RatioSize(QSize size, double ratio);
    static QSize ToSizeSize(QSize size, int width, int height);
    static QSize LongEdgeSize(QSize size, int limit);
    void ResizeByRatio(ImageSlot slot, double ratio) const;
    void ResizeToSize(ImageSlot slot, int width, int height) const;
    void LimitLongEdge(ImageSlot slot, int limit) const;
    // High-quality resampling to exactly width x height; nothing happens (not even a redraw)
    // when the size does not change.
    void ResampleTo(ImageSlot slot, int width, int height) const;

    // --- cut -----------------------------------------------------------------------------------
    void CutByCount(Bitmap* image, std::vector<BitmapPtr>* tiles, int columns, int rows) const;
    // Writes the grid it uses into rows and columns before making any tile.
    void CutByCellSize(Bitmap* image, std::vector<BitmapPtr>* tiles, int cellWidth, int cellHeight,
                       int* rows, int* columns) const;

    // --- combine -------------------------------------------------------------------------------
    // Draws `image` 1:1 at (x, y) of the canvas, growing the canvas (white where nothing is
    // drawn) as needed. False when there is no image or the canvas cannot be made.
    bool AppendToCanvas(ImageSlot canvas, Bitmap* image, int x, int y) const;
    // Draws usable images 1:1 at their places onto one new canvas that holds them all (from the
    // origin to the farthest edge), made once and white where nothing is drawn: the pixels that
    // AppendToCanvas gives placing them in turn, when no two overlap. The canvas keeps the first
    // image's metadata. False, with the slot untouched, when it cannot be made or drawn on.
    bool DrawMosaic(ImageSlot canvas, const std::vector<Bitmap*>& images,
                    const std::vector<QPoint>& places) const;
    bool ClearWithColour(Bitmap* bitmap, Colour colour) const;

    // --- watermark -----------------------------------------------------------------------------
    bool DrawTextWatermark(ImageSlot slot, const QString& text) const;
    bool DrawImageWatermark(ImageSlot slot, const Bitmap* picture) const;
    // The text watermark's font size in pixels, from the image's width alone.
    static int WatermarkFontSize(int width);

private:
    // The slot's picture, or `marked`: a copy of it with the run's watermark; nullptr with
    // `failure` set when there is nothing to write.
    const Bitmap* PictureToWrite(ImageSlot slot, const WatermarkSettings* watermark,
                                 BitmapPtr& marked, WriteOutcome* failure) const;
    // ResampleTo that size; an invalid size leaves a failed bitmap in the slot.
    void ResampleOrFail(ImageSlot slot, QSize size) const;
};

}  // namespace corvane
