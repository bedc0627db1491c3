// libFuzzer target: recognising and rendering metafiles from arbitrary bytes. Any crash, sanitizer
// report, hang or image beyond the pixel limit is a finding.

#include "metafile/metafile.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Small enough that every frame the fuzzer finds renders quickly.
constexpr qint64 kMaxPixels = 4'000'000;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Damaged PNG and JPEG data makes Qt's decoders warn on nearly every input.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // Text records are drawn only with the font database of a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    corvane::SniffMetafile(bytes.left(1024));
    const QImage image = corvane::ReadMetafile(bytes, kMaxPixels);
    if (!image.isNull() && qint64(image.width()) * image.height() > kMaxPixels) {
        std::abort();
    }
    return 0;
}
