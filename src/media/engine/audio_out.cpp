// Samples to an output stream: one converter for rate, sample format and
// channels (with drift compensation), timestamp synchronisation by dropping
// samples or inserting silence, and a FIFO in front of frame-based encoders.
#include <cmath>
#include <vector>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/text_format.h"
#include "media/engine/amrnb_encoder.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

void TCustomFFmpeg::EnsureResampler(TAVOutputStream& ost, const AVFrame* samples) {
  if (ost.swr && ost.swr_in_rate == samples->sample_rate && ost.swr_in_format == samples->format &&
      !avutil.av_channel_layout_compare(&ost.swr_in_layout, &samples->ch_layout))
    return;
  AVCodecContext* enc = ost.enc;
  SwrContext* swr = nullptr;
  int result = swresample.swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                                              const_cast<AVChannelLayout*>(&samples->ch_layout), static_cast<AVSampleFormat>(samples->format),
                                              samples->sample_rate, 0, nullptr);
  ost.swr.reset(swr);
  // The volume is applied while the channels are mixed; 256 is unity.
  double volume = Faudio_volume / 256.0;
  if (result >= 0 && samples->ch_layout.nb_channels == 1 && enc->ch_layout.nb_channels > 1) {
    // One channel is copied to every output channel at its own level, not mixed 3 dB down as a centre.
    std::vector<double> copy(enc->ch_layout.nb_channels, volume);
    result = swresample.swr_set_matrix(swr, copy.data(), 1);
  } else if (result >= 0 && Faudio_volume != 256) {
    avutil.av_opt_set_double(swr, "rematrix_volume", volume, 0);
  }
  if (result >= 0) result = swresample.swr_init(swr);
  if (result < 0) {
    ost.swr.reset();
    throw FFmpegException(Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                 samples->ch_layout.nb_channels, samples->sample_rate, enc->ch_layout.nb_channels,
                                 enc->sample_rate),
                          result);
  }
  ost.swr_in_rate = samples->sample_rate;
  ost.swr_in_format = samples->format;
  avutil.av_channel_layout_uninit(&ost.swr_in_layout);
  avutil.av_channel_layout_copy(&ost.swr_in_layout, &samples->ch_layout);
}

bool TCustomFFmpeg::OutputHasVideo(int fileIndex) const {
  for (const auto& ost : Fost_table)
    if (ost->file_index == fileIndex && ost->enc->codec_type == AVMEDIA_TYPE_VIDEO) return true;
  return false;
}

void TCustomFFmpeg::InjectSilence(TAVOutputStream& ost, const AVFrame* samples, double outputSamples) {
  // The converter takes silence at the input's rate: a gap counted in output
  // samples would come out shortened by the ratio of the two rates.
  double inputSamples = outputSamples * samples->sample_rate / ost.enc->sample_rate;
  swresample.swr_inject_silence(ost.swr.get(), static_cast<int>(std::min<double>(std::llround(inputSamples), INT32_MAX)));
}

