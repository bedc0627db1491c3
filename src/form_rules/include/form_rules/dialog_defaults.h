#pragma once
// The state of the main dialog's controls after it opens: default texts, ticks and the rules
// applied over them.

#include "engine/form.h"

#include <QString>

namespace corvane {

inline constexpr int kNameLengthMin = 20;
inline constexpr int kNameLengthMax = 218;

// The texts that come from the remembered settings or the platform.
struct RememberedTexts {
    QString sourcePath;          // else the picture folder
    QString watermarkText;       // else "Corvane"
    QString watermarkImagePath;  // else the source path
};

// Linux defaults: the user's picture folder (the home folder when it does not exist) and
// ~/CVN_Save/.
QString DefaultSourceFolder();
QString DefaultSaveFolder();

void ApplyDialogDefaults(Form& form, const RememberedTexts& remembered);

}  // namespace corvane
