// What the containers of today's formats say about their pictures, as phones and the web write
// them: a JPEG XL turned by its codestream's orientation (once, however its EXIF agrees), and a
// file of several pictures (HEIF items, an AVIF sequence, a JPEG XL animation) giving its primary
// picture or first frame. The files are built here with libjxl's and libheif's encoders, or the
// reference encoder where the library has no writer of that structure.

#include "imaging/image_processor.h"
#include "support/image_difference.h"
#include "support/metadata_samples.h"
#include "support/output_formats.h"
#include "support/temp_tree.h"
#include "support/test_names.h"
#include "support/today_samples.h"

#include <gtest/gtest.h>

#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <libheif/heif.h>

#include <QTransform>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace corvane {
namespace {

// --- building the files -------------------------------------------------------------------------

// An EXIF block (big-endian TIFF structure behind the 4-byte offset a JPEG XL Exif box starts
// with) that states only `orientation`.
QByteArray ExifBoxStating(int orientation) {
    QByteArray box("\0\0\0\0MM\0\x2a\0\0\0\x08\0\x01", 14);
    box += QByteArray("\x01\x12\0\x03\0\0\0\x01\0", 9) + char(orientation);
    box += QByteArray(6, '\0');  // the value's padding, then no next directory
    return box;
}

// A lossless JPEG XL of `frames` (an animation when more than one) whose codestream states
// `orientation`, with `exifBox` as its Exif box when not empty. Empty when libjxl refused.
QByteArray JxlOf(const std::vector<QImage>& frames, int orientation, const QByteArray& exifBox) {
    const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(frames.front().width());
    info.ysize = uint32_t(frames.front().height());
    info.bits_per_sample = 8;
    info.uses_original_profile = JXL_TRUE;
    info.orientation = JxlOrientation(orientation);
    info.have_animation = frames.size() > 1 ? JXL_TRUE : JXL_FALSE;
    info.animation.tps_numerator = 10;
    info.animation.tps_denominator = 1;
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    JxlEncoder* e = encoder.get();
    if (JxlEncoderSetBasicInfo(e, &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(e, &colour) != JXL_ENC_SUCCESS) {
        return {};
    }
    if (!exifBox.isEmpty() &&
        (JxlEncoderUseBoxes(e) != JXL_ENC_SUCCESS ||
         JxlEncoderAddBox(e, "Exif", reinterpret_cast<const uint8_t*>(exifBox.constData()),
                          size_t(exifBox.size()), JXL_FALSE) != JXL_ENC_SUCCESS)) {
        return {};
    }
    if (!exifBox.isEmpty()) {
        JxlEncoderCloseBoxes(e);
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(e, nullptr);
    JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    for (const QImage& frame : frames) {
        if (info.have_animation) {
            JxlFrameHeader header;
            JxlEncoderInitFrameHeader(&header);
            header.duration = 1;
            JxlEncoderSetFrameHeader(settings, &header);
        }
        const QImage rgb = frame.convertToFormat(QImage::Format_RGB888);
        const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN,
                                    size_t(rgb.bytesPerLine())};
        if (JxlEncoderAddImageFrame(settings, &format, rgb.constBits(),
                                    size_t(rgb.sizeInBytes())) != JXL_ENC_SUCCESS) {
            return {};
        }
    }
    JxlEncoderCloseInput(e);
    QByteArray out(64 * 1024, '\0');
    size_t used = 0;
    for (;;) {
        auto* next = reinterpret_cast<uint8_t*>(out.data()) + used;
        size_t left = size_t(out.size()) - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(e, &next, &left);
        used = size_t(out.size()) - left;
        if (status == JXL_ENC_SUCCESS) {
            return out.left(qsizetype(used));
        }
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            return {};
        }
        out.resize(out.size() * 2);
    }
}

heif_error AppendTo(heif_context*, const void* data, size_t size, void* target) {
    static_cast<QByteArray*>(target)->append(static_cast<const char*>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// A HEIC holding `pictures` as top-level items in that order, `primary` the one marked primary.
// Empty when libheif has no HEVC encoder here or refused.
QByteArray HeicOf(const std::vector<QImage>& pictures, size_t primary) {
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                              &heif_context_free);
    heif_encoder* raw = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &raw).code !=
        heif_error_Ok) {
        return {};
    }
    const std::unique_ptr<heif_encoder, decltype(&heif_encoder_release)> encoder(
        raw, &heif_encoder_release);
    heif_encoder_set_lossy_quality(encoder.get(), 90);
    std::vector<std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)>> handles;
    for (const QImage& picture : pictures) {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        heif_image* image = nullptr;
        heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &image);
        heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < rgb.height(); ++y) {
            std::memcpy(plane + qsizetype(y) * stride, rgb.constScanLine(y),
                        size_t(rgb.width()) * 3);
        }
        heif_image_handle* handle = nullptr;
        const heif_error error =
            heif_context_encode_image(context.get(), image, encoder.get(), nullptr, &handle);
        heif_image_release(image);
        if (error.code != heif_error_Ok) {
            return {};
        }
        handles.emplace_back(handle, &heif_image_handle_release);
    }
    heif_context_set_primary_image(context.get(), handles.at(primary).get());
    QByteArray out;
    heif_writer writer{1, &AppendTo};
    return heif_context_write(context.get(), &writer, &out).code == heif_error_Ok ? out
                                                                                  : QByteArray();
}

