#include "ui/window_choosers.h"

#include "selection/choosers.h"
#include "selection/profile_store.h"

#include <memory>

namespace corvane {
namespace {

// What the choosers keep between calls, shared by the three of them.
struct ChooserState {
    explicit ChooserState(const QString& path) : profilePath(path) {}
    ProfileStore& Profile() {
        if (!profile) {
            profile = std::make_unique<ProfileStore>(profilePath);
        }
        return *profile;
    }
    QString profilePath;
    std::unique_ptr<ProfileStore> profile;
    QString lastMultiSelectFolder;
};

}  // namespace

WindowChoosers SelectionChoosers(const QString& profilePath) {
    auto state = std::make_shared<ChooserState>(profilePath);
    WindowChoosers choosers;
    choosers.chooseFolder = [state](const QString& start, QWidget* parent) {
        return ChooseSingleFolder(start, state->Profile(), parent);
    };
    choosers.chooseFilesAndFolders = [state](PathList& files, PathList& folders,
                                             const QString& sourceText, QWidget* parent) {
        ChooseFilesAndFolders(&files, &folders, state->lastMultiSelectFolder, sourceText,
                              state->Profile(), parent);
    };
    choosers.choosePicture = [](const QString& current, QWidget* parent) {
        return ChoosePictureFile(current, parent);
    };
    return choosers;
}

}  // namespace corvane
