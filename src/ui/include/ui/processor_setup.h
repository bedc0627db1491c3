#pragma once
// Creating the image processor of the window. It cannot be created when an encoder of the table
// (PNG, BMP, JPEG, GIF, TIFF) is missing, for instance when an image plugin of Qt is not
// installed: the window then starts with "程序初始化失败！" and every control disabled.

#include "imaging/image_processor.h"

#include <functional>
#include <memory>

namespace corvane {

using ProcessorFactory = std::function<std::unique_ptr<ImageProcessor>()>;

// Nothing when an encoder is missing.
std::unique_ptr<ImageProcessor> CreateImageProcessor();

}  // namespace corvane
