// Sound: the device, the callback that decodes, converts and mixes at the
// player's volume, and the wave and spectrum pictures of a file without video.
#include <cmath>
#include <cstring>

#include "media/base/bindings.h"
#include "media/base/logger.h"
#include "media/base/text_format.h"
#include "media/play/player.h"
#include "media/play/video_state.h"

namespace vidora {

namespace {
constexpr int SampleArraySize = 131072;  // 16-bit samples kept for the audio display
constexpr int SilenceBytes = 1024;
constexpr int SpectrumSize = 256;  // samples in one spectrum picture
}  // namespace

bool TVideoState::OpenAudio(int sampleRate, int channels) {
  SDL_AudioSpec wanted{}, obtained{};
  wanted.freq = sampleRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = static_cast<Uint8>(std::clamp(channels, 1, 8));
  wanted.samples = 1024;
  wanted.callback = AudioCallbackMain;
  wanted.userdata = this;
  audio_dev = sdl.SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                                      SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
  if (!audio_dev) {
    AudioOpenError = std::string("SDL_OpenAudio() failed: ") + sdl.SDL_GetError();
    Log(TLogLevel::llError, AudioOpenError);
    return false;
  }
  audio_rate = obtained.freq;
  audio_channels = obtained.channels;
  audio_hw_buf_size = static_cast<int>(obtained.size);
  AVChannelLayout layout;
  avutil.av_channel_layout_default(&layout, audio_channels);
  SwrContext* converter = nullptr;
  int made = swresample.swr_alloc_set_opts2(&converter, &layout, AV_SAMPLE_FMT_S16, audio_rate,
                                            &audio_ctx->ch_layout, audio_ctx->sample_fmt, audio_ctx->sample_rate, 0,
                                            nullptr);
  swr.reset(converter);
  avutil.av_channel_layout_uninit(&layout);
  if (made < 0 || swresample.swr_init(swr.get()) < 0) {
    const char* from = avutil.av_get_sample_fmt_name(audio_ctx->sample_fmt);
    Log(TLogLevel::llError, Format("Cannot convert %s sample format to %s sample format", from ? from : "?", "s16"));
    sdl.SDL_CloseAudioDevice(audio_dev);
    audio_dev = 0;
    return false;
  }
  audio_frame = NewFrame();
  audio_pkt = NewPacket();
  sample_array.assign(SampleArraySize, 0);
  return audio_frame && audio_pkt;
}

void TVideoState::AudioCallbackMain(void* state, uint8_t* stream, int length) {
  static_cast<TVideoState*>(state)->AudioCallback(stream, length);
}

void TVideoState::AudioCallback(uint8_t* stream, int length) {
  audio_callback_time = avutil.av_gettime_relative();
  while (length > 0) {
    if (audio_buf_index >= audio_buf.size()) {
      if (DecodeAudio() < 0) audio_buf.assign(SilenceBytes, 0);
      audio_buf_index = 0;
    }
    int count = std::min(length, static_cast<int>(audio_buf.size() - audio_buf_index));
    const uint8_t* source = audio_buf.data() + audio_buf_index;
    int volume = Owner.FAudioVolume;
    if (Owner.FMute || volume == 0) {
      std::memset(stream, 0, count);
    } else if (volume >= SDL_MIX_MAXVOLUME) {
      std::memcpy(stream, source, count);
    } else {
      std::memset(stream, 0, count);
      sdl.SDL_MixAudioFormat(stream, source, AUDIO_S16SYS, count, volume);
    }
    length -= count;
    stream += count;
    audio_buf_index += count;
  }
  audio_buffered = static_cast<int>(audio_buf.size() - audio_buf_index);
}

int TVideoState::DecodeAudio() {
  for (;;) {
    int received = avcodec.avcodec_receive_frame(audio_ctx.get(), audio_frame.get());
    if (received == 0) {
      int64_t stamp = audio_frame->best_effort_timestamp;
      double pts = stamp == AV_NOPTS_VALUE ? NAN : stamp * av_q2d(audio_st->time_base);
      double duration = audio_frame->nb_samples / double(std::max(audio_frame->sample_rate, 1));
      if (!std::isnan(pts) && pts + duration <= seek_target) {
        avutil.av_frame_unref(audio_frame.get());
        continue;
      }
      int room = swresample.swr_get_out_samples(swr.get(), audio_frame->nb_samples);
      audio_buf.resize(static_cast<size_t>(std::max(room, 0)) * audio_channels * 2);
      uint8_t* out[1] = {audio_buf.data()};
      int converted = swresample.swr_convert(swr.get(), out, room,
                                             const_cast<const uint8_t**>(audio_frame->extended_data),
                                             audio_frame->nb_samples);
      avutil.av_frame_unref(audio_frame.get());
      if (converted < 0) {
        Log(TLogLevel::llError, "av_audio_convert() failed");
        return -1;
      }
      audio_buf.resize(static_cast<size_t>(converted) * audio_channels * 2);
      double clock = audio_clock;
      audio_clock = !std::isnan(pts) ? pts + duration : (clock < 0 ? StartTime / 1e6 : clock) + duration;
      auto* samples = reinterpret_cast<const int16_t*>(audio_buf.data());
      size_t count = audio_buf.size() / 2;
      for (size_t i = 0; i < count; ++i) {
        sample_array[sample_array_index] = samples[i];
        sample_array_index = (sample_array_index + 1) % sample_array.size();
      }
      if (Owner.FAudioHook && Owner.FOnAudioHook && !Owner.FDestroying) {
        int64_t hookPts = static_cast<int64_t>((audio_clock - duration) * 1e6) - StartTime;
        Owner.FOnAudioHook(&Owner, hookPts, audio_buf.data(), static_cast<int>(audio_buf.size()), audio_rate,
                           audio_channels);
      }
      return static_cast<int>(audio_buf.size());
    }
    // Drained at the end of the file, the decoder gives no more until a seek's
    // flush starts it again: without that the sound's clock stays at the end
    // and the pictures after the seek race to catch up with it.
    bool drained = received == AVERROR_EOF;
    bool flush = false;
    if (paused || audioq.Get(audio_pkt.get(), flush, false) <= 0) return -1;
    if (flush) {
      avcodec.avcodec_flush_buffers(audio_ctx.get());
      audio_clock = -1;
      continue;
    }
    if (drained) {
      avcodec.av_packet_unref(audio_pkt.get());
      return -1;
    }
    if (avcodec.avcodec_send_packet(audio_ctx.get(), audio_pkt->data ? audio_pkt.get() : nullptr) < 0)
      Log(TLogLevel::llError, "avcodec_decode_audio2() failed");
    avcodec.av_packet_unref(audio_pkt.get());
  }
}

void TVideoState::AudioDisplayLocked() {
  TShowAudio show = Owner.FShowAudio;
  if (show == TShowAudio::saNone || Owner.DisableDisplay || !Owner.FScreen) return;
  int width = Owner.ScreenWidth, height = Owner.ScreenHeight;
  if (width <= 0 || height <= 0) return;
  int64_t now = avutil.av_gettime_relative();
  if (now - last_display_time < Owner.rdftspeed * 1000LL) return;
  last_display_time = now;

  // The newest samples of the first channel, oldest first: one per column
  // for the wave, the last SpectrumSize for the spectrum.
  size_t count = std::max<size_t>(width, SpectrumSize);
  std::vector<int16_t> samples(count);
  sdl.SDL_LockAudioDevice(audio_dev);
  size_t channels = std::max(audio_channels, 1);
  size_t size = sample_array.size();
  for (size_t i = 0; i < count && size; ++i) {
    size_t back = (count - i) * channels;
    samples[i] = sample_array[(sample_array_index + size - back % size) % size];
  }
  sdl.SDL_UnlockAudioDevice(audio_dev);

  if (display.Width() != width || display.Height() != height) display.SetSize(width, height, 32);
  std::memset(display.Bits(), 0, static_cast<size_t>(display.Stride()) * height);
  auto plot = [&](int x, int y) {
    if (x >= 0 && x < width && y >= 0 && y < height) reinterpret_cast<uint32_t*>(display.ScanLine(y))[x] = 0xFFFFFFFF;
  };
  if (show == TShowAudio::saWave) {
    int middle = height / 2;
    const int16_t* wave = samples.data() + (count - width);
    for (int x = 0; x < width; ++x) {
      int y = middle - wave[x] * (height / 2) / 32768;
      for (int row = std::min(y, middle); row <= std::max(y, middle); ++row) plot(x, row);
    }
  } else {
    // One band every few columns; the turning factors are computed once.
    static const std::vector<std::pair<double, double>> turns = [] {
      std::vector<std::pair<double, double>> table(SpectrumSize);
      for (int m = 0; m < SpectrumSize; ++m)
        table[m] = {std::cos(2 * M_PI * m / SpectrumSize), std::sin(2 * M_PI * m / SpectrumSize)};
      return table;
    }();
    const int16_t* newest = samples.data() + (count - SpectrumSize);
    int bands = SpectrumSize / 2;
    for (int k = 0; k < bands; ++k) {
      double re = 0, im = 0;
      for (int n = 0; n < SpectrumSize; ++n) {
        double sample = newest[n] / 32768.0;
        const auto& [cosine, sine] = turns[k * n % SpectrumSize];
        re += sample * cosine;
        im -= sample * sine;
      }
      int bar = std::min(height, static_cast<int>(std::sqrt(re * re + im * im) * height / 16));
      for (int x = k * width / bands; x < (k + 1) * width / bands; ++x)
        for (int y = height - bar; y < height; ++y) plot(x, y);
    }
  }
  Owner.FScreen->ShowPicture(display, 0, 0, static_cast<int64_t>(AudioClock() * 1e6) - StartTime);
}

}  // namespace vidora
