#pragma once
// Bytes made ahead of their turn, kept on the output's file system instead of in memory.
//
// A helper that encodes a file's outputs before the processing thread writes them would hold
// every encoded byte until then: for a large PNG, tens of megabytes per file in flight. A spill
// file takes them instead. It is unnamed (O_TMPFILE): it never appears in a folder, and the
// system frees it when it is closed, whatever happens to the process. Its pages are page cache,
// which the system can write out under pressure, not memory the process holds.
//
// Threads: one object per thread at a time; it may be handed from thread to thread.

#include <QFile>
#include <QString>

#include <memory>

namespace corvane {

class SpillFile {
public:
    // An unnamed file in `folder`; nullptr where none can be made (the folder is missing, not
    // writable, its file system has no unnamed files, or too many are open): the caller keeps
    // the bytes in memory.
    static std::unique_ptr<SpillFile> Create(const QString& folder);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Where the bytes are written, from the start.
    QIODevice* Device() { return &file_; }
    // Bytes written so far.
    qint64 Size() const { return file_.size(); }
    // Copies every byte written into `out` (at its current position), within the kernel where
    // both are files. False when a read or a write failed.
    bool CopyTo(QIODevice* out);

private:
    explicit SpillFile(int fd);
    // An unnamed file's descriptor in `folder`, or -1.
    static int Open(const QString& folder);
    // Copies from the start into the file `to` at its position until done or the kernel
    // declines; the bytes copied, or -1 when a write failed.
    qint64 CopyWithinKernel(int to);

    int fd_;
    QFile file_;
};

}  // namespace corvane
