#include "media/play/player.h"

#include <cmath>

#include "media/base/bindings.h"
#include "media/base/libraries.h"
#include "media/base/loader.h"
#include "media/base/logger.h"
#include "media/base/main_thread.h"
#include "media/base/text_format.h"
#include "media/play/video_state.h"

namespace vidora {

namespace {

// The player's own SDL events, registered once per process.
enum TUserEvent { evRefresh = 1, evQuit = 2, evReallocate = 3, evCount = 4 };

uint32_t UserEventBase() {
  static uint32_t base = sdl.SDL_RegisterEvents(evCount);
  return base;
}

}  // namespace

TCustomPlayer::TCustomPlayer() : TFFBaseComponent("2.6") {}

TCustomPlayer::~TCustomPlayer() {
  // Positions and sound blocks are no longer handed out; the threads that
  // would hand them out may still be running until Stop returns.
  FDestroying = true;
  if (AVLibLoaded()) Stop(true);
  StopEventThread();
}

bool TCustomPlayer::AVLibLoaded() const { return FLibraries.Loaded(); }

bool TCustomPlayer::LoadAVLib(const std::string& path) { return FLibraries.Load(path, FLastErrMsg); }

void TCustomPlayer::UnloadAVLib() {
  if (AVLibLoaded()) Stop(true);
  FLibraries.Unload();
}

bool TCustomPlayer::Fail(const std::string& message) {
  FLastErrMsg = message;
  FFLogger().Log(this, TLogLevel::llError, message);
  return false;
}

void TCustomPlayer::Deliver(const std::function<void()>& call) {
  if (FTriggerEventInMainThread)
    RunInMainThread(call);
  else
    call();
}

bool TCustomPlayer::Open(const std::string& fileName, IPlayerSurface* surface, bool paused) {
  if (!AVLibLoaded()) return Fail("libav or libsdl not loaded.");
  Stop(true);
  static const char* const audioDrivers[] = {nullptr, "directsound", "winmm"};
  if (const char* driver = audioDrivers[static_cast<int>(FAudioDriver)]) sdl.SDL_SetHint(SDL_HINT_AUDIODRIVER, driver);
  if (FVideoDriver != TVideoDriver::vdDefault) sdl.SDL_SetHint(SDL_HINT_VIDEODRIVER, "windows");
  // The host's signals stay the host's.
  sdl.SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (sdl.SDL_InitSubSystem(SDL_INIT_EVENTS | SDL_INIT_TIMER) < 0)
    return Fail(Format("Could not initialize SDL with ScreenHandle(%u): %s",
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(surface)), sdl.SDL_GetError()));
  FSDLStarted = true;
  // Without a sound device the pictures still play.
  FAudioStarted = !DisableAudio && sdl.SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (FAudioStarted)
    FFLogger().Log(this, TLogLevel::llVerbose, "using audio driver: %s\n", sdl.SDL_GetCurrentAudioDriver());
  if (DisableDisplay) DisableVideo = true;
  UserEventBase();

  auto state = std::make_unique<TVideoState>(*this);
  state->FileName = fileName;
  if (!state->Start(paused)) {
    std::string message = state->OpenError;
    state.reset();
    ShutSDL();
    return Fail(message);
  }
  {
    std::lock_guard lock(FDataLock);
    FVideoState = std::move(state);
  }
  FStreamOpen = true;
  FFileName = fileName;
  FScreen = surface;
  FLastPTS.reset();
  FCurrentPTS = -1;
  FSeeking = false;
  FSeekEvent.Set();
  FPictEvent.Set();

