#pragma once
// corvane-batch's command line, turned into the dialog's controls: the arguments fill a Form as a
// person would fill the dialog, so the dialog's own validation, capture and rules apply.

#include "engine/enumeration.h"
#include "engine/form.h"
#include "engine/shards.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace corvane {

struct BatchFlags {
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    int threads = 0;                // workers of the run; 0: one per core
    std::uint64_t memoryLimit = 0;  // --memory-limit: bytes in flight; 0: the default budget
    bool stripMetadata = false;     // --strip-metadata: BatchSettings::stripMetadata
    bool webp = false;              // -f webp: formats the dialog has no box for
    bool avif = false;              // -f avif
    // --shard K/N: this process is shard K of N and processes its share of the listing.
    std::optional<ShardIndex> shard;
    bool mergeReports = false;  // --merge-reports: the positional arguments are shards' reports
};

struct ParsedArguments {
    bool ok = false;
    QString error;         // bad usage, when not ok
    bool refused = false;  // `error` is the dialog's own refusal, not a usage mistake
    BatchFlags flags;
    PathList files;  // multi-path selection
    PathList folders;
    QStringList reports;  // with --merge-reports
};

// Fills `form` from the arguments (without the program name), starting from the dialog's
// defaults. Numbers go into the fields as typed; the validation judges them.
ParsedArguments ParseBatchArguments(const QStringList& arguments, Form& form);

QString BatchUsage();

// The language --lang asks for, read before the arguments are parsed so that every message,
// the parser's own included, is in it; empty when not asked.
QString AskedLanguage(const QStringList& arguments);

}  // namespace corvane
