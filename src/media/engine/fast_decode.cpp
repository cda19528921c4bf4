// Decoding for a much smaller picture: work whose effect a large downscale
// averages away is not done, and the scaler averages areas instead of
// sampling a curve. Each choice below was measured against the source fully
// decoded and area-scaled to the phone size, after encoding at 150 kbit/s.
#include <algorithm>
#include <cmath>
#include <climits>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

// The source is shrunk at least this much on both sides (after turning it
// upright) before anything is skipped: fewer than a third of its lines show.
constexpr double FastDecodeShrink = 3.0;
// Reduced-size decoding keeps at least this much shrink for the scaler, so
// that each output pixel is still averaged from several decoded ones.
constexpr double LowresKeptShrink = 2.0;

// A source is at least this much faster than its output's picture rate
// before pictures are left out: at about the same rate the output drops too
// few to matter.
constexpr double SkippedRateExcess = 1.2;

// Decoders that may skip the deblocking filter, on B pictures. Only P and
// key pictures lead on to the next key frame: skipped on those too, the
// difference builds up until then and costs 0.5 to 1 dB at the phone size.
// On B pictures, which at most other B pictures refer to, it costs nothing
// measurable and saves 9 % of H.264's decoding and 7 % of HEVC's, where
// unreferenced pictures alone saved 6 % and nothing.
bool SkipsLoopFilterOnB(AVCodecID id) { return id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_HEVC; }

}  // namespace

bool HasFields(int pixFmt) {
  const AVPixFmtDescriptor* desc = avutil.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pixFmt));
  return desc && !(desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM)) &&
         desc->log2_chroma_h <= 1;
}

void TCustomFFmpeg::PlanFastDecoding() {
  // The parts of a join share one scaler and its geometry: they are decoded alike, in full.
  if (!Ffast_decode || FJoinMode) return;
  for (auto& ist : Fist_table) PlanShrunkDecoding(*ist);
  for (auto& ist : Fist_table) PlanSkippedPictures(*ist);
}

void TCustomFFmpeg::PlanShrunkDecoding(TAVInputStream& ist) {
  AVCodecContext* dec = ist.dec;
  if (dec->codec_type != AVMEDIA_TYPE_VIDEO || dec->width <= 0 || dec->height <= 0 || dec->lowres) return;
  // A crop, the user's filters and frame hooks count in pixels of the full picture.
  bool fullSizeNeeded = !Fvfilters.empty() || !FFrameHooks.Empty() || Fframe_topBand || Fframe_bottomBand ||
                        Fframe_leftBand || Fframe_rightBand;
  // The largest picture made of this source; none made (copy only): nothing to plan.
  int outWidth = 0, outHeight = 0;
  bool deinterlaced = false, sideways = false, reshaped = false;
  for (auto& ost : Fost_table) {
    if (ost->source_index != ist.table_index || ost->codec->stream_copy) continue;
    TPictureShaping shaping = PictureShaping(*ost, ist, FormOf(dec));
    deinterlaced = deinterlaced || shaping.deinterlace;
    sideways = sideways || shaping.rotation % 180;
    reshaped = reshaped || shaping.rotation || shaping.mirror || shaping.fit_width;
    bool sameSize = ost->codec->size_from_input || ost->enc->width <= 0 || ost->enc->height <= 0;
    outWidth = sameSize ? INT_MAX : std::max(outWidth, ost->enc->width);
    outHeight = sameSize ? INT_MAX : std::max(outHeight, ost->enc->height);
  }
  if (outWidth <= 0 || outWidth == INT_MAX) return;
  if (sideways) std::swap(outWidth, outHeight);
  double shrink = std::min(static_cast<double>(dec->width) / outWidth, static_cast<double>(dec->height) / outHeight);
  if (shrink < FastDecodeShrink) return;

  ist.fast_decode = true;
  if (SkipsLoopFilterOnB(dec->codec_id)) dec->skip_loop_filter = AVDISCARD_BIDIR;
  // Where nothing but the deinterlacer stands between decoder and scaler,
  // the field shown first is scaled alone: at a third of the lines or
  // fewer, the lines the deinterlacer would rebuild are averaged away
  // (44.9 dB and 0.9956 SSIM against the deinterlaced picture at the phone
  // size, before encoding), and neither the deinterlacer nor a graph runs.
  ist.scales_fields = deinterlaced && !reshaped && !fullSizeNeeded && !FEnableFilter && HasFields(dec->pix_fmt);
  // Fields decoded at reduced size lose more than the deinterlacer can
  // rebuild (0.5 dB at the phone size); progressive pictures lose nothing measurable.
  const AVCodec* codec = ist.decoder ? ist.decoder : avcodec.avcodec_find_decoder(dec->codec_id);
  if (fullSizeNeeded || deinterlaced || !codec) return;
  int lowres = 0;
  while (lowres < codec->max_lowres && shrink / (2 << lowres) >= LowresKeptShrink) ++lowres;
  if (!lowres) return;
  // Everything after the decoder sees the reduced size; opening the decoder
  // derives it again from the coded size (OpenDecoders).
  dec->lowres = lowres;
  dec->coded_width = dec->width;
  dec->coded_height = dec->height;
  dec->width = AV_CEIL_RSHIFT(dec->width, lowres);
  dec->height = AV_CEIL_RSHIFT(dec->height, lowres);
  Log(TLogLevel::llInfo, "Input stream #%d.%d is decoded at %dx%d for a %dx%d picture", ist.file_index,
      ist.st->index, dec->width, dec->height, outWidth, outHeight);
}

