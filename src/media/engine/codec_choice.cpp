// Choosing codecs by name and fitting settings to what an encoder supports.
#include <cstdlib>

#include "media/base/bindings.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

bool IsExperimental(const AVCodec* codec) { return (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) != 0; }

// The "strict" codec option as the task has it (0, normal, when unset).
int64_t Strictness(const TFFOptions& options) {
  int64_t strict = 0;
  if (options.avcodec_opts[0]) avutil.av_opt_get_int(options.avcodec_opts[0], "strict", 0, &strict);
  return strict;
}

}  // namespace

bool TCustomFFmpeg::CheckCodecName(const std::string& name, AVMediaType type, bool encoder, const AVCodec*& codec) {
  codec = nullptr;
  if (name.empty()) return true;  // automatic: chosen by codec id
  const char* kind = encoder ? "encoder" : "decoder";
  const AVCodec* found =
      encoder ? avcodec.avcodec_find_encoder_by_name(name.c_str()) : avcodec.avcodec_find_decoder_by_name(name.c_str());
  if (!found) {
    FLastErrMsg = Format("Unknown %s '%s'", kind, name.c_str());
    return false;
  }
  if (found->type != type) {
    FLastErrMsg = Format("Invalid %s type '%s'", kind, name.c_str());
    return false;
  }
  if (IsExperimental(found) && Strictness(FOptions) > FF_COMPLIANCE_EXPERIMENTAL) {
    FLastErrMsg = Format("%s '%s' is experimental and might produce bad results.\r\n"
                         "Add '-strict experimental' if you want to use it.",
                         kind, name.c_str());
    const AVCodec* other = encoder ? avcodec.avcodec_find_encoder(found->id) : avcodec.avcodec_find_decoder(found->id);
    if (other && !IsExperimental(other))
      FLastErrMsg += Format("\r\nOr use the non experimental %s '%s'.", kind, other->name);
    return false;
  }
  codec = found;
  return true;
}

int TCustomFFmpeg::FitPixelFormat(const AVCodec* codec, int pixFmt) const {
  if (!codec || !codec->pix_fmts) return pixFmt;
  for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
    if (*p == pixFmt) return pixFmt;
  // MJPEG takes plain YUV 4:2:0 and 4:2:2 when strictness is relaxed.
  if (codec->id == AV_CODEC_ID_MJPEG && Strictness(FOptions) < 0 && (pixFmt == AV_PIX_FMT_YUV420P || pixFmt == AV_PIX_FMT_YUV422P))
    return pixFmt;
  return codec->pix_fmts[0];
}

AVSampleFormat TCustomFFmpeg::FitSampleFormat(const AVCodec* codec, int sampleFmt) const {
  if (!codec || !codec->sample_fmts) return sampleFmt < 0 ? AV_SAMPLE_FMT_S16 : static_cast<AVSampleFormat>(sampleFmt);
  for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == sampleFmt) return *f;
  return codec->sample_fmts[0];
}

int TCustomFFmpeg::FitSampleRate(const AVCodec* codec, int sampleRate) {
  if (!codec || !codec->supported_samplerates) return sampleRate;
  return FitToSupported("sampling rate", codec->supported_samplerates, sampleRate);
}

int TCustomFFmpeg::FitToSupported(const char* what, const int* supported, int requested) {
  int best = supported[0];
  for (const int* value = supported; *value; ++value)
    if (std::abs(*value - requested) < std::abs(best - requested)) best = *value;
  if (best != requested) Log(TLogLevel::llWarning, "Requested %s unsupported using closest supported (%d)", what, best);
  return best;
}

}  // namespace vidora
