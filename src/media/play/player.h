// The preview player: plays a media file onto a surface the host paints,
// with its sound through SDL, and reports position and state changes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "media/base/bitmap.h"
#include "media/base/base_component.h"
#include "media/base/event.h"
#include "media/base/loader.h"
#include "media/base/rgb_convert.h"
#include "media/decode/decoder.h"
#include "media/play/play_event.h"

namespace vidora {

enum class TPlayState { psPlay, psPause, psResume, psStep, psStop, psEnd };
enum class TShowAudio { saNone, saWave, saRDFT };
enum class TRepeatType { rtNone, rtStop, rtLoop };
enum class TAudioDriver { adDefault, adDirectSound, adWaveOut };
enum class TVideoDriver { vdDefault, vdDirectDraw, vdGDI };
enum class Tav_sync_type { AV_SYNC_AUDIO_MASTER, AV_SYNC_VIDEO_MASTER, AV_SYNC_EXTERNAL_CLOCK };

// Where the pictures go: the host's video panel, or a capturing surface in tests.
class IPlayerSurface {
 public:
  virtual ~IPlayerSurface() = default;
  virtual void ClientSize(int& width, int& height) = 0;
  // A 32-bit picture to paint with its top left at (x, y) of the client area.
  virtual void ShowPicture(const TBitmap& picture, int x, int y, int64_t pts) = 0;
  virtual void Clear() = 0;
};

struct TVideoState;

class TCustomPlayer : public TFFBaseComponent {
 public:
  using TFileOpenEvent = std::function<void(const void* sender, int64_t duration, int32_t frameWidth,
                                            int32_t frameHeight, int32_t& screenWidth, int32_t& screenHeight)>;
  using TPositionEvent = std::function<void(const void* sender, int64_t pts)>;
  using TPlayStateEvent = std::function<void(const void* sender, TPlayState state)>;
  // A displayed picture as a bitmap; leaving `update` true puts a changed bitmap back.
  using TVideoHookEvent = std::function<void(const void* sender, TBitmap& bitmap, int64_t pts, bool& update)>;
  // A decoded block of signed 16-bit interleaved samples.
  using TAudioHookEvent = std::function<void(const void* sender, int64_t pts, const uint8_t* samples, int size,
                                             int sampleRate, int channels)>;

  TCustomPlayer();
  ~TCustomPlayer() override;
  TCustomPlayer(const TCustomPlayer&) = delete;
  TCustomPlayer& operator=(const TCustomPlayer&) = delete;

  bool AVLibLoaded() const;
  bool LoadAVLib(const std::string& path);
  void UnloadAVLib();

  bool Open(const std::string& fileName, IPlayerSurface* surface, bool paused = false);
  void Stop(bool waitForStop);
  void Pause();
  void Resume();
  void TogglePause();
  void StepToNextFrame();
  void ToggleAudioDisplay();
  void Seek(int64_t pts, int seekFlags = 0, bool waitForSeekEnd = false);
  void Seek(double delta, int seekFlags, bool waitForSeekEnd);
  // The picture on screen as a 32-bit bitmap; false (and pts -1) without one.
  bool CurrentFrame(TBitmap& bitmap, int64_t& pts);

  const std::string& LastErrMsg() const { return FLastErrMsg; }
  const std::string& FileName() const { return FFileName; }
  IPlayerSurface* ScreenHandle() const { return FScreen; }
  TFFDecoder& Decoder() { return FDecoder; }

  bool Paused() const;
  TPlayState PlayState() const { return FState; }
  bool Seeking() const { return FSeeking; }
  int64_t CurrentPTS() const { return FCurrentPTS; }

  int AudioStreamIndex() const;
  int VideoStreamIndex() const;
  int SubtitleStreamIndex() const;
  void SetAudioStreamIndex(int index);
  void SetVideoStreamIndex(int index);
  void SetSubtitleStreamIndex(int index);

  // Throws std::invalid_argument "Unknown input format: %s".
  void SetForceFormat(const std::string& name);
  const std::string& ForceFormat() const { return FForceFormat; }

  void SetAspectRatio(float ratio);
  float AspectRatio() const { return FAspectRatio; }
  void SetAudioVolume(int volume) { FAudioVolume = volume < 0 ? 0 : volume > 128 ? 128 : volume; }
  int AudioVolume() const { return FAudioVolume; }
  void SetMute(bool mute) { FMute = mute; }
  bool Mute() const { return FMute; }
  // Microseconds to play from the start (or start_time); none: to the end.
  void SetPlayTime(std::optional<int64_t> time) { FPlayTime = time; }
  void SetRepeatType(TRepeatType type) { FRepeatType = type; }
  void SetShowAudio(TShowAudio show) { FShowAudio = show; }
  TShowAudio ShowAudio() const { return FShowAudio; }
  void SetVerticalFlip(bool flip) { FVerticalFlip = flip; }
  void SetAudioDriver(TAudioDriver driver) { FAudioDriver = driver; }
  void SetVideoDriver(TVideoDriver driver) { FVideoDriver = driver; }
  void SetTriggerEventInMainThread(bool inMainThread) { FTriggerEventInMainThread = inMainThread; }
  void SetVideoHook(bool on) { FVideoHook = on; }
  void SetAudioHook(bool on) { FAudioHook = on; }
  void SetVideoHookBitsPixel(int bits) { FVideoHookBitsPixel = bits; }

