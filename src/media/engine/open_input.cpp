// Opening an input file with the pending input settings.
#include <cmath>
#include <memory>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/file_names.h"
#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/base/unicode_io.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

// What the demuxer is told before it opens the file: what raw and device
// formats cannot find out themselves.
AVDictionary* DemuxerOptions(int sampleRate, int channels, AVRational frameRate, int width, int height, int pixFmt,
                             int channel, const std::string& standard, bool loop) {
  AVDictionary* options = nullptr;
  auto set = [&](const char* key, const std::string& value) { avutil.av_dict_set(&options, key, value.c_str(), 0); };
  if (sampleRate > 0) set("sample_rate", std::to_string(sampleRate));
  if (channels > 0) set("ch_layout", std::to_string(channels) + "c");
  if (frameRate.num > 0 && frameRate.den > 0) set("framerate", Format("%d/%d", frameRate.num, frameRate.den));
  if (width > 0 && height > 0) set("video_size", Format("%dx%d", width, height));
  if (pixFmt >= 0) set("pixel_format", avutil.av_get_pix_fmt_name(static_cast<AVPixelFormat>(pixFmt)));
  if (channel) set("channel", std::to_string(channel));
  if (!standard.empty()) set("standard", standard);
  if (loop) set("loop", "1");
  return options;
}

// Whether two streams of one kind have no frame count in the container, so
// that choosing between them by count needs the packets counted.
bool CountsMissing(const AVFormatContext* ctx) {
  int uncounted[AVMEDIA_TYPE_NB] = {};
  for (unsigned s = 0; s < ctx->nb_streams; ++s) {
    const AVStream* st = ctx->streams[s];
    AVMediaType type = st->codecpar->codec_type;
    if (type < 0 || type >= AVMEDIA_TYPE_NB || IsAttachedPicture(st) || st->nb_frames > 0) continue;
    if (++uncounted[type] > 1) return true;
  }
  return false;
}

// Opens the file into the input's allocated context and returns the
// library's code; on failure the library has freed the context.
int OpenContext(TInputFile& input, const std::string& fileName, const AVInputFormat* format, AVDictionary** options) {
  AVFormatContext* ctx = input.ctx.release();
  int code = OpenInputContext(ctx, fileName, format, options, input.io);
  input.ctx.reset(ctx);
  return code;
}

// The packets of every stream, read through a context of their own so that
// the file being opened keeps its position. Empty when the file cannot be read again.
std::vector<int64_t> CountPackets(const std::string& fileName, const AVInputFormat* format) {
  std::vector<int64_t> counts;
  TInputFile input;
  input.ctx.reset(avformat.avformat_alloc_context());
  if (!input.ctx || OpenContext(input, fileName, format, nullptr) < 0) return counts;
  TPacketPtr packet = NewPacket();
  counts.assign(input.ctx->nb_streams, 0);
  while (packet && avformat.av_read_frame(input.ctx.get(), packet.get()) >= 0) {
    if (packet->stream_index >= 0 && static_cast<size_t>(packet->stream_index) < counts.size())
      ++counts[packet->stream_index];
    avcodec.av_packet_unref(packet.get());
  }
  return counts;
}

// A file the engine cannot take: OpenInputFile answers false with its message.
class TInputRefused : public FFmpegException {
 public:
  using FFmpegException::FFmpegException;
};

}  // namespace

TInputFile::~TInputFile() {
  {
    std::lock_guard lock(CodecLock());
    streams.clear();
  }
  // The context reads through our I/O, so it closes first.
  ctx.reset();
  CloseIO(&io);
}

bool TCustomFFmpeg::OpenInputFile(const std::string& fileName) {
  // Every step fails by throwing; a file the engine cannot take answers false
  // with its message, a misuse or an exhausted library raises.
  try {
    if (nb_input_files() >= MAX_FILES) throw TInputRefused(Format("Too many input files (at most %d)", MAX_FILES));
    const AVInputFormat* format = TakeAskedInputFormat();
    auto file = std::make_unique<TInputFile>();
    file->file_name = fileName;
    TInputDecoders decoders = NewInputContext(*file);
    OpenDemuxer(*file, format);
    SelectProgram(*file);
    FindCodecParameters(*file);
    int64_t timestamp = SeekToStartTime(*file);
    AddInputStreams(*file, decoders);
    AVFormatContext* ctx = file->ctx.get();
    if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > FTotalOutputDuration) FTotalOutputDuration = ctx->duration;
    file->ts_offset = Finput_ts_offset - (Fcopy_ts ? 0 : timestamp);
    if (Fverbose >= 0) avformat.av_dump_format(ctx, nb_input_files(), ctx->url, 0);
    Finput_files.push_back(std::move(file));
  } catch (const TInputRefused& refused) {
    FLastErrMsg = refused.what();
    return false;
  }
  Fvideo_channel = 0;
  ClearDecoderNames();
  return true;
}

