// Whole runs of corvane-batch on pictures that carry metadata: what every output holds, with and
// without --strip-metadata, and the notes for metadata that could not be read or written.
#include "e2e/batch_harness.h"
#include "support/metadata_samples.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <map>
#include <string>

namespace corvane::test {
namespace {

using Tags = std::map<std::string, std::string>;

// The keys a picture holds only when it carries the source's metadata.
bool HasSourceMetadata(const Tags& tags) {
    for (const auto& [key, value] : tags) {
        const bool encoderOwn = key.rfind("Exif.Image.", 0) == 0 && key != "Exif.Image.Make";
        if (!encoderOwn) {
            return true;
        }
    }
    return false;
}

class MetadataRun : public ::testing::Test {
protected:
    MetadataRun() : source(tree.MakeFolder("src")), out(tree.MakeFolder("out")) {}

    BatchResult Run(QStringList arguments) {
        arguments << QStringLiteral("-q") << QStringLiteral("--json") << QStringLiteral("-o") << out
                  << source;
        return RunBatch(arguments);
    }
    // A 40 x 30 picture stored sideways (orientation 6) with full metadata; shown 30 x 40.
    void WriteSample(const QString& name, const char* format) {
        tree.WriteFile(QStringLiteral("src/") + name,
                       SampleWithMetadata(TestPicture(40, 30), format, 6, QSize(40, 30)));
    }
    Tags TagsOf(const QString& name) const { return Exiv2Tags(ReadAll(out + name)); }
    static QStringList NoteKinds(const BatchResult& r) {
        QStringList kinds;
        for (const QJsonValue& note : r.json.value("notes").toArray()) {
            kinds << note.toObject().value("kind").toString();
        }
        return kinds;
    }

