#include "batch_options.h"

#include "file_list.h"
#include "form_rules/dialog_defaults.h"
#include "form_rules/enable_rules.h"
#include "form_rules/validation.h"
#include "platform/file_system.h"
#include "platform/memory_budget.h"
#include "platform/path_text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <cmath>
#include <map>

namespace corvane {
namespace {

using enum ControlId;

struct Pair {
    QString first;
    QString second;
};

// "3x2" (also "3X2" or "3×2") into its two texts; the numbers stay as typed.
std::optional<Pair> SplitPair(const QString& text) {
    static const QRegularExpression separator(QStringLiteral("[xX×]"));
    const QStringList parts = text.split(separator);
    if (parts.size() != 2) {
        return std::nullopt;
    }
    return Pair{parts[0], parts[1]};
}

// "#RRGGBB" as a Windows colour value 0x00BBGGRR.
std::optional<std::uint32_t> ParseColour(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("^#?([0-9a-fA-F]{6})$"));
    const auto match = hex.match(text.trimmed());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const std::uint32_t rgb = match.captured(1).toUInt(nullptr, 16);
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// More workers than this would only hold more pictures in memory.
constexpr int kMostThreads = 256;

class ArgumentReader {
public:
    ArgumentReader(QCommandLineParser& parser, Form& form, ParsedArguments& result)
        : parser_(parser), form_(form), result_(result) {}

    bool Fail(const QString& error) {
        if (result_.error.isEmpty()) {
            result_.error = error;
        }
        return false;
    }
    bool Has(const QString& name) const { return parser_.isSet(name); }
    QString Value(const QString& name) const { return parser_.value(name); }

    bool ReadFormats() {
        if (Has("same-format") && Has("copy")) {
            return Fail(QStringLiteral("--same-format and --copy exclude each other"));
        }
        // A copy keeps every byte of the file, its metadata too.
        if (Has("strip-metadata") && Has("copy")) {
            return Fail(QStringLiteral("--strip-metadata and --copy exclude each other"));
        }
        if (Has("format")) {
            SetAllFormats(false);
            for (const QString& raw : Value("format").split(u',', Qt::SkipEmptyParts)) {
                if (!TickFormat(raw.trimmed().toLower())) {
                    return Fail(QStringLiteral("unknown format: %1").arg(raw));
                }
            }
            ApplySingleFormatRule(form_);
        }
        form_.SetChecked(SameAsSource, Has("same-format"));
        form_.SetChecked(DirectCopy, Has("copy"));
        UpdateSaveModeControls(form_);
        return true;
    }

    bool ReadNaming() {
        form_.SetChecked(CopyFolderStructure, Has("keep-structure"));
        if (Has("on-clash")) {
            const QString mode = Value("on-clash");
            const qsizetype equals = mode.indexOf(u'=');
            const QString name = equals < 0 ? mode : mode.left(equals);
            if (name == QLatin1String("prefix") || name == QLatin1String("suffix")) {
                const bool prefix = name == QLatin1String("prefix");
                SelectRadio(form_, prefix ? ClashPrefix : ClashSuffix);
                if (equals >= 0) {
                    form_.SetText(prefix ? ClashPrefixText : ClashSuffixText, mode.mid(equals + 1));
                }
            } else if (mode == QLatin1String("overwrite")) {
                SelectRadio(form_, ClashOverwrite);
            } else {
                return Fail(QStringLiteral("unknown --on-clash mode: %1").arg(mode));
            }
        }
        UpdateNameClashControls(form_);
        if (Has("name-limit")) {
            form_.SetText(NameLengthLimit, Value("name-limit"));
        }
        if (Has("on-long-name")) {
            static const std::map<QString, ControlId> modes = {
                {QStringLiteral("fold-prefix"), LongNameFoldPrefix},
                {QStringLiteral("fold-suffix"), LongNameFoldSuffix},
                {QStringLiteral("skip"), LongNameAbandon}};
            const auto it = modes.find(Value("on-long-name"));
            if (it == modes.end()) {
                return Fail(
                    QStringLiteral("unknown --on-long-name mode: %1").arg(Value("on-long-name")));
            }
            SelectRadio(form_, it->second);
        }
        return true;
    }

