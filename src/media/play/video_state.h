// The playback core of one open file: the reading thread, one packet queue
// per stream, the video decoding thread with its picture queue, the audio
// callback that is also the master clock, and the picture timing.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "media/base/av_owners.h"
#include "media/base/bitmap.h"
#include "media/base/event.h"
#include "media/base/logger.h"
#include "media/base/media_headers.h"
#include "media/base/rgb_convert.h"

namespace vidora {

class TCustomPlayer;

// Packets of one stream between the reading thread and its decoder. A null
// entry with `Flush` tells the decoder to drop what it holds (after a seek).
class TPacketQueue {
 public:
  TPacketQueue();
  ~TPacketQueue();
  void Put(AVPacket* packet);  // takes the packet's reference
  void PutFlush();
  void PutEnd();  // an empty packet: drain the decoder
  // 1: got one, 0: none (not blocking), -1: aborted.
  int Get(AVPacket* packet, bool& flush, bool block);
  void Clear();
  void Abort();
  void Start();
  int Packets() const { return FPackets; }
  int64_t Bytes() const { return FBytes; }

 private:
  struct TEntry {
    TPacketPtr Packet;  // null for a flush
  };
  // Guarded by FMutex.
  std::deque<TEntry> FEntries;
  bool FAbort = false;
  TSDLMutexPtr FMutex;
  TSDLCondPtr FCond;
  // Written under FMutex, read without it (the reading thread's fill level).
  std::atomic<int> FPackets{0};
  std::atomic<int64_t> FBytes{0};
};

struct TPicture {
  TFramePtr Frame;
  double PTS = 0;  // seconds
  int Serial = 0;
};

struct TVideoState {
  explicit TVideoState(TCustomPlayer& owner);
  ~TVideoState();

  TCustomPlayer& Owner;

  // Written by the reading thread while it opens the file, before `Opened`
  // turns non-zero; read-only afterwards.
  std::string FileName;
  AVFormatContext* ic = nullptr;  // the owner's decoder owns it
  bool IsImage2 = false, IsDevice = false;
  int64_t StartTime = 0, Duration = 0, AudioDuration = 0;  // µs
  std::string OpenError;
  std::string AudioOpenError;

  // Shared by every thread of the state: atomics, each with one writer at a time.
  std::atomic<int> Opened{0};  // 1 opened, -1 failed
  TEvent OpenDone{false};  // set with Opened
  std::atomic<bool> ReachEOF{false};
  std::atomic<bool> EventEOF{false};  // the end was announced
  std::atomic<bool> abort_request{false};
  std::atomic<bool> paused{false};
  std::atomic<bool> step{false};
  std::atomic<bool> seek_req{false};
  std::atomic<int> serial{0};  // grows with every seek
  std::atomic<double> seek_target{0};  // seconds: pictures and sound before it are skipped after a seek
  std::atomic<int64_t> external_start{0};  // µs on the relative clock at the file's start time
  std::atomic<int> audio_stream{-1};
  std::atomic<int> video_stream{-1};
  std::atomic<bool> video_abort{false};
  std::atomic<bool> force_refresh{false};
  // The preview draws no subtitles: their packets are dropped as read.
  std::atomic<int> subtitle_stream{-1};

  // The seek request: written under the player's data lock before seek_req is
  // set, read by the reading thread after it sees seek_req.
  bool seek_paused = false;
  int64_t seek_pos = 0, seek_rel = 0;
  int seek_flags = 0;

  // The reading thread's own.
  bool last_paused = false;

  // The threads, started and joined by whoever opens and closes the streams.
  SDL_Thread* read_tid = nullptr;
  SDL_Thread* video_tid = nullptr;

  // Set when the audio stream opens, read-only while the device plays.
  AVStream* audio_st = nullptr;
  SDL_AudioDeviceID audio_dev = 0;
  int audio_rate = 0, audio_channels = 0;
  int audio_hw_buf_size = 0;
  TPacketQueue audioq;

  // The audio callback's own while the device is open (sample_array is read
  // by the audio display under the device's lock).
  TCodecContextPtr audio_ctx;
  TSwrPtr swr;
  TFramePtr audio_frame;
  TPacketPtr audio_pkt;
  std::vector<uint8_t> audio_buf;
  size_t audio_buf_index = 0;
  int audio_serial = 0;
  std::vector<int16_t> sample_array;  // for the audio display
  size_t sample_array_index = 0;
  // Written by the audio callback, read by the clocks.
  std::atomic<int> audio_buffered{0};  // bytes of audio_buf not yet handed to the device
  std::atomic<double> audio_clock{-1};  // seconds at the end of audio_buf
  std::atomic<int64_t> audio_callback_time{0};

  // Set when the video stream opens; the context is the video thread's while it runs.
  AVStream* video_st = nullptr;
  TCodecContextPtr video_ctx;
  TPacketQueue videoq;

  // Guarded by pictq_mutex: the video thread fills, the play loop takes.
  TSDLMutexPtr pictq_mutex;
  TSDLCondPtr pictq_cond;
  std::deque<TPicture> pictq;
  static constexpr size_t PictureQueueSize = 2;

  // Guarded by the player's data lock: the play loop shows pictures, the
  // host's calls pause and read the picture on screen.
  double frame_timer = 0, frame_last_pts = 0, frame_last_delay = 0.04;
  double video_clock = 0;  // pts of the picture on screen
  int64_t video_clock_time = 0;  // when it was shown (µs, relative clock)
  TFramePtr shown;  // the picture on screen
  TBitmap display;  // the picture at the display size
  TSwsPtr display_sws;
  TFramePtr display_staging;  // the scaler's side of `display`, for sizes that need it
  int64_t last_display_time = 0;
  int64_t pause_start = 0;

  // Opening and closing.
  bool Start(bool paused);
  void Close();
  int StreamComponentOpen(int index);
  void StreamComponentClose(int index);

  // Reading.
  static int ReadThreadMain(void* state);
  void ReadThread();
  // The reading thread's steps: the file, its streams, then packets until closed.
  bool OpenFile();
  bool OpenStreams();
  void ReadPackets();
  bool QueuesFull() const;
  void ServeSeek();
  void Log(TLogLevel level, const std::string& message) const;

  // Video. The ...Locked ones run with the player's data lock held.
  static int VideoThreadMain(void* state);
  void VideoThread();
  // One refresh step; returns the seconds until the next one is due.
  double VideoRefreshLocked();
  // Shows a picture and keeps it as the one on screen; `hook` runs the host's
  // picture hook on it first.
  void DisplayPictureLocked(TPicture picture, bool hook = true);
  void AudioDisplayLocked();

  // Audio.
  bool OpenAudio(int sampleRate, int channels);
  static void AudioCallbackMain(void* state, uint8_t* stream, int length);
  void AudioCallback(uint8_t* stream, int length);
  int DecodeAudio();

  // Clocks in seconds.
  double AudioClock() const;
  double ExternalClock() const;
  double MasterClock() const;
  double VideoClock() const;
  bool AudioIsMaster() const;
};

}  // namespace vidora
