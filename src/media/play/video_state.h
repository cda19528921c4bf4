// The playback core of one open file: the reading thread, one packet queue
// per stream, the video decoding thread with its picture queue, the audio
// callback that is also the master clock, and the picture timing.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "media/base/bitmap.h"
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
    AVPacket* Packet;  // null for a flush
  };
  std::deque<TEntry> FEntries;
  SDL_mutex* FMutex;
  SDL_cond* FCond;
  std::atomic<int> FPackets{0};
  std::atomic<int64_t> FBytes{0};
  bool FAbort = false;
};

struct TPicture {
  AVFrame* Frame = nullptr;
  double PTS = 0;  // seconds
  int Serial = 0;
};

struct TVideoState {
  explicit TVideoState(TCustomPlayer& owner);
  ~TVideoState();

  TCustomPlayer& Owner;
  std::string FileName;
  AVFormatContext* ic = nullptr;  // the owner's decoder owns it
  bool IsImage2 = false, IsDevice = false;
  int64_t StartTime = 0, Duration = 0, AudioDuration = 0;  // µs
  std::atomic<int> Opened{0};  // 1 opened, -1 failed
  std::atomic<bool> ReachEOF{false};
  std::atomic<bool> EventEOF{false};  // the end was announced

  std::atomic<bool> abort_request{false};
  std::atomic<bool> paused{false};
  bool last_paused = false;
  std::atomic<bool> step{false};
  std::atomic<bool> seek_req{false};
  bool seek_paused = false;
  int64_t seek_pos = 0, seek_rel = 0;
  int seek_flags = 0;
  std::atomic<int> serial{0};  // grows with every seek

  SDL_Thread* read_tid = nullptr;
  SDL_Thread* video_tid = nullptr;

  // Audio.
  std::atomic<int> audio_stream{-1};
  AVStream* audio_st = nullptr;
  AVCodecContext* audio_ctx = nullptr;
  TPacketQueue audioq;
  SDL_AudioDeviceID audio_dev = 0;
  int audio_rate = 0, audio_channels = 0;
  SwrContext* swr = nullptr;
  AVFrame* audio_frame = nullptr;
  AVPacket* audio_pkt = nullptr;
  std::vector<uint8_t> audio_buf;
  size_t audio_buf_index = 0;
  std::atomic<int> audio_buffered{0};  // bytes of audio_buf not yet handed to the device
  int audio_serial = 0;
  std::atomic<double> audio_clock{-1};  // seconds at the end of audio_buf
  std::atomic<int64_t> audio_callback_time{0};
  std::string AudioOpenError;
  int audio_hw_buf_size = 0;
  std::vector<int16_t> sample_array;  // for the audio display
  size_t sample_array_index = 0;
  int64_t last_display_time = 0;

  // Video.
  std::atomic<int> video_stream{-1};
  std::atomic<bool> video_abort{false};
  AVStream* video_st = nullptr;
  AVCodecContext* video_ctx = nullptr;
  TPacketQueue videoq;
  SDL_mutex* pictq_mutex;
  SDL_cond* pictq_cond;
  std::deque<TPicture> pictq;
  static constexpr size_t PictureQueueSize = 2;
  double frame_timer = 0, frame_last_pts = 0, frame_last_delay = 0.04;
  double video_clock = 0;  // pts of the picture on screen
  int64_t video_clock_time = 0;  // when it was shown (µs, relative clock)
  AVFrame* shown = nullptr;  // the picture on screen
  std::atomic<bool> force_refresh{false};
  TBitmap display;  // the picture at the display size
  SwsContext* display_sws = nullptr;
  AVFrame* display_staging = nullptr;  // the scaler's side of `display`, for sizes that need it

  // The preview draws no subtitles: their packets are dropped as read.
  std::atomic<int> subtitle_stream{-1};
  std::atomic<double> seek_target{0};  // seconds: pictures and sound before it are skipped after a seek
  std::string OpenError;

  std::atomic<int64_t> external_start{0};  // µs on the relative clock at the file's start time
  int64_t pause_start = 0;

  // Opening and closing.
  bool Start(bool paused);
  void Close();
  int StreamComponentOpen(int index);
  void StreamComponentClose(int index);

  // Reading.
  static int ReadThreadMain(void* state);
  void ReadThread();
  bool QueuesFull() const;
  void ServeSeek();
  void Log(TLogLevel level, const std::string& message) const;

  // Video.
  static int VideoThreadMain(void* state);
  void VideoThread();
  // One refresh step; returns the seconds until the next one is due.
  double VideoRefresh();
  // Shows a picture; `hook` runs the host's picture hook on it first.
  void DisplayPicture(const TPicture& picture, bool hook = true);
  void AudioDisplay();

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
