#include "places.h"

#include "platform/file_system.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>

namespace corvane {
namespace {

void AddFolder(std::vector<Place>& places, const QString& name, const QString& path,
               QStyle::StandardPixmap icon) {
    const QString native = QDir::toNativeSeparators(path);
    const bool known = std::any_of(places.begin(), places.end(),
                                   [&](const Place& place) { return place.path == native; });
    if (!path.isEmpty() && !known && IsDirectory(native)) {
        places.push_back({name, native, icon});
    }
}

// Volumes backed by a device: leaves out the root itself and the kernel's and the sandbox's
// pseudo file systems.
bool IsUserVolume(const QStorageInfo& volume) {
    if (!volume.isValid() || !volume.isReady() || volume.isRoot()) {
        return false;
    }
#ifdef _WIN32
    return true;
#else
    return volume.device().startsWith("/dev/");
#endif
}

}  // namespace

std::vector<Place> PickerPlaces() {
    std::vector<Place> places;
    AddFolder(places, QCoreApplication::translate("corvane", "主文件夹"), QDir::homePath(),
              QStyle::SP_DirHomeIcon);
    AddFolder(places, QCoreApplication::translate("corvane", "图片", "the place"),
              QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
              QStyle::SP_DirIcon);
    AddFolder(places, QCoreApplication::translate("corvane", "桌面"),
              QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
              QStyle::SP_DesktopIcon);
    AddFolder(places, QCoreApplication::translate("corvane", "文件系统"), QDir::rootPath(),
              QStyle::SP_DriveHDIcon);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (IsUserVolume(volume)) {
            AddFolder(places, volume.displayName(), volume.rootPath(), QStyle::SP_DriveHDIcon);
        }
    }
    return places;
}

}  // namespace corvane