  // Playback options, read at Open.
  bool DisableAudio = false;
  bool DisableVideo = false;
  bool DisableDisplay = false;
  int ScreenWidth = 0;  // 0: the surface's client size at Open
  int ScreenHeight = 0;
  int Fsws_flags = SWS_BICUBIC;
  std::optional<int64_t> start_time;  // µs
  int wanted_audio_stream = -1;
  int wanted_video_stream = -1;
  int wanted_subtitle_stream = -1;
  int seek_by_bytes = -1;
  Tav_sync_type av_sync_type = Tav_sync_type::AV_SYNC_AUDIO_MASTER;
  int rdftspeed = 20;  // ms between audio display pictures
  // Decoder settings, as the library names them.
  int workaround_bugs = 1;
  bool fast = false;
  bool genpts = false;
  int lowres = 0;
  int idct_algo = 0;
  AVDiscard skip_frame = AVDISCARD_DEFAULT, skip_idct = AVDISCARD_DEFAULT, skip_loop_filter = AVDISCARD_DEFAULT;
  int error_concealment = 3;
  int decoder_reorder_pts = -1;  // -1: the library's best guess, 1: the picture's own time, 0: the packet's
  int framedrop = 0;             // 1: late pictures are dropped when another one waits

  void SetOnFileOpen(TFileOpenEvent handler) { FOnFileOpen = std::move(handler); }
  void SetOnPosition(TPositionEvent handler) { FOnPosition = std::move(handler); }
  void SetOnState(TPlayStateEvent handler) { FOnPlayState = std::move(handler); }
  void SetOnVideoHook(TVideoHookEvent handler) { FOnVideoHook = std::move(handler); }
  void SetOnAudioHook(TAudioHookEvent handler) { FOnAudioHook = std::move(handler); }

 private:
  friend struct TVideoState;

  bool Fail(const std::string& message);
  void Deliver(const std::function<void()>& call);
  void PostState(TPlayState state);
  void StartEventThread();
  void StopEventThread();
  void EventLoop();
  static int PlayThreadMain(void* player);
  void PlayLoop();
  void CloseStream();
  void ShutSDL();
  void PostQuit();
  void JoinPlayThread();
  void TogglePauseState();
  // The ...Locked ones run with FDataLock held (from the play loop or a host call).
  void RequestSeekLocked(int64_t target, int64_t relative, int flags);
  void WaitForSeekEnd();
  void ReportPositionLocked();
  void SwitchStream(int type, int index);

  // The host's thread: loading, opening and closing; the file's decoder is
  // used by the reading thread while the file is open.
  TComponentLibraries FLibraries{PlayerLibraries};
  std::string FLastErrMsg;
  std::string FFileName;
  std::string FForceFormat;
  IPlayerSurface* FScreen = nullptr;
  TFFDecoder FDecoder;
  bool FSDLStarted = false;
  bool FAudioStarted = false;

  // Guarded by FDataLock: the open file's playback state, shared by the play
  // loop and the host's calls (FLastPTS is the play loop's, under the lock).
  std::unique_ptr<TVideoState> FVideoState;
  mutable std::recursive_timed_mutex FDataLock;
  std::optional<int64_t> FLastPTS;

  // The play and event threads, started and joined by the host's thread, and
  // the events they signal.
  TEvent FSeekEvent{true}, FPictEvent{true}, FStopEvent{true};
  TPlayEvent FPlayEvent;
  SDL_Thread* FPlayThread = nullptr;
  std::thread FEventThread;
  std::atomic<bool> FEventThreadTerminated{false};
  TEvent FEventThreadEnded{false};

  // Read from any thread.
  std::atomic<bool> FStreamOpen{false};
  std::atomic<bool> FDestroying{false};
  std::atomic<TPlayState> FState{TPlayState::psStop};
  std::atomic<bool> FSeeking{false};
  std::atomic<int64_t> FCurrentPTS{-1};
  std::atomic<TShowAudio> FShowAudio{TShowAudio::saWave};  // the host switches it while the play loop draws

  // Settings: set by the host, read by the threads.
  float FAspectRatio = 0;
  std::atomic<int> FAudioVolume{128};
  std::atomic<bool> FMute{false};
  std::optional<int64_t> FPlayTime;
  TRepeatType FRepeatType = TRepeatType::rtStop;
  bool FVerticalFlip = false;
  TAudioDriver FAudioDriver = TAudioDriver::adDefault;
  TVideoDriver FVideoDriver = TVideoDriver::vdDefault;
  bool FTriggerEventInMainThread = true;
  std::atomic<bool> FVideoHook{false};  // the host switches it while pictures are shown
  bool FAudioHook = false;
  int FVideoHookBitsPixel = 24;

  // Guarded by FDataLock while a file plays: the conversions of the picture on screen.
  TRGBConvertContext FRGBContext{32}, FHookContext{24};

  // Handlers: set by the host, looked at where they run.
  TFileOpenEvent FOnFileOpen;
  TPositionEvent FOnPosition;
  TPlayStateEvent FOnPlayState;
  TVideoHookEvent FOnVideoHook;
  TAudioHookEvent FOnAudioHook;
};

using TFFPlayer = TCustomPlayer;

}  // namespace vidora