    bool ReadRotation() {
        if (Has("background")) {
            const auto colour = ParseColour(Value("background"));
            if (!colour) {
                return Fail(QStringLiteral("--background wants #RRGGBB"));
            }
            form_.SetColourValue(RotateBackground, *colour);
        }
        if (!Has("rotate")) {
            return true;
        }
        form_.SetChecked(Rotate, true);
        const QString angle = Value("rotate").trimmed();
        bool number = false;
        if (!std::isfinite(angle.toDouble(&number)) || !number) {
            return Fail(QStringLiteral("--rotate wants an angle in degrees, as 90 or -12.5"));
        }
        static const std::map<QString, ControlId> quarters = {{QStringLiteral("90"), Rotate90},
                                                              {QStringLiteral("180"), Rotate180},
                                                              {QStringLiteral("270"), Rotate270}};
        const auto it = quarters.find(angle);
        if (it != quarters.end()) {
            SelectRadio(form_, it->second);
        } else {
            SelectRadio(form_, RotateCustom);
            form_.SetText(RotateAngle, angle);
        }
        return true;
    }

    bool ReadResize() {
        const int modes = Has("resize-ratio") + Has("resize") + Has("long-edge");
        if (modes > 1) {
            return Fail(QStringLiteral("choose one of --resize-ratio, --resize, --long-edge"));
        }
        if (modes == 0) {
            return true;
        }
        form_.SetChecked(Resize, true);
        if (Has("resize-ratio")) {
            SelectRadio(form_, ResizeByRatio);
            form_.SetText(ResizeRatio, Value("resize-ratio"));
        } else if (Has("long-edge")) {
            SelectRadio(form_, ResizeByLongEdge);
            form_.SetText(LongEdgeLimit, Value("long-edge"));
        } else {
            SelectRadio(form_, ResizeBySize);
            return FillPair("resize", ResizeWidth, ResizeHeight);
        }
        return true;
    }

    bool ReadCutCombineWatermark() {
        if (Has("cut") && Has("cut-cell")) {
            return Fail(QStringLiteral("choose one of --cut, --cut-cell"));
        }
        if (Has("cut") || Has("cut-cell")) {
            form_.SetChecked(Cut, true);
            const bool byCount = Has("cut");
            SelectRadio(form_, byCount ? CutByCount : CutByCellSize);
            if (!(byCount ? FillPair("cut", CutColumns, CutRows)
                          : FillPair("cut-cell", CellWidth, CellHeight))) {
                return false;
            }
        }
        if (Has("combine")) {
            form_.SetChecked(Combine, true);
            if (!FillPair("combine", CombineColumns, CombineRows)) {
                return false;
            }
        }
        if (Has("watermark-text") && Has("watermark-image")) {
            return Fail(QStringLiteral("choose one of --watermark-text, --watermark-image"));
        }
        if (Has("watermark-text") || Has("watermark-image")) {
            form_.SetChecked(Watermark, true);
            const bool text = Has("watermark-text");
            SelectRadio(form_, text ? WatermarkByText : WatermarkByImage);
            form_.SetText(text ? WatermarkText : WatermarkImagePath,
                          text ? Value("watermark-text") : Absolute(Value("watermark-image")));
        }
        UpdateOperationControls(form_);
        return true;
    }

    // The dialog allows no operation where nothing but a copy is made; here a copy never
    // silently drops an operation that was asked for.
    bool RefuseOperationsWhenCopying() {
        if (!Has("copy")) {
            return true;
        }
        for (const char* option : {"rotate", "resize-ratio", "resize", "long-edge", "cut",
                                   "cut-cell", "combine", "watermark-text", "watermark-image"}) {
            if (Has(option)) {
                result_.refused = true;
                return Fail(texts::kNoOperationWhenCopying);
            }
        }
        return true;
    }

    bool ReadSources() {
        const QStringList sources = parser_.positionalArguments();
        if (Has("files-from")) {
            return ReadListedSources(sources);
        }
        if (sources.isEmpty()) {
            return Fail(QStringLiteral("no SOURCE given"));
        }
        const bool includeSubfolders = Has("recursive");
        form_.SetChecked(IncludeSubfolders, includeSubfolders);
        form_.SetChecked(MultiIncludeSubfolders, includeSubfolders);
        const bool single = !Has("multi") && sources.size() == 1 && !IsRegularFile(sources[0]);
        if (single) {
            // Whatever it names (nothing, a folder, a device), the dialog's checks judge it.
            form_.SetText(SourcePath, PathExists(sources[0]) ? Absolute(sources[0]) : sources[0]);
            SelectRadio(form_, SinglePathRadio);
            SetSourceMode(form_, true, false);
            return true;
        }
        if (!AddSources(sources)) {
            return false;
        }
        // The dialog checks its source field in multi-path mode too: it holds the first source.
        const QString first = Absolute(sources[0]);
        SetMultiPath(IsDirectory(first) ? first : FolderPart(first));
        return true;
    }