const AVInputFormat* TCustomFFmpeg::TakeAskedInputFormat() {
  if (Flast_asked_format.empty()) return nullptr;
  std::string name = std::move(Flast_asked_format);
  Flast_asked_format.clear();
  const AVInputFormat* format = avformat.av_find_input_format(name.c_str());
  if (!format) throw FFmpegException(Format("Unknown input format: \"%s\"", name.c_str()));
  return format;
}

void TCustomFFmpeg::ClearDecoderNames() {
  Fvideo_codec_name.clear();
  Faudio_codec_name.clear();
  Fsubtitle_codec_name.clear();
}

TCustomFFmpeg::TInputDecoders TCustomFFmpeg::NewInputContext(TInputFile& file) {
  file.ctx.reset(avformat.avformat_alloc_context());
  if (!file.ctx) throw FFmpegException("avformat_alloc_context failed");
  AVFormatContext* ctx = file.ctx.get();
  ApplyOptions(FOptions, ctx, FOptions.avformat_opts, AV_OPT_FLAG_DECODING_PARAM);

  TInputDecoders decoders = {};
  const AVMediaType kinds[3] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
  const std::string* names[3] = {&Fvideo_codec_name, &Faudio_codec_name, &Fsubtitle_codec_name};
  for (int k = 0; k < 3; ++k) {
    if (!CheckCodecName(*names[k], kinds[k], false, decoders[k])) {
      ClearDecoderNames();
      throw TInputRefused(FLastErrMsg);
    }
  }
  // Decoders chosen by name also decide what the demuxer reports.
  if (decoders[0]) {
    ctx->video_codec_id = decoders[0]->id;
    ctx->video_codec = decoders[0];
  }
  if (decoders[1]) {
    ctx->audio_codec_id = decoders[1]->id;
    ctx->audio_codec = decoders[1];
  }
  if (decoders[2]) {
    ctx->subtitle_codec_id = decoders[2]->id;
    ctx->subtitle_codec = decoders[2];
  }
  ctx->flags |= AVFMT_FLAG_NONBLOCK;
  if (Fpgmyuv_compatibility_hack) ctx->video_codec_id = AV_CODEC_ID_PGMYUV;
  return decoders;
}

void TCustomFFmpeg::OpenDemuxer(TInputFile& file, const AVInputFormat* format) {
  AVDictionary* options = DemuxerOptions(Faudio_sample_rate, Faudio_channels, Fframe_rate, Fframe_width,
                                         Fframe_height, Fframe_pix_fmt, Fvideo_channel, Fvideo_standard, Floop_input);
  // Options of particular demuxers ("pattern_type" of image2 ...) kept by name.
  avutil.av_dict_copy(&options, FOptions.format_private_opts, 0);
  int code = OpenContext(file, file.file_name, format, &options);
  TDictionaryPtr unused(options);  // what the demuxer did not take
  if (code < 0) throw TInputRefused(ErrorText(file.file_name, code), code);
}

void TCustomFFmpeg::SelectProgram(TInputFile& file) {
  if (!Fopt_programid) return;
  AVFormatContext* ctx = file.ctx.get();
  bool found = false;
  for (unsigned s = 0; s < ctx->nb_streams; ++s) ctx->streams[s]->discard = AVDISCARD_ALL;
  for (unsigned p = 0; p < ctx->nb_programs; ++p) {
    AVProgram* program = ctx->programs[p];
    if (program->id != Fopt_programid) {
      program->discard = AVDISCARD_ALL;
      continue;
    }
    found = true;
    for (unsigned s = 0; s < program->nb_stream_indexes; ++s)
      ctx->streams[program->stream_index[s]]->discard = AVDISCARD_DEFAULT;
  }
  if (!found) throw TInputRefused("Specified program id not found");
  Fopt_programid = 0;
}

void TCustomFFmpeg::FindCodecParameters(TInputFile& file) {
  int code = FindStreamInfo(file.ctx.get());
  if (code >= 0 || Fverbose < 0) return;
  std::string message = Format("%s: could not find codec parameters", file.file_name.c_str());
  Log(TLogLevel::llVerbose, "%s", message.c_str());
  throw TInputRefused(message, code);
}

int64_t TCustomFFmpeg::SeekToStartTime(TInputFile& file) {
  AVFormatContext* ctx = file.ctx.get();
  int64_t timestamp = Fstart_time;
  if (ctx->start_time != AV_NOPTS_VALUE) timestamp += ctx->start_time;
  if (Fstart_time != 0) {
    if (avformat.avformat_seek_file(ctx, -1, INT64_MIN, timestamp, timestamp, 0) < 0 && Fverbose > 0)
      Log(TLogLevel::llVerbose, "%s: could not seek to position %0.3f", file.file_name.c_str(), timestamp / 1000000.0);
    Fstart_time = 0;
  }
  return timestamp;
}

