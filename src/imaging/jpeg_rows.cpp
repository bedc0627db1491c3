#include "jpeg_rows.h"

#include "jpeg_errors.h"

#include <jerror.h>

#include <QIODevice>
#include <QtGlobal>

#include <cstring>

namespace corvane {
namespace {

// An APP2 marker holding part of an ICC profile: "ICC_PROFILE\0", sequence number, count.
constexpr std::size_t kIccHeader = 14;
constexpr char kIccSignature[] = "ICC_PROFILE";
// QImage's RGB32 in memory: blue, green, red, 0xFF on a little-endian machine.
constexpr J_COLOR_SPACE kRgb32 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;

// A JFIF density in dots per metre, as Qt's reader converts it.
int DotsPerMeter(UINT16 density, UINT8 unit) {
    switch (unit) {
        case 1:  // per inch
            return int(100. * density / 2.54);
        case 2:  // per centimetre
            return int(100. * density);
        default:
            return 0;
    }
}

extern "C" void JumpBack(j_common_ptr info) {
    std::longjmp(static_cast<JpegErrorManager*>(info->err)->jump, 1);
}

extern "C" void PrintNothing(j_common_ptr) {}

}  // namespace

QSize JpegDecodeSize(QSize declared, QSize least) {
    QSize best = declared;
    for (const int denominator : {2, 4, 8}) {
        const QSize scaled(declared.width() / denominator, declared.height() / denominator);
        if (scaled.width() < least.width() || scaled.height() < least.height()) {
            break;
        }
        best = scaled;
    }
    return best;
}

jpeg_error_mgr* UseJpegErrorManager(JpegErrorManager& error) {
    jpeg_std_error(&error);
    error.error_exit = JumpBack;
    error.output_message = PrintNothing;
    return &error;
}

namespace {

// Bytes a file is read by when it is not held in memory: what libjpeg holds of it at once.
constexpr qint64 kWindowBytes = 64 * 1024;
const JOCTET kFakeEnd[] = {0xFF, JPEG_EOI};

// A source that reads a device a window at a time, libjpeg's memory source over each window. At
// the device's end it gives an end-of-image marker with a warning, as the memory source does at
// the end of its bytes, so that a file cut short decodes alike both ways.
struct DeviceSource {
    jpeg_source_mgr manager{};
    QIODevice* device = nullptr;
    JOCTET window[kWindowBytes];
};

extern "C" void InitSource(j_decompress_ptr) {}
extern "C" void TermSource(j_decompress_ptr) {}

extern "C" boolean FillWindow(j_decompress_ptr info) {
    auto* source = reinterpret_cast<DeviceSource*>(info->src);
    const qint64 read = source->device->read(reinterpret_cast<char*>(source->window), kWindowBytes);
    if (read <= 0) {
        WARNMS(info, JWRN_JPEG_EOF);
        source->manager.next_input_byte = kFakeEnd;
        source->manager.bytes_in_buffer = sizeof kFakeEnd;
        return TRUE;
    }
    source->manager.next_input_byte = source->window;
    source->manager.bytes_in_buffer = static_cast<std::size_t>(read);
    return TRUE;
}

extern "C" void SkipInWindows(j_decompress_ptr info, long count) {
    jpeg_source_mgr& source = *info->src;
    while (count > static_cast<long>(source.bytes_in_buffer)) {
        count -= static_cast<long>(source.bytes_in_buffer);
        FillWindow(info);
    }
    if (count > 0) {
        source.next_input_byte += count;
        source.bytes_in_buffer -= static_cast<std::size_t>(count);
    }
}

}  // namespace

// libjpeg reports errors by a long jump to the point last set. Every method that calls libjpeg
// sets it first and holds nothing that a jump could leak.
struct JpegRows::State {
    QByteArrayView bytes;
    std::unique_ptr<DeviceSource> device;  // instead of `bytes`
    jpeg_decompress_struct info{};
    JpegErrorManager error{};
    bool failed = false;
    char message[JMSG_LENGTH_MAX] = {};

    void Fail() {
        failed = true;
        error.format_message(reinterpret_cast<j_common_ptr>(&info), message);
    }
};

#define CORVANE_JPEG_GUARD(state)          \
    if ((state).failed) {                  \
        return false;                      \
    }                                      \
    if (setjmp((state).error.jump) != 0) { \
        (state).Fail();                    \
        return false;                      \
    }

JpegRows::JpegRows(QByteArrayView bytes) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.bytes = bytes;
    s.info.err = UseJpegErrorManager(s.error);
    jpeg_create_decompress(&s.info);
}

JpegRows::JpegRows(QIODevice* device) : JpegRows(QByteArrayView()) {
    auto source = std::make_unique<DeviceSource>();
    source->device = device;
    jpeg_source_mgr& manager = source->manager;
    manager.init_source = InitSource;
    manager.fill_input_buffer = FillWindow;
    manager.skip_input_data = SkipInWindows;
    manager.resync_to_restart = jpeg_resync_to_restart;
    manager.term_source = TermSource;
    state_->device = std::move(source);
}

JpegRows::~JpegRows() {
    jpeg_destroy_decompress(&state_->info);
}

