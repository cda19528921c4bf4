// One packet of one input stream: decode it and hand what comes out to the
// output streams it feeds, or copy it as it is. No packet means "flush".
#include <thread>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

// The length of one picture of the stream, in microseconds.
int64_t PictureDuration(const TAVInputStream& ist, const AVFrame* frame) {
  AVRational rate = ist.st->avg_frame_rate.num ? ist.st->avg_frame_rate : ist.st->r_frame_rate;
  if (!rate.num || !rate.den) rate = ist.dec->framerate;
  if (!rate.num || !rate.den) return 0;
  int ticks = 2 + (frame ? frame->repeat_pict : 0);
  return avutil.av_rescale_q(ticks, av_inv_q(rate), AVRational{2, AV_TIME_BASE});
}

}  // namespace

int TCustomFFmpeg::output_packet(TAVInputStream& ist, const AVPacket* pkt, bool drainEncoders) {
  if (ist.next_pts == AV_NOPTS_VALUE) ist.next_pts = ist.pts;
  if (pkt && pkt->dts != AV_NOPTS_VALUE) ist.next_pts = ist.pts = avutil.av_rescale_q(pkt->dts, ist.st->time_base, Microseconds);

  if (ist.decoding_needed) {
    if (DecodePacket(ist, pkt) < 0) return -1;
  } else if (pkt) {
    ist.pts = ist.next_pts;
    if (ist.dec->codec_type == AVMEDIA_TYPE_AUDIO && ist.dec->sample_rate && ist.dec->frame_size)
      ist.next_pts += int64_t{AV_TIME_BASE} * ist.dec->frame_size / ist.dec->sample_rate;
    else if (ist.dec->codec_type == AVMEDIA_TYPE_VIDEO)
      ist.next_pts += pkt->duration ? avutil.av_rescale_q(pkt->duration, ist.st->time_base, Microseconds)
                                    : PictureDuration(ist, nullptr);
    if (Fstart_time == 0 || ist.pts >= Fstart_time) {
      TOutputJob job = Job(TOutputJob::Copy, ist);
      job.packet = NewPacket();
      if (!job.packet || avcodec.av_packet_ref(job.packet.get(), pkt) < 0) throw FFmpegException("av_mallocz fail");
      Output(std::move(job));
    }
  }

  if (!pkt && drainEncoders) Output(Job(TOutputJob::Drain, ist));
  return 0;
}

int TCustomFFmpeg::DecodePacket(TAVInputStream& ist, const AVPacket* pkt) {
  AVCodecContext* dec = ist.dec;
  if (dec->codec_type == AVMEDIA_TYPE_SUBTITLE) {
    if (!pkt) return 0;
    AVSubtitle subtitle{};
    int got = 0;
    if (avcodec.avcodec_decode_subtitle2(dec, &subtitle, &got, const_cast<AVPacket*>(pkt)) < 0) return -1;
    if (got) {
      TOutputJob job = Job(TOutputJob::Subtitle, ist);
      job.subtitle.reset(new AVSubtitle(subtitle));
      if (Fstart_time == 0 || ist.pts >= Fstart_time) Output(std::move(job));
    }
    return 0;
  }
  if (dec->codec_type != AVMEDIA_TYPE_VIDEO && dec->codec_type != AVMEDIA_TYPE_AUDIO) return -1;

  // Frame threads take the setting with each packet.
  if (ist.skips_unseen && pkt)
    dec->skip_frame = PictureUnseen(ist, *pkt) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  int result = avcodec.avcodec_send_packet(dec, pkt);
  if (result < 0 && result != AVERROR_EOF && result != AVERROR(EAGAIN)) return -1;
  while (true) {
    result = avcodec.avcodec_receive_frame(dec, Fdecoded_frame.get());
    if (result == AVERROR_EOF && !pkt && dec->codec_type == AVMEDIA_TYPE_VIDEO) Output(Job(TOutputJob::PicturesEnd, ist));
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
    if (result < 0) return -1;
    HandleDecodedFrame(ist, Fdecoded_frame.get());
    avutil.av_frame_unref(Fdecoded_frame.get());
    if (FBroken) return 0;
  }
}

