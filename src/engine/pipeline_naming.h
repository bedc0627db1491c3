#pragma once
// Private to the pipeline: what its dispatch and its naming (pipeline_naming.cpp) both say.

#include <QString>

namespace corvane {

// The note of an output given up because its name is too long.
QString NameTooLongText(const QString& path);
// The note of an output or a cut that ran out of memory.
QString OutOfMemoryText();

}  // namespace corvane