  if (FOnFileOpen) {
    FRGBContext.Reset(32);
    FHookContext.Reset(FVideoHookBitsPixel);
    TVideoState& is = *FVideoState;
    int64_t duration = is.IsImage2 ? 0 : is.Duration;
    int32_t width = is.video_ctx ? is.video_ctx->width : -1;
    int32_t height = is.video_ctx ? is.video_ctx->height : -1;
    int32_t screenWidth = ScreenWidth, screenHeight = ScreenHeight;
    Deliver([&] { FOnFileOpen(this, duration, width, height, screenWidth, screenHeight); });
    ScreenWidth = screenWidth;
    ScreenHeight = screenHeight;
  }
  if ((ScreenWidth == 0 || ScreenHeight == 0) && surface) surface->ClientSize(ScreenWidth, ScreenHeight);

  StartEventThread();
  FStopEvent.Reset();
  FPlayThread = sdl.SDL_CreateThread(PlayThreadMain, "vidora-play", this);
  if (!FPlayThread) {
    CloseStream();
    PostState(TPlayState::psStop);
    FStopEvent.Set();
    ShutSDL();
    return Fail("SDL_CreateThread() failed.");
  }
  return true;
}

int TCustomPlayer::PlayThreadMain(void* player) {
  static_cast<TCustomPlayer*>(player)->PlayLoop();
  return 0;
}

void TCustomPlayer::PlayLoop() {
  PostState(TPlayState::psPlay);
  const uint32_t base = UserEventBase();
  try {
    for (;;) {
      double wait;
      {
        std::lock_guard lock(FDataLock);
        if (!FVideoState) break;
        wait = FVideoState->VideoRefreshLocked();
      }
      int timeout = static_cast<int>(std::clamp(wait * 1000, 0.0, 100.0));
      SDL_Event event;
      if (!sdl.SDL_WaitEventTimeout(&event, std::max(timeout, 1))) continue;
      if (event.type < base + evRefresh || event.type >= base + evCount) continue;
      if (event.user.data1 != this) {
        // Another player's event: back into the queue for its own loop.
        sdl.SDL_PushEvent(&event);
        sdl.SDL_Delay(1);
        continue;
      }
      std::lock_guard lock(FDataLock);
      if (event.type == base + evQuit) {
        CloseStream();
        break;
      }
      if (event.type == base + evReallocate && FVideoState && FVideoState->shown) {
        TPicture again{std::move(FVideoState->shown), FVideoState->video_clock, FVideoState->serial};
        FVideoState->DisplayPictureLocked(std::move(again), false);
      }
    }
  } catch (const std::exception& error) {
    FFLogger().Log(this, TLogLevel::llFatal, "PlayThread Exception: %s", error.what());
    std::lock_guard lock(FDataLock);
    CloseStream();
  }
  PostState(TPlayState::psStop);
  FStopEvent.Set();
}

void TCustomPlayer::CloseStream() {
  std::lock_guard lock(FDataLock);
  FStreamOpen = false;
  FVideoState.reset();
}

void TCustomPlayer::ShutSDL() {
  if (FAudioStarted) sdl.SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (FSDLStarted) sdl.SDL_QuitSubSystem(SDL_INIT_EVENTS | SDL_INIT_TIMER);
  FAudioStarted = FSDLStarted = false;
}

void TCustomPlayer::PostQuit() {
  SDL_Event event{};
  event.type = UserEventBase() + evQuit;
  event.user.data1 = this;
  if (FSDLStarted) sdl.SDL_PushEvent(&event);
}

void TCustomPlayer::JoinPlayThread() {
  if (FPlayThread) sdl.SDL_WaitThread(FPlayThread, nullptr);
  FPlayThread = nullptr;
}

void TCustomPlayer::Stop(bool waitForStop) {
  if (FStreamOpen) {
    {
      std::lock_guard lock(FDataLock);
      if (FVideoState && FVideoState->paused) {
        FVideoState->step = false;
        TogglePauseState();
      }
    }
    PostQuit();
  }
  if (!waitForStop) return;
  int attempts = 0;
  while (FPlayThread && !FStopEvent.WaitFor(std::chrono::milliseconds(100))) {
    ProcessPendingCalls();
    if (!FStreamOpen) continue;
    std::unique_lock lock(FDataLock, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::milliseconds(100))) continue;
    // The play loop may be slow to see the request: ask again, then close it ourselves.
    if (++attempts <= 10)
      PostQuit();
    else
      CloseStream();
  }
  JoinPlayThread();
  ShutSDL();
}

