#include "engine/naming.h"
#include "engine/shards.h"
#include "platform/path_text.h"
#include "support/temp_tree.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <map>
#include <set>

namespace corvane {
namespace {

using test::TempTree;

const QString kSource = QStringLiteral("/data/src/");

BatchSettings Settings(OperationKind kind = OperationKind::Plain) {
    BatchSettings settings;
    settings.sourcePath = kSource;
    settings.savePath = QStringLiteral("/data/out/");
    settings.clashPrefix = QStringLiteral("_CVN_");
    settings.clashSuffix = QStringLiteral("_CVN");
    settings.nameLengthLimit = 218;
    settings.operationKind = kind;
    settings.cutColumns = 2;
    settings.cutRows = 2;
    OutputFormat png;
    png.extension = QStringLiteral(".PNG");
    settings.formats = {png};
    return settings;
}

PathList Sources(const QStringList& relative) {
    PathList files;
    for (const QString& name : relative) {
        files.push_back(kSource + name);
    }
    return files;
}

struct GroupRow {
    const char* name;
    std::function<void(BatchSettings&)> adjust;
    QStringList files;
    // Pairs (by position in `files`) that must share a group, and pairs that may be apart.
    std::vector<std::pair<int, int>> together;
    std::vector<std::pair<int, int>> apart;
};

class CompetingFiles : public ::testing::TestWithParam<GroupRow> {};

TEST_P(CompetingFiles, ShareAGroupAndOthersStayApart) {
    const GroupRow& row = GetParam();
    BatchSettings settings = Settings();
    if (row.adjust) {
        row.adjust(settings);
    }
    const std::vector<std::uint32_t> group = NameCompetitionGroups(Sources(row.files), settings);
    ASSERT_EQ(group.size(), static_cast<std::size_t>(row.files.size()));
    for (const auto& [a, b] : row.together) {
        EXPECT_EQ(group[a], group[b])
            << row.files[a].toStdString() << " and " << row.files[b].toStdString() << " compete";
    }
    for (const auto& [a, b] : row.apart) {
        EXPECT_NE(group[a], group[b]) << row.files[a].toStdString() << " and "
                                      << row.files[b].toStdString() << " never compete";
    }
}

const auto kPlain = [](BatchSettings&) {};
const auto kCopyStructure = [](BatchSettings& s) { s.copyFolderStructure = true; };
const auto kCut = [](BatchSettings& s) {
    s.operationKind = OperationKind::CutCount;
    s.longNameStrategy = LongNameStrategy::Abandon;
};
const auto kCutFolding = [](BatchSettings& s) { s.operationKind = OperationKind::CutCount; };
const auto kOverwrite = [](BatchSettings& s) { s.clashStrategy = ClashStrategy::Overwrite; };
const auto kShortLimit = [](BatchSettings& s) { s.nameLengthLimit = 80; };
const auto kCopy = [](BatchSettings& s) { s.formats.clear(); };
const QString kLong(40, u'a');
const QString kUndecodable = QString(QChar(0xDC80)) + QStringLiteral("x");  // a byte 0x80

INSTANTIATE_TEST_SUITE_P(
    Rows, CompetingFiles,
    ::testing::Values(
        GroupRow{"same stem in many folders",
                 kPlain,
                 {"a/x.jpg", "b/x.jpg", "c/x.png", "y.jpg"},
                 {{0, 1}, {0, 2}},
                 {{0, 3}}},
        GroupRow{"a literal clash prefix",
                 kPlain,
                 {"_CVN_x.jpg", "a/x.jpg", "b/x.jpg", "_CVN__CVN_y.jpg", "y.gif"},
                 {{0, 1}, {0, 2}, {3, 4}},
                 {{0, 3}}},
        // Shared storage may ignore case (SMB): "X.PNG" and "x.PNG" are one name there.
        GroupRow{"names in other cases",
                 kPlain,
                 {"x.JPG", "x.jpg", "X.jpg", "_cvn_X.png", "y.jpg"},
                 {{0, 1}, {0, 2}, {0, 3}},
                 {{0, 4}}},
        GroupRow{"folders in other cases",
                 kCopyStructure,
                 {"a/x.jpg", "A/x.jpg", "b/x.jpg"},
                 {{0, 1}},
                 {{0, 2}}},
        GroupRow{"structure copy keeps folders apart",
                 kCopyStructure,
                 {"a/x.jpg", "b/x.jpg", "a/x.png"},
                 {{0, 2}},
                 {{0, 1}}},
        GroupRow{"camera names stay apart",
                 kCut,
                 {"DSC_1234.jpg", "DSC_1235.jpg", "IMG_0001.jpg", "IMG_0002.jpg"},
                 {},
                 {{0, 1}, {2, 3}}},
        GroupRow{"a tile's name",
                 kCut,
                 {"x.jpg", "x_3.jpg", "x_5.jpg", "x_0003.jpg", "x_1_2.jpg"},
                 {{0, 1}},
                 {{0, 2}, {0, 3}, {0, 4}}},
        GroupRow{"an overwrite counter",
                 kOverwrite,
                 {"x.jpg", "x.png", "x_1.jpg", "x_1_1.jpg", "x_01.jpg", "y_1.jpg"},
                 {{0, 1}, {0, 2}, {2, 3}},
                 {{0, 4}, {0, 5}}},
        GroupRow{"a tile of a clash-text stem",
                 kCut,
                 {"_CVN.jpg", "5.jpg", "05.jpg", "x.jpg"},
                 {{0, 1}},
                 {{0, 2}, {0, 3}}},
        GroupRow{"hidden files",
                 kCut,
                 {".png", "_1.png", ".hidden.png", "x.png"},
                 {{0, 1}},
                 {{0, 2}, {0, 3}}},
        GroupRow{"names that are not UTF-8",
                 kPlain,
                 {"a/" + kUndecodable + ".jpg", "b/" + kUndecodable + ".jpg", "x.jpg"},
                 {{0, 1}},
                 {{0, 2}}},
        GroupRow{"long names whose folded cores meet",
                 kShortLimit,
                 {"a" + kLong + "_same_end_of_twenty_four.jpg",
                  "b" + kLong + "_same_end_of_twenty_four.jpg", "c" + kLong + "_other_end.jpg"},
                 {{0, 1}},
                 {{0, 2}}},
        GroupRow{"long names and a tile's folded core",
                 [](BatchSettings& s) {
                     kShortLimit(s);
                     kCutFolding(s);
                 },
                 {kLong + "_tiles_of_this_one.jpg", kLong + "_tiles_of_this_one_4.jpg", "x.jpg"},
                 {{0, 1}},
                 {{0, 2}}},
        GroupRow{"the fold marker in a stem takes the folder",
                 kPlain,
                 {"x_CVN_y.jpg", "a.jpg", "b.jpg"},
                 {{0, 1}, {1, 2}},
                 {}},
        GroupRow{"the fold marker without folding",
                 [](BatchSettings& s) { s.longNameStrategy = LongNameStrategy::Abandon; },
                 {"x_CVN_y.jpg", "a.jpg", "b.jpg"},
                 {},
                 {{0, 1}, {1, 2}}},
        GroupRow{"another clash text with folding takes the folder",
                 [](BatchSettings& s) { s.clashPrefix = QStringLiteral("copy_"); },
                 {"a.jpg", "b.jpg"},
                 {{0, 1}},
                 {}},
        GroupRow{"a dotless copy",
                 kCopy,
                 {"README", "_CVN_README", "README.txt", "LICENSE"},
                 {{0, 1}, {0, 2}},
                 {{0, 3}}},
        GroupRow{"a run that combines",
                 [](BatchSettings& s) { s.operationKind = OperationKind::Combine; },
                 {"a.jpg", "b.jpg"},
                 {{0, 1}},
                 {}}),
    test::kRowName);

// One run, as the pipeline names its outputs, with every name each file looks at or takes
// recorded. Outputs only ever meet through such names, so files in different groups must never
// share one - whatever the output folder held before the run.
class NamingModel {
public:
    NamingModel(BatchSettings settings, QSet<QString> existing)
        : settings_(std::move(settings)), exists_(std::move(existing)) {}

