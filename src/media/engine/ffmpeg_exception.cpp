// The library's reason behind an engine error.
#include "media/engine/ffmpeg_exception.h"

#include "media/base/bindings.h"

namespace vidora {

std::string FFmpegException::Reason() const {
  if (FCode >= 0 || !avutil.av_strerror) return {};
  char text[256] = {};
  avutil.av_strerror(FCode, text, sizeof text);
  return text;
}

std::string FFmpegException::LogText() const {
  std::string message = what();
  std::string reason = Reason();
  // Messages made with the library's words already name them.
  if (reason.empty() || message.find(reason) != std::string::npos) return message;
  return message + " (" + reason + ")";
}

}  // namespace vidora
