// Opening, attaching and describing a media file.
#include "media/decode/decoder.h"

#include <filesystem>
#include <stdexcept>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/file_names.h"
#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/base/unicode_io.h"

namespace vidora {

TCustomDecoder::TCustomDecoder() : TFFBaseComponent("2.6") { CountStreams(); }

TCustomDecoder::~TCustomDecoder() = default;

bool TCustomDecoder::AVLibLoaded() const { return FLibraries.Loaded(); }

bool TCustomDecoder::LoadAVLib(const std::string& path) { return FLibraries.Load(path, FLastErrMsg); }

void TCustomDecoder::UnloadAVLib() { FLibraries.Unload(); }

void TCustomDecoder::Report(TLogLevel level, const std::string& text) {
  FFLogger().Log(this, level, text);
  FLastErrMsg = text;
}

void TCustomDecoder::Debug(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FFLogger().LogV(this, TLogLevel::llDebug, format, args);
  va_end(args);
}

void TCustomDecoder::CheckLibraries() const {
  const std::pair<TLibrary, const char*> checks[] = {{TLibrary::avCodec, "LibAVCodec not loaded."},
                                                     {TLibrary::avFormat, "LibAVFormat not loaded."},
                                                     {TLibrary::avUtil, "LibAVUtil not loaded."},
                                                     {TLibrary::swScale, "LibSwScale not loaded."}};
  for (auto [lib, message] : checks)
    if (!FFLoader().Loaded(lib)) throw std::runtime_error(message);
}

bool TCustomDecoder::LoadFile(const std::string& fileName, const std::string& formatName) {
  CheckLibraries();
  CloseFile();
  const AVInputFormat* format = nullptr;
  if (!formatName.empty() && !(format = avformat.av_find_input_format(formatName.c_str()))) {
    FLastErrMsg = Format("Unknown input format: %s", formatName.c_str());
    return false;
  }
  AVFormatContext* ctx = avformat.avformat_alloc_context();
  if (!ctx) {
    FLastErrMsg = ErrorText(fileName, AVERROR(ENOMEM));
    return false;
  }
  ctx->flags |= AVFMT_FLAG_NONBLOCK;
  AVIOContext* io = nullptr;
  int code = OpenInputContext(ctx, fileName, format, nullptr, io);
  if (code < 0) {
    Report(TLogLevel::llError, ErrorText(fileName, code));
    return false;
  }
  TOwnIOPtr ownIO(io);
  TInputContextPtr file(ctx);  // closed before the I/O under it
  if (FindStreamInfo(ctx) < 0) {
    FLastErrMsg = Format("%s: could not find codec parameters", fileName.c_str());
    return false;
  }
  FOwnIO = std::move(ownIO);
  FOwnFile = std::move(file);
  FFileHandle = ctx;
  FForceFormat = formatName;
  CountStreams();
  return true;
}

void TCustomDecoder::CloseFile() {
  FForceFormat.clear();
  // The context first: closing it may still read through our I/O.
  FOwnFile.reset();
  FOwnIO.reset();
  FFileHandle = nullptr;
  CountStreams();
}

void TCustomDecoder::SetFileHandle(AVFormatContext* handle) {
  if (handle == FFileHandle) return;
  CheckLibraries();
  CloseFile();
  FFileHandle = handle;
  CountStreams();
}

void TCustomDecoder::CountStreams() {
  FFileSize = -1;
  FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
  if (!FFileHandle) return;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  int64_t size = FFileHandle->pb ? avformat.avio_size(FFileHandle->pb) : -1;
  if (size <= 0) {
    int64_t onDisk = FileSizeOf(FileName());
    if (onDisk >= 0) size = onDisk;
  }
  FFileSize = size;
  FStreamCount = static_cast<int>(FFileHandle->nb_streams);
  FProgramCount = static_cast<int>(FFileHandle->nb_programs);
  for (int i = 0; i < FStreamCount; ++i) {
    switch (FFileHandle->streams[i]->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        if (FVideoStreamCount++ == 0) FFirstVideoStreamIndex = i;
        break;
      case AVMEDIA_TYPE_AUDIO:
        if (FAudioStreamCount++ == 0) FFirstAudioStreamIndex = i;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        if (FSubtitleStreamCount++ == 0) FFirstSubtitleStreamIndex = i;
        break;
      default: break;
    }
  }
}

std::string TCustomDecoder::FileName() const {
  return FFileHandle && FFileHandle->url ? WideFileName(FFileHandle->url) : std::string();
}

std::string TCustomDecoder::FormatName() const {
  return FFileHandle && FFileHandle->iformat ? FFileHandle->iformat->name : "";
}

std::string TCustomDecoder::FormatLongName() const {
  return FFileHandle && FFileHandle->iformat && FFileHandle->iformat->long_name ? FFileHandle->iformat->long_name : "";
}

bool TCustomDecoder::StreamIs(int streamIndex, AVMediaType type) const {
  return FFileHandle && streamIndex >= 0 && streamIndex < FStreamCount &&
         FFileHandle->streams[streamIndex]->codecpar->codec_type == type;
}

int TCustomDecoder::InfoStream(int streamIndex, AVMediaType type, const char* kind) {
  if (!FFileHandle) {
    Report(TLogLevel::llWarning, "file not loaded.");
    return -1;
  }
  if (streamIndex < 0) {
    int first = type == AVMEDIA_TYPE_AUDIO   ? FFirstAudioStreamIndex
                : type == AVMEDIA_TYPE_VIDEO ? FFirstVideoStreamIndex
                                             : FFirstSubtitleStreamIndex;
    if (first < 0) Report(TLogLevel::llError, Format("no %s stream.", kind));
    return first;
  }
  if (streamIndex >= FStreamCount) {
    Report(TLogLevel::llError, Format("stream index #%d is invalid.", streamIndex));
    return -1;
  }
  if (!StreamIs(streamIndex, type)) {
    Report(TLogLevel::llError, Format("stream #%d is not %s stream.", streamIndex, kind));
    return -1;
  }
  return streamIndex;
}

void TCustomDecoder::FillTimes(const AVStream* st, TStreamTimes& times) const {
  times.Language = MetadataValue(st->metadata, "language", "");
  times.CodecName = CodecDisplayName(st->codecpar, avcodec.avcodec_find_decoder(st->codecpar->codec_id));
  AVRational base = st->time_base;
  if (base.den == 0) base.den = base.num ? base.num : 1;
  times.StartTime = st->start_time;
  times.Duration = st->duration;
  if (st->start_time != AV_NOPTS_VALUE)
    times.StartTimeScaled = avutil.av_rescale_q(st->start_time, base, Microseconds);
  if (st->duration != AV_NOPTS_VALUE)
    times.DurationScaled = avutil.av_rescale_q(st->duration, base, Microseconds);
}

bool TCustomDecoder::GetAudioStreamInfo(int streamIndex, TAudioStreamInfo& info) {
  info = TAudioStreamInfo{};
  int index = InfoStream(streamIndex, AVMEDIA_TYPE_AUDIO, "audio");
  if (index < 0) return false;
  const AVStream* st = FFileHandle->streams[index];
  FillTimes(st, info);
  info.BitRate = static_cast<int32_t>(st->codecpar->bit_rate);
  info.Channels = st->codecpar->ch_layout.nb_channels;
  info.SampleRate = st->codecpar->sample_rate;
  info.SampleFormat = st->codecpar->format;
  return true;
}

bool TCustomDecoder::GetVideoStreamInfo(int streamIndex, TVideoStreamInfo& info) {
  info = TVideoStreamInfo{};
  int index = InfoStream(streamIndex, AVMEDIA_TYPE_VIDEO, "video");
  if (index < 0) return false;
  const AVStream* st = FFileHandle->streams[index];
  const AVCodecParameters* par = st->codecpar;
  FillTimes(st, info);
  info.BitRate = static_cast<int32_t>(par->bit_rate);
  info.Width = par->width;
  info.Height = par->height;
  info.PixFmt = par->format;
  AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
  if (par->height && sar.num && sar.den)
    info.AspectRatio = static_cast<float>(par->width * av_q2d(sar) / par->height);
  info.FrameRate = st->avg_frame_rate.num && st->avg_frame_rate.den ? st->avg_frame_rate : st->r_frame_rate;
  return true;
}

bool TCustomDecoder::GetSubtitleStreamInfo(int streamIndex, TSubtitleStreamInfo& info) {
  info = TSubtitleStreamInfo{};
  int index = InfoStream(streamIndex, AVMEDIA_TYPE_SUBTITLE, "subtitle");
  if (index < 0) return false;
  TStreamTimes times;
  FillTimes(FFileHandle->streams[index], times);
  info.Language = times.Language;
  info.CodecName = times.CodecName;
  return true;
}

TAudioStreamInfo TCustomDecoder::FirstAudioStreamInfo() { return FirstInfo(&TCustomDecoder::GetAudioStreamInfo); }

TVideoStreamInfo TCustomDecoder::FirstVideoStreamInfo() { return FirstInfo(&TCustomDecoder::GetVideoStreamInfo); }

TSubtitleStreamInfo TCustomDecoder::FirstSubtitleStreamInfo() {
  return FirstInfo(&TCustomDecoder::GetSubtitleStreamInfo);
}

TFileStreamInfo TCustomDecoder::FileStreamInfo() {
  TFileStreamInfo info;
  if (!FFileHandle) {
    Report(TLogLevel::llWarning, "file not loaded.");
    return info;
  }
  const AVDictionary* metadata = FFileHandle->metadata;
  if (FFileHandle->start_time != AV_NOPTS_VALUE) info.StartTime = FFileHandle->start_time;
  if (FFileHandle->duration != AV_NOPTS_VALUE) info.Duration = FFileHandle->duration;
  info.BitRate = static_cast<int32_t>(FFileHandle->bit_rate);
  std::string created = MetadataValue(metadata, "creation_time", "");
  int64_t stamp = 0;
  if (!created.empty() && avutil.av_parse_time(&stamp, created.c_str(), 0) >= 0) info.TimeStamp = stamp / 1000000;
  std::string year = MetadataValue(metadata, "date", MetadataValue(metadata, "year", ""));
  if (!year.empty()) info.Year = std::atoi(year.c_str());
  std::string track = MetadataValue(metadata, "track", "");
  if (!track.empty()) info.Track = std::atoi(track.c_str());
  info.Title = MetadataValue(metadata, "title", "");
  info.Author = MetadataValue(metadata, "author", MetadataValue(metadata, "artist", ""));
  info.Copyright = MetadataValue(metadata, "copyright", "");
  info.Comment = MetadataValue(metadata, "comment", "");
  info.Album = MetadataValue(metadata, "album", "");
  info.Genre = MetadataValue(metadata, "genre", "");
  return info;
}

}  // namespace vidora
