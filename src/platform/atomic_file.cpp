#include "platform/atomic_file.h"

#include "platform/path_text.h"

#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

namespace corvane {
namespace {

std::filesystem::path FsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

}  // namespace

AtomicFile::AtomicFile(QString target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Open() {
    Discard();
    const QString folder = FolderPart(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A short hidden name: it fits wherever the target name fits and stays out of listings.
        const QString name =
            folder + QStringLiteral(".cvn-%1.tmp")
                         .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar(u'0'));
        auto file = std::make_unique<QFile>(name);
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            file_ = std::move(file);
            return true;
        }
        if (file->error() != QFileDevice::OpenError || QFile::exists(name) == false) {
            return false;
        }
    }
    return false;
}

bool AtomicFile::Commit() {
    if (!file_) {
        return false;
    }
    const bool written = file_->flush() && file_->error() == QFileDevice::NoError;
    file_->close();
    if (!written || file_->error() != QFileDevice::NoError) {
        Discard();
        return false;
    }
    std::error_code error;
    std::filesystem::rename(FsPath(file_->fileName()), FsPath(target_), error);
    if (error) {
        Discard();
        return false;
    }
    file_.reset();
    return true;
}

void AtomicFile::Discard() {
    if (file_) {
        file_->close();
        QFile::remove(file_->fileName());
        file_.reset();
    }
}

}  // namespace corvane
