#include "media/encoder/option_text.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "media/base/ff_utils.h"
#include "media/base/text_codec.h"
#include "media/base/text_convert.h"
#include "media/base/text_format.h"

namespace vidora {

namespace {

bool Is(const std::string& name, const char* expected) { return strcasecmp(name.c_str(), expected) == 0; }

int64_t Int64Or(const std::string& text, int64_t fallback) {
  try {
    return StrToInt64(text);
  } catch (const std::exception&) {
    return fallback;
  }
}

std::string Number(double value) { return Format("%g", value); }

const char* const TableKinds[] = {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vf"};

}  // namespace

TOptionLines ParseOptionText(const std::string& text) {
  std::string normal;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 6, "<CRLF>") == 0) {
      normal += '\n';
      i += 5;
    } else if (text[i] == '\r') {
      normal += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      normal += text[i];
    }
  }
  normal = Trim(normal, " \t\n");
  TOptionLines lines;
  for (const std::string& line : SplitLines(normal)) {
    size_t equals = line.find('=');
    if (equals == std::string::npos)
      lines.emplace_back(line, "");
    else
      lines.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return lines;
}

TInputOptions InputOptionsFromText(const std::string& text) {
  TInputOptions options;
  for (const auto& [name, value] : ParseOptionText(text)) {
    if (Is(name, "TimeStart"))
      options.TimeStart = Int64Or(value, NoTime);
    else
      options.ExtOptions += name + "=" + value + "\n";
  }
  return options;
}

TOutputOptions OutputOptionsFromText(const std::string& text) {
  TOutputOptions options;
  for (const auto& [name, value] : ParseOptionText(text)) {
    if (Is(name, "AudioHook"))
      options.AudioHook = value != "0";
    else if (Is(name, "VideoInputHook"))
      options.VideoInputHook = value != "0";
    else if (Is(name, "VideoOutputHook"))
      options.VideoOutputHook = value != "0";
    else if (Is(name, "Join"))
      options.Join = value != "0";
    else if (Is(name, "VideoHookBitsPixel"))
      options.VideoHookBitsPixel = static_cast<int32_t>(Int64Or(value, 24));
    else if (Is(name, "TimeStart"))
      options.TimeStart = Int64Or(value, NoTime);
    else if (Is(name, "TimeLength"))
      options.TimeLength = Int64Or(value, NoTime);
    else
      options.ExtOptions += name + "=" + value + "\n";
  }
  return options;
}

namespace {

// An option the user wrote: one that nothing takes is an error, not a silent no-op.
void ApplyTextOption(TFFmpeg& task, const std::string& name, const std::string& value) {
  bool taken;
  try {
    taken = task.ParseOption(name, value);
  } catch (const FFmpegOptionException&) {
    throw;
  } catch (const std::exception& error) {
    throw FFmpegOptionException(error.what());
  }
  if (taken || Trim(value).empty()) return;
  if (!KnownOption(task.Options(), name)) throw FFmpegOptionException(Format("Unrecognized option '%s'", name.c_str()));
  throw FFmpegOptionException(Format("Invalid value \"%s\" for option \"%s\"", value.c_str(), name.c_str()));
}

}  // namespace

void ApplyExtOptions(TFFmpeg& task, const std::string& text, bool inputMode) {
  for (const auto& [rawName, value] : ParseOptionText(text)) {
    std::string name = Lower(rawName);
    if (name == "newvideo" || name == "newaudio" || name == "newsubtitle" || name == "apre" || name == "vpre" ||
        name == "spre" || name == "vfilters" || name == "vf")
      continue;
    if (!inputMode && (name == "acodec" || name == "vcodec" || name == "scodec" || name == "s")) continue;
    ApplyTextOption(task, name, value);
  }
}

void ApplyInputOptions(TFFmpeg& task, const TInputOptions& options) {
  ApplyExtOptions(task, options.ExtOptions, true);
  task.SetForceFormat(options.ForceFormat);
  task.SetStartTime(options.TimeStart);
  task.SetProgramID(options.ProgramID);
}

TStreamDefaults::TStreamDefaults(const TOutputOptions& options) {
  const std::string* fields[] = {&options.AudioCodec,  &options.VideoCodec,  &options.SubtitleCodec,
                                 &options.AudioPreset, &options.VideoPreset, &options.SubtitlePreset,
                                 &options.FrameSize,   &options.VideoFilters};
  for (size_t i = 0; i < 8; ++i) FDefaults.emplace_back(TableKinds[i], *fields[i]);
  for (const auto& [rawName, value] : ParseOptionText(options.ExtOptions)) {
    std::string name = Lower(rawName);
    if (name == "vfilters") name = "vf";
    if (value.empty() || std::find(std::begin(TableKinds), std::end(TableKinds), name) == std::end(TableKinds))
      continue;
    for (auto& entry : FDefaults)
      if (entry.first == name && entry.second.empty()) entry.second = value;
    FQueue.emplace_back(name, value);
  }
}

const std::string& TStreamDefaults::Default(const std::string& kind) const {
  static const std::string none;
  for (const auto& entry : FDefaults)
    if (entry.first == kind) return entry.second;
  return none;
}

std::string TStreamDefaults::Take(const std::string& kind) {
  auto queued = std::find_if(FQueue.begin(), FQueue.end(), [&](const auto& entry) { return entry.first == kind; });
  if (queued == FQueue.end()) return Default(kind);
  std::string value = queued->second;
  FQueue.erase(queued);
  return value;
}