    std::vector<QSet<QString>> Run(const PathList& files, const std::vector<int>& tiles) {
        std::vector<QSet<QString>> touched(files.size());
        OutputNamer namer(settings_, [&](const QString& path) {
            current_->insert(path);
            return exists_.contains(path);
        });
        for (std::size_t i = 0; i < files.size(); ++i) {
            current_ = &touched[i];
            const std::optional<QString> folder = namer.OutputFolderFor(files[i]);
            if (folder) {
                NameFile(namer, *folder, files[i], tiles[i]);
            }
        }
        return touched;
    }

private:
    // Takes a name; with overwrite, the claims look at the counted names up to the one taken.
    void Write(const QString& path) {
        QString taken = path;
        if (settings_.clashStrategy == ClashStrategy::Overwrite) {
            taken = claims_.ClaimFree(path);
            for (int n = 1; taken != path; ++n) {
                const QString counted = InsertCounterBeforeExtension(path, n);
                current_->insert(counted);
                if (counted == taken) {
                    break;
                }
            }
        }
        current_->insert(path);
        current_->insert(taken);
        exists_.insert(taken);
    }

    void NameFile(OutputNamer& namer, const QString& folder, const QString& file, int tiles) {
        const QString stem = FileStem(file);
        QStringList extensions;
        if (settings_.formats.empty()) {
            extensions << FileExtension(file);
        }
        for (const OutputFormat& format : settings_.formats) {
            extensions << format.extension;
        }
        for (const QString& extension : extensions) {
            const OutputPath base = namer.MakeOutputPath(folder, stem, extension);
            if (base.abandoned) {
                return;
            }
            if (tiles == 0) {
                Write(base.path);
                continue;
            }
            for (int t = 1; t <= tiles; ++t) {
                const QString tileStem = FileStem(InsertCounterBeforeExtension(base.path, t));
                const OutputPath tile = namer.MakeOutputPath(folder, tileStem, extension);
                if (tile.abandoned) {
                    return;
                }
                Write(tile.path);
            }
        }
    }