bool TCustomPlayer::Paused() const {
  std::lock_guard lock(FDataLock);
  const TVideoState* is = FVideoState.get();
  return !FStreamOpen || !is || is->paused;
}

void TCustomPlayer::TogglePauseState() {
  std::lock_guard lock(FDataLock);
  TVideoState* is = FVideoState.get();
  if (!is) return;
  FSeekEvent.WaitFor(std::chrono::milliseconds(250));
  FSeekEvent.Set();
  int64_t now = avutil.av_gettime_relative();
  if (is->paused) {
    // Time spent paused does not count against the pictures' timing.
    is->frame_timer += (now - is->pause_start) / 1e6;
    is->external_start += now - is->pause_start;
  } else {
    is->pause_start = now;
    if (is->video_stream >= 0) {
      FPictEvent.WaitFor(std::chrono::milliseconds(250));
      FPictEvent.Set();
    }
  }
  is->paused = !is->paused;
  if (is->audio_dev) sdl.SDL_PauseAudioDevice(is->audio_dev, is->paused ? 1 : 0);
}

void TCustomPlayer::Pause() {
  std::lock_guard lock(FDataLock);
  if (!FVideoState || FVideoState->paused) return;
  TogglePauseState();
  FVideoState->step = false;
  PostState(TPlayState::psPause);
}

void TCustomPlayer::Resume() {
  std::lock_guard lock(FDataLock);
  if (!FVideoState || !FVideoState->paused) return;
  TogglePauseState();
  FVideoState->step = false;
  PostState(TPlayState::psResume);
}

void TCustomPlayer::TogglePause() {
  std::lock_guard lock(FDataLock);
  if (!FVideoState) return;
  TogglePauseState();
  FVideoState->step = false;
  PostState(FVideoState->paused ? TPlayState::psPause : TPlayState::psResume);
}

void TCustomPlayer::StepToNextFrame() {
  std::lock_guard lock(FDataLock);
  if (!FVideoState) return;
  if (FVideoState->paused) TogglePauseState();
  bool stepping = FVideoState->step.exchange(true);
  if (!stepping) PostState(TPlayState::psStep);
}

void TCustomPlayer::ToggleAudioDisplay() {
  FShowAudio = FShowAudio == TShowAudio::saWave    ? TShowAudio::saRDFT
               : FShowAudio == TShowAudio::saRDFT ? TShowAudio::saNone
                                                  : TShowAudio::saWave;
  if (FScreen && FStreamOpen) FScreen->Clear();
}

void TCustomPlayer::RequestSeekLocked(int64_t target, int64_t relative, int flags) {
  TVideoState* is = FVideoState.get();
  if (is->seek_req) return;
  FSeeking = true;
  is->seek_paused = is->paused;
  is->seek_pos = target;
  is->seek_rel = relative;
  is->seek_flags = flags;  // the set's bits are the library's seek flags
  FSeekEvent.Reset();
  if (is->video_stream >= 0) FPictEvent.Reset();
  is->seek_req = true;
}

void TCustomPlayer::Seek(int64_t pts, int seekFlags, bool waitForSeekEnd) {
  {
    std::lock_guard lock(FDataLock);
    TVideoState* is = FVideoState.get();
    if (!is) return;
    int64_t target = pts;
    if (!(seekFlags & AVSEEK_FLAG_BYTE)) {
      if (is->Duration > 0) target = std::min(pts, is->Duration);
      if (is->ic->start_time != AV_NOPTS_VALUE) target += is->ic->start_time;
    }
    RequestSeekLocked(target, 0, seekFlags);
  }
  if (waitForSeekEnd) WaitForSeekEnd();
}

