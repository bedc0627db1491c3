// Which files must stay in one shard: those whose outputs could ever compete for a name.
//
// Names only compete inside one output folder, and a name depends on what exists there, that is
// on what earlier files of the run wrote. Two files may go to different shards only if no name
// one of them could look at or write is a name the other could look at or write, whatever was in
// the output folder before the run.
//
// Each file is reduced to its stem's normal form s: the clash texts taken off the stem's front
// (prefix mode) or end (suffix mode). Every name a file can produce is then one of
//   s                  its outputs under any number of clash texts,
//   s_i                its tiles (and, with overwrite, the counter of an output claimed twice),
//   s_i_n              with overwrite, a tile claimed twice,
// so two files compete only when one's s is the other's, or is reached from it by taking one or
// two trailing counters "_<n>" off (n without leading zeros, as counters are written). Equal
// forms meet at one anchor; a file whose form ends in counters looks its shorter forms up.
//
// Folding makes "_CVN_L_<n>_<core>" (prefix) or "<core>_CVN_L_<n>" (suffix) from a long name,
// where the core is the name's end (prefix) or beginning (suffix) less a few characters. With the
// default clash texts the core of a short name is its normal form itself, so the forms above
// cover it; the core of a long name keeps at least kEdge characters of the form's end (beginning),
// and those meet at an anchor of their own. Names of other shapes (a stem holding the fold
// marker, clash texts with digits or dots, other clash texts with folding, tiny limits) are not
// analysed: their whole output folder becomes one group.
//
// Stems, clash texts and output folders are compared regardless of case (anchors hash the
// case-folded text): the output folder may lie on storage that ignores case (SMB shares, some NAS
// exports), where "X.PNG" is "x.PNG".

#include "engine/shards.h"

#include "platform/native_names.h"
#include "platform/path_text.h"

#include <QHash>

#include <algorithm>
#include <unordered_map>