    BatchSettings settings_;
    QSet<QString> exists_;
    OutputClaims claims_;
    QSet<QString>* current_ = nullptr;
};

struct RandomCase {
    BatchSettings settings;
    PathList files;
    std::vector<int> tiles;
    QSet<QString> existing;
};

class CaseMaker {
public:
    CaseMaker(quint32 seed, const QString& savePath) : random_(seed), savePath_(savePath) {}

    RandomCase Make() {
        RandomCase c;
        c.settings = RandomSettings();
        const int count = Pick(2, 14);
        QSet<QString> seen;
        for (int i = 0; i < count; ++i) {
            const QString file = kSource + RandomFolder() + RandomStem() + RandomExtension();
            if (!seen.contains(file)) {
                seen.insert(file);
                c.files.push_back(file);
            }
        }
        const bool cuts = c.settings.operationKind == OperationKind::CutCount ||
                          c.settings.operationKind == OperationKind::CutCell;
        for (const QString& file : c.files) {
            c.tiles.push_back(!cuts ? 0
                              : c.settings.operationKind == OperationKind::CutCount
                                  ? c.settings.cutColumns * c.settings.cutRows
                                  : Pick(1, 14));
            AddEarlierOutputs(c, file);
        }
        return c;
    }

private:
    int Pick(int least, int most) { return static_cast<int>(random_.bounded(least, most + 1)); }
    template <typename T>
    const T& OneOf(const std::vector<T>& items) {
        return items[random_.bounded(static_cast<quint32>(items.size()))];
    }

    BatchSettings RandomSettings() {
        BatchSettings s =
            Settings(OneOf<OperationKind>({OperationKind::Plain, OperationKind::CutCount,
                                           OperationKind::CutCell, OperationKind::DirectCopy}));
        s.savePath = savePath_;
        if (s.operationKind == OperationKind::DirectCopy) {
            s.formats.clear();
        } else if (Pick(0, 1) == 1) {
            OutputFormat jpeg;
            jpeg.extension = QStringLiteral(".JPG");
            s.formats.push_back(jpeg);
        }
        s.cutColumns = Pick(1, 4);
        s.cutRows = Pick(1, 3);
        s.copyFolderStructure = Pick(0, 2) == 0;
        s.clashStrategy = OneOf<ClashStrategy>({ClashStrategy::Prefix, ClashStrategy::Prefix,
                                                ClashStrategy::Suffix, ClashStrategy::Overwrite});
        s.clashPrefix = OneOf<QString>({"_CVN_", "_CVN_", "", "copy_", "_"});
        s.clashSuffix = OneOf<QString>({"_CVN", "_CVN", "_copy"});
        s.longNameStrategy =
            OneOf<LongNameStrategy>({LongNameStrategy::FoldPrefix, LongNameStrategy::FoldPrefix,
                                     LongNameStrategy::FoldSuffix, LongNameStrategy::Abandon});
        s.nameLengthLimit = OneOf<int>({20, 40, 64, 80, 218});
        return s;
    }

