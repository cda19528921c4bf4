// Decoding pictures into the picture queue, showing each when its time has
// come, and the clocks the timing is measured against.
#include <cmath>

#include "media/base/bindings.h"
#include "media/base/logger.h"
#include "media/base/rgb_convert.h"
#include "media/play/player.h"
#include "media/play/video_state.h"

namespace vidora {

namespace {
double Now() { return avutil.av_gettime_relative() / 1e6; }
}  // namespace

int TVideoState::VideoThreadMain(void* state) {
  static_cast<TVideoState*>(state)->VideoThread();
  return 0;
}

void TVideoState::VideoThread() {
  TPacketPtr packet = NewPacket();
  TFramePtr frame = NewFrame();
  AVRational rate = video_st->avg_frame_rate;
  double frameDuration = rate.num > 0 && rate.den > 0 ? double(rate.den) / rate.num : 0.04;
  int pictureSerial = serial;
  double lastPts = 0;  // for pictures without a time of their own
  // The newest picture skipped after a seek: shown if none at or after the target follows.
  TFramePtr skipped = NewFrame();
  double skippedPts = 0;
  bool haveSkipped = false;
  auto queuePicture = [&](AVFrame* source, double pts) {
    sdl.SDL_LockMutex(pictq_mutex.get());
    while (pictq.size() >= PictureQueueSize && !video_abort)
      sdl.SDL_CondWaitTimeout(pictq_cond.get(), pictq_mutex.get(), 100);
    if (!video_abort) {
      TPicture picture{NewFrame(), pts, pictureSerial};
      if (picture.Frame) {
        avutil.av_frame_move_ref(picture.Frame.get(), source);
        pictq.push_back(std::move(picture));
      }
    }
    sdl.SDL_UnlockMutex(pictq_mutex.get());
    avutil.av_frame_unref(source);
  };
  while (packet && frame && skipped && !video_abort) {
    bool flush = false;
    if (videoq.Get(packet.get(), flush, true) < 0) break;
    if (flush) {
      avcodec.avcodec_flush_buffers(video_ctx.get());
      pictureSerial = serial;
      haveSkipped = false;
      avutil.av_frame_unref(skipped.get());
      sdl.SDL_LockMutex(pictq_mutex.get());
      pictq.clear();
      sdl.SDL_CondSignal(pictq_cond.get());
      sdl.SDL_UnlockMutex(pictq_mutex.get());
      continue;
    }
    // An empty packet drains the decoder at the end of the file.
    bool draining = packet->data == nullptr;
    avcodec.avcodec_send_packet(video_ctx.get(), draining ? nullptr : packet.get());
    avcodec.av_packet_unref(packet.get());
    int received;
    while ((received = avcodec.avcodec_receive_frame(video_ctx.get(), frame.get())) == 0 && !video_abort) {
      int reorder = Owner.decoder_reorder_pts;
      int64_t stamp = reorder < 0 ? frame->best_effort_timestamp : reorder > 0 ? frame->pts : frame->pkt_dts;
      double pts = stamp == AV_NOPTS_VALUE ? lastPts + frameDuration : stamp * av_q2d(video_st->time_base);
      lastPts = pts;
      // After a seek, pictures before the target are decoded but not shown.
      if (pts + frameDuration <= seek_target) {
        avutil.av_frame_unref(skipped.get());
        avutil.av_frame_move_ref(skipped.get(), frame.get());
        skippedPts = pts;
        haveSkipped = true;
        continue;
      }
      haveSkipped = false;
      queuePicture(frame.get(), pts);
    }
    // A seek beyond the last picture shows the last picture.
    if (received == AVERROR_EOF && haveSkipped) {
      haveSkipped = false;
      queuePicture(skipped.get(), skippedPts);
    }
  }
}

bool TVideoState::AudioIsMaster() const {
  return Owner.av_sync_type == Tav_sync_type::AV_SYNC_AUDIO_MASTER && audio_stream >= 0 && audio_clock >= 0;
}

double TVideoState::AudioClock() const {
  double clock = audio_clock;
  if (clock < 0 || audio_rate <= 0) return clock;
  double bytesPerSecond = audio_rate * audio_channels * 2.0;
  // What the device still has to play lies behind the decoded end.
  double buffered = (2.0 * audio_hw_buf_size + audio_buffered) / bytesPerSecond;
  double since = paused ? 0 : avutil.av_gettime_relative() / 1e6 - audio_callback_time / 1e6;
  return clock - buffered + std::min(since, buffered);
}

double TVideoState::ExternalClock() const {
  int64_t now = paused ? pause_start : avutil.av_gettime_relative();
  return (StartTime + now - external_start) / 1e6;
}

double TVideoState::VideoClock() const { return video_clock; }

double TVideoState::MasterClock() const {
  if (AudioIsMaster()) return AudioClock();
  if (Owner.av_sync_type == Tav_sync_type::AV_SYNC_VIDEO_MASTER && video_stream >= 0) return VideoClock();
  return ExternalClock();
}

double TVideoState::VideoRefreshLocked() {
  if (video_stream < 0) {
    if (audio_stream >= 0) {
      AudioDisplayLocked();
      Owner.ReportPositionLocked();
    }
    return Owner.rdftspeed / 1000.0;
  }
  if (paused && !force_refresh) return 0.01;
  sdl.SDL_LockMutex(pictq_mutex.get());
  while (!pictq.empty() && pictq.front().Serial != serial) pictq.pop_front();
  if (pictq.empty()) {
    sdl.SDL_UnlockMutex(pictq_mutex.get());
    if (ReachEOF) Owner.ReportPositionLocked();
    return 0.01;
  }
  const TPicture& picture = pictq.front();
  double now = Now();
  if (force_refresh) {
    frame_timer = now;
  } else {
    double delay = picture.PTS - frame_last_pts;
    if (delay <= 0 || delay >= 10)
      delay = frame_last_delay;
    else
      frame_last_delay = delay;
    if (!(Owner.av_sync_type == Tav_sync_type::AV_SYNC_VIDEO_MASTER)) {
      double diff = picture.PTS - MasterClock();
      double threshold = std::max(delay, 0.01);
      if (std::fabs(diff) < 10) {
        if (diff <= -threshold)
          delay = 0;
        else if (diff >= threshold)
          delay = 2 * delay;
      }
    }
    if (now < frame_timer + delay) {
      sdl.SDL_UnlockMutex(pictq_mutex.get());
      return frame_timer + delay - now;
    }
    frame_timer += delay;
    if (now - frame_timer > 0.1) frame_timer = now;
    // A picture already late for the one after it gives way to that one.
    if (Owner.framedrop > 0 && pictq.size() > 1 && !step && now > frame_timer + (pictq[1].PTS - picture.PTS)) {
      frame_last_pts = picture.PTS;
      pictq.pop_front();
      sdl.SDL_CondSignal(pictq_cond.get());
      sdl.SDL_UnlockMutex(pictq_mutex.get());
      return 0;
    }
  }
  TPicture next = std::move(pictq.front());
  pictq.pop_front();
  sdl.SDL_CondSignal(pictq_cond.get());
  sdl.SDL_UnlockMutex(pictq_mutex.get());

  force_refresh = false;
  frame_last_pts = next.PTS;
  DisplayPictureLocked(std::move(next));
  Owner.FSeeking = false;
  Owner.FPictEvent.Set();
  if (step) {
    step = false;
    if (!paused) Owner.TogglePauseState();
  }
  Owner.ReportPositionLocked();
  return 0;
}

void TVideoState::DisplayPictureLocked(TPicture picture, bool hook) {
  AVFrame* frame = picture.Frame.get();
  int64_t pts = static_cast<int64_t>(picture.PTS * 1e6) - StartTime;
  if (hook && Owner.FVideoHook && Owner.FOnVideoHook) {
    TRGBConvertContext& context = Owner.FHookContext;
    if (context.BitsPixel() != Owner.FVideoHookBitsPixel) context.Reset(Owner.FVideoHookBitsPixel);
    context.Attach(frame);
    bool update = true;
    try {
      Owner.FOnVideoHook(&Owner, context.Bitmap(), pts, update);
    } catch (const std::exception& error) {
      FFLogger().Log(&Owner, TLogLevel::llError, "Error occurs OnVideoHook: %s", error.what());
      update = false;
    }
    using TResult = TRGBConvertContext::THookResult;
    TResult result = context.FinishHook(frame, update, false);
    if (result == TResult::ToRGBFailed)
      FFLogger().Log(&Owner, TLogLevel::llError, "Cannot initialize the toRGB conversion context");
    else if (result == TResult::NoMemory || result == TResult::FromRGBFailed)
      FFLogger().Log(&Owner, TLogLevel::llError, "Cannot initialize the fromRGB conversion context");
  }
  shown = std::move(picture.Frame);
  video_clock = picture.PTS;
  video_clock_time = avutil.av_gettime_relative();
  if (!Owner.FScreen || Owner.DisableDisplay) return;

  // Fit the picture into the screen with its shape kept.
  int screenWidth = Owner.ScreenWidth, screenHeight = Owner.ScreenHeight;
  if (screenWidth <= 0 || screenHeight <= 0) return;
  double aspect = Owner.FAspectRatio;
  if (aspect <= 0) {
    AVRational sar = avformat.av_guess_sample_aspect_ratio(ic, video_st, frame);
    aspect = (sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0) * frame->width / std::max(frame->height, 1);
  }
  int height = screenHeight;
  int width = static_cast<int>(std::lround(height * aspect)) & ~1;
  if (width > screenWidth || width <= 0) {
    width = screenWidth;
    height = static_cast<int>(std::lround(width / aspect)) & ~1;
  }
  width = std::max(width, 2);
  height = std::max(std::min(height, screenHeight), 2);
  if (display.Width() != width || display.Height() != height) display.SetSize(width, height, 32);
  // The library frees the old scaler when it makes a new one.
  display_sws.reset(swscale.sws_getCachedContext(display_sws.release(), frame->width, frame->height,
                                                 static_cast<AVPixelFormat>(frame->format), width, height,
                                                 AV_PIX_FMT_BGRA, Owner.Fsws_flags, nullptr, nullptr, nullptr));
  if (!display_sws || !ScaleRows(display_sws.get(), frame->data, frame->linesize, frame->height, display.Bits(),
                                 display.Stride(), width, height, AV_PIX_FMT_BGRA, display_staging,
                                 Owner.FVerticalFlip))
    return;
  Owner.FScreen->ShowPicture(display, (screenWidth - width) / 2, (screenHeight - height) / 2, pts);
}

}  // namespace vidora
