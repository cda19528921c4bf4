// Pictures to an output stream: frame-rate synchronisation by dropping and
// duplicating, cropping and scaling, encoding.
#include <cmath>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

// Scales a band to a new picture size, keeping it even.
int ScaledBand(int band, int newSize, int originalSize) {
  return originalSize ? (band * newSize / originalSize) & ~1 : band;
}

// The field a deinterlacer would show the picture as, as ost.scaled_field
// counts it; 0 for a picture shown whole.
int ShownField(const AVFrame* picture, bool everyPicture) {
#if LIBAVUTIL_VERSION_MAJOR >= 59
  bool interlaced = picture->flags & AV_FRAME_FLAG_INTERLACED;
  bool topFirst = picture->flags & AV_FRAME_FLAG_TOP_FIELD_FIRST;
#else
  bool interlaced = picture->interlaced_frame;
  bool topFirst = picture->top_field_first;
#endif
  if (!interlaced && !everyPicture) return 0;
  return !interlaced || topFirst ? 1 : 2;
}

// The rows of a picture `height` rows high that `field` takes.
int FieldRows(int height, int field) { return field == 0 ? height : field == 1 ? (height + 1) / 2 : height / 2; }

}  // namespace

bool TCustomFFmpeg::VariableRate(const TAVOutputStream& ost) const {
  return Fvideo_sync_method == 2 ||
         (Fvideo_sync_method < 0 && (Foutput_files[ost.file_index]->ctx->oformat->flags & AVFMT_VARIABLE_FPS));
}

void TCustomFFmpeg::do_video_out(TAVOutputStream& ost, TAVInputStream& ist, AVFrame* picture, int64_t time) {
  AVCodecContext* enc = ost.enc;
  int64_t syncPts = ost.sync_ist && ost.sync_ist != &ist ? ost.sync_ist->pts : time;
  double syncTime = (syncPts - Fstart_time) / 1000000.0 / av_q2d(enc->time_base);
  int frames = 1;
  if (Fvideo_sync_method != 0) {
    double delta = syncTime - ost.sync_opts;
    bool variableRate = VariableRate(ost);
    if (delta < -SyncSlack) {
      frames = 0;
    } else if (variableRate) {
      if (delta <= -0.6)
        frames = 0;
      else if (delta > 0.6)
        ost.sync_opts = std::lrint(syncTime);
    } else if (delta > SyncSlack) {
      frames = static_cast<int>(std::lrint(delta));
    }
    if (frames == 0) {
      ++Fnb_frames_drop;
      FShowDupOrDrop = true;
      if (Fverbose > 2) Log(TLogLevel::llVerbose, "*** drop!");
    } else if (frames > 1) {
      Fnb_frames_dup += frames - 1;
      FShowDupOrDrop = true;
      if (Fverbose > 2) Log(TLogLevel::llVerbose, "*** %d dup!", frames - 1);
    }
  } else {
    ost.sync_opts = std::lrint(syncTime);
  }
  frames = std::min(frames, Fmax_frames[AVMEDIA_TYPE_VIDEO] - ost.frame_number);
  if (frames <= 0) return;

  AVFrame* final = FGraph.graph ? picture : ScalePicture(ost, ist, picture);
  if (!final) return;
  // The host draws on the picture as it will be shown: turned, cropped, scaled
  // and padded, so that its drawing stands upright and keeps its shape.
  RunInputVideoHook(ist, final, time);
  for (int i = 0; i < frames && !FBroken; ++i) {
    if (i > 0) WaitWhilePaused();  // a paused run stops between repeated pictures too
    EncodeVideoFrame(ost, final);
    ++ost.sync_opts;
    ++ost.frame_number;
  }
}

