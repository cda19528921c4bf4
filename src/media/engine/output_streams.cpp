// Creating the video, audio and subtitle streams of an output file.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "media/base/bindings.h"
#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/engine/amrnb_encoder.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

bool NamesAMRNB(const std::string& name) {
  return name == "libopencore_amrnb" || name == "amr_nb" || name == "amrnb";
}

AVRational SampleAspect(float aspect, int width, int height) {
  double ratio = width * height != 0 ? static_cast<double>(aspect) * height / width : aspect * 3.0 / 4.0;
  return avutil.av_d2q(ratio, 255);
}

// H.263 has a fixed picture clock of 30000/1001 Hz: faster pictures repeat its times.
AVRational HighestRate(const AVCodec* codec) {
  return codec->id == AV_CODEC_ID_H263 ? AVRational{30000, 1001} : AVRational{0, 1};
}

void SetLanguage(AVStream* st, std::string& language) {
  if (!language.empty()) avutil.av_dict_set(&st->metadata, "language", language.c_str(), 0);
  language.clear();
}

}  // namespace

// The stream with its codec context, owned by the file from the start so that
// a failure part-way leaves nothing behind; it takes the kind's pending
// bitstream filters and codec tag.
TOutputStreamCodec& TCustomFFmpeg::AddStream(TOutputFile& file, const AVCodec* codec, AVMediaType type,
                                             TBitstreamFilterChain& pendingFilters, uint32_t tag) {
  int index = static_cast<int>(file.ctx->nb_streams);
  if (index >= MAX_STREAMS) throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", MAX_STREAMS));
  AVStream* st = avformat.avformat_new_stream(file.ctx.get(), nullptr);
  if (!st) throw FFmpegException("Could not alloc stream");
  if (Fstreamid_map[index]) st->id = Fstreamid_map[index];
  TOutputStreamCodec stream;
  stream.st = st;
  stream.encoder = codec;
  stream.codec.reset(avcodec.avcodec_alloc_context3(codec));
  if (!stream.codec) throw FFmpegException("avcodec_alloc_context failed");
  stream.codec->codec_type = type;
  stream.codec->thread_count = Fthread_count;
  if (tag) stream.codec->codec_tag = tag;
  stream.bitstream_filters = std::move(pendingFilters);
  pendingFilters.clear();
  file.streams.push_back(std::move(stream));
  return file.streams.back();
}

// The encoder of the format's default codec of that kind.
const AVCodec* TCustomFFmpeg::GuessEncoder(AVFormatContext* oc, AVMediaType type, AVCodecID& id) {
  id = avformat.av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
  return avcodec.avcodec_find_encoder(id);
}

[[noreturn]] void TCustomFFmpeg::RaiseNoEncoder(AVFormatContext* oc, AVCodecID id) {
  throw FFmpegException(Format("Encoder (codec %s) not found for output stream #%d.%d", avcodec.avcodec_get_name(id),
                               nb_output_files(), oc->nb_streams));
}

void TCustomFFmpeg::ClearPendingVideo() {
  Fvideo_disable = false;
  Fvideo_codec_name.clear();
  Fvideo_stream_copy = 0;
  Fframe_pix_fmt = -1;
}