namespace corvane {
namespace {

const QString kPrefixMarker = QStringLiteral("_CVN_");
const QString kSuffixMarker = QStringLiteral("_CVN");
// Characters of a long core's end (prefix fold) or beginning (suffix fold) that stand for it.
constexpr qsizetype kEdge = 24;
// "_" and the most digits a counter can have.
constexpr qsizetype kCounterUnits = 11;
// The fold withholds 16 characters of the stem; its label takes at most this many bytes.
constexpr qsizetype kWithheld = 16;
constexpr qsizetype kLabelBytes = 18;

enum class Fold { None, Prefix, Suffix };

struct Rules {
    bool overwrite = false;
    bool prefixClash = true;
    QString text;  // the clash text in effect
    Fold fold = Fold::None;
    bool tiles = false;
    qint64 tileLimit = 0;  // the largest tile counter; 0: no bound is known
    int depth = 0;         // counters a name can carry beyond its stem's
    bool wholeFolders = false;
};

OperationKind EffectiveKind(const BatchSettings& settings) {
    if (settings.formats.empty() && settings.operationKind != OperationKind::Combine) {
        return OperationKind::DirectCopy;
    }
    return settings.operationKind;
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A text the analysis can reason about: no dot (a name without an extension could then meet one
// with), no separator, no digit (counters are digits).
bool PlainText(const QString& text) {
    return std::none_of(text.begin(), text.end(),
                        [](QChar c) { return c == u'.' || c == kSeparator || IsDigit(c); });
}

// The longest extension an output can have, in UTF-16 units and in bytes.
std::pair<qsizetype, qsizetype> LongestExtension(const PathList& files,
                                                 const BatchSettings& settings,
                                                 OperationKind kind) {
    qsizetype units = 0;
    qsizetype bytes = 0;
    const auto consider = [&](QStringView extension) {
        units = std::max(units, extension.size());
        bytes = std::max(bytes, NativeNameBytes(extension));
    };
    for (const OutputFormat& format : settings.formats) {
        consider(format.extension);
    }
    if (kind == OperationKind::DirectCopy || settings.sameAsSource) {
        for (const QString& file : files) {
            const qsizetype slash = file.lastIndexOf(kSeparator);
            const qsizetype dot = file.lastIndexOf(u'.');
            if (dot > slash) {
                consider(QStringView(file).mid(dot));
            }
        }
    }
    return {units, bytes};
}

// Folding is analysed only with the default clash text on the fold's own side, and while every
// core that is not a whole normal form keeps kEdge characters besides a counter.
bool FoldAnalysable(const Rules& rules, const PathList& files, const BatchSettings& settings,
                    OperationKind kind) {
    const bool matching = rules.fold == Fold::Prefix
                              ? rules.prefixClash && rules.text == kPrefixMarker
                              : !rules.prefixClash && rules.text == kSuffixMarker;
    if (!matching) {
        return false;
    }
    const auto [extensionUnits, extensionBytes] = LongestExtension(files, settings, kind);
    const qsizetype keep = settings.nameLengthLimit - kWithheld;
    const qsizetype least = kEdge + kCounterUnits;
    return keep - 4 - extensionUnits >= least &&
           extensionBytes <= kMaxNameBytes - kLabelBytes - 3 * least;
}

Rules RulesOf(const PathList& files, const BatchSettings& settings) {
    Rules rules;
    const OperationKind kind = EffectiveKind(settings);
    rules.tiles = kind == OperationKind::CutCount || kind == OperationKind::CutCell;
    rules.overwrite = settings.clashStrategy == ClashStrategy::Overwrite;
    rules.depth = (rules.tiles ? 1 : 0) + (rules.overwrite ? 1 : 0);
    if (rules.tiles && !rules.overwrite && kind == OperationKind::CutCount &&
        settings.cutColumns > 0 && settings.cutRows > 0) {
        rules.tileLimit = qint64(settings.cutColumns) * settings.cutRows;
    }
    if (rules.overwrite) {
        return rules;  // no clash text, no folding
    }
    rules.prefixClash = settings.clashStrategy == ClashStrategy::Prefix;
    const QString& text = rules.prefixClash ? settings.clashPrefix : settings.clashSuffix;
    // An empty text would never find a free name: the namer uses the marker instead.
    rules.text = !text.isEmpty() ? text : (rules.prefixClash ? kPrefixMarker : kSuffixMarker);
    switch (settings.longNameStrategy) {
        case LongNameStrategy::FoldPrefix:
            rules.fold = Fold::Prefix;
            break;
        case LongNameStrategy::FoldSuffix:
            rules.fold = Fold::Suffix;
            break;
        case LongNameStrategy::Abandon:
            break;
    }
    rules.wholeFolders = !PlainText(rules.text) || (rules.fold != Fold::None &&
                                                    !FoldAnalysable(rules, files, settings, kind));
    return rules;
}

// The stem of a path as a view into it.
QStringView StemOf(const QString& path) {
    const QStringView name = QStringView(path).mid(path.lastIndexOf(kSeparator) + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QStringView NormalForm(QStringView stem, const Rules& rules) {
    if (rules.overwrite) {
        return stem;
    }
    if (rules.prefixClash) {
        while (stem.startsWith(rules.text, Qt::CaseInsensitive)) {
            stem = stem.mid(rules.text.size());
        }
    } else {
        while (stem.endsWith(rules.text, Qt::CaseInsensitive)) {
            stem.chop(rules.text.size());
        }
    }
    return stem;
}

// "_<n>" at the end, as a counter is written (no leading zero, at most `limit` when known).
std::optional<QStringView> WithoutCounter(QStringView form, qint64 limit) {
    const qsizetype underscore = form.lastIndexOf(u'_');
    const QStringView digits = underscore < 0 ? QStringView() : form.mid(underscore + 1);
    if (digits.isEmpty() || digits.size() > kCounterUnits - 1 || digits.front() == u'0' ||
        !std::all_of(digits.begin(), digits.end(), IsDigit)) {
        return std::nullopt;
    }
    if (limit > 0 && digits.toLongLong() > limit) {
        return std::nullopt;
    }
    return form.left(underscore);
}

bool IsCounter(QStringView form) {
    return !form.isEmpty() && form.size() < kCounterUnits && form.front() != u'0' &&
           std::all_of(form.begin(), form.end(), IsDigit);
}

// A form whose folded names the analysis does not cover.
bool Unanalysed(QStringView form, const Rules& rules) {
    if (rules.fold == Fold::Suffix) {
        return form.contains(kSuffixMarker, Qt::CaseInsensitive);
    }
    const bool labelLike =
        form.startsWith(u"L_", Qt::CaseInsensitive) && form.size() > 2 && IsDigit(form[2]);
    return form.contains(kPrefixMarker, Qt::CaseInsensitive) ||
           form.startsWith(u"CVN_", Qt::CaseInsensitive) || labelLike ||
           (rules.tiles && form.endsWith(kSuffixMarker, Qt::CaseInsensitive));
}

enum class Tag : std::uint8_t { Form, LongEnd, LongTileEnd, LongStart, Bare };

// Of the text case-folded, code point by code point, without making a folded copy.
std::uint64_t AnchorOf(Tag tag, std::uint32_t folder, QStringView text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL ^ (std::uint64_t(tag) << 56) ^ folder;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t point = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            point = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        hash = (hash ^ QChar::toCaseFolded(point)) * 0x100000001b3ULL;
    }
    return hash ^ (hash >> 29);
}

class Groups {
public:
    explicit Groups(std::size_t size) : parent_(size) {
        for (std::size_t i = 0; i < size; ++i) {
            parent_[i] = static_cast<std::uint32_t>(i);
        }
        anchors_.reserve(size * 2);
    }
    std::uint32_t Find(std::uint32_t i) {
        while (parent_[i] != i) {
            parent_[i] = parent_[parent_[i]];
            i = parent_[i];
        }
        return i;
    }
    // The smaller index becomes the root, so a group is named by its first file.
    void Join(std::uint32_t a, std::uint32_t b) {
        a = Find(a);
        b = Find(b);
        if (a != b) {
            parent_[std::max(a, b)] = std::min(a, b);
        }
    }
    void Meet(std::uint64_t anchor, std::uint32_t file) {
        const auto [it, inserted] = anchors_.try_emplace(anchor, file);
        if (!inserted) {
            Join(it->second, file);
        }
    }
    void LookUp(std::uint64_t anchor, std::uint32_t file) {
        const auto it = anchors_.find(anchor);
        if (it != anchors_.end()) {
            Join(it->second, file);
        }
    }
    std::vector<std::uint32_t> Roots() {
        std::vector<std::uint32_t> roots(parent_.size());
        for (std::size_t i = 0; i < parent_.size(); ++i) {
            roots[i] = Find(static_cast<std::uint32_t>(i));
        }
        return roots;
    }

private:
    std::vector<std::uint32_t> parent_;
    std::unordered_map<std::uint64_t, std::uint32_t> anchors_;
};

constexpr std::uint32_t kNoFolder = 0xFFFFFFFF;

// Numbers the output folders; kNoFolder for a file that gets none (outside the source folder
// while the structure is copied: it writes nothing).
class OutputFolders {
public:
    explicit OutputFolders(const BatchSettings& settings) : settings_(settings) {
        const QString root = settings.sourcePath.left(settings.sourcePath.size() - 1);
        rootName_ = root.mid(root.lastIndexOf(kSeparator) + 1);
    }
    std::uint32_t Of(const QString& file) {
        if (!settings_.copyFolderStructure) {
            return 0;
        }
        if (!file.startsWith(settings_.sourcePath)) {
            return kNoFolder;
        }
        const QStringView relative = QStringView(file).mid(settings_.sourcePath.size());
        const QStringView below = relative.left(relative.lastIndexOf(kSeparator) + 1);
        if (below != last_) {
            last_ = below.toString();
            const QString folder =
                CollapseFolderPath(settings_.savePath + rootName_ + kSeparator + last_)
                    .toCaseFolded();
            const auto known = ids_.constFind(folder);
            lastId_ = known != ids_.constEnd() ? *known : static_cast<std::uint32_t>(ids_.size());
            if (known == ids_.constEnd()) {
                ids_.insert(folder, lastId_);
            }
        }
        return lastId_;
    }
    std::size_t Count() const { return settings_.copyFolderStructure ? ids_.size() : 1; }

private:
    const BatchSettings& settings_;
    QString rootName_;
    QHash<QString, std::uint32_t> ids_;
    QString last_{QStringLiteral("\n")};  // no relative folder looks like this
    std::uint32_t lastId_ = 0;
};

struct FileForm {
    std::uint32_t folder;
    QStringView form;
};

// Anchors where files that produce equal names meet, and the shapes that set a folder apart.
void RegisterForms(const std::vector<FileForm>& forms, const Rules& rules, Groups& groups,
                   std::vector<bool>& wholeFolder) {
    const bool specialPrefix = rules.prefixClash && rules.tiles && rules.text.endsWith(u'_');
    const QStringView special = QStringView(rules.text).chopped(specialPrefix ? 1 : 0);
    for (std::uint32_t i = 0; i < forms.size(); ++i) {
        const auto [folder, form] = forms[i];
        if (folder == kNoFolder) {
            continue;
        }
        groups.Meet(AnchorOf(Tag::Form, folder, form), i);
        if (specialPrefix && form.compare(special, Qt::CaseInsensitive) == 0) {
            // Its tile "<text less _>_<n>" becomes the text and n: the bare counter's form.
            groups.Meet(AnchorOf(Tag::Bare, folder, {}), i);
        }
        if (rules.fold == Fold::None) {
            continue;
        }
        if (Unanalysed(form, rules)) {
            wholeFolder[folder] = true;
        }
        if (rules.fold == Fold::Prefix) {
            if (form.size() >= kEdge) {
                groups.Meet(AnchorOf(Tag::LongEnd, folder, form.right(kEdge)), i);
            }
            if (rules.tiles && form.size() + kCounterUnits >= kEdge) {
                groups.Meet(AnchorOf(Tag::LongTileEnd, folder, form.right(kEdge)), i);
            }
        } else if (form.size() >= kEdge) {
            groups.Meet(AnchorOf(Tag::LongStart, folder, form.left(kEdge)), i);
        }
    }
}

// A form ending in counters may be a name of the file whose form it reaches without them.
void LookUpShorterForms(const std::vector<FileForm>& forms, const Rules& rules, Groups& groups) {
    const bool specialPrefix = rules.prefixClash && rules.tiles && rules.text.endsWith(u'_');
    for (std::uint32_t i = 0; i < forms.size(); ++i) {
        const auto [folder, form] = forms[i];
        if (folder == kNoFolder) {
            continue;
        }
        QStringView shorter = form;
        for (int step = 0; step < rules.depth; ++step) {
            const std::optional<QStringView> less = WithoutCounter(shorter, rules.tileLimit);
            if (!less) {
                break;
            }
            shorter = NormalForm(*less, rules);
            groups.LookUp(AnchorOf(Tag::Form, folder, shorter), i);
        }
        if (specialPrefix && IsCounter(form)) {
            groups.LookUp(AnchorOf(Tag::Bare, folder, {}), i);
        }
        // A long core ending in a counter may be a tile's core of a file of the shorter form.
        if (rules.fold == Fold::Prefix && rules.tiles && form.size() >= kEdge) {
            if (const std::optional<QStringView> less = WithoutCounter(form, 0)) {
                groups.LookUp(AnchorOf(Tag::LongTileEnd, folder, less->right(kEdge)), i);
            }
        }
    }
}

}  // namespace

std::vector<std::uint32_t> NameCompetitionGroups(const PathList& files,
                                                 const BatchSettings& settings) {
    const OperationKind kind = EffectiveKind(settings);
    if (kind == OperationKind::Combine || kind == OperationKind::CutCountCombine ||
        kind == OperationKind::CutCellCombine) {
        return std::vector<std::uint32_t>(files.size(), 0);  // mosaics: one run, one group
    }
    const Rules rules = RulesOf(files, settings);
    OutputFolders folders(settings);
    std::vector<FileForm> forms;
    forms.reserve(files.size());
    for (const QString& file : files) {
        forms.push_back({folders.Of(file), NormalForm(StemOf(file), rules)});
    }
    Groups groups(files.size());
    std::vector<bool> wholeFolder(folders.Count(), rules.wholeFolders);
    RegisterForms(forms, rules, groups, wholeFolder);
    LookUpShorterForms(forms, rules, groups);
    std::vector<std::uint32_t> firstOfFolder(folders.Count(), kNoFolder);
    for (std::uint32_t i = 0; i < forms.size(); ++i) {
        const std::uint32_t folder = forms[i].folder;
        if (folder == kNoFolder || !wholeFolder[folder]) {
            continue;
        }
        if (firstOfFolder[folder] == kNoFolder) {
            firstOfFolder[folder] = i;
        }
        groups.Join(firstOfFolder[folder], i);
    }
    return groups.Roots();
}

}  // namespace corvane