class TodayContainersTest : public ::testing::Test {
protected:
    BitmapPtr Load(const QString& path) { return processor_.LoadImage(path, nullptr, {}, &error_); }

    test::TempTree tree_;
    ImageProcessor processor_;
    LoadError error_;
};

// --- JPEG XL orientation ------------------------------------------------------------------------

struct JxlOrientationRow {
    const char* name;
    int orientation;  // as EXIF numbers them, which JPEG XL's codestream shares
    std::function<QImage(const QImage&)> shown;  // the stored picture as a viewer shows it
};

class TodayJxlOrientation : public TodayContainersTest,
                            public ::testing::WithParamInterface<JxlOrientationRow> {};

// The picture comes out as shown, turned once: its Exif box states the same orientation (as a
// phone photo converted by cjxl does), which must not turn it again; the output says 1.
TEST_P(TodayJxlOrientation, TurnedOnceAsTheCodestreamSays) {
    const JxlOrientationRow& row = GetParam();
    const QImage stored = test::PhotoLike(48, 32).convertToFormat(QImage::Format_RGB888);
    const QByteArray jxl = JxlOf({stored}, row.orientation, ExifBoxStating(row.orientation));
    ASSERT_FALSE(jxl.isEmpty());
    BitmapPtr loaded = Load(tree_.WriteFile("turned.jxl", jxl));
    ASSERT_TRUE(IsUsable(loaded.get())) << qPrintable(error_.text);
    EXPECT_EQ(test::CompareImages(loaded->Image(), row.shown(stored)).max, 0);

    ASSERT_TRUE(
        processor_.SaveImage(loaded, tree_.Path("out.jpg"), test::FormatOfKind(FormatKind::Jpeg)));
    const auto tags = test::Exiv2Tags(test::ReadAll(tree_.Path("out.jpg")));
    EXPECT_EQ(test::TagValue(tags, "Exif.Image.Orientation"), "1");
}

