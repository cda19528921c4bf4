#include "options/output_profile.h"

#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "media/base/text_convert.h"
#include "options/server_address.h"
#include "options/size_budget.h"

namespace vidora {

namespace {

// One field as profile lines name it, and where its value goes.
struct TFieldSlot {
  const char* Name;
  std::string TOutputProfile::*Text;
  std::optional<int32_t> TOutputProfile::*Number;
  int64_t TOutputProfile::*Bytes = nullptr;
};

constexpr TFieldSlot FieldSlots[] = {
    {"FileExt", &TOutputProfile::FileExt, nullptr},
    {"FileFormat", &TOutputProfile::FileFormat, nullptr},
    {"ExtOptions", &TOutputProfile::ExtOptions, nullptr},
    {"AudioCodec", &TOutputProfile::AudioCodec, nullptr},
    {"AudioPreset", &TOutputProfile::AudioPreset, nullptr},
    {"AudioChannels", nullptr, &TOutputProfile::AudioChannels},
    {"AudioSampleRate", nullptr, &TOutputProfile::AudioSampleRate},
    {"AudioBitRate", nullptr, &TOutputProfile::AudioBitRate},
    {"VideoCodec", &TOutputProfile::VideoCodec, nullptr},
    {"VideoPreset", &TOutputProfile::VideoPreset, nullptr},
    {"FrameRate", &TOutputProfile::FrameRate, nullptr},
    {"FrameSize", &TOutputProfile::FrameSize, nullptr},
    {"VideoBitrate", nullptr, &TOutputProfile::VideoBitrate},
    {"VideoBitRateTolerance", nullptr, &TOutputProfile::VideoBitRateTolerance},
    {"MaxFileSize", nullptr, nullptr, &TOutputProfile::MaxFileSize},
};

const TFieldSlot* FindSlot(const std::string& name) {
  for (const TFieldSlot& slot : FieldSlots)
    if (name == slot.Name) return &slot;
  return nullptr;
}

}  // namespace

const std::vector<std::string>& TOutputProfile::FieldNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const TFieldSlot& slot : FieldSlots) all.emplace_back(slot.Name);
    return all;
  }();
  return names;
}

bool TOutputProfile::IsNumberField(const std::string& name) {
  const TFieldSlot* slot = FindSlot(name);
  return slot && slot->Number;
}

bool TOutputProfile::SetField(const std::string& name, const std::string& value) {
  const TFieldSlot* slot = FindSlot(name);
  if (!slot) return false;
  if (slot->Text) {
    this->*slot->Text = value;
  } else if (slot->Bytes) {
    try {
      this->*slot->Bytes = value.empty() || value == "0" ? 0 : ParseFileSize(value);
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument("profile field " + name + ": " + error.what());
    }
  } else if (value.empty()) {
    (this->*slot->Number).reset();
  } else {
    try {
      this->*slot->Number = StrToInt(value);
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument("profile field " + name + ": " + error.what());
    }
  }
  return true;
}

std::string ScrambleProfileLine(const std::string& plain) {
  std::string line = plain;
  for (char& c : line) c = static_cast<char>(c ^ 0xB3);
  return line;
}

void TOutputProfile::ApplyProfile(const std::string& scrambledLine) {
  for (const TFieldSlot& slot : FieldSlots) SetField(slot.Name, "");
  Refusal.clear();
  std::string text = ScrambleProfileLine(scrambledLine);  // the same XOR undoes it
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string assignment = text.substr(0, comma);
    text = comma == std::string::npos ? std::string() : text.substr(comma + 1, 5000);
    size_t equals = assignment.find('=');
    if (equals == std::string::npos) continue;
    try {
      SetField(assignment.substr(0, equals), assignment.substr(equals + 1, 255));
    } catch (const std::invalid_argument& error) {
      if (Refusal.empty()) Refusal = error.what();
    }
  }
}

TOutputOptions TOutputProfile::GetOutputOptions(const std::string& inputFile, bool fixedMode,
                                                const TNameTaken& handedOut) const {
  TOutputOptions o;
  o.VideoInputHook = true;  // every job goes past the subtitle renderer
  o.CopyTimestamp = false;
  o.Info.Author = "VidoraTo3GP/GSM Phone";
  o.Info.Comment = ProductSite;
  o.Info.TimeStamp = 0.0;
  if (!FileFormat.empty()) o.ForceFormat = FileFormat;
  if (!ExtOptions.empty()) o.ExtOptions = ExtOptions;
  if (fixedMode) {
    // The fixed set as today's 3GP muxer takes it: the container's own MPEG-4 tag and AAC.
    o.FrameSize = "320x240";
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "aac";
    o.AudioSampleRate = 22050;
    o.AudioChannels = 2;
    o.AudioBitrate = 96000;
    o.FrameRate = "25";
    o.VideoBitrate = 512000;
    o.VideoBitRateTolerance = 96000;
  } else {
    if (!Refusal.empty()) throw std::invalid_argument(Refusal);
    auto text = [](const std::string& value, std::string& target) {
      if (!value.empty()) target = value;
    };
    auto number = [](const std::optional<int32_t>& value, int32_t& target) {
      if (value) target = *value;
    };
    text(AudioCodec, o.AudioCodec);
    text(AudioPreset, o.AudioPreset);
    number(AudioChannels, o.AudioChannels);
    number(AudioSampleRate, o.AudioSampleRate);
    number(AudioBitRate, o.AudioBitrate);
    text(VideoCodec, o.VideoCodec);
    text(VideoPreset, o.VideoPreset);
    text(FrameRate, o.FrameRate);
    text(FrameSize, o.FrameSize);
    number(VideoBitrate, o.VideoBitrate);
    number(VideoBitRateTolerance, o.VideoBitRateTolerance);
  }
  o.FileExt = FileExt;
  o.FileName = OutputFileName(inputFile, FileExt, handedOut);
  o.DisableSubtitle = true;  // subtitles are burned into the picture, never written as a stream
  return o;
}

namespace {

// The longest name an entry of that folder can have, in bytes.
size_t MaxNameBytes(const std::filesystem::path& folder) {
  long max = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return max > 0 ? static_cast<size_t>(max) : 255;
}

// The text cut to at most `bytes` bytes, never inside a UTF-8 character.
std::string CutToBytes(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

std::string OutputFileName(const std::string& input, const std::string& extension, const TNameTaken& handedOut) {
  std::filesystem::path path(input);
  std::filesystem::path folder = path.parent_path();
  std::string stem = path.stem().string();
  size_t limit = MaxNameBytes(folder);
  // A long input name leaves no room for the suffix: its base gives way.
  auto name = [&](const std::string& tag) {
    std::string suffix = tag + extension;
    return (folder / (CutToBytes(stem, limit > suffix.size() ? limit - suffix.size() : 0) + suffix)).string();
  };
  // A dangling symbolic link takes its name too: writing would go through it.
  auto taken = [&](const std::string& candidate) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(candidate, error)) ||
           (handedOut && handedOut(candidate));
  };
  std::string candidate = name("_(Vidora)");
  for (int n = 1; taken(candidate); ++n) candidate = name("_(Vidora_" + std::to_string(n) + ")");
  return candidate;
}

}  // namespace vidora