void TCustomPlayer::Seek(double delta, int seekFlags, bool waitForSeekEnd) {
  {
    std::lock_guard lock(FDataLock);
    TVideoState* is = FVideoState.get();
    if (!is) return;
    if (seekFlags & AVSEEK_FLAG_BYTE) {
      int64_t position = is->ic->pb ? avformat.avio_seek(is->ic->pb, 0, SEEK_CUR) : 0;
      double perSecond = is->ic->bit_rate > 0 ? is->ic->bit_rate / 8.0 : 180000.0;
      int64_t amount = static_cast<int64_t>(perSecond * delta);
      RequestSeekLocked(position + amount, amount, seekFlags);
    } else {
      // Relative to the picture on screen, or to the sound without pictures.
      double position = is->video_stream >= 0 ? is->VideoClock() : is->MasterClock();
      if (std::isnan(position) || position < 0) position = is->StartTime / double(AV_TIME_BASE);
      RequestSeekLocked(static_cast<int64_t>((position + delta) * AV_TIME_BASE),
                  static_cast<int64_t>(delta * AV_TIME_BASE), seekFlags);
    }
  }
  if (waitForSeekEnd) WaitForSeekEnd();
}

void TCustomPlayer::WaitForSeekEnd() {
  // Bounded, so that a file that stops giving pictures cannot hold the caller.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  auto wait = [&](TEvent& event) {
    while (FStreamOpen && !event.WaitFor(std::chrono::milliseconds(10)) && std::chrono::steady_clock::now() < deadline)
      ProcessPendingCalls();
  };
  wait(FSeekEvent);
  wait(FPictEvent);
}

bool TCustomPlayer::CurrentFrame(TBitmap& bitmap, int64_t& pts) {
  std::lock_guard lock(FDataLock);
  TVideoState* is = FVideoState.get();
  pts = -1;
  if (!is || is->video_stream < 0) return false;
  if (!is->shown) {
    bitmap.SetSize(is->video_ctx->width, is->video_ctx->height, 32);
    return false;
  }
  if (!FRGBContext.ToRGB(is->shown.get())) return false;
  const TBitmap& picture = FRGBContext.Bitmap();
  bitmap.SetSize(picture.Width(), picture.Height(), picture.BitsPerPixel());
  std::copy(picture.Bits(), picture.Bits() + static_cast<size_t>(picture.Stride()) * picture.Height(), bitmap.Bits());
  pts = static_cast<int64_t>(is->video_clock * 1e6) - is->StartTime;
  return true;
}

void TCustomPlayer::SetAspectRatio(float ratio) {
  FAspectRatio = ratio;
  if (!FStreamOpen) return;
  SDL_Event event{};
  event.type = UserEventBase() + evReallocate;
  event.user.data1 = this;
  sdl.SDL_PushEvent(&event);
}

void TCustomPlayer::SetForceFormat(const std::string& name) {
  if (!AVLibLoaded()) {
    Fail("libav or libsdl not loaded.");
    return;
  }
  if (!name.empty() && !avformat.av_find_input_format(name.c_str()))
    throw std::invalid_argument(Format("Unknown input format: %s", name.c_str()));
  FForceFormat = name;
}

