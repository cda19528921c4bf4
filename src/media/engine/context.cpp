// The task's life cycle, defaults and direct setters.
#include <cstdarg>

#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

TCustomFFmpeg::TCustomFFmpeg() { InitDefaults(); }

TCustomFFmpeg::~TCustomFFmpeg() {
  Stop(true);
  EndThread();
  Cleanup();
}

void TCustomFFmpeg::InitDefaults() {
  static_cast<TFFmpegSettings&>(*this) = TFFmpegSettings{};
  FFatalException = false;
}

void TCustomFFmpeg::Reset() {
  if (!FFLoader().Loaded(EncoderLibraries)) return;
  Cleanup();
  InitDefaults();
  FJoinMode = false;
  FConverting = FBroken = FFinished = FTerminated = false;
  FTotalOutputDuration = -1;
  FShortfall.clear();
  FCutShortAt = -1;
  InitOptions(FOptions, Fsws_flags);
}

void TCustomFFmpeg::Log(TLogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FFLogger().LogV(this, level, format, args);
  va_end(args);
}

void TCustomFFmpeg::SetForceFormat(const std::string& format) { ParseFormat(format); }

void TCustomFFmpeg::SetStartTime(int64_t microseconds) {
  if (microseconds != AV_NOPTS_VALUE) Fstart_time = microseconds;
}

void TCustomFFmpeg::SetRecordingTime(int64_t microseconds) {
  if (microseconds == AV_NOPTS_VALUE) return;
  Frecording_time = microseconds;
  FTotalOutputDuration = microseconds;
}

void TCustomFFmpeg::SetProgramID(int id) {
  if (id >= 0) Fopt_programid = id;
}

void TCustomFFmpeg::SetAudioVolume(int volume) {
  if (volume >= 0) Faudio_volume = volume;
}

void TCustomFFmpeg::SetMuxMaxDelay(float seconds) {
  if (seconds > 0) Fmux_max_delay = seconds;
}

void TCustomFFmpeg::SetMuxPreload(float seconds) {
  if (seconds > 0) Fmux_preload = seconds;
}

void TCustomFFmpeg::AddMetadata(const std::string& key, const std::string& value) {
  Fmetadata.emplace_back(key, value);
}

bool TCustomFFmpeg::SetNumericOption(const std::string& name, const std::string& value) {
  if (!SetOption(FOptions, name, value)) return false;
  // The option holders do not tell a video rate from an audio one ("ab" is "b" there).
  if (name == "b" || name == "vb") Fvideo_bit_rate_given = true;
  if (name == "bt" || name == "vbt" || name == "maxrate" || name == "bufsize") Fvideo_rate_control_given = true;
  return true;
}

}  // namespace vidora
