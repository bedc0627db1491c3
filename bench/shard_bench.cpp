// The cost of cutting a run into shards, which every shard pays before its share: partitioning
// a listing of 1,000,000 files (pure, in memory), and listing a tree of 1,000,000 files and taking
// a share of it (the sizes read from the file system). The tree is generated once under $TMPDIR.
#include "empty_file_tree.h"
#include "engine/enumeration.h"
#include "engine/shards.h"

#include <benchmark/benchmark.h>

#include <QDir>

namespace corvane {
namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 1000;

BatchSettings ShardSettings(const QString& source, const QString& output) {
    BatchSettings settings;
    settings.sourcePath = source;
    settings.savePath = output;
    settings.clashPrefix = QStringLiteral("_CVN_");
    settings.clashSuffix = QStringLiteral("_CVN");
    settings.nameLengthLimit = 218;
    OutputFormat png;
    png.extension = QStringLiteral(".PNG");
    settings.formats = {png};
    return settings;
}

// Camera names in 1,000 folders, a few of them competing (the same name in several folders).
PathList MillionPaths(const QString& root) {
    PathList files;
    files.reserve(std::size_t(kFolders) * kFilesPerFolder);
    for (int folder = 0; folder < kFolders; ++folder) {
        for (int file = 0; file < kFilesPerFolder; ++file) {
            files.push_back(root + QStringLiteral("d%1/IMG_%2.jpg")
                                       .arg(folder)
                                       .arg(folder * kFilesPerFolder / 3 + file));
        }
    }
    return files;
}

void BM_PartitionOfAMillionFiles(benchmark::State& state) {
    const QString root = QStringLiteral("/srv/photos/");
    const PathList files = MillionPaths(root);
    std::vector<qint64> sizes(files.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        sizes[i] = 2'000'000 + qint64(i * 7919 % 3'000'000);
    }
    BatchSettings settings = ShardSettings(root, QStringLiteral("/srv/out/"));
    settings.copyFolderStructure = state.range(0) != 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AssignShards(files, sizes, settings, 4));
    }
    state.SetItemsProcessed(state.iterations() * qint64(files.size()));
}
BENCHMARK(BM_PartitionOfAMillionFiles)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("structure")
    ->Unit(benchmark::kMillisecond);

const QString& MillionTree() {
    static const QString root =
        bench::EmptyFileTree(QStringLiteral("corvane-million-tree"), kFolders, kFilesPerFolder,
                             [](int folder) { return QStringLiteral("d%1/").arg(folder); });
    return root;
}

// What a shard does before its first file: the listing, then its share (sizes, partition).
void BM_ShardListingOfAMillionFiles(benchmark::State& state) {
    const QString root = MillionTree();
    const BatchSettings settings = ShardSettings(root, QDir::tempPath() + QStringLiteral("/out/"));
    const ListingControl control{[] { return false; }, settings.savePath};
    for (auto _ : state) {
        PathList files;
        int hidden = 0;
        EnumerateFolder(root, files, true, hidden, control);
        if (state.range(0) != 0) {
            benchmark::DoNotOptimize(TakeShare(files, hidden, settings, {0, 4}));
        }
    }
}
BENCHMARK(BM_ShardListingOfAMillionFiles)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("share")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace corvane