void TCustomFFmpeg::SyncAudio(TAVOutputStream& ost, TAVInputStream& ist, const AVFrame* samples) {
  AVCodecContext* enc = ost.enc;
  // Another stream's clock is read as it stands: its output never runs behind (Overlaps).
  int64_t syncPts = ost.sync_ist && ost.sync_ist != &ist ? ost.sync_ist->pts : ist.shown.pts;
  double syncTime = (syncPts - Fstart_time) / 1000000.0;
  int queued = ost.fifo ? avutil.av_audio_fifo_size(ost.fifo.get()) : 0;
  if (Faudio_sync_method == 0) {
    int64_t target = std::lrint(syncTime * enc->sample_rate) - queued;
    int frameSize = ost.amrnb ? TAMRNBEncoder::FrameSamples : std::max(enc->frame_size, 1);
    if (target - ost.sync_opts > frameSize && OutputHasVideo(ost.file_index)) {
      // Sound that starts after the picture, or goes on after a gap, is led
      // in by silence: a player that plays the sound as stored, without its
      // timestamps or edit lists, would otherwise play it early.
      InjectSilence(ost, samples, static_cast<double>(target - ost.sync_opts));
      return;
    }
    // Follow the input's clock, but never backwards: the muxer needs rising times.
    ost.sync_opts = std::max<int64_t>(ost.sync_opts, target);
    return;
  }
  double delta = syncTime * enc->sample_rate - ost.sync_opts - queued;
  if (std::fabs(delta) <= 50) return;
  int inputSamples = static_cast<int>(delta * samples->sample_rate / enc->sample_rate);
  if (ist.is_start || std::fabs(delta) > Faudio_drift_threshold * enc->sample_rate) {
    if (delta < 0) {
      // At most the whole block.
      int64_t blockOut = int64_t{samples->nb_samples} * enc->sample_rate / samples->sample_rate;
      int drop = static_cast<int>(std::min<int64_t>(std::llround(-delta), blockOut));
      if (Fverbose > 2) Log(TLogLevel::llVerbose, "discarding %d audio samples", -inputSamples);
      swresample.swr_drop_output(ost.swr.get(), drop);
    } else {
      if (Fverbose > 2) Log(TLogLevel::llVerbose, "adding %d audio samples of silence", inputSamples);
      InjectSilence(ost, samples, delta);
    }
    ist.is_start = 0;
  } else if (Faudio_sync_method >= 2) {
    int compensation = std::clamp(static_cast<int>(delta), -Faudio_sync_method, Faudio_sync_method);
    if (Fverbose > 2)
      Log(TLogLevel::llVerbose, "compensating audio timestamp drift:%f compensation:%d in:%d", delta, compensation,
          enc->sample_rate);
    swresample.swr_set_compensation(ost.swr.get(), compensation, enc->sample_rate);
  }
}

void TCustomFFmpeg::do_audio_out(TAVOutputStream& ost, TAVInputStream& ist, AVFrame* samples) {
  AVCodecContext* enc = ost.enc;
  EnsureResampler(ost, samples);
  SyncAudio(ost, ist, samples);

  int capacity = swresample.swr_get_out_samples(ost.swr.get(), samples->nb_samples);
  if (capacity < 0) throw FFmpegException("Buffer sizes too large in do_audio_out");
  if (!Faudio_frame->data[0] || Faudio_frame->nb_samples < capacity || Faudio_frame->format != enc->sample_fmt ||
      Faudio_frame->ch_layout.nb_channels != enc->ch_layout.nb_channels) {
    avutil.av_frame_unref(Faudio_frame.get());
    Faudio_frame->format = enc->sample_fmt;
    Faudio_frame->nb_samples = std::max(capacity, 4096);
    avutil.av_channel_layout_copy(&Faudio_frame->ch_layout, &enc->ch_layout);
    Faudio_frame->sample_rate = enc->sample_rate;
    if (avutil.av_frame_get_buffer(Faudio_frame.get(), 0) < 0) throw FFmpegException("Out of memory in do_audio_out");
  }
  if (!FreshFrameBuffer(Faudio_frame.get())) throw FFmpegException("Out of memory in do_audio_out");
  int converted = swresample.swr_convert(ost.swr.get(), Faudio_frame->data, capacity,
                                         const_cast<const uint8_t**>(samples->extended_data), samples->nb_samples);
  if (converted < 0) {
    if (Fexit_on_error) throw FFmpegException("av_audio_convert() failed");
    Log(TLogLevel::llError, "av_audio_convert() failed");
    return;
  }
  if (converted == 0) return;

  if (ost.fifo) {
    if (avutil.av_audio_fifo_write(ost.fifo.get(), reinterpret_cast<void**>(Faudio_frame->data), converted) < converted)
      throw FFmpegException("av_fifo_realloc2() failed");
    EncodeAudioFifo(ost, false);
  } else {
    EncodeConverted(ost, converted);
  }
}

void TCustomFFmpeg::EncodeConverted(TAVOutputStream& ost, int count) {
  // The conversion frame is larger than what one conversion gives.
  int whole = Faudio_frame->nb_samples;
  Faudio_frame->nb_samples = count;
  EncodeAudioFrame(ost, Faudio_frame.get());
  Faudio_frame->nb_samples = whole;
}

