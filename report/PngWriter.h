// PNG encoding of the report images: truecolour RGB, 8 bits per sample, no alpha channel, not
// interlaced, deflate at level 9.
#pragma once

#include <string>

#include "report/ImageSource.h"

namespace barvik {

class ReportOutput;

// The bytes of the PNG file of `image`. Throws std::invalid_argument when the image's size,
// stride and pixel buffer do not agree, and FileError("Cannot create file <path>") when
// libpng fails (`path` names the file the bytes are meant for).
std::string EncodePng(const RgbImage& image, const std::string& path);

// Writes EncodePng(image, path) to `path` through `output`. Throws FileError("Cannot
// create file <path>") when the file cannot be created or written or libpng fails, and
// std::invalid_argument when the image's size, stride and pixel buffer do not agree.
void WritePng(const std::string& path, const RgbImage& image, ReportOutput& output);

}  // namespace barvik
