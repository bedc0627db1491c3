// Writes the seed corpus of jpeg_rows_fuzzer: small baseline and progressive JPEGs in colour and
// grey, one with a colour profile and a comment, into the folder given.

#include <QColorSpace>
#include <QDir>
#include <QImage>
#include <QImageWriter>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QImage picture(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y, qRgb(x * 7, y * 11, (x ^ y) * 5));
        }
    }
    QImage profiled = picture;
    profiled.setColorSpace(QColorSpace::DisplayP3);
    profiled.setText(QStringLiteral("Description"), QStringLiteral("seed"));
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    struct Seed {
        const char* name;
        const QImage* image;
        bool progressive;
    };
    const Seed seeds[] = {{"baseline", &picture, false},
                          {"progressive", &picture, true},
                          {"grey", &grey, false},
                          {"grey_progressive", &grey, true},
                          {"profile", &profiled, false}};
    for (const Seed& seed : seeds) {
        QImageWriter writer(folder.filePath(QString::fromLatin1(seed.name) + ".jpg"), "jpeg");
        writer.setProgressiveScanWrite(seed.progressive);
        writer.setText(QStringLiteral("Description"), QStringLiteral("seed"));
        if (!writer.write(*seed.image)) {
            return 1;
        }
    }
    return 0;
}