    // --files-from: the listed files (not looked at here: a list may hold a million), besides
    // any SOURCE, in multi-path mode.
    bool ReadListedSources(const QStringList& sources) {
        form_.SetChecked(IncludeSubfolders, Has("recursive"));
        form_.SetChecked(MultiIncludeSubfolders, Has("recursive"));
        QString error;
        if (!ReadFileList(Value("files-from"), result_.files, &error)) {
            return Fail(QStringLiteral("--files-from %1: %2").arg(Value("files-from"), error));
        }
        if (!AddSources(sources)) {
            return false;
        }
        const QString first = !sources.isEmpty()       ? Absolute(sources[0])
                              : !result_.files.empty() ? result_.files.front()
                                                       : AbsolutePath(QStringLiteral("."));
        SetMultiPath(IsDirectory(first) ? FolderPathOf(first) : FolderPart(first));
        return true;
    }

private:
    bool AddSources(const QStringList& sources) {
        for (const QString& source : sources) {
            if (!PathExists(source)) {
                return Fail(QStringLiteral("no such file or folder: %1").arg(source));
            }
            (IsDirectory(source) ? result_.folders : result_.files).push_back(Absolute(source));
        }
        return true;
    }

    void SetMultiPath(const QString& sourceField) {
        form_.SetText(SourcePath, sourceField);
        SelectRadio(form_, MultiPathRadio);
        SetSourceMode(form_, false, true);
    }

    static QString Absolute(const QString& path) {
        const QString absolute = AbsolutePath(path);
        return IsDirectory(absolute) ? FolderPathOf(absolute) : absolute;
    }

    bool FillPair(const QString& option, ControlId first, ControlId second) {
        const auto pair = SplitPair(Value(option));
        if (!pair) {
            return Fail(QStringLiteral("--%1 wants two numbers, as 3x2").arg(option));
        }
        form_.SetText(first, pair->first);
        form_.SetText(second, pair->second);
        return true;
    }

    void SetAllFormats(bool ticked) {
        for (const ControlId id : {FormatAll, FormatPng, FormatBmp, FormatJpeg, FormatGif,
                                   FormatTiff, FormatEmf, FormatWmf}) {
            form_.SetChecked(id, ticked);
        }
    }

    bool TickFormat(const QString& name) {
        static const std::map<QString, ControlId> boxes = {
            {"png", FormatPng},  {"bmp", FormatBmp}, {"jpeg", FormatJpeg},
            {"jpg", FormatJpeg}, {"gif", FormatGif}, {"tiff", FormatTiff},
            {"tif", FormatTiff}, {"emf", FormatEmf}, {"wmf", FormatWmf}};
        if (name == QLatin1String("all")) {
            form_.SetChecked(FormatAll, true);
            ApplyAllFormatsRule(form_);
            return true;
        }
        if (name == QLatin1String("none")) {
            return true;
        }
        if (name == QLatin1String("webp") || name == QLatin1String("avif")) {
            (name == QLatin1String("webp") ? result_.flags.webp : result_.flags.avif) = true;
            return true;
        }
        const auto it = boxes.find(name);
        if (it == boxes.end()) {
            return false;
        }
        form_.SetChecked(it->second, true);
        return true;
    }

    QCommandLineParser& parser_;
    Form& form_;
    ParsedArguments& result_;
};

// Whether the arguments ask for the JSON report, read without the parser (which gave up on
// them): options end at "--".
bool AsksForJson(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--")) {
            break;
        }
        if (argument == QLatin1String("--json") || argument == QLatin1String("-json")) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString AskedLanguage(const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            break;
        }
        if (argument == QLatin1String("--lang") || argument == QLatin1String("-lang")) {
            return i + 1 < arguments.size() ? arguments[i + 1] : QString();
        }
        for (const QLatin1String prefix : {QLatin1String("--lang="), QLatin1String("-lang=")}) {
            if (argument.startsWith(prefix)) {
                return argument.mid(prefix.size());
            }
        }
    }
    return {};
}