void TCustomFFmpeg::HandleDecodedFrame(TAVInputStream& ist, AVFrame* frame) {
  int64_t timestamp = frame->best_effort_timestamp;
  ist.pts = timestamp != AV_NOPTS_VALUE ? avutil.av_rescale_q(timestamp, ist.st->time_base, Microseconds) : ist.next_pts;
  ++ist.frame_number;
  if (ist.dec->codec_type == AVMEDIA_TYPE_AUDIO) {
    ist.next_pts = ist.pts + (frame->sample_rate ? int64_t{AV_TIME_BASE} * frame->nb_samples / frame->sample_rate : 0);
  } else {
    ist.quality = frame->quality;
    ist.next_pts = ist.pts + PictureDuration(ist, frame);
  }
  if (Frate_emu) {
    int64_t elapsed = avutil.av_gettime_relative() - ist.start;
    if (ist.pts - elapsed > 1000) std::this_thread::sleep_for(std::chrono::microseconds(ist.pts - elapsed));
  }
  TOutputJob job = Job(TOutputJob::Decoded, ist);
  job.frame = NewFrame();
  if (!job.frame) throw FFmpegException("av_mallocz fail");
  avutil.av_frame_move_ref(job.frame.get(), frame);
  Output(std::move(job));
}

void TCustomFFmpeg::OutputDecoded(TAVInputStream& ist, AVFrame* frame) {
  if (ist.dec->codec_type == AVMEDIA_TYPE_AUDIO)
    RunAudioHook(ist, frame);
  else
    RunFrameHooks(ist, frame);
  if (Fstart_time != 0 && ist.shown.pts < Fstart_time) return;
  if (Frecording_time != INT64_MAX && ist.shown.pts >= Frecording_time + Fstart_time) return;

  if (ist.dec->codec_type == AVMEDIA_TYPE_VIDEO) DeinterlaceFromNowOn(ist, frame);
  if (ist.dec->codec_type == AVMEDIA_TYPE_VIDEO && !FGraph.graph)
    for (auto& ost : Fost_table)
      if (ost->graph_deferred && ost->source_index == ist.table_index) {
        ost->graph_deferred = false;
        ConfigureFilterGraph(*ost, ist, PictureShaping(*ost, ist, ist.shown.form), ist.shown.form);
      }
  if (ist.dec->codec_type == AVMEDIA_TYPE_VIDEO && FGraph.graph && FGraph.input == &ist) {
    FilterPicture(ist, frame);
    return;
  }
  for (auto& ost : Fost_table) {
    if (!ost->encoding_needed || ost->source_index != ist.table_index) continue;
    if (ist.dec->codec_type == AVMEDIA_TYPE_AUDIO)
      do_audio_out(*ost, ist, frame);
    else
      do_video_out(*ost, ist, frame, ist.shown.pts);
  }
}

void TCustomFFmpeg::CopyPacket(TAVOutputStream& ost, TAVInputStream& ist, const AVPacket* pkt) {
  // Nothing before the first key frame, unless asked for.
  if (!ost.frame_number && !(pkt->flags & AV_PKT_FLAG_KEY) && !Fcopy_initial_nonkeyframes) return;
  AVRational outBase = ost.st->time_base;
  int64_t startOffset = avutil.av_rescale_q(Fstart_time, Microseconds, outBase);
  AVPacket* out = Fenc_pkt.get();
  if (avcodec.av_packet_ref(out, pkt) < 0) throw FFmpegException("av_mallocz fail");
  out->stream_index = ost.index;
  out->pts = pkt->pts != AV_NOPTS_VALUE ? avutil.av_rescale_q(pkt->pts, ist.st->time_base, outBase) - startOffset
                                        : AV_NOPTS_VALUE;
  out->dts = (pkt->dts != AV_NOPTS_VALUE ? avutil.av_rescale_q(pkt->dts, ist.st->time_base, outBase)
                                         : avutil.av_rescale_q(ist.shown.pts, Microseconds, outBase)) -
             startOffset;
  out->duration = avutil.av_rescale_q(pkt->duration, ist.st->time_base, outBase);
  if (ist.dec->codec_type == AVMEDIA_TYPE_AUDIO) {
    Faudio_size += pkt->size;
  } else if (ist.dec->codec_type == AVMEDIA_TYPE_VIDEO) {
    Fvideo_size += pkt->size;
    ++ost.sync_opts;
  }
  ++ost.frame_number;
  write_frame(ost, out);
}

}  // namespace vidora
