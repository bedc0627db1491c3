#pragma once
// Building file trees for tests inside a temporary folder.

#include "support/printers.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace corvane::test {

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    // The root folder, ending with the separator.
    QString Root() const { return root_; }
    // Full path of a path relative to the root.
    QString Path(const QString& relative) const { return root_ + relative; }
    // Writes a file (creating its folders); returns its full path.
    QString WriteFile(const QString& relative, const QByteArray& bytes = "x") const;
    // Creates a folder (and its parents); returns its full path ending with the separator.
    QString MakeFolder(const QString& relative) const;
    // Lets every user read, write and enter the whole tree (for tests run as another user).
    void OpenToEveryone() const;
    // Below `relative`, a chain of folders whose path passes `bytes` bytes (beyond the system's
    // path limit), made one level at a time, with a small file named `file` at the bottom when
    // one is given; returns the bottom folder's full path ending with the separator.
    QString MakeDeepFolder(const QString& relative, int bytes, const QByteArray& file = {}) const;
    // Writes a file whose relative path is given as raw bytes (not necessarily UTF-8), making
    // its folders; returns false when that failed.
    bool WriteRawName(const QByteArray& relative, const QByteArray& bytes) const;

private:
    QTemporaryDir dir_;
    QString root_;
};

QByteArray ReadAll(const QString& path);

// Everything in a folder, hidden and temporary files included, sorted by name.
QStringList Entries(const QString& folder);

// A folder of a tree that an ordinary user may enter but not write into, holding one file: the
// place where a refused write must leave everything as it was. The whole tree is opened to every
// user first, so that RunUnprivileged's user reaches it; the folder is unlocked again at the end.
class LockedFolder {
public:
    LockedFolder(const TempTree& tree, const QString& relative, const QString& fileName,
                 const QByteArray& bytes);
    ~LockedFolder();
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    QString Target() const { return target_; }
    // The file still holds its bytes, and the folder holds nothing else.
    ::testing::AssertionResult Untouched() const;

private:
    QString folder_;
    QString target_;
    QByteArray bytes_;
};

}  // namespace corvane::test