namespace {

void AddOptions(QCommandLineParser& parser) {
    const auto value = [&](const QStringList& names, const QString& help,
                           const QString& valueName) {
        parser.addOption(QCommandLineOption(names, help, valueName));
    };
    const auto flag = [&](const QStringList& names, const QString& help) {
        parser.addOption(QCommandLineOption(names, help));
    };
    flag({"r", "recursive"}, "include subfolders");
    flag({"multi"}, "multi path");
    value({"o", "output"}, "output folder", "DIR");
    value({"f", "format"}, "formats", "LIST");
    flag({"same-format"}, "same format as the source");
    flag({"copy"}, "copy sources unchanged");
    flag({"keep-structure"}, "recreate the source folders");
    value({"on-clash"}, "clash strategy", "MODE");
    value({"name-limit"}, "name length limit", "N");
    value({"on-long-name"}, "long-name strategy", "MODE");
    value({"rotate"}, "rotation angle", "ANGLE");
    value({"background"}, "background colour", "COLOUR");
    value({"resize-ratio"}, "resize ratio", "R");
    value({"resize"}, "resize to size", "WxH");
    value({"long-edge"}, "long-edge limit", "L");
    value({"cut"}, "cut into blocks", "NxM");
    value({"cut-cell"}, "cut into cells", "WxH");
    value({"combine"}, "combine", "NxM");
    value({"watermark-text"}, "watermark text", "TEXT");
    value({"watermark-image"}, "watermark picture", "FILE");
    flag({"strip-metadata"}, "no metadata in the outputs");
    value({"threads"}, "workers", "N");
    value({"memory-limit"}, "memory for pictures in flight", "SIZE");
    value({"files-from"}, "list of source files", "FILE");
    value({"shard"}, "shard of a run", "K/N");
    flag({"merge-reports"}, "merge the reports of shards");
    flag({"json"}, "JSON report");
    flag({"q", "quiet"}, "no progress display");
    value({"lang"}, "language of the messages", "LANG");  // read before parsing: AskedLanguage
    flag({"h", "help"}, "help");
    flag({"version"}, "version");
}

// "K/N", 0 <= K < N: Slurm's SLURM_ARRAY_TASK_ID with --array=0-(N-1), Kubernetes'
// JOB_COMPLETION_INDEX, GNU parallel's {%} less one.
bool ReadShard(const QString& text, ParsedArguments& result) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})/(\\d{1,6})$"));
    const auto match = pattern.match(text.trimmed());
    const int index = match.captured(1).toInt();
    const int count = match.captured(2).toInt();
    if (!match.hasMatch() || count < 1 || index >= count) {
        result.error = QStringLiteral("--shard wants K/N, K from 0 to N-1, as 0/4");
        return false;
    }
    result.flags.shard = ShardIndex{index, count};
    return true;
}

}  // namespace

ParsedArguments ParseBatchArguments(const QStringList& arguments, Form& form) {
    ParsedArguments result;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    AddOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("corvane-batch")} + arguments)) {
        result.error = parser.errorText();
        result.flags.json = AsksForJson(arguments);
        return result;
    }
    result.flags.help = parser.isSet("help");
    result.flags.version = parser.isSet("version");
    result.flags.json = parser.isSet("json");
    result.flags.quiet = parser.isSet("quiet");
    result.flags.stripMetadata = parser.isSet("strip-metadata");
    if (result.flags.help || result.flags.version) {
        return result;
    }
    if (parser.isSet("threads")) {
        bool number = false;
        result.flags.threads = parser.value("threads").toInt(&number);
        if (!number || result.flags.threads < 1 || result.flags.threads > kMostThreads) {
            result.error =
                QStringLiteral("--threads wants a whole number from 1 to %1").arg(kMostThreads);
            return result;
        }
    }
    if (parser.isSet("memory-limit")) {
        const std::optional<std::uint64_t> bytes = ParseMemorySize(parser.value("memory-limit"));
        if (!bytes) {
            result.error = QStringLiteral(
                "--memory-limit wants a size in bytes, or with K, M or G (e.g. 512M, 2G)");
            return result;
        }
        result.flags.memoryLimit = *bytes;
    }
    if (parser.isSet("merge-reports")) {
        result.flags.mergeReports = true;
        result.reports = parser.positionalArguments();
        result.ok = !result.reports.isEmpty();
        result.error = result.ok ? QString() : QStringLiteral("--merge-reports wants the reports");
        return result;
    }
    if (parser.isSet("shard") && !ReadShard(parser.value("shard"), result)) {
        return result;
    }
    ApplyDialogDefaults(form, {});
    if (parser.isSet("output")) {
        form.SetText(SavePath, AbsolutePath(parser.value("output")));
    }
    ArgumentReader reader(parser, form, result);
    result.ok = reader.ReadSources() && reader.ReadFormats() &&
                reader.RefuseOperationsWhenCopying() && reader.ReadNaming() &&
                reader.ReadRotation() && reader.ReadResize() && reader.ReadCutCombineWatermark();
    return result;
}

