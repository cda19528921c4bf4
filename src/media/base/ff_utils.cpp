#include "ff_utils.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "bindings.h"
#include "text_format.h"

namespace vidora {

std::string ErrorText(const std::string& fileName, int code) {
  char message[256] = {};
  if (avutil.av_strerror) {
    avutil.av_strerror(code, message, sizeof message);
  } else if (code < 0 && code > -4096) {
    std::snprintf(message, sizeof message, "%s", std::strerror(-code));
  } else {
    std::snprintf(message, sizeof message, "Error number %d occurred", code);
  }
  return fileName + ": " + message;
}

std::string TimeText(int64_t t) {
  if (t == NoTimeValue) return "N/A";
  return Format("%.2d:%.2d:%.2d.%.3d", static_cast<int>(t / 3600000000), static_cast<int>(t / 60000000 % 60),
                static_cast<int>(t / 1000000 % 60), static_cast<int>(t % 1000000 * 1000 / 1000000));
}

std::string MediaTypeName(int type) {
  static const char* const names[] = {"Video", "Audio", "Data", "Subtitle", "Attachment"};
  return type >= 0 && type < 5 ? names[type] : "Unknown";
}

int64_t FrameDuration(AVRational rate) {
  if (rate.num == 0 || rate.den == 0) return 40000;
  return int64_t{1000000} * rate.den / rate.num;
}

int32_t ReadWholeFile(const std::string& name, uint8_t*& buffer, int64_t& size) {
  buffer = nullptr;
  size = 0;
  FILE* file = libc.fopen(name.c_str(), "rb");
  if (!file) return -1;
  libc.fseek(file, 0, SEEK_END);
  long length = libc.ftell(file);
  libc.fseek(file, 0, SEEK_SET);
  if (length < 0) length = 0;
  buffer = static_cast<uint8_t*>(avutil.av_malloc(static_cast<size_t>(length) + 1));
  if (!buffer) {
    libc.fclose(file);
    return AVERROR(ENOMEM);
  }
  size_t count = libc.fread(buffer, 1, static_cast<size_t>(length), file);
  buffer[count] = 0;
  size = static_cast<int64_t>(count) + 1;
  libc.fclose(file);
  return 0;
}

std::string MetadataValue(const AVDictionary* metadata, const std::string& key, const std::string& fallback) {
  const AVDictionaryEntry* entry = avutil.av_dict_get(metadata, key.c_str(), nullptr, 0);
  return entry ? entry->value : fallback;
}

std::string CodecDisplayName(const AVCodecParameters* parameters, const AVCodec* codec) {
  if (codec) {
    std::string name = codec->name;
    if (codec->long_name && *codec->long_name) name += std::string(" (") + codec->long_name + ")";
    return name;
  }
  if (parameters->codec_id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
  if (const AVCodecDescriptor* descriptor = avcodec.avcodec_descriptor_get(parameters->codec_id))
    return descriptor->name;
  uint32_t tag = parameters->codec_tag;
  char c[4] = {static_cast<char>(tag & 0xFF), static_cast<char>((tag >> 8) & 0xFF),
               static_cast<char>((tag >> 16) & 0xFF), static_cast<char>((tag >> 24) & 0xFF)};
  bool printable = true;
  for (char ch : c) printable = printable && std::isprint(static_cast<unsigned char>(ch));
  if (printable) return Format("%c%c%c%c / 0x%04X", c[0], c[1], c[2], c[3], tag);
  return Format("0x%04x", tag);
}

int64_t FileSizeOf(const std::string& name) {
  std::error_code error;
  auto size = std::filesystem::file_size(name, error);
  return error ? -1 : static_cast<int64_t>(size);
}

std::string SizeText(int64_t bytes) {
  if (bytes <= 1024) return Format("%d Byte", static_cast<int>(bytes));
  if (bytes <= 1048576) return Format("%.2f KB", bytes / 1024.0);
  if (bytes <= 1073741824) return Format("%.2f MB", bytes / 1048576.0);
  return Format("%.2f GB", bytes / 1073741824.0);
}

double LocalOffsetDays() {
  tzset();
  return -static_cast<double>(timezone) / 86400.0;
}

double UnixToLocalDateTime(int64_t seconds) { return LocalOffsetDays() + seconds / 86400.0 + 25569; }

double NowAsDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return 25569 + (static_cast<double>(timegm(&local))) / 86400.0;
}

// The time zone's rules decide the offset of that very date, daylight saving
// included, so a summer date does not come out an hour off.
int64_t RecordingTimestamp(double dateTime) {
  int64_t seconds = std::llround((dateTime - 25569) * 86400);  // the local wall clock, counted as if UTC
  std::time_t wall = static_cast<std::time_t>(seconds);
  std::tm local{};
  gmtime_r(&wall, &local);
  local.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&local));
}

std::string ProgramFolder() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "./";
  return program.parent_path().string() + "/";
}

bool FreshFrameBuffer(AVFrame* frame) {
  if (avutil.av_frame_is_writable(frame)) return true;
  int format = frame->format, width = frame->width, height = frame->height;
  int samples = frame->nb_samples, rate = frame->sample_rate;
  AVChannelLayout layout{};
  avutil.av_channel_layout_copy(&layout, &frame->ch_layout);
  avutil.av_frame_unref(frame);
  frame->format = format;
  frame->width = width;
  frame->height = height;
  frame->nb_samples = samples;
  frame->sample_rate = rate;
  avutil.av_channel_layout_copy(&frame->ch_layout, &layout);
  avutil.av_channel_layout_uninit(&layout);
  return avutil.av_frame_get_buffer(frame, 0) >= 0;
}

}  // namespace vidora
