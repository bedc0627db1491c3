#include "support/today_samples.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace corvane::test {

QString MissingTool(const QStringList& programs) {
    for (const QString& program : programs) {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            return QStringLiteral("%1 is not installed (scripts/setup installs it)").arg(program);
        }
    }
    return {};
}

bool RunTool(const QString& program, const QStringList& arguments, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    // A reference tool on a small picture ends within seconds; the bound only keeps a hung tool
    // from hanging the test.
    const bool finished = process.waitForFinished(120000);
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(process.readAll());
    }
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QImage PhotoLike(int width, int height, bool alpha, quint32 seed) {
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            const double v = double(y) / height;
            const int noise = int(random.bounded(9)) - 4;
            const int r = std::clamp(int(200 * u + 30 * std::sin(v * 6)) + noise, 0, 255);
            const int g = std::clamp(int(180 * v + 40) + noise, 0, 255);
            const int b = std::clamp(int(120 + 100 * std::cos(u * 4)) + noise, 0, 255);
            const bool border = x < width / 8 || y < height / 8;
            row[x] = qRgba(r, g, b, alpha && border ? 96 : 255);
        }
    }
    QPainter painter(&image);
    painter.fillRect(width / 3, height / 3, width / 4, height / 5, QColor(250, 250, 245));
    painter.fillRect(width / 2, height / 2, width / 5, height / 4, QColor(20, 30, 40));
    return image;
}

QStringList ToolsOf(const QString& format) {
    if (format == QLatin1String("heic")) {
        return {QStringLiteral("heif-enc"), QStringLiteral("heif-convert")};
    }
    if (format == QLatin1String("avif")) {
        return {QStringLiteral("avifenc"), QStringLiteral("avifdec")};
    }
    if (format == QLatin1String("webp")) {
        return {QStringLiteral("cwebp"), QStringLiteral("dwebp")};
    }
    return {QStringLiteral("cjxl"), QStringLiteral("djxl")};
}

bool EncodeWithTool(const QString& format, const QString& source, const QString& target,
                    const QStringList& extra) {
    if (format == QLatin1String("heic")) {
        return RunTool(QStringLiteral("heif-enc"),
                       QStringList{QStringLiteral("-q"), QStringLiteral("90")} + extra +
                           QStringList{QStringLiteral("-o"), target, source});
    }
    if (format == QLatin1String("avif")) {
        return RunTool(
            QStringLiteral("avifenc"),
            QStringList{QStringLiteral("-s"), QStringLiteral("8"), QStringLiteral("--min"),
                        QStringLiteral("0"), QStringLiteral("--max"), QStringLiteral("8")} +
                extra + QStringList{source, target});
    }
    if (format == QLatin1String("webp")) {
        return RunTool(
            QStringLiteral("cwebp"),
            QStringList{QStringLiteral("-quiet"), QStringLiteral("-q"), QStringLiteral("90"),
                        QStringLiteral("-metadata"), QStringLiteral("all")} +
                extra + QStringList{source, QStringLiteral("-o"), target});
    }
    return RunTool(QStringLiteral("cjxl"),
                   QStringList{source, target, QStringLiteral("--quiet")} + extra);
}

QImage DecodeWithTool(const QString& format, const QString& file, const QString& workFolder) {
    const QString png = workFolder + QStringLiteral("/reference.png");
    QFile::remove(png);
    bool ok = false;
    if (format == QLatin1String("heic")) {
        ok = RunTool(QStringLiteral("heif-convert"), {file, png});
    } else if (format == QLatin1String("avif")) {
        ok = RunTool(QStringLiteral("avifdec"),
                     {QStringLiteral("-d"), QStringLiteral("8"), file, png});
    } else if (format == QLatin1String("webp")) {
        ok = RunTool(QStringLiteral("dwebp"),
                     {QStringLiteral("-quiet"), file, QStringLiteral("-o"), png});
    } else {
        ok = RunTool(QStringLiteral("djxl"), {file, png, QStringLiteral("--bits_per_sample=8")});
    }
    return ok ? QImage(png) : QImage();
}

}  // namespace corvane::test
