// The output profile of the command-line converter.
#pragma once

#include <string>

#include "media/encoder/options.h"

namespace vidora::cli {

// The built-in phone profile, or with `lo` the fixed 320x240 set.
TOutputOptions BuiltInProfile(bool lo);
// Sets a profile field by its name (FrameSize, VideoBitrate, ...); throws
// std::invalid_argument for an unknown field or a bad number.
void SetProfileField(TOutputOptions& options, const std::string& field, const std::string& value);
// base + "_(Vidora)" + extension beside the input, or "_(Vidora_N)" when taken.
std::string OutputFileName(const std::string& input, const std::string& extension);

}  // namespace vidora::cli
