// Subtitles to an output stream.
#include <cstring>
#include <vector>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

void TCustomFFmpeg::do_subtitle_out(TAVOutputStream& ost, TAVInputStream&, AVSubtitle* subtitle, int64_t pts) {
  if (pts == AV_NOPTS_VALUE) {
    if (Fexit_on_error) throw FFmpegException("Subtitle packets must have a pts");
    Log(TLogLevel::llError, "Subtitle packets must have a pts");
    return;
  }
  static constexpr int SubtitleBufferSize = 1 << 20;
  std::vector<uint8_t>& buffer = ost.subtitle_out;
  if (buffer.empty()) buffer.resize(SubtitleBufferSize);
  AVCodecContext* enc = ost.enc;
  int64_t subtitlePts =
      pts + avutil.av_rescale_q(subtitle->start_display_time, AVRational{1, 1000}, Microseconds);
  // DVB subtitles are shown by one packet and cleared by a second.
  int packets = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
  for (int i = 0; i < packets; ++i) {
    AVSubtitle shown = *subtitle;
    shown.pts = subtitlePts;
    shown.end_display_time -= shown.start_display_time;
    shown.start_display_time = 0;
    if (i == 1) shown.num_rects = 0;
    int size = avcodec.avcodec_encode_subtitle(enc, buffer.data(), SubtitleBufferSize, &shown);
    if (size < 0) throw FFmpegException("Subtitle encoding failed", size);
    if (avcodec.av_new_packet(Fenc_pkt.get(), size) < 0) throw FFmpegException("av_mallocz fail");
    std::memcpy(Fenc_pkt->data, buffer.data(), size);
    Fenc_pkt->pts = avutil.av_rescale_q(subtitlePts, Microseconds, ost.st->time_base);
    Fenc_pkt->duration = avutil.av_rescale_q(shown.end_display_time, AVRational{1, 1000}, ost.st->time_base);
    if (enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE)
      Fenc_pkt->pts += 90 * (i == 0 ? subtitle->start_display_time : subtitle->end_display_time);
    Fenc_pkt->dts = Fenc_pkt->pts;
    write_frame(ost, Fenc_pkt.get());
  }
}

}  // namespace vidora
