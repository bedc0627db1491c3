#pragma once
// The places column of the folder picker: the user's home, picture and desktop folders, the
// file-system root and the mounted volumes, each only when it exists.

#include <QString>
#include <QStyle>

#include <vector>

namespace corvane {

struct Place {
    QString name;
    QString path;
    QStyle::StandardPixmap icon;
};

std::vector<Place> PickerPlaces();

}  // namespace corvane