void TCustomFFmpeg::new_video_stream(TOutputFile& file) {
  AVFormatContext* oc = file.ctx.get();
  const AVCodec* codec = nullptr;
  if (!Fvideo_stream_copy) {
    if (!Fvideo_codec_name.empty()) {
      if (!CheckCodecName(Fvideo_codec_name, AVMEDIA_TYPE_VIDEO, true, codec)) {
        ClearPendingVideo();
        throw FFmpegOptionException(FLastErrMsg);
      }
    } else {
      AVCodecID id;
      if (!(codec = GuessEncoder(oc, AVMEDIA_TYPE_VIDEO, id))) RaiseNoEncoder(oc, id);
    }
  }
  TOutputStreamCodec& stream =
      AddStream(file, codec, AVMEDIA_TYPE_VIDEO, Fvideo_bitstream_filters, Fvideo_codec_tag);
  AVCodecContext* enc = stream.codec.get();
  AVStream* st = stream.st;
  if ((Fvideo_global_header & 1) || (Fvideo_global_header == 0 && (oc->oformat->flags & AVFMT_GLOBALHEADER)))
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
#ifdef AV_CODEC_FLAG2_LOCAL_HEADER
  if (Fvideo_global_header & 2) enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
#endif

  AVRational sar = SampleAspect(Fframe_aspect_ratio, Fframe_width, Fframe_height);
  if (Fvideo_stream_copy) {
    stream.stream_copy = true;
    st->sample_aspect_ratio = enc->sample_aspect_ratio = sar;
  } else {
    AVRational rate = Fframe_rate.num ? Fframe_rate : AVRational{25, 1};
    ApplyOptions(FOptions, enc, FOptions.avcodec_opts[AVMEDIA_TYPE_VIDEO],
                 AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    for (const std::string& refused :
         ApplyPrivateOptions(FOptions, enc->priv_data, true, AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM))
      Log(TLogLevel::llWarning, "Option not accepted by encoder %s: %s", codec->name, refused.c_str());
    if (codec->supported_framerates && !Fforce_fps) {
      rate = codec->supported_framerates[avutil.av_find_nearest_q_idx(rate, codec->supported_framerates)];
    } else if (AVRational highest = HighestRate(codec); highest.num && av_cmp_q(rate, highest) > 0) {
      // Pictures beyond the encoder's rate are dropped evenly by the frame-rate synchronisation.
      if (Fframe_rate_given) {
        FAdjustments.push_back(Format("%s takes at most %d/%d pictures a second: the frame rate %d/%d is lowered to it",
                                      codec->name, highest.num, highest.den, rate.num, rate.den));
        Log(TLogLevel::llWarning, "%s", FAdjustments.back().c_str());
      }
      rate = highest;
    }
    enc->time_base = av_inv_q(rate);
    enc->framerate = rate;
    enc->width = Fframe_width;
    enc->height = Fframe_height;
    stream.size_from_input = !Fframe_size_given;
    st->sample_aspect_ratio = enc->sample_aspect_ratio = sar;
    enc->pix_fmt = static_cast<AVPixelFormat>(FitPixelFormat(codec, Fframe_pix_fmt));
    if (Fintra_only) enc->gop_size = 0;
    if (Fvideo_qscale != 0 || Fsame_quality) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = static_cast<int>(FF_QP2LAMBDA * Fvideo_qscale);
    }
    for (auto [matrix, slot] : {std::pair{&Fintra_matrix, &enc->intra_matrix}, {&Finter_matrix, &enc->inter_matrix}}) {
      if (matrix->empty()) continue;
      *slot = static_cast<uint16_t*>(avutil.av_mallocz(64 * sizeof(uint16_t)));
      if (*slot) std::memcpy(*slot, matrix->data(), 64 * sizeof(uint16_t));
    }
    ParseRateControlOverride(enc);
    ConstrainBitRate(enc);
    if (enc->rc_initial_buffer_occupancy == 0) enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
    enc->intra_dc_precision = Fintra_dc_precision - 8;
    if (Fdo_psnr) enc->flags |= AV_CODEC_FLAG_PSNR;
    if (Fdo_pass == 1) enc->flags |= AV_CODEC_FLAG_PASS1;
    if (Fdo_pass == 2) enc->flags |= AV_CODEC_FLAG_PASS2;
  }
  SetLanguage(st, Fvideo_language);
  ClearPendingVideo();
}

void TCustomFFmpeg::ConstrainBitRate(AVCodecContext* enc) {
  // A bit rate without a tolerance is a promise about the file's size: the
  // rate-control buffer keeps busy pictures from running over it.
  if (!Fvideo_bit_rate_given || Fvideo_rate_control_given || (enc->flags & AV_CODEC_FLAG_QSCALE) ||
      enc->bit_rate <= 0)
    return;
  enc->rc_max_rate = enc->bit_rate;
  enc->rc_buffer_size = static_cast<int>(std::min<int64_t>(enc->bit_rate * RateBufferSeconds, INT32_MAX));
}

void TCustomFFmpeg::ParseRateControlOverride(AVCodecContext* enc) {
  const char* p = Fvideo_rc_override_string.c_str();
  std::vector<RcOverride> overrides;
  while (*p) {
    int start, end, q;
    if (std::sscanf(p, "%d,%d,%d", &start, &end, &q) != 3) throw FFmpegException("error parsing rc_override");
    RcOverride item{};
    item.start_frame = start;
    item.end_frame = end;
    item.qscale = q > 0 ? q : 0;
    item.quality_factor = q > 0 ? 1.0f : -q / 100.0f;
    overrides.push_back(item);
    p = std::strchr(p, '/');
    if (!p) break;
    ++p;
  }
  if (overrides.empty()) return;
  enc->rc_override = static_cast<RcOverride*>(avutil.av_mallocz(overrides.size() * sizeof(RcOverride)));
  if (!enc->rc_override) throw FFmpegException("av_mallocz fail");
  std::memcpy(enc->rc_override, overrides.data(), overrides.size() * sizeof(RcOverride));
  enc->rc_override_count = static_cast<int>(overrides.size());
}

const AVCodec* TCustomFFmpeg::ChooseAudioEncoder(AVFormatContext* oc, bool& opencore) {
  opencore = false;
  const AVCodec* codec = nullptr;
  AVCodecID id = AV_CODEC_ID_NONE;
  if (!Faudio_codec_name.empty()) {
    if (CheckCodecName(Faudio_codec_name, AVMEDIA_TYPE_AUDIO, true, codec)) return codec;
    if (!NamesAMRNB(Faudio_codec_name)) throw FFmpegOptionException(FLastErrMsg);
    id = AV_CODEC_ID_AMR_NB;
  } else if ((codec = GuessEncoder(oc, AVMEDIA_TYPE_AUDIO, id))) {
    return codec;
  }
  // Without an AMR-NB encoder in libavcodec the engine encodes through libopencore-amrnb.
  if (id == AV_CODEC_ID_AMR_NB) {
    if (FFLoader().Load(TLibrary::amrNb)) {
      opencore = true;
      return nullptr;
    }
    throw FFmpegException(Format("No AMR-NB encoder: libavcodec has none and %s",
                                 FFLoader().LastErrMsg().c_str()));
  }
  RaiseNoEncoder(oc, id);
}