QString BatchUsage() {
    const QString usage = QStringLiteral(
        "usage: corvane-batch [options] SOURCE...\n"
        "       corvane-batch --merge-reports FILE...\n"
        "  one folder SOURCE: single path (%1); several SOURCEs, any file among them, or "
        "--multi: multi path (%2)\n"
        "\n"
        "Options:\n"
        "  -r, --recursive              include subfolders\n"
        "  -o, --output DIR             output folder (%3), must exist, as in the dialog\n"
        "  -f, --format LIST            png,bmp,jpeg,gif,tiff,emf,wmf (jpg and tif accepted), all, "
        "or none; and webp (lossy, libwebp's default quality 75) and avif (lossy, libheif's AV1 "
        "default quality 50), which all does not include\n"
        "      --same-format            %4\n"
        "      --copy                   %5\n"
        "      --keep-structure         %6\n"
        "      --on-clash MODE          prefix[=TEXT] (default, TEXT \"_CVN_\"), suffix[=TEXT] "
        "(TEXT \"_CVN\"), overwrite\n"
        "      --name-limit N           default 218\n"
        "      --on-long-name MODE      fold-prefix (default), fold-suffix, skip\n"
        "      --rotate ANGLE           90, 180, 270, or any other angle (custom angle)\n"
        "      --background COLOUR      #RRGGBB, the background of a custom angle (default "
        "#FFFFFF)\n"
        "      --resize-ratio R | --resize WxH (0 for the free side) | --long-edge L\n"
        "      --cut NxM (blocks across x down) | --cut-cell WxH\n"
        "      --combine NxM\n"
        "      --watermark-text TEXT | --watermark-image FILE\n"
        "      --strip-metadata         write no EXIF, XMP, IPTC or comment into the outputs (kept "
        "by default in JPEG, PNG, TIFF, WebP and AVIF)\n"
        "      --json                   print the final report as one JSON object on stdout\n"
        "  -q, --quiet                  no progress display\n"
        "      --lang LANG              en: messages in English; zh: in Chinese (default: "
        "CORVANE_LANG, else the locale's language: English for en_*, Chinese for any other)\n"
        "      --threads N              N read-ahead helpers, N-1 threads deflating PNG rows (no "
        "more than the cores the process may run on, less one) and the processing thread "
        "(default N: the cores the process may run on; 1: one file at a time, no helper); the "
        "outputs are the same whatever N\n"
        "      --memory-limit SIZE      memory the pictures, decode buffers and encoded bytes of "
        "the files in flight may hold at once, in bytes or with K, M or G (e.g. 512M, 2G); helpers "
        "wait for room, a file larger than SIZE is made alone (default: half of what the process "
        "may use - its cgroup's limit, else the available memory - and at most 160M per core); "
        "a picture that would need more than four fifths of what the process may use is skipped as "
        "too large\n"
        "      --files-from FILE        also the files named in FILE (- for standard input), "
        "separated by NUL bytes or line breaks, in multi path\n"
        "      --shard K/N              process shard K (from 0) of the run cut into N: every "
        "shard lists the sources, the shards together write what the run writes alone; the "
        "output folder must lie apart from the sources\n"
        "      --merge-reports FILE...  print the report of the whole run from the --json "
        "reports of all its shards (files of one report per line)\n"
        "  -h, --help                   print this help and exit\n"
        "      --version                print the version and exit\n"
        "exit status: 0 complete, 1 partial, 2 failed, 3 refused or bad usage, 130 stopped\n");
    // The dialog's names of the options, in the language of the messages.
    const auto name = [](const char* caption) {
        return QCoreApplication::translate("corvane", caption);
    };
    return usage.arg(name(QT_TRANSLATE_NOOP("corvane", "单路径")),
                     name(QT_TRANSLATE_NOOP("corvane", "多路径")),
                     name(QT_TRANSLATE_NOOP("corvane", "保存路径")),
                     name(QT_TRANSLATE_NOOP("corvane", "按原图格式")),
                     name(QT_TRANSLATE_NOOP("corvane", "按原图直接拷贝")),
                     name(QT_TRANSLATE_NOOP("corvane", "文件夹结构拷贝")));
}

}  // namespace corvane
