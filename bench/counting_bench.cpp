// Counting a large tree (200,000 files in 2,000 folders) beside `find DIR -type f | wc -l`, in
// the same run and on the same warm tree. The tree is generated once under $TMPDIR.
#include "empty_file_tree.h"
#include "engine/enumeration.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <cstdio>

namespace corvane {
namespace {

constexpr int kFolders = 2000;
constexpr int kFilesPerFolder = 100;

// 20 top folders of 100 sub-folders each, 100 files in every sub-folder.
const QString& CountingTree() {
    static const QString root = bench::EmptyFileTree(
        QStringLiteral("corvane-counting-tree"), kFolders, kFilesPerFolder, [](int folder) {
            return QStringLiteral("top%1/sub%2/").arg(folder / 100).arg(folder % 100);
        });
    return root;
}

void BM_CountSources(benchmark::State& state) {
    const QString root = CountingTree();
    const ListingControl control{[] { return false; }, {}};
    for (auto _ : state) {
        SourceSelection selection;
        selection.sourcePath = root;
        selection.includeSubfolders = true;
        PathList files;
        int hidden = 0;
        CountSources(selection, files, hidden, control);
        if (files.size() != static_cast<size_t>(kFolders * kFilesPerFolder)) {
            state.SkipWithError("wrong count");
        }
        benchmark::DoNotOptimize(files.data());
    }
}
BENCHMARK(BM_CountSources)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_FindWcL(benchmark::State& state) {
    const QByteArray command = "find " + QFile::encodeName(CountingTree()) + " -type f | wc -l";
    for (auto _ : state) {
        FILE* pipe = ::popen(command.constData(), "r");
        long count = 0;
        if (pipe == nullptr || std::fscanf(pipe, "%ld", &count) != 1 ||
            count != kFolders * kFilesPerFolder) {
            state.SkipWithError("find failed");
        }
        if (pipe != nullptr) {
            ::pclose(pipe);
        }
    }
}
BENCHMARK(BM_FindWcL)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
}  // namespace corvane