void TCustomFFmpeg::new_audio_stream(TOutputFile& file) {
  AVFormatContext* oc = file.ctx.get();
  const AVCodec* codec = nullptr;
  bool opencore = false;
  if (!Faudio_stream_copy) {
    try {
      codec = ChooseAudioEncoder(oc, opencore);
    } catch (...) {
      Faudio_codec_name.clear();
      throw;
    }
  }
  TOutputStreamCodec& stream =
      AddStream(file, codec, AVMEDIA_TYPE_AUDIO, Faudio_bitstream_filters, Faudio_codec_tag);
  AVCodecContext* enc = stream.codec.get();
  if (oc->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  if (Faudio_stream_copy) {
    stream.stream_copy = true;
    avutil.av_channel_layout_default(&enc->ch_layout, Faudio_channels);
    enc->sample_rate = Faudio_sample_rate;
  } else {
    ApplyOptions(FOptions, enc, FOptions.avcodec_opts[AVMEDIA_TYPE_AUDIO],
                 AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    if (codec) {
      for (const std::string& refused :
           ApplyPrivateOptions(FOptions, enc->priv_data, true, AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM))
        Log(TLogLevel::llWarning, "Option not accepted by encoder %s: %s", codec->name, refused.c_str());
    }
    if (Faudio_qscale > -99999) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = static_cast<int>(FF_QP2LAMBDA * Faudio_qscale);
    }
    if (opencore) {
      // 160-sample frames of 16-bit mono at 8000 Hz; the rate picks the mode.
      stream.opencore_amrnb = true;
      enc->codec_id = AV_CODEC_ID_AMR_NB;
      enc->sample_fmt = AV_SAMPLE_FMT_S16;
      enc->sample_rate = FitToSupported("sampling rate", TAMRNBEncoder::SampleRates, Faudio_sample_rate);
      avutil.av_channel_layout_default(&enc->ch_layout,
                                       FitToSupported("channel count", TAMRNBEncoder::ChannelCounts, Faudio_channels));
      enc->frame_size = TAMRNBEncoder::FrameSamples;
      int mode = AMRNBModeRate(enc->bit_rate);
      if (mode != enc->bit_rate) Log(TLogLevel::llInfo, "AMR-NB: using the %d bit/s mode", mode);
      enc->bit_rate = mode;
    } else {
      int channelCount = Faudio_channels;
      if (Fchannel_layout && __builtin_popcountll(static_cast<uint64_t>(Fchannel_layout)) == channelCount)
        avutil.av_channel_layout_from_mask(&enc->ch_layout, static_cast<uint64_t>(Fchannel_layout));
      else
        avutil.av_channel_layout_default(&enc->ch_layout, channelCount);
      enc->sample_fmt = FitSampleFormat(codec, Faudio_sample_fmt);
      enc->sample_rate = FitSampleRate(codec, Faudio_sample_rate);
    }
    enc->time_base = AVRational{1, enc->sample_rate};
  }
  SetLanguage(stream.st, Faudio_language);
  Faudio_disable = false;
  Faudio_codec_name.clear();
  Faudio_stream_copy = 0;
}

void TCustomFFmpeg::new_subtitle_stream(TOutputFile& file) {
  AVFormatContext* oc = file.ctx.get();
  const AVCodec* codec = nullptr;
  if (!Fsubtitle_stream_copy) {
    bool known = CheckCodecName(Fsubtitle_codec_name, AVMEDIA_TYPE_SUBTITLE, true, codec);
    Fsubtitle_codec_name.clear();
    if (!known) throw FFmpegOptionException(FLastErrMsg);
    AVCodecID id;
    if (!codec && !(codec = GuessEncoder(oc, AVMEDIA_TYPE_SUBTITLE, id))) RaiseNoEncoder(oc, id);
  }
  TOutputStreamCodec& stream =
      AddStream(file, codec, AVMEDIA_TYPE_SUBTITLE, Fsubtitle_bitstream_filters, Fsubtitle_codec_tag);
  AVCodecContext* enc = stream.codec.get();
  if (Fsubtitle_stream_copy)
    stream.stream_copy = true;
  else
    ApplyOptions(FOptions, enc, FOptions.avcodec_opts[AVMEDIA_TYPE_SUBTITLE],
                 AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  SetLanguage(stream.st, Fsubtitle_language);
  Fsubtitle_disable = false;
  Fsubtitle_codec_name.clear();
  Fsubtitle_stream_copy = 0;
}

}  // namespace vidora
