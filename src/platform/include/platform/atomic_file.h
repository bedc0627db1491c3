#pragma once
// Writing a file so that it appears whole or not at all, and never replaces a file it must not.
//
// The bytes go to a temporary file in the target's folder: on Linux an unnamed one (O_TMPFILE),
// which leaves nothing behind whatever happens to the process; where the file system lacks it, a
// hidden ".cvn-<16 hex digits>.tmp" (see IsTemporaryName). Commit() links the finished file in
// under the target name: with IfExists::Fail it fails when something took that name meanwhile
// (NameTaken, so the caller can choose another name), with IfExists::Replace it renames over an
// existing file. Until Commit(), and on every failure, an existing target is untouched.
//
//     AtomicFile out(path, IfExists::Fail);
//     if (!out.Open()) return out.Outcome();
//     ... write through out.Device() ...
//     out.Commit();
//     return out.Outcome();
//
// Threads: one object per thread; the functions at the end may be called from anywhere.

#include <QFile>
#include <QString>

#include <functional>
#include <memory>
#include <string_view>

namespace corvane {

// What a write does about a file already under the target name.
enum class IfExists { Fail, Replace };

// How a write ended.
struct WriteOutcome {
    enum class Kind { Written, NameTaken, Failed };
    Kind kind = Kind::Failed;
    QString text;  // why it failed, in the system's words
    bool Written() const { return kind == Kind::Written; }
};

class AtomicFile {
public:
    // Named asks for a named temporary file even where an unnamed one could be made.
    enum class Temporary { Unnamed, Named };

    explicit AtomicFile(QString target, IfExists ifExists = IfExists::Fail,
                        Temporary temporary = Temporary::Unnamed);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file. False when the folder is missing or not writable.
    bool Open();
    // The open temporary file; valid between a successful Open() and Commit().
    QFile* Device() { return file_.get(); }
    // Its descriptor, for calls on the file itself (permissions, times) before Commit().
    int Handle() const { return fd_; }
    // Flushes the temporary file and links it in under the target name. False on any failure
    // (then nothing changed at the target); Outcome() says which.
    bool Commit();
    // Removes the temporary file; the target stays as it was.
    void Discard();

    const QString& Target() const { return target_; }
    const WriteOutcome& Outcome() const { return outcome_; }

private:
    bool Fail(int error, WriteOutcome::Kind kind = WriteOutcome::Kind::Failed);
    bool OpenNamed();
    // Gives the temporary file a fresh name through `make` (which creates or links it there),
    // trying other names while one is taken.
    bool NameTemporarily(const std::function<bool(const char*)>& make);
    bool PublishUnnamed();
    bool PublishNamed();
    // The named temporary file is gone (renamed); forget it.
    void ForgetNamed();
    // Removes the named temporary file, if there is one.
    void DropNamed();

    QString target_;
    IfExists ifExists_;
    Temporary temporary_;
    QByteArray leaf_;   // the target's name in its folder, encoded
    int folder_ = -1;   // the target's folder
    int fd_ = -1;       // the temporary file
    QByteArray named_;  // the temporary file's name in the folder; empty while it has none
    int registration_ = -1;
    std::unique_ptr<QFile> file_;
    WriteOutcome outcome_;
};

// A name that AtomicFile gives its named temporary files. A leftover one (the process was killed
// on a file system without unnamed files) is never a source file.
bool IsTemporaryName(std::string_view nativeName);

// Removes every named temporary file that a write in progress holds. Async-signal-safe: for a
// signal handler that ends the process at once.
void RemovePendingTemporaries();

}  // namespace corvane
