// Presets: the built-in libx264 table and preset files.
#include <strings.h>

#include <array>
#include <filesystem>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/text_codec.h"
#include "media/base/text_convert.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

struct TOptionsPreset {
  const char* Name;
  const char* Text;
};

// Expressed with the options today's libx264 wrapper has: its own "preset",
// "profile", "fastfirstpass" and "qp", and the generic rate options.
constexpr std::array<TOptionsPreset, 36> BuiltInPresets = {{
    {"libx264-baseline", "profile=baseline\n"},
    {"libx264-default", "preset=medium\n"},
    {"libx264-fast", "preset=fast\n"},
    {"libx264-fast_firstpass", "preset=fast\nfastfirstpass=1\n"},
    {"libx264-faster", "preset=faster\n"},
    {"libx264-faster_firstpass", "preset=faster\nfastfirstpass=1\n"},
    {"libx264-fastfirstpass", "preset=medium\nfastfirstpass=1\n"},
    {"libx264-hq", "preset=slow\n"},
    {"libx264-ipod320", "profile=baseline\nlevel=13\nmaxrate=768000\nbufsize=3000000\n"},
    {"libx264-ipod640", "profile=baseline\nlevel=30\nmaxrate=10000000\nbufsize=10000000\n"},
    {"libx264-lossless_fast", "preset=fast\nqp=0\n"},
    {"libx264-lossless_max", "preset=placebo\nqp=0\n"},
    {"libx264-lossless_medium", "preset=medium\nqp=0\n"},
    {"libx264-lossless_slow", "preset=slow\nqp=0\n"},
    {"libx264-lossless_slower", "preset=slower\nqp=0\n"},
    {"libx264-lossless_ultrafast", "preset=ultrafast\nqp=0\n"},
    {"libx264-main", "profile=main\n"},
    {"libx264-max", "preset=placebo\n"},
    {"libx264-medium", "preset=medium\n"},
    {"libx264-medium_firstpass", "preset=medium\nfastfirstpass=1\n"},
    {"libx264-normal", "preset=medium\n"},
    {"libx264-placebo", "preset=placebo\n"},
    {"libx264-placebo_firstpass", "preset=placebo\nfastfirstpass=1\n"},
    {"libx264-slow", "preset=slow\n"},
    {"libx264-slow_firstpass", "preset=slow\nfastfirstpass=1\n"},
    {"libx264-slower", "preset=slower\n"},
    {"libx264-slower_firstpass", "preset=slower\nfastfirstpass=1\n"},
    {"libx264-slowfirstpass", "preset=medium\nfastfirstpass=0\n"},
    {"libx264-superfast", "preset=superfast\n"},
    {"libx264-superfast_firstpass", "preset=superfast\nfastfirstpass=1\n"},
    {"libx264-ultrafast", "preset=ultrafast\n"},
    {"libx264-ultrafast_firstpass", "preset=ultrafast\nfastfirstpass=1\n"},
    {"libx264-veryfast", "preset=veryfast\n"},
    {"libx264-veryfast_firstpass", "preset=veryfast\nfastfirstpass=1\n"},
    {"libx264-veryslow", "preset=veryslow\n"},
    {"libx264-veryslow_firstpass", "preset=veryslow\nfastfirstpass=1\n"},
}};

const TOptionsPreset* FindBuiltIn(const std::string& name) {
  for (const TOptionsPreset& preset : BuiltInPresets)
    if (strcasecmp(preset.Name, name.c_str()) == 0) return &preset;
  return nullptr;
}

}  // namespace

std::vector<std::string> BuiltInPresetNames() {
  std::vector<std::string> names;
  for (const TOptionsPreset& preset : BuiltInPresets) names.emplace_back(preset.Name);
  return names;
}

void TCustomFFmpeg::ApplyPreset(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  std::string presetName = value;
  std::string text;
  const TOptionsPreset* builtIn = nullptr;
  if (name != "fpre") {
    builtIn = FindBuiltIn(value);
    const std::string& codecName = name == "vpre"   ? Fvideo_codec_name
                                   : name == "apre" ? Faudio_codec_name
                                                    : Fsubtitle_codec_name;
    if (!builtIn && !codecName.empty()) builtIn = FindBuiltIn(codecName + "-" + value);
  }
  if (builtIn) {
    presetName = builtIn->Name;
    text = builtIn->Text;
  } else {
    uint8_t* buffer = nullptr;
    int64_t size = 0;
    std::error_code error;
    if (!std::filesystem::is_regular_file(value, error) || ReadWholeFile(value, buffer, size) != 0)
      throw FFmpegException(Format("Preset \"%s\" not found", value.c_str()));
    text = reinterpret_cast<const char*>(buffer);
    avutil.av_free(buffer);
  }

  for (const std::string& rawLine : SplitLines(Trim(text))) {
    std::string line = Trim(rawLine);
    if (line.empty()) continue;
    size_t equals = line.find('=');
    std::string key = equals == std::string::npos ? line : line.substr(0, equals);
    std::string setting = equals == std::string::npos ? std::string() : line.substr(equals + 1);
    if (key.empty() || setting.empty())
      throw FFmpegException(Format("%s: Invalid syntax: \"%s\"", presetName.c_str(), line.c_str()));
    if (strcasecmp(key.c_str(), "vcodec") == 0)
      SetCodecChoice(AVMEDIA_TYPE_VIDEO, setting);
    else if (strcasecmp(key.c_str(), "acodec") == 0)
      SetCodecChoice(AVMEDIA_TYPE_AUDIO, setting);
    else if (strcasecmp(key.c_str(), "scodec") == 0)
      SetCodecChoice(AVMEDIA_TYPE_SUBTITLE, setting);
    else if (!SetNumericOption(key, setting))
      throw FFmpegException(Format("%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                                   presetName.c_str(), line.c_str(), key.c_str(), setting.c_str()));
  }
}

}  // namespace vidora