void TCustomFFmpeg::PlanSkippedPictures(TAVInputStream& ist) {
  AVCodecContext* dec = ist.dec;
  // What the user chose to skip stands.
  if (dec->codec_type != AVMEDIA_TYPE_VIDEO || dec->skip_frame != AVDISCARD_DEFAULT) return;
  // The picture rate made of this source. The synchronisation to a constant
  // rate alone decides which pictures are shown: not when it is off or
  // follows the pictures' own times, nor when a filter, another stream's
  // clock or another output's rate has a say. Frame hooks see every picture.
  AVRational output{0, 1};
  bool rateDecides = ist.fast_decode && Fvideo_sync_method != 0 && Fvfilters.empty() && FFrameHooks.Empty();
  for (auto& ost : Fost_table) {
    if (ost->source_index != ist.table_index || ost->codec->stream_copy) continue;
    AVRational rate = ost->enc->framerate;
    if ((ost->sync_ist && ost->sync_ist != &ist) || VariableRate(*ost) || !rate.num || !rate.den ||
        (output.num && av_cmp_q(rate, output)))
      rateDecides = false;
    output = rate;
  }
  AVRational source = ist.st->avg_frame_rate.num ? ist.st->avg_frame_rate : ist.st->r_frame_rate;
  if (rateDecides && output.num && source.num && source.den && av_q2d(source) >= SkippedRateExcess * av_q2d(output)) {
    ist.capped_rate = output;
    Log(TLogLevel::llInfo, "Input stream #%d.%d: pictures beyond %d/%d a second are left undecoded where they can be",
        ist.file_index, ist.st->index, output.num, output.den);
  }
  // Pictures before the start are dropped as soon as they are decoded;
  // frame hooks see them first, though.
  ist.skips_unseen = ist.capped_rate.num || (Fstart_time != 0 && FFrameHooks.Empty());
}

bool TCustomFFmpeg::PictureUnseen(TAVInputStream& ist, const AVPacket& pkt) {
  if (pkt.pts == AV_NOPTS_VALUE) return false;
  int64_t time = avutil.av_rescale_q(pkt.pts, ist.st->time_base, Microseconds);
  // Planned only without frame hooks, which see every picture.
  if (Fstart_time != 0 && time < Fstart_time) return true;
  if (!ist.capped_rate.num) return false;
  // The synchronisation shows the first picture that is at most SyncSlack
  // slots behind its clock, and drops those after it that fall behind more:
  // the pictures of one of its slots compete, and the earliest is shown.
  // Packets come in decoding order, so a picture is known to be a later one
  // only when an earlier one of its slot has come already. It is left out
  // then, unless something refers to it; any other is decoded, and dropped
  // there as before.
  double clock = (time - Fstart_time) / 1000000.0 * av_q2d(ist.capped_rate);
  auto slot = static_cast<int64_t>(std::floor(clock + SyncSlack));
  bool later = false;
  for (size_t i = 0; i < std::min(ist.recent_count, ist.recent_slots.size()); ++i)
    later = later || (ist.recent_slots[i].second == slot && ist.recent_slots[i].first < time);
  ist.recent_slots[ist.recent_count++ % ist.recent_slots.size()] = {time, slot};
  return later;
}

}  // namespace vidora