void ApplyOutputOptions(TFFmpeg& task, const TOutputOptions& o, TStreamDefaults& defaults) {
  if (o.TargetType != ttIgnore) {
    const char* type = o.TargetType == ttVCD ? "vcd" : o.TargetType == ttSVCD ? "svcd" : "dvd";
    const char* norm = o.NormType == ntPAL ? "pal-" : o.NormType == ntNTSC ? "ntsc-" : "";
    task.ApplyTarget(std::string(norm) + type, o.NormDefault == ntPAL ? "pal" : "ntsc");
  }
  task.ParseOption("acodec", defaults.Default("acodec"));
  task.ParseOption("vcodec", defaults.Default("vcodec"));
  task.ParseOption("scodec", defaults.Default("scodec"));
  task.ApplyPreset("apre", defaults.Default("apre"));
  task.ApplyPreset("vpre", defaults.Default("vpre"));
  task.ApplyPreset("spre", defaults.Default("spre"));
  ApplyExtOptions(task, o.ExtOptions, false);

  auto positive = [&](const char* name, int32_t value, bool numeric) {
    if (value <= 0) return;
    if (numeric)
      task.SetNumericOption(name, std::to_string(value));
    else
      task.ParseOption(name, std::to_string(value));
  };
  auto text = [&](const char* name, const std::string& value) {
    if (!value.empty()) task.ParseOption(name, value);
  };
  task.SetForceFormat(o.ForceFormat);
  positive("packetsize", o.PacketSize, true);
  positive("muxrate", o.MuxRate, true);
  if (o.MuxDelay > 0) task.ParseOption("muxdelay", Number(o.MuxDelay));
  if (o.MuxPreload > 0) task.ParseOption("muxpreload", Number(o.MuxPreload));
  if (o.DisableAudio) task.ParseOption("an", "1");
  if (o.AudioVolume >= 0) task.ParseOption("vol", std::to_string(o.AudioVolume));
  positive("ac", o.AudioChannels, false);
  positive("ar", o.AudioSampleRate, false);
  positive("ab", o.AudioBitrate, true);
  positive("abt", o.AudioBitRateTolerance, true);
  task.ParseOption("alang", o.AudioLanguage);
  task.ParseOption("async", std::to_string(o.AudioSyncMethod));
  text("atag", o.AudioTag);
  if (o.DisableVideo) task.ParseOption("vn", "1");
  text("r", o.FrameRate);
  text("aspect", o.FrameAspectRatio);
  positive("croptop", o.CropTop, false);
  positive("cropbottom", o.CropBottom, false);
  positive("cropleft", o.CropLeft, false);
  positive("cropright", o.CropRight, false);
  positive("g", o.GroupPictureSize, true);
  positive("vb", o.VideoBitrate, true);
  positive("maxrate", o.VideoMaxRate, true);
  positive("minrate", o.VideoMinRate, true);
  positive("bt", o.VideoBitRateTolerance, true);
  positive("bufsize", o.VideoBufSize, true);
  task.ParseOption("vsync", std::to_string(o.VideoSyncMethod));
  text("vtag", o.VideoTag);
  task.ParseOption("vlang", o.VideoLanguage);
  if (o.DisableSubtitle) task.ParseOption("sn", "1");
  task.ParseOption("slang", o.SubtitleLanguage);
  task.ParseOption("isync", o.InputSync ? "1" : "0");
  if (o.CopyTimestamp) task.ParseOption("copyts", "1");
  task.SetStartTime(o.TimeStart);
  task.SetRecordingTime(o.TimeLength);

  if (o.Info.TimeStamp >= 0)
    task.SetRecordingTimestamp(RecordingTimestamp(o.Info.TimeStamp == 0 ? NowAsDateTime() : o.Info.TimeStamp));
  if (o.Info.Year > 0) task.AddMetadata("year", std::to_string(o.Info.Year));
  if (o.Info.Track > 0) task.AddMetadata("track", std::to_string(o.Info.Track));
  const std::pair<const char*, const std::string*> tags[] = {{"title", &o.Info.Title},   {"author", &o.Info.Author},
                                                            {"copyright", &o.Info.Copyright},
                                                            {"comment", &o.Info.Comment}, {"album", &o.Info.Album},
                                                            {"genre", &o.Info.Genre}};
  for (auto [key, value] : tags)
    if (!value->empty()) task.AddMetadata(key, *value);

  task.ParseOption("s", defaults.Default("s"));
  task.ParseOption("vf", defaults.Default("vf"));
}

void AddOutputStreams(TFFmpeg& task, const std::string& text, TStreamDefaults& defaults) {
  for (const auto& [rawName, value] : ParseOptionText(text)) {
    std::string name = Lower(rawName);
    std::vector<const char*> kinds;
    if (name == "newaudio")
      kinds = {"acodec", "apre"};
    else if (name == "newvideo")
      kinds = {"vcodec", "vpre", "s", "vf"};
    else if (name == "newsubtitle")
      kinds = {"scodec", "spre"};
    else
      continue;
    for (const char* kind : kinds) task.ParseOption(kind, defaults.Take(kind));
    task.ParseOption(name, value);
  }
}

}  // namespace vidora