void TCustomPlayer::ReportPositionLocked() {
  TVideoState* is = FVideoState.get();
  if (!is || is->IsImage2) return;
  int64_t position;
  if (is->video_stream >= 0) {
    position = static_cast<int64_t>(is->video_clock * 1e6) - is->StartTime;
  } else if (is->audio_stream >= 0) {
    double clock = is->AudioClock();
    if (clock < 0) return;
    position = static_cast<int64_t>(clock * 1e6) - is->StartTime;
    if (is->AudioDuration > 0 && position >= is->AudioDuration && position < is->Duration) position = is->Duration;
  } else {
    return;
  }
  FCurrentPTS = position;
  if (is->Duration > 0 && position >= is->Duration) {
    position = is->Duration;
    if (FLastPTS != is->Duration) FLastPTS.reset();  // the end is always reported
  }
  if (!FLastPTS || std::llabs(position - *FLastPTS) > 10000) {
    FLastPTS = position;
    if (FOnPosition) FPlayEvent.Post(TPlayEventKind::Position, position);
  }
  // The end is announced once, when everything read has been played.
  sdl.SDL_LockMutex(is->pictq_mutex.get());
  bool drained = is->videoq.Packets() == 0 && is->audioq.Packets() == 0 && is->pictq.empty();
  sdl.SDL_UnlockMutex(is->pictq_mutex.get());
  if (!is->IsDevice && !is->EventEOF && is->ReachEOF && drained) {
    PostState(TPlayState::psEnd);
    is->EventEOF = true;
  }
  if (FPlayTime && position >= start_time.value_or(0) + *FPlayTime) {
    if (FRepeatType == TRepeatType::rtStop) {
      Stop(false);
    } else if (FRepeatType == TRepeatType::rtLoop && !is->seek_req) {
      int64_t target = start_time.value_or(0);
      if (is->ic->start_time != AV_NOPTS_VALUE) target += is->ic->start_time;
      RequestSeekLocked(target, 0, start_time ? 0 : AVSEEK_FLAG_ANY);
    }
  }
}

int TCustomPlayer::AudioStreamIndex() const {
  std::lock_guard lock(FDataLock);
  return FVideoState ? FVideoState->audio_stream.load() : -1;
}
int TCustomPlayer::VideoStreamIndex() const {
  std::lock_guard lock(FDataLock);
  return FVideoState ? FVideoState->video_stream.load() : -1;
}
int TCustomPlayer::SubtitleStreamIndex() const {
  std::lock_guard lock(FDataLock);
  return FVideoState ? FVideoState->subtitle_stream.load() : -1;
}
void TCustomPlayer::SetAudioStreamIndex(int index) { SwitchStream(AVMEDIA_TYPE_AUDIO, index); }
void TCustomPlayer::SetVideoStreamIndex(int index) { SwitchStream(AVMEDIA_TYPE_VIDEO, index); }
void TCustomPlayer::SetSubtitleStreamIndex(int index) { SwitchStream(AVMEDIA_TYPE_SUBTITLE, index); }

void TCustomPlayer::SwitchStream(int type, int index) {
  std::lock_guard lock(FDataLock);
  TVideoState* is = FVideoState.get();
  if (!is) return;
  auto refuse = [this](const char* message) { FFLogger().Log(this, TLogLevel::llError, "%s", message); };
  int current = type == AVMEDIA_TYPE_AUDIO ? is->audio_stream.load()
                : type == AVMEDIA_TYPE_VIDEO ? is->video_stream.load()
                                             : is->subtitle_stream.load();
  int count = static_cast<int>(is->ic->nb_streams);
  if (type != AVMEDIA_TYPE_SUBTITLE && (current < 0 || current >= count)) return refuse("the current stream is not valid.");
  if (index < (type == AVMEDIA_TYPE_SUBTITLE ? -1 : 0) || index >= count) return refuse("the stream index is not valid.");
  if (index >= 0) {
    AVCodecParameters* parameters = is->ic->streams[index]->codecpar;
    if (parameters->codec_type != type) return refuse("the stream type is not matched.");
    if (type == AVMEDIA_TYPE_AUDIO && (parameters->sample_rate <= 0 || parameters->ch_layout.nb_channels <= 0))
      return refuse("the audio stream is not invalid.");
  }
  if (index == current) return;
  is->StreamComponentClose(current);
  if (index >= 0) is->StreamComponentOpen(index);
}

}  // namespace vidora
