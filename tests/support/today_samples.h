#pragma once
// Pictures in today's formats (HEIC, AVIF, WebP, JPEG XL), made from our own pictures by the
// formats' reference tools (libheif-examples, libavif-bin, webp, libjxl-tools; scripts/setup
// installs them), and the same tools as reference decoders. A test that needs a missing tool
// skips with the tool's name, never passes silently:
//     if (const QString missing = MissingTool({"avifenc"}); !missing.isEmpty())
//         GTEST_SKIP() << missing;

#include <QImage>
#include <QString>
#include <QStringList>

namespace corvane::test {

// Why a test cannot run: the first of `programs` that is not installed; empty when all are.
QString MissingTool(const QStringList& programs);

// Runs `program` with `arguments` to its end; true when it exits with 0. `output` (optional)
// receives what it printed on both channels.
bool RunTool(const QString& program, const QStringList& arguments, QString* output = nullptr);

// A picture that looks like a photograph to an encoder: smooth gradients, a few hard edges, and
// noise; with a translucent border when `alpha`.
QImage PhotoLike(int width, int height, bool alpha = false, quint32 seed = 1);

// Encodes the picture file `source` (PNG or JPEG) into `target` with the reference encoder of
// `format` ("heic", "avif", "webp", "jxl") at a high quality, copying its metadata and colour
// profile; `extra` arguments go to the encoder. True when the encoder succeeded.
bool EncodeWithTool(const QString& format, const QString& source, const QString& target,
                    const QStringList& extra = {});

// The picture the reference decoder of `format` makes of `file` (8 bits per channel, the file's
// own orientation as that decoder applies it); null when it failed.
QImage DecodeWithTool(const QString& format, const QString& file, const QString& workFolder);

// The encoder and decoder programs of `format`.
QStringList ToolsOf(const QString& format);

}  // namespace corvane::test