AVFrame* TCustomFFmpeg::ScalePicture(TAVOutputStream& ost, TAVInputStream& ist, AVFrame* picture) {
  AVCodecContext* enc = ost.enc;
  AVFrame* source = picture;
  if (ost.video_crop) {
    avutil.av_frame_unref(Fcrop_frame.get());
    if (avutil.av_frame_ref(Fcrop_frame.get(), picture) < 0) throw FFmpegException("av_mallocz fail");
    Fcrop_frame->crop_top = ost.topBand;
    Fcrop_frame->crop_bottom = ost.bottomBand;
    Fcrop_frame->crop_left = ost.leftBand;
    Fcrop_frame->crop_right = ost.rightBand;
    if (avutil.av_frame_apply_cropping(Fcrop_frame.get(), AV_FRAME_CROP_UNALIGNED) < 0) {
      if (Fexit_on_error) throw FFmpegException("error cropping picture");
      Log(TLogLevel::llError, "error cropping picture");
      return nullptr;
    }
    source = Fcrop_frame.get();
  }

  bool changed = source->width != ost.resample_width || source->height != ost.resample_height ||
                 source->format != ost.resample_pix_fmt;
  if (changed) {
    Log(TLogLevel::llQuiet, "Input Stream #%d.%d frame size changed to %dx%d, %s", ist.file_index, ist.index,
        source->width, source->height, avutil.av_get_pix_fmt_name(static_cast<AVPixelFormat>(source->format)));
    if (!ost.video_resample) {
      // Until now the pictures went to the encoder as they were.
      ost.video_resample = 1;
      ost.original_width = ost.resample_width;
      ost.original_height = ost.resample_height;
    }
  }
  if (!ost.video_resample) return source;

  int field = ist.scales_fields ? ShownField(picture, Fdo_deinterlace == 1) : 0;
  if (changed || !ost.img_resample_ctx || field != ost.scaled_field) {
    ost.topBand = ScaledBand(ost.original_topBand, picture->height, ost.original_height);
    ost.bottomBand = ScaledBand(ost.original_bottomBand, picture->height, ost.original_height);
    ost.leftBand = ScaledBand(ost.original_leftBand, picture->width, ost.original_width);
    ost.rightBand = ScaledBand(ost.original_rightBand, picture->width, ost.original_width);
    ost.resample_width = source->width;
    ost.resample_height = source->height;
    ost.resample_pix_fmt = source->format;
    ost.scaled_field = field;
    MakeScaler(ost);
  }
  // One field is every other row of each plane, from the first or the second.
  const uint8_t* rows[4] = {};
  int strides[4] = {};
  for (int plane = 0; plane < 4 && source->data[plane]; ++plane) {
    rows[plane] = source->data[plane] + (field == 2 ? source->linesize[plane] : 0);
    strides[plane] = source->linesize[plane] * (field ? 2 : 1);
  }
  // The encoder may still hold the previous picture: never scale over it.
  if (!FreshFrameBuffer(ost.pict_tmp.get())) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  swscale.sws_scale(ost.img_resample_ctx.get(), rows, strides, 0, FieldRows(source->height, field), ost.pict_tmp->data,
                    ost.pict_tmp->linesize);
  ost.pict_tmp->interlaced_frame = field ? 0 : picture->interlaced_frame;
  ost.pict_tmp->top_field_first = picture->top_field_first;
  ost.pict_tmp->sample_aspect_ratio = enc->sample_aspect_ratio;
  return ost.pict_tmp.get();
}

int TCustomFFmpeg::ScalerFlags(const TAVInputStream& ist) const {
  int64_t flags = Fsws_flags;
  if (FOptions.sws_opts) avutil.av_opt_get_int(FOptions.sws_opts, "sws_flags", 0, &flags);
  // In place of the engine's own method, a large downscale averages areas:
  // as close to the source, and cheaper than a curve tens of pixels wide.
  if (ist.fast_decode && flags == Fsws_flags) flags = SWS_AREA;
  return static_cast<int>(flags);
}

void TCustomFFmpeg::MakeScaler(TAVOutputStream& ost) {
  AVCodecContext* enc = ost.enc;
  if (!ost.pict_tmp) {
    ost.pict_tmp = NewFrame();
    if (!ost.pict_tmp) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
    ost.pict_tmp->format = enc->pix_fmt;
    ost.pict_tmp->width = enc->width;
    ost.pict_tmp->height = enc->height;
    if (avutil.av_frame_get_buffer(ost.pict_tmp.get(), 0) < 0)
      throw FFmpegException("Cannot allocate temp picture, check pix fmt");
  }
  // The library frees the old context when it cannot reuse it.
  ost.img_resample_ctx.reset(swscale.sws_getCachedContext(
      ost.img_resample_ctx.release(), ost.resample_width, FieldRows(ost.resample_height, ost.scaled_field),
      static_cast<AVPixelFormat>(ost.resample_pix_fmt),
      enc->width, enc->height, enc->pix_fmt, ScalerFlags(*Fist_table[ost.source_index]), nullptr, nullptr, nullptr));
  if (!ost.img_resample_ctx) throw FFmpegException("Cannot get resampling context");
}

void TCustomFFmpeg::EncodeVideoFrame(TAVOutputStream& ost, AVFrame* frame) {
  AVCodecContext* enc = ost.enc;
  frame->pts = ost.sync_opts;
  frame->pict_type = Fme_threshold ? frame->pict_type : AV_PICTURE_TYPE_NONE;
  if (enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) {
    if (Ftop_field_first != -1) frame->top_field_first = Ftop_field_first;
  }
  frame->quality = Fsame_quality ? Fist_table[ost.source_index]->shown.quality : enc->global_quality;
  int64_t pts = avutil.av_rescale_q(ost.sync_opts, enc->time_base, Microseconds);
  AVFrame* picture = RunOutputHooks(frame, ost.frame_number + 1, pts);
  if (int result = avcodec.avcodec_send_frame(enc, picture); result < 0)
    throw FFmpegException("Video encoding failed", result);
  ReceivePackets(ost);
}

}  // namespace vidora