void TCustomFFmpeg::EncodeAudioFifo(TAVOutputStream& ost, bool final) {
  AVCodecContext* enc = ost.enc;
  if (final && ost.swr) {
    // What the converter still holds.
    while (true) {
      if (!FreshFrameBuffer(Faudio_frame.get())) break;
      int left = swresample.swr_convert(ost.swr.get(), Faudio_frame->data, Faudio_frame->nb_samples, nullptr, 0);
      if (left <= 0) break;
      if (ost.fifo) {
        avutil.av_audio_fifo_write(ost.fifo.get(), reinterpret_cast<void**>(Faudio_frame->data), left);
      } else {
        EncodeConverted(ost, left);
      }
    }
  }
  if (!ost.fifo) return;
  int frameSize = ost.amrnb ? TAMRNBEncoder::FrameSamples : enc->frame_size;
  if (!ost.fifo_frame) {
    ost.fifo_frame = NewFrame();
    if (!ost.fifo_frame) throw FFmpegException("Out of memory in do_audio_out");
    ost.fifo_frame->format = enc->sample_fmt;
    ost.fifo_frame->nb_samples = frameSize;
    ost.fifo_frame->sample_rate = enc->sample_rate;
    avutil.av_channel_layout_copy(&ost.fifo_frame->ch_layout, &enc->ch_layout);
    if (avutil.av_frame_get_buffer(ost.fifo_frame.get(), 0) < 0) throw FFmpegException("Out of memory in do_audio_out");
  }
  AVFrame* frame = ost.fifo_frame.get();
  {
    while (true) {
      int queued = avutil.av_audio_fifo_size(ost.fifo.get());
      if (queued == 0 || (queued < frameSize && !final)) break;
      frame->nb_samples = frameSize;
      if (!FreshFrameBuffer(frame)) throw FFmpegException("Out of memory in do_audio_out");
      int count = avutil.av_audio_fifo_read(ost.fifo.get(), reinterpret_cast<void**>(frame->data), std::min(queued, frameSize));
      if (count < frameSize) {
        // A short last frame where the encoder takes one, else silence to a whole frame.
        bool shortLast = !ost.amrnb && (enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
        if (shortLast)
          frame->nb_samples = count;
        else
          avutil.av_samples_set_silence(frame->data, count, frameSize - count, enc->ch_layout.nb_channels,
                                        enc->sample_fmt);
      }
      EncodeAudioFrame(ost, frame);
    }
  }
}

void TCustomFFmpeg::EncodeAudioFrame(TAVOutputStream& ost, AVFrame* frame) {
  AVCodecContext* enc = ost.enc;
  frame->pts = ost.sync_opts;
  ost.sync_opts += frame->nb_samples;
  ++ost.frame_number;
  if (!ost.amrnb) {
    if (int result = avcodec.avcodec_send_frame(enc, frame); result < 0)
      throw FFmpegException("Audio encoding failed", result);
    ReceivePackets(ost);
    return;
  }
  if (avcodec.av_new_packet(Fenc_pkt.get(), TAMRNBEncoder::MaxPacketSize) < 0) throw FFmpegException("av_mallocz fail");
  int size = ost.amrnb->Encode(reinterpret_cast<const int16_t*>(frame->data[0]), Fenc_pkt->data);
  if (size < 0) {
    avcodec.av_packet_unref(Fenc_pkt.get());
    throw FFmpegException("Audio encoding failed");
  }
  Fenc_pkt->size = size;
  Fenc_pkt->pts = Fenc_pkt->dts = frame->pts;
  Fenc_pkt->duration = frame->nb_samples;
  Fenc_pkt->flags |= AV_PKT_FLAG_KEY;
  Faudio_size += size;
  avcodec.av_packet_rescale_ts(Fenc_pkt.get(), enc->time_base, ost.st->time_base);
  write_frame(ost, Fenc_pkt.get());
}

}  // namespace vidora
