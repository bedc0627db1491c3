#pragma once
// Writing a file so that it appears whole or not at all. The bytes go to a temporary file in the
// target's folder; Commit() renames it over the target. Until then, and on every failure, an
// existing target is untouched, and the temporary file is removed when the object goes away.
//
//     AtomicFile out(path);
//     if (!out.Open()) return false;
//     ... write through out.Device() ...
//     return out.Commit();

#include <QFile>
#include <QString>

#include <memory>

namespace corvane {

class AtomicFile {
public:
    explicit AtomicFile(QString target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file. False when the folder is missing or not writable.
    bool Open();
    // The open temporary file; valid between a successful Open() and Commit().
    QIODevice* Device() { return file_.get(); }
    // Flushes and closes the temporary file and moves it to the target name, replacing what was
    // there. False on any failure (then nothing changed at the target).
    bool Commit();
    // Removes the temporary file; the target stays as it was.
    void Discard();

    const QString& Target() const { return target_; }

private:
    QString target_;
    std::unique_ptr<QFile> file_;
};

}  // namespace corvane
