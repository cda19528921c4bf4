// Small helpers shared by the engine, the decoder and the player.
#pragma once

#include <cstdint>
#include <string>

#include "media_headers.h"

namespace vidora {

inline constexpr int64_t NoTimeValue = INT64_MIN;      // a time that is not known
inline constexpr int64_t UnlimitedTime = INT64_MAX;    // a time without limit

// "file: message" for a library error code.
std::string ErrorText(const std::string& fileName, int code);
// "hh:mm:ss.mmm" of microseconds; "N/A" for NoTimeValue.
std::string TimeText(int64_t microseconds);
std::string MediaTypeName(int type);
// The time base of every time the layer hands out.
inline constexpr AVRational Microseconds{1, AV_TIME_BASE};

// Microseconds of one frame at the rate; 40000 when the rate is unknown.
int64_t FrameDuration(AVRational rate);
// Reads a whole file into a buffer from the library's allocator, with a zero
// byte after the contents; size counts that byte. 0, -1 (cannot open) or -12.
int32_t ReadWholeFile(const std::string& name, uint8_t*& buffer, int64_t& size);
std::string MetadataValue(const AVDictionary* metadata, const std::string& key, const std::string& fallback);
// "h263 (H.263 / H.263-1996)" for a known codec, else the codec's name or its tag.
std::string CodecDisplayName(const AVCodecParameters* parameters, const AVCodec* codec);
int64_t FileSizeOf(const std::string& name);
std::string SizeText(int64_t bytes);
// Days the local standard time is ahead of UTC (daylight saving left out).
double LocalOffsetDays();
// A Unix time as a local date-time in days since 1899-12-30.
double UnixToLocalDateTime(int64_t seconds);
// A local date-time (days since 1899-12-30) as seconds since 1970 UTC.
int64_t RecordingTimestamp(double dateTime);
// The current local date-time in days since 1899-12-30.
double NowAsDateTime();
// The folder of the running program, with a trailing "/".
std::string ProgramFolder();
// Makes a frame's buffers its own before they are wholly written over: a
// buffer someone else still holds is replaced, never copied. False without memory.
bool FreshFrameBuffer(AVFrame* frame);

}  // namespace vidora