bool JpegRows::ReadHeader() {
    State& s = *state_;
    CORVANE_JPEG_GUARD(s)
    if (s.device) {
        s.info.src = &s.device->manager;
    } else {
        jpeg_mem_src(&s.info, reinterpret_cast<const unsigned char*>(s.bytes.data()),
                     static_cast<unsigned long>(s.bytes.size()));
    }
    jpeg_save_markers(&s.info, JPEG_COM, 0xFFFF);
    jpeg_save_markers(&s.info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&s.info, TRUE);
    jpeg_calc_output_dimensions(&s.info);
    return true;
}

bool JpegRows::ShrinkTo(QSize size) {
    jpeg_decompress_struct& info = state_->info;
    const QSize declared(static_cast<int>(info.image_width), static_cast<int>(info.image_height));
    for (const int denominator : {2, 4, 8}) {
        if (QSize(declared.width() / denominator, declared.height() / denominator) == size) {
            // As Qt's reader asks for it: in eighths.
            info.scale_num = static_cast<unsigned>(8 / denominator);
            info.scale_denom = 8;
            jpeg_calc_output_dimensions(&info);
            return Size() == size;
        }
    }
    return false;
}

QSize JpegRows::Size() const {
    return {static_cast<int>(state_->info.output_width),
            static_cast<int>(state_->info.output_height)};
}

std::uint64_t JpegRows::CoefficientBytes() const {
    const jpeg_decompress_struct& info = state_->info;
    if (!info.progressive_mode && info.comps_in_scan >= info.num_components) {
        return 0;
    }
    // As libjpeg sizes its whole-image coefficient arrays: rows and columns of blocks rounded up
    // to the component's sampling factors.
    const auto RoundUp = [](std::uint64_t n, std::uint64_t step) {
        return (n + step - 1) / step * step;
    };
    std::uint64_t blocks = 0;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info& component = info.comp_info[i];
        blocks += RoundUp(component.width_in_blocks, std::uint64_t(component.h_samp_factor)) *
                  RoundUp(component.height_in_blocks, std::uint64_t(component.v_samp_factor));
    }
    return blocks * sizeof(JBLOCK);
}

int JpegRows::Samples() const {
    switch (state_->info.out_color_space) {
        case JCS_RGB:
            return 3;
        case kRgb32:
            return 4;
        case JCS_GRAYSCALE:
            return 1;
        default:
            return 0;
    }
}

QColorSpace JpegRows::ColourSpace() const {
    QByteArray profile;
    for (jpeg_saved_marker_ptr marker = state_->info.marker_list; marker != nullptr;
         marker = marker->next) {
        // As Qt's reader takes them: every long enough APP2 marker named so, in file order.
        if (marker->marker == JPEG_APP0 + 2 && marker->data_length > 128 + 4 + kIccHeader &&
            std::memcmp(marker->data, kIccSignature, sizeof kIccSignature) == 0) {
            profile.append(reinterpret_cast<const char*>(marker->data) + kIccHeader,
                           static_cast<qsizetype>(marker->data_length - kIccHeader));
        }
    }
    return profile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(profile);
}

bool JpegRows::StatesResolution() const {
    return state_->info.density_unit == 1 || state_->info.density_unit == 2;
}

int JpegRows::DotsPerMeterX() const {
    return DotsPerMeter(state_->info.X_density, state_->info.density_unit);
}

int JpegRows::DotsPerMeterY() const {
    return DotsPerMeter(state_->info.Y_density, state_->info.density_unit);
}

QMap<QString, QString> JpegRows::Texts() const {
    QMap<QString, QString> texts;
    for (jpeg_saved_marker_ptr marker = state_->info.marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker != JPEG_COM) {
            continue;
        }
        // "key: value" names its key unless a space comes before the colon.
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(marker->data),
                                               static_cast<qsizetype>(marker->data_length));
        const qsizetype colon = text.indexOf(QLatin1String(": "));
        if (colon == -1 || text.indexOf(QLatin1Char(' ')) < colon) {
            texts.insert(QStringLiteral("Description"), text);
        } else {
            texts.insert(text.left(colon), text.mid(colon + 2));
        }
    }
    return texts;
}

void JpegRows::DecodeAsRgb32() {
    if (state_->info.out_color_space == JCS_RGB) {
        state_->info.out_color_space = kRgb32;
    }
}

bool JpegRows::Start() {
    State& s = *state_;
    CORVANE_JPEG_GUARD(s)
    jpeg_start_decompress(&s.info);
    return true;
}

bool JpegRows::Read(std::uint8_t* const* rows, int count) {
    State& s = *state_;
    CORVANE_JPEG_GUARD(s)
    int done = 0;
    while (done < count && s.info.output_scanline < s.info.output_height) {
        done += static_cast<int>(jpeg_read_scanlines(&s.info, const_cast<JSAMPARRAY>(rows + done),
                                                     static_cast<JDIMENSION>(count - done)));
    }
    return done == count;
}

bool JpegRows::Finish() {
    State& s = *state_;
    CORVANE_JPEG_GUARD(s)
    jpeg_finish_decompress(&s.info);
    return true;
}

QString JpegRows::Error() const {
    return QString::fromLocal8Bit(state_->message);
}

}  // namespace corvane