    QString RandomFolder() { return OneOf<QString>({"", "", "a/", "b/", "a/c/"}); }

    QString RandomStem() {
        static const std::vector<QString> pieces = {"x",
                                                    "y",
                                                    "ab",
                                                    "_CVN_",
                                                    "_CVN",
                                                    "CVN_",
                                                    "L_",
                                                    "_1",
                                                    "_2",
                                                    "_12",
                                                    "_0",
                                                    "1",
                                                    "5",
                                                    "_",
                                                    "-",
                                                    "中文",
                                                    QString(QChar(0xDC80)),
                                                    "_CVN_L_1_",
                                                    "_copy",
                                                    "copy_"};
        QString stem;
        if (Pick(0, 3) == 0) {
            stem = QString(Pick(10, 90), QChar(u'a' + Pick(0, 2)));
        }
        for (int i = Pick(1, 4); i > 0; --i) {
            stem += OneOf(pieces);
        }
        return stem;
    }

    QString RandomExtension() { return OneOf<QString>({".jpg", ".jpg", ".JPG", ".png", ""}); }

    // What earlier runs left in the output folder: clash names deep enough to make folding
    // happen, and names that look folded.
    void AddEarlierOutputs(RandomCase& c, const QString& file) {
        if (Pick(0, 2) != 0) {
            return;
        }
        const BatchSettings& s = c.settings;
        QString folder = savePath_;
        if (s.copyFolderStructure) {
            folder += QStringLiteral("src/") + FolderPart(file.mid(kSource.size()));
        }
        QString stem = FileStem(file);
        const bool prefix = s.clashStrategy != ClashStrategy::Suffix;
        const QString text =
            prefix ? (s.clashPrefix.isEmpty() ? "_CVN_" : s.clashPrefix) : s.clashSuffix;
        for (int k = Pick(1, 60); k > 0; --k) {
            c.existing.insert(folder + stem + QStringLiteral(".PNG"));
            stem = prefix ? text + stem : stem + text;
        }
        for (int n = 1; n <= 3; ++n) {
            c.existing.insert(folder + QStringLiteral("_CVN_L_%1_").arg(n) + FileStem(file) +
                              QStringLiteral(".PNG"));
        }
    }

