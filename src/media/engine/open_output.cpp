// Creating an output file and its streams from the pending output settings.
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>

#include "media/base/bindings.h"
#include "media/base/client_stream.h"
#include "media/base/ff_utils.h"
#include "media/base/file_names.h"
#include "media/base/text_format.h"
#include "media/base/unicode_io.h"
#include "media/engine/ffmpeg.h"
#include "media/engine/temporary_output.h"

namespace vidora {

namespace {

// ISO 8601 in UTC, the form containers keep a creation time in.
std::string CreationTimeText(int64_t seconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
  return text;
}

// The local file an output name stands for; empty for a device (/dev/full),
// a pipe, a client's stream or a network address, which are written as they are.
std::string LocalOutputPath(const std::string& fileName) {
  if (IsClientStreamName(fileName) || fileName == "-" || IsProtocolName(fileName)) return {};
  std::string url = LibraryFileName(fileName);
  std::string path = IsUnicodeName(url) ? WideFileName(url) : url;
  std::error_code error;
  auto entry = std::filesystem::status(path, error);
  return std::filesystem::exists(entry) && !std::filesystem::is_regular_file(entry) ? std::string() : path;
}

// Whether a new file can be made beside `path`; errno says why not.
bool FolderWritable(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

void TCustomFFmpeg::OpenLocalOutputs() {
  for (auto& file : Foutput_files) {
    // In join mode the entries share one container: opened once.
    if (file->created_file.empty() || file->ctx->pb) continue;
    file->temp_file = CreateTemporaryOutput(file->created_file);
    if (file->temp_file.empty())
      throw FFmpegException(errno == ENOSPC ? NoSpaceText(*file) : ErrorText(file->file_name, AVERROR(errno)),
                            AVERROR(errno));
    int code = OpenIO(&file->ctx->pb, LibraryFileName(file->temp_file), AVIO_FLAG_WRITE);
    if (code < 0) throw FFmpegException(ErrorText(file->file_name, code), code);
  }
}

void TCustomFFmpeg::check_audio_video_sub_inputs(bool& has_video, bool& has_audio, bool& has_subtitle) const {
  InputKinds(FJoinMode, has_video, has_audio, has_subtitle);
}

void TCustomFFmpeg::InputKinds(bool firstOnly, bool& has_video, bool& has_audio, bool& has_subtitle) const {
  has_video = has_audio = has_subtitle = false;
  size_t files = firstOnly ? std::min<size_t>(1, Finput_files.size()) : Finput_files.size();
  for (size_t i = 0; i < files; ++i) {
    const AVFormatContext* ctx = Finput_files[i]->ctx.get();
    for (unsigned s = 0; s < ctx->nb_streams; ++s) {
      switch (ctx->streams[s]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO: has_video = has_video || !IsAttachedPicture(ctx->streams[s]); break;
        case AVMEDIA_TYPE_AUDIO: has_audio = true; break;
        case AVMEDIA_TYPE_SUBTITLE: has_subtitle = true; break;
        default: break;
      }
    }
  }
}

void TCustomFFmpeg::CheckPrivateOptionsClaimed(TOutputFile& file) {
  std::vector<void*> encoders;
  for (const TOutputStreamCodec& stream : file.streams)
    if (stream.codec) encoders.push_back(stream.codec->priv_data);
  std::vector<std::string> unclaimed = UnclaimedPrivateOptions(FOptions, encoders, true);
  for (std::string& option : UnclaimedPrivateOptions(FOptions, {file.ctx->priv_data}, false))
    unclaimed.push_back(std::move(option));
  if (unclaimed.empty()) return;
  std::string name = unclaimed[0].substr(0, unclaimed[0].find('='));
  std::string value = unclaimed[0].substr(name.size() + 1);
  std::string fileName = file.file_name;
  CloseOutputFile(file);
  // A value the general option refused, kept for a codec that is not among this file's.
  if (HolderOption(FOptions, name))
    throw FFmpegOptionException(Format("Invalid value \"%s\" for option \"%s\"", value.c_str(), name.c_str()));
  throw FFmpegOptionException(
      Format("%s: no encoder nor the format takes the option \"%s\"", fileName.c_str(), name.c_str()));
}

int TCustomFFmpeg::OpenOutputFile(const std::string& fileName, bool join) {
  FLastErrorIsOption = false;
  if (FJoinMode) {
    FLastErrMsg = "Cannot join more than one output file.";
    return -1;
  }
  if (nb_output_files() >= MAX_FILES) {
    FLastErrMsg = Format("Too many output files (at most %d)", MAX_FILES);
    return -1;
  }
  FEnableFilter = !Fvfilters.empty();

  const AVOutputFormat* format = nullptr;
  // The asked format is used up by this file, whether or not it suits.
  std::string askedFormat = std::move(Flast_asked_format);
  Flast_asked_format.clear();
  if (!askedFormat.empty()) {
    if (askedFormat == "ffm") {
      FLastErrMsg = "Output format 'ffm' (server feed) is not supported";
      return -1;
    }
    format = avformat.av_guess_format(askedFormat.c_str(), nullptr, nullptr);
    if (!format) {
      FLastErrorIsOption = true;
      FLastErrMsg = Format("Requested output format '%s' is not a suitable output format", askedFormat.c_str());
      return -1;
    }
  } else {
    format = avformat.av_guess_format(nullptr, fileName.c_str(), nullptr);
    if (!format) {
      FLastErrorIsOption = true;  // the name's extension names no format
      FLastErrMsg = Format("Unable to find a suitable output format for '%s'", fileName.c_str());
      return -1;
    }
  }

  auto file = std::make_shared<TOutputFile>();
  file->file_name = fileName;
  AVFormatContext* oc = nullptr;
  int allocated = avformat.avformat_alloc_output_context2(&oc, format, nullptr, fileName.c_str());
  file->ctx.reset(oc);
  if (allocated < 0 || !oc) throw FFmpegException("avformat_alloc_context failed", allocated);

  bool useVideo = format->video_codec != AV_CODEC_ID_NONE || !Fvideo_codec_name.empty() || Fvideo_stream_copy;
  bool useAudio = format->audio_codec != AV_CODEC_ID_NONE || !Faudio_codec_name.empty() || Faudio_stream_copy;
  bool useSubtitle =
      format->subtitle_codec != AV_CODEC_ID_NONE || !Fsubtitle_codec_name.empty() || Fsubtitle_stream_copy;
  if (!Finput_files.empty()) {
    bool hasVideo, hasAudio, hasSubtitle;
    InputKinds(join, hasVideo, hasAudio, hasSubtitle);  // only the first input counts when joining
    useVideo = useVideo && hasVideo;
    useAudio = useAudio && hasAudio;
    useSubtitle = useSubtitle && hasSubtitle;
  }
  useVideo = useVideo && !Fvideo_disable;
  useAudio = useAudio && !Faudio_disable;
  useSubtitle = useSubtitle && !Fsubtitle_disable;

  struct TStep {
    bool use;
    void (TCustomFFmpeg::*create)(TOutputFile&);
    const char* name;
  };
  for (const TStep& step : {TStep{useVideo, &TCustomFFmpeg::new_video_stream, "new_video_stream"},
                            TStep{useAudio, &TCustomFFmpeg::new_audio_stream, "new_audio_stream"},
                            TStep{useSubtitle, &TCustomFFmpeg::new_subtitle_stream, "new_subtitle_stream"}}) {
    if (!step.use) continue;
    try {
      (this->*step.create)(*file);
    } catch (const std::exception& error) {
      FLastErrorIsOption = dynamic_cast<const FFmpegOptionException*>(&error) != nullptr;
      FLastErrMsg = Format("%s fail: %s", step.name, error.what());
      CloseOutputFile(*file);
      return -1;
    }
  }

  if (Frecording_timestamp)
    avutil.av_dict_set(&oc->metadata, "creation_time", CreationTimeText(Frecording_timestamp).c_str(), 0);
  for (auto pair = Fmetadata.rbegin(); pair != Fmetadata.rend(); ++pair)
    avutil.av_dict_set(&oc->metadata, pair->first.c_str(), pair->second.c_str(), 0);
  Fmetadata.clear();

  CheckPrivateOptionsClaimed(*file);

  auto fail = [&](const std::string& message) {
    FLastErrMsg = message;
    CloseOutputFile(*file);
    return -1;
  };
  if ((format->flags & AVFMT_NEEDNUMBER) && !avformat.av_filename_number_test(fileName.c_str()))
    return fail(fileName + ": Number syntax expected in filename");
  if (!(format->flags & AVFMT_NOFILE)) {
    file->created_file = LocalOutputPath(fileName);
    if (file->created_file.empty()) {
      int code = OpenIO(&oc->pb, LibraryFileName(fileName), AVIO_FLAG_WRITE);
      if (code < 0) return fail(ErrorText(fileName, code));
    } else if (!FolderWritable(file->created_file)) {
      // A local file is made only when the run starts (OpenLocalOutputs); until
      // then it is enough to know that it could be.
      return fail(ErrorText(fileName, AVERROR(errno)));
    }
  }

  oc->max_delay = static_cast<int>(Fmux_max_delay * 1000000);
  oc->flags |= AVFMT_FLAG_NONBLOCK;
  AVDictionary* muxOptions = nullptr;
  avutil.av_dict_set(&muxOptions, "preload", std::to_string(static_cast<int64_t>(Fmux_preload * 1000000)).c_str(), 0);
  avutil.av_dict_set(&muxOptions, "loop", std::to_string(Floop_output).c_str(), 0);
  file->mux_opts.reset(muxOptions);
  ApplyOptions(FOptions, oc, FOptions.avformat_opts, AV_OPT_FLAG_ENCODING_PARAM);
  for (const std::string& refused : ApplyPrivateOptions(FOptions, oc->priv_data, false, AV_OPT_FLAG_ENCODING_PARAM))
    Log(TLogLevel::llWarning, "Output option not accepted by %s: %s", format->name, refused.c_str());
  for (int& id : Fstreamid_map) id = 0;

  Foutput_files.push_back(file);
  if (join && nb_input_files() > 1) {
    FJoinMode = true;
    int64_t total = 0;
    for (const auto& input : Finput_files)
      if (input->ctx->duration != AV_NOPTS_VALUE) total += input->ctx->duration;
    FTotalOutputDuration = total == 0 ? -1 : total;
    // One entry per input file, all for the same container.
    while (nb_output_files() < nb_input_files()) Foutput_files.push_back(file);
  }
  return nb_output_files();
}

void TCustomFFmpeg::AddOutputStream(AVMediaType type) {
  if (Foutput_files.empty()) throw FFmpegException("At least one output file must be specified");
  TOutputFile& file = *Foutput_files.back();
  if (type == AVMEDIA_TYPE_VIDEO)
    new_video_stream(file);
  else if (type == AVMEDIA_TYPE_AUDIO)
    new_audio_stream(file);
  else
    new_subtitle_stream(file);
}

}  // namespace vidora