    TempTree tree;
    QString source;
    QString out;
};

// Every output that can hold metadata holds the source's, made true for it; the others are
// written all the same.
TEST_F(MetadataRun, EveryFormatThatHoldsItGetsItMadeTrue) {
    WriteSample("photo.jpg", "jpeg");
    const BatchResult r = Run({"-f", "all", "--resize-ratio", "0.5"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(NoteKinds(r).isEmpty());
    for (const QString name : {"photo.JPG", "photo.PNG", "photo.TIF"}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(ImageSize(out + name), QSize(15, 20));
        const Tags tags = TagsOf(name);
        EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "Corvane Camera Co");
        EXPECT_EQ(TagValue(tags, "Exif.GPSInfo.GPSLatitude"), "48/1 51/1 0/1");
        EXPECT_EQ(TagValue(tags, "Iptc.Application2.City"), "Paris");
        EXPECT_EQ(TagValue(tags, "Xmp.dc.creator"), "Test Photographer");
        EXPECT_EQ(TagValue(tags, "Exif.Image.Orientation"), "1");
        EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelXDimension"), "15");
        EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelYDimension"), "20");
    }
    EXPECT_EQ(FilesIn(out), (QStringList{"photo.BMP", "photo.EMF", "photo.GIF", "photo.JPG",
                                         "photo.PNG", "photo.TIF", "photo.WMF"}));
    for (const QString name : {"photo.BMP", "photo.GIF"}) {
        EXPECT_EQ(ImageSize(out + name), QSize(15, 20)) << name.toStdString();
    }
}

TEST_F(MetadataRun, StripMetadataWritesNone) {
    WriteSample("photo.jpg", "jpeg");
    WriteSample("scan.png", "png");
    const BatchResult r = Run({"-f", "jpeg,png,tiff", "--strip-metadata"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList files = FilesIn(out);
    ASSERT_EQ(files.size(), 6);
    for (const QString& name : files) {
        const Tags tags = TagsOf(name);
        EXPECT_FALSE(HasSourceMetadata(tags)) << name.toStdString();
        EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "(missing)") << name.toStdString();
        // The pixels are still turned upright.
        EXPECT_EQ(ImageSize(out + name), QSize(30, 40)) << name.toStdString();
    }
}

TEST_F(MetadataRun, StripMetadataAndCopyExcludeEachOther) {
    WriteSample("photo.jpg", "jpeg");
    const BatchResult r = Run({"--copy", "--strip-metadata"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(FilesIn(out).isEmpty());
}

TEST_F(MetadataRun, TilesCarryTheirSourcesAtTheirOwnSize) {
    WriteSample("photo.jpg", "jpeg");
    const BatchResult r = Run({"-f", "jpeg", "--cut", "2x2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList tiles = FilesIn(out);
    ASSERT_EQ(tiles.size(), 4);
    for (const QString& name : tiles) {
        const Tags tags = TagsOf(name);
        EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "Corvane Camera Co") << name.toStdString();
        EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelXDimension"), "15") << name.toStdString();
        EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelYDimension"), "20") << name.toStdString();
    }
}

TEST_F(MetadataRun, AMosaicCarriesItsFirstPicture) {
    WriteSample("a.jpg", "jpeg");
    WritePicture(tree, "src/b.png", 20, 40);
    tree.WriteFile(
        "src/c.jpg",
        WithApp1(SampleWithMetadata(TestPicture(40, 30), "jpeg", 1, QSize(40, 30)), ExifNotTiff()));
    WriteSample("d.jpg", "jpeg");
    const BatchResult r = Run({"-f", "png", "--combine", "2x1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList mosaics = FilesIn(out);
    ASSERT_EQ(mosaics.size(), 2);
    // c's metadata could not be read: noted, yet c is in a mosaic like every other file.
    EXPECT_EQ(NoteKinds(r), QStringList{"metadata-unread"});
    EXPECT_EQ(r.json.value("unwritten").toInt(), 0);
    // a + b: a's metadata at the mosaic's size; c + d: c has none, so the mosaic has none.
    const Tags first = TagsOf(mosaics[0]);
    EXPECT_EQ(TagValue(first, "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_EQ(TagValue(first, "Exif.Photo.PixelXDimension"), "50");
    EXPECT_EQ(TagValue(first, "Exif.Photo.PixelYDimension"), "40");
    EXPECT_FALSE(HasSourceMetadata(TagsOf(mosaics[1])));
}

TEST_F(MetadataRun, MetadataThatCannotBeReadOrWrittenIsNotedAndThePictureWritten) {
    // Damaged EXIF; an XMP packet too large for a JPEG segment.
    tree.WriteFile(
        "src/damaged.jpg",
        WithApp1(SampleWithMetadata(TestPicture(40, 30), "jpeg", 1, QSize(40, 30)), ExifNotTiff()));
    tree.WriteFile("src/wordy.png", SampleWithLongDescription(TestPicture(40, 30), "png", 70000));
    const BatchResult r = Run({"-f", "jpeg,png"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.json.value("saved").toInt(), 4);
    EXPECT_EQ(r.json.value("unwritten").toInt(), 0);
    const QJsonArray notes = r.json.value("notes").toArray();
    ASSERT_EQ(notes.size(), 2) << r.out.toStdString();
    const QJsonObject unread = notes[0].toObject();
    EXPECT_EQ(unread.value("kind").toString(), QStringLiteral("metadata-unread"));
    EXPECT_TRUE(unread.value("path").toString().endsWith(QStringLiteral("damaged.jpg")));
    const QJsonObject unwritten = notes[1].toObject();
    EXPECT_EQ(unwritten.value("kind").toString(), QStringLiteral("metadata-unwritten"));
    EXPECT_TRUE(unwritten.value("path").toString().endsWith(QStringLiteral("wordy.png")));
    EXPECT_TRUE(unwritten.value("text").toString().startsWith(QStringLiteral("JPG: ")));
    // The JPEG leaves out only the XMP packet; the PNG output of the same file holds it too.
    EXPECT_EQ(TagValue(TagsOf("wordy.PNG"), "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_NE(TagValue(TagsOf("wordy.PNG"), "Xmp.dc.description"), "(missing)");
    EXPECT_EQ(TagValue(TagsOf("wordy.JPG"), "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_EQ(TagValue(TagsOf("wordy.JPG"), "Xmp.dc.description"), "(missing)");
}

}  // namespace
}  // namespace corvane::test