void TCustomFFmpeg::AddInputStreams(TInputFile& file, const TInputDecoders& decoders) {
  AVFormatContext* ctx = file.ctx.get();
  // Containers such as Matroska and MPEG-TS keep no frame counts; the
  // stream with most frames is chosen by counting, as in containers that keep them.
  std::vector<int64_t> packetCounts;
  bool clientStream = file.file_name.rfind("stream:", 0) == 0;
  if (!clientStream && ctx->pb && (ctx->pb->seekable & AVIO_SEEKABLE_NORMAL) && CountsMissing(ctx))
    packetCounts = CountPackets(file.file_name, ctx->iformat);

  for (unsigned s = 0; s < ctx->nb_streams; ++s) {
    AVStream* st = ctx->streams[s];
    TInputStreamCodec stream;
    stream.codec.reset(avcodec.avcodec_alloc_context3(nullptr));
    if (!stream.codec) throw FFmpegException("avcodec_alloc_context failed");
    if (int code = avcodec.avcodec_parameters_to_context(stream.codec.get(), st->codecpar); code < 0)
      throw FFmpegException("avcodec_alloc_context failed", code);
    stream.frame_count = st->nb_frames > 0 || s >= packetCounts.size() ? st->nb_frames : packetCounts[s];
    AVCodecContext* dec = stream.codec.get();
    dec->thread_count = Fthread_count;
    dec->pkt_timebase = st->time_base;
    switch (dec->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        if (IsAttachedPicture(st)) break;  // a cover's size and rate are not the video settings
        TakeVideoSettings(st, dec);
        stream.decoder = decoders[0];
        if (Fvideo_disable)
          st->discard = AVDISCARD_ALL;
        else if (Fvideo_discard)
          st->discard = static_cast<AVDiscard>(Fvideo_discard);
        break;
      case AVMEDIA_TYPE_AUDIO:
        TakeAudioSettings(dec);
        stream.decoder = decoders[1];
        if (Faudio_disable) st->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        stream.decoder = decoders[2];
        if (Fsubtitle_disable) st->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_DATA:
      case AVMEDIA_TYPE_ATTACHMENT:
      case AVMEDIA_TYPE_UNKNOWN:
        break;
      default:
        throw FFmpegException("invalid codec_type");
    }
    file.streams.push_back(std::move(stream));
  }
}

void TCustomFFmpeg::TakeVideoSettings(const AVStream* st, AVCodecContext* dec) {
  ApplyOptions(FOptions, dec, FOptions.avcodec_opts[AVMEDIA_TYPE_VIDEO],
               AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
  Fframe_height = dec->height;
  Fframe_width = dec->width;
  Fframe_size_given = false;
  AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : dec->sample_aspect_ratio;
  double ratio = sar.num && sar.den ? av_q2d(sar) : 0;
  if (Fframe_width * Fframe_height != 0)
    Fframe_aspect_ratio = static_cast<float>(ratio != 0 ? Fframe_width * ratio / Fframe_height
                                                        : static_cast<double>(Fframe_width) / Fframe_height);
  else
    Fframe_aspect_ratio = ratio != 0 ? static_cast<float>(ratio) : 4.0f / 3.0f;
  if (dec->pix_fmt == AV_PIX_FMT_NONE) dec->pix_fmt = AV_PIX_FMT_YUV420P;
  Fframe_pix_fmt = dec->pix_fmt;
  AVRational rate = st->r_frame_rate;
  if (dec->lowres) {
    Fframe_height >>= dec->lowres;
    Fframe_width >>= dec->lowres;
  }
  AVRational average = st->avg_frame_rate;
  if (average.num && rate.num && av_cmp_q(average, rate) != 0 && Fverbose >= 0)
    Log(TLogLevel::llInfo,
        "Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> %2.2f (%d/%d)",
        st->index, av_q2d(average), average.num, average.den, av_q2d(rate), rate.num, rate.den);
  Fframe_rate = rate;
  Fframe_rate_given = false;
}

void TCustomFFmpeg::TakeAudioSettings(AVCodecContext* dec) {
  ApplyOptions(FOptions, dec, FOptions.avcodec_opts[AVMEDIA_TYPE_AUDIO],
               AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
  Fchannel_layout = dec->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? static_cast<int64_t>(dec->ch_layout.u.mask) : 0;
  Faudio_channels = dec->ch_layout.nb_channels;
  Faudio_sample_rate = dec->sample_rate;
  Faudio_sample_fmt = dec->sample_fmt;
  if (dec->lowres) Faudio_sample_rate >>= dec->lowres;
}

}  // namespace vidora
