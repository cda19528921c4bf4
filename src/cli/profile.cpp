#include "profile.h"

#include <strings.h>

#include <filesystem>
#include <stdexcept>

#include "media/base/text_convert.h"

namespace vidora::cli {

TOutputOptions BuiltInProfile(bool lo) {
  TOutputOptions options;
  options.FileExt = "_3GP.3gp";
  if (lo) {
    // The fixed set, with what today's 3GP muxer takes: the container's own
    // MPEG-4 tag and AAC.
    options.FrameSize = "320x240";
    options.VideoCodec = "mpeg4";
    options.AudioCodec = "aac";
    options.AudioSampleRate = 22050;
    options.AudioChannels = 2;
    options.AudioBitrate = 96000;
    options.FrameRate = "25";
    options.VideoBitrate = 512000;
    options.VideoBitRateTolerance = 96000;
  } else {
    options.AudioChannels = 1;
    options.AudioSampleRate = 8000;
    options.AudioBitrate = 12200;
    options.FrameSize = "176x144";
    options.VideoBitrate = 150000;
  }
  return options;
}

void SetProfileField(TOutputOptions& o, const std::string& field, const std::string& value) {
  auto number = [&](int32_t& target) { target = value.empty() ? -1 : StrToInt(value); };
  struct TText {
    const char* Name;
    std::string TOutputOptions::*Field;
  };
  static const TText texts[] = {{"FileExt", &TOutputOptions::FileExt},         {"FileFormat", &TOutputOptions::ForceFormat},
                                {"ExtOptions", &TOutputOptions::ExtOptions},   {"AudioCodec", &TOutputOptions::AudioCodec},
                                {"AudioPreset", &TOutputOptions::AudioPreset}, {"VideoCodec", &TOutputOptions::VideoCodec},
                                {"VideoPreset", &TOutputOptions::VideoPreset}, {"FrameRate", &TOutputOptions::FrameRate},
                                {"FrameSize", &TOutputOptions::FrameSize}};
  for (const TText& text : texts)
    if (strcasecmp(field.c_str(), text.Name) == 0) {
      o.*text.Field = value;
      return;
    }
  struct TNumber {
    const char* Name;
    int32_t TOutputOptions::*Field;
  };
  static const TNumber numbers[] = {{"AudioChannels", &TOutputOptions::AudioChannels},
                                    {"AudioSampleRate", &TOutputOptions::AudioSampleRate},
                                    {"AudioBitRate", &TOutputOptions::AudioBitrate},
                                    {"VideoBitrate", &TOutputOptions::VideoBitrate},
                                    {"VideoBitRateTolerance", &TOutputOptions::VideoBitRateTolerance}};
  for (const TNumber& n : numbers)
    if (strcasecmp(field.c_str(), n.Name) == 0) {
      number(o.*n.Field);
      return;
    }
  throw std::invalid_argument("unknown profile field " + field);
}

std::string OutputFileName(const std::string& input, const std::string& extension) {
  std::filesystem::path path(input);
  std::string base = (path.parent_path() / path.stem()).string();
  std::error_code error;
  std::string candidate = base + "_(Vidora)" + extension;
  for (int n = 1; std::filesystem::exists(candidate, error); ++n)
    candidate = base + "_(Vidora_" + std::to_string(n) + ")" + extension;
  return candidate;
}

}  // namespace vidora::cli
