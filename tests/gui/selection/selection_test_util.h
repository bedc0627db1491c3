#pragma once
// Helpers shared by the selection tests: file trees with links and shortcuts, and readable rows.

#include "engine/enumeration.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace corvane::test {

inline void Link(const QString& target, const QString& link) {
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
              0);
}

// A desktop-entry link to `url`, written under `relative` in the tree; returns its path.
inline QString WriteShortcut(const TempTree& tree, const QString& relative, const QString& url,
                             const QByteArray& type = "Link") {
    return tree.WriteFile(relative,
                          "[Desktop Entry]\nName=x\nType=" + type + "\nURL=" + url.toUtf8() + "\n");
}

// The paths of a list relative to the tree's root, so that rows read as they are written.
inline QStringList Relative(const PathList& list, const TempTree& tree) {
    QStringList out;
    for (const QString& path : list) {
        out << (path.startsWith(tree.Root()) ? path.mid(tree.Root().size()) : path);
    }
    return out;
}

// gtest names for rows that carry a `name` field.
struct RowName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        return info.param.name;
    }
};

}  // namespace corvane::test