    QRandomGenerator random_;
    QString savePath_;
};

// Whether the files that look at or take one name all share a group; the first name where they
// do not, otherwise.
std::optional<QString> NameAcrossGroups(const std::vector<QSet<QString>>& touched,
                                        const std::vector<std::uint32_t>& group) {
    QHash<QString, std::uint32_t> owner;
    for (std::size_t i = 0; i < touched.size(); ++i) {
        for (const QString& name : touched[i]) {
            const auto it = owner.constFind(name);
            if (it == owner.constEnd()) {
                owner.insert(name, group[i]);
            } else if (*it != group[i]) {
                return name;
            }
        }
    }
    return std::nullopt;
}

TEST(NameCompetition, FilesInDifferentGroupsNeverMeetAtAName) {
    TempTree tree;
    const QString savePath = tree.MakeFolder(QStringLiteral("out"));
    CaseMaker maker(20231, savePath);
    for (int round = 0; round < 3000; ++round) {
        const RandomCase c = maker.Make();
        const std::vector<QSet<QString>> touched =
            NamingModel(c.settings, c.existing).Run(c.files, c.tiles);
        const std::vector<std::uint32_t> group = NameCompetitionGroups(c.files, c.settings);
        const std::optional<QString> shared = NameAcrossGroups(touched, group);
        if (shared) {
            QString files;
            for (std::size_t i = 0; i < c.files.size(); ++i) {
                files += QStringLiteral("\n  %1 (group %2)").arg(c.files[i]).arg(group[i]);
            }
            FAIL() << "round " << round << ": " << shared->toStdString() << " is met by files of "
                   << "two groups; kind " << int(c.settings.operationKind) << ", clash "
                   << int(c.settings.clashStrategy) << " '" << c.settings.clashPrefix.toStdString()
                   << "' '" << c.settings.clashSuffix.toStdString() << "', long names "
                   << int(c.settings.longNameStrategy) << ", limit " << c.settings.nameLengthLimit
                   << ", structure " << c.settings.copyFolderStructure << files.toStdString();
        }
    }
}

PathList ManyFiles(int count) {
    PathList files;
    for (int i = 0; i < count; ++i) {
        files.push_back(kSource + QStringLiteral("f%1/IMG_%2.jpg").arg(i % 7).arg(i / 3));
    }
    return files;
}

TEST(ShardAssignment, EveryFileGoesToExactlyOneShardAndGroupsStayWhole) {
    const PathList files = ManyFiles(400);
    std::vector<qint64> sizes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        sizes.push_back(static_cast<qint64>((i * 7919) % 100000));
    }
    const BatchSettings settings = Settings();
    const std::vector<std::uint32_t> group = NameCompetitionGroups(files, settings);
    for (int count = 1; count <= 6; ++count) {
        const std::vector<int> shard = AssignShards(files, sizes, settings, count);
        ASSERT_EQ(shard.size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            ASSERT_GE(shard[i], 0);
            ASSERT_LT(shard[i], count);
            EXPECT_EQ(shard[i], shard[group[i]]) << "a group is cut";
        }
        EXPECT_EQ(shard, AssignShards(files, sizes, settings, count)) << "not deterministic";
    }
}

TEST(ShardAssignment, SharesAreBalancedByBytesNotByCount) {
    // One heavy file and many light ones: the heavy one has a shard of its own.
    PathList files = Sources({"heavy.jpg"});
    std::vector<qint64> sizes = {1'000'000'000};
    for (int i = 0; i < 100; ++i) {
        files.push_back(kSource + QStringLiteral("light%1.jpg").arg(i));
        sizes.push_back(1'000'000);
    }
    const std::vector<int> shard = AssignShards(files, sizes, Settings(), 2);
    EXPECT_EQ(std::count(shard.begin(), shard.end(), shard[0]), 1);
}

TEST(ShardAssignment, ARunThatCombinesGoesWholeToTheFirstShard) {
    const PathList files = ManyFiles(20);
    for (const OperationKind kind :
         {OperationKind::Combine, OperationKind::CutCountCombine, OperationKind::CutCellCombine}) {
        const std::vector<int> shard =
            AssignShards(files, std::vector<qint64>(files.size(), 1), Settings(kind), 4);
        EXPECT_TRUE(std::all_of(shard.begin(), shard.end(), [](int k) { return k == 0; }));
    }
}

TEST(ShardAssignment, TheShareKeepsTheRunsOrder) {
    TempTree tree;
    PathList files;
    for (int i = 0; i < 30; ++i) {
        files.push_back(tree.WriteFile(QStringLiteral("in/%1.jpg").arg(i), QByteArray(i, 'x')));
    }
    BatchSettings settings = Settings();
    std::set<std::size_t> covered;
    for (int k = 0; k < 3; ++k) {
        const ShardShare share = TakeShare(files, 0, settings, {k, 3});
        EXPECT_TRUE(std::is_sorted(share.position.begin(), share.position.end()));
        for (std::size_t i = 0; i < share.files.size(); ++i) {
            EXPECT_EQ(share.files[i], files[share.position[i]]);
            EXPECT_TRUE(covered.insert(share.position[i]).second);
        }
        EXPECT_EQ(share.listed, 30);
    }
    EXPECT_EQ(covered.size(), files.size());
}

TEST(SharedOutput, AnOutputFolderAmongTheSourcesIsRefused) {
    TempTree tree;
    const QString in = tree.MakeFolder(QStringLiteral("in"));
    const PathList files = {tree.WriteFile(QStringLiteral("in/a.jpg")),
                            tree.WriteFile(QStringLiteral("in/sub/b.jpg"))};
    BatchSettings settings = Settings();
    settings.savePath = tree.MakeFolder(QStringLiteral("out"));
    EXPECT_EQ(SharedOutputRefusal(files, {in}, settings), std::nullopt);
    settings.savePath = in;  // the outputs would be listed by a shard that starts later
    EXPECT_NE(SharedOutputRefusal(files, {in}, settings), std::nullopt);
    settings.savePath = tree.Root();  // with the structure copied, outputs go to in/ again
    settings.copyFolderStructure = true;
    EXPECT_NE(SharedOutputRefusal(files, {in}, settings), std::nullopt);
    settings.copyFolderStructure = false;  // without, they stay in the root, which is not listed
    EXPECT_EQ(SharedOutputRefusal(files, {in}, settings), std::nullopt);
}

}  // namespace
}  // namespace corvane