QImage Turned(const QImage& image, int degrees) {
    return image.transformed(QTransform().rotate(degrees));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TodayJxlOrientation,
    ::testing::Values(
        JxlOrientationRow{"Identity", 1, [](const QImage& s) { return s; }},
        JxlOrientationRow{"FlipHorizontal", 2,
                          [](const QImage& s) { return s.mirrored(true, false); }},
        JxlOrientationRow{"Rotate180", 3, [](const QImage& s) { return Turned(s, 180); }},
        JxlOrientationRow{"FlipVertical", 4,
                          [](const QImage& s) { return s.mirrored(false, true); }},
        JxlOrientationRow{"Transpose", 5,
                          [](const QImage& s) { return Turned(s, 90).mirrored(true, false); }},
        JxlOrientationRow{"Rotate90", 6, [](const QImage& s) { return Turned(s, 90); }},
        JxlOrientationRow{"AntiTranspose", 7,
                          [](const QImage& s) { return Turned(s, 270).mirrored(true, false); }},
        JxlOrientationRow{"Rotate270", 8, [](const QImage& s) { return Turned(s, 270); }}),
    test::kRowName);

// --- several pictures in one file ---------------------------------------------------------------

struct SeveralPicturesRow {
    const char* name;
    const char* needs;  // the program the row needs, or null
    // Builds the file into `path` from `first` and `second`; false when that failed.
    std::function<bool(const QImage& first, const QImage& second, const QString& path,
                       const test::TempTree& tree)>
        build;
    bool firstComesOut;  // else the second (the primary item) does
    int maxMean;         // the encoder's loss
};

class TodaySeveralPictures : public TodayContainersTest,
                             public ::testing::WithParamInterface<SeveralPicturesRow> {};

TEST_P(TodaySeveralPictures, PrimaryPictureOrFirstFrameComesOut) {
    const SeveralPicturesRow& row = GetParam();
    if (row.needs != nullptr) {
        if (const QString missing = test::MissingTool({row.needs}); !missing.isEmpty()) {
            GTEST_SKIP() << qPrintable(missing);
        }
    }
    const QImage first = test::PhotoLike(64, 48, false, 1);
    const QImage second = test::PhotoLike(64, 48, false, 2).mirrored(true, true);
    const QString path = tree_.Path("several");
    ASSERT_TRUE(row.build(first, second, path, tree_));
    const BitmapPtr loaded = Load(path);
    ASSERT_TRUE(IsUsable(loaded.get())) << qPrintable(error_.text);
    const QImage& expected = row.firstComesOut ? first : second;
    const QImage& other = row.firstComesOut ? second : first;
    EXPECT_LE(test::CompareImages(loaded->Image(), expected).mean, row.maxMean);
    EXPECT_GT(test::CompareImages(loaded->Image(), other).mean, 10.0);
}

bool WriteBytes(const QString& path, const QByteArray& bytes, const test::TempTree& tree) {
    return !bytes.isEmpty() && tree.WriteFile(path.mid(tree.Root().size()), bytes) == path;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TodaySeveralPictures,
    ::testing::Values(
        // Two top-level items, the second marked primary (as an editor that saved its result
        // beside the original does): the primary comes out, not the first item.
        SeveralPicturesRow{
            "HeicSecondItemPrimary", nullptr,
            [](const QImage& a, const QImage& b, const QString& path, const test::TempTree& tree) {
                return WriteBytes(path, HeicOf({a, b}, 1), tree);
            },
            false, 3},
        SeveralPicturesRow{
            "JxlAnimation", nullptr,
            [](const QImage& a, const QImage& b, const QString& path, const test::TempTree& tree) {
                return WriteBytes(path, JxlOf({a, b}, 1, {}), tree);
            },
            true, 0},
        // libheif writes no sequence; avifenc writes one of its input files.
        SeveralPicturesRow{
            "AvifSequence", "avifenc",
            [](const QImage& a, const QImage& b, const QString& path, const test::TempTree& tree) {
                const QString one = tree.Path("one.png");
                const QString two = tree.Path("two.png");
                return a.save(one) && b.save(two) &&
                       test::RunTool("avifenc",
                                     {"-s", "8", "--min", "0", "--max", "8", one, two, path});
            },
            true, 3}),
    test::kRowName);

}  // namespace
}  // namespace corvane
