// Naming and retry: every output of a run is written under the naming rules, taking the next
// free name when another program took the one chosen, and giving up where the rules say so.

#include "pipeline_naming.h"
#include "engine/pipeline.h"
#include "engine/report.h"
#include "file_notes.h"
#include "file_preparer.h"
#include "platform/path_text.h"

namespace corvane {
namespace {

// A name that other programs keep taking: the output is given up after this many names.
constexpr int kNameAttempts = 1000;

// Notes once per file that a written output lacks the metadata it should hold.
void NoteMetadataProblem(FileResult& result, const OutputFormat& format,
                         const WriteOutcome& outcome, const QString& problem) {
    if (outcome.Written() && !problem.isEmpty()) {
        result.NoteOnce(NoteKind::MetadataUnwritten,
                        format.extension.mid(1) + QStringLiteral(": ") + problem);
    }
}

}  // namespace

QString OutOfMemoryText() {
    return QStringLiteral("there is not enough memory to write this picture");
}

QString NameTooLongText(const QString& path) {
    return QStringLiteral("the output name %1 is too long").arg(FileNamePart(path));
}

std::optional<QString> Pipeline::FolderFor(ProcessingContext& context, const QString& sourceFile,
                                           FileResult& result) {
    std::optional<QString> folder = namer_.OutputFolderFor(sourceFile);
    if (!folder) {
        context.ShowStatus(texts::kSaveFolderFailed, colours::kRed);
        result.Note(NoteKind::WriteFailed,
                    QStringLiteral("the output folder for this file cannot be made"));
    }
    return folder;
}

Pipeline::Output Pipeline::WriteNamed(ProcessingContext& context, const Namer& name,
                                      const Writer& write, FileResult& result) {
    const bool overwrite = settings_.clashStrategy == ClashStrategy::Overwrite;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const OutputPath target = name();
        if (target.abandoned) {
            result.Note(NoteKind::NameTooLong, NameTooLongText(target.path));
            return Output::Abandoned;
        }
        bool passedSource = false;
        const QString path =
            overwrite ? claims_.ClaimFree(target.path, &passedSource) : target.path;
        WriteOutcome outcome;
        try {
            outcome = write(path, overwrite ? IfExists::Replace : IfExists::Fail);
        } catch (...) {
            // Memory ran out while encoding (a pool thread's failure arrives here too): this
            // output fails, the run goes on. Nothing was written under the name.
            if (overwrite) {
                claims_.Release(path);
            }
            result.NoteOnce(NoteKind::TooLarge, OutOfMemoryText());
            return Output::Failed;
        }
        if (outcome.Written()) {
            ++context.Counters().saved;
            ++result.written;
            if (passedSource) {
                result.Note(NoteKind::Renamed, RenamedText(target.path, path));
            }
            return Output::Written;
        }
        if (overwrite) {
            claims_.Release(path);
        }
        if (outcome.kind != WriteOutcome::Kind::NameTaken) {
            result.Note(NoteKind::WriteFailed, path + QStringLiteral(": ") + outcome.text);
            return Output::Failed;
        }
        // Another program took the free name meanwhile: the naming rules pick the next one.
    }
    result.Note(NoteKind::WriteFailed, QStringLiteral("every free name was taken meanwhile"));
    return Output::Failed;
}

Pipeline::Output Pipeline::Save(ProcessingContext& context, ImageSlot image,
                                const OutputFormat& format, const Namer& name, FileResult& result) {
    const WatermarkSettings* watermark = run_->Watermark();
    return WriteNamed(
        context, name,
        [&](const QString& path, IfExists ifExists) {
            WriteOutcome outcome;
            QString metadataProblem;
            processor_.SaveImage(image, path, format, watermark, ifExists, &outcome,
                                 &metadataProblem, pool_.get());
            NoteMetadataProblem(result, format, outcome, metadataProblem);
            return outcome;
        },
        result);
}

Pipeline::Output Pipeline::SaveEncoded(ProcessingContext& context, const EncodedFile& encoded,
                                       const OutputFormat& format, const Namer& name,
                                       FileResult& result) {
    return WriteNamed(
        context, name,
        [&](const QString& path, IfExists ifExists) {
            const WriteOutcome outcome = ImageProcessor::WriteEncoded(encoded, path, ifExists);
            NoteMetadataProblem(result, format, outcome, encoded.metadataProblem);
            return outcome;
        },
        result);
}

}  // namespace corvane
