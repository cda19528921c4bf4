// Opening the file and its streams, and the reading thread that fills the
// packet queues and serves seek requests.
#include <algorithm>
#include <cstring>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/loader.h"
#include "media/base/logger.h"
#include "media/base/main_thread.h"
#include "media/base/text_format.h"
#include "media/play/player.h"
#include "media/play/video_state.h"

namespace vidora {

namespace {
// The reading thread waits while the queues hold this much.
constexpr int64_t MaxQueueBytes = 15 * 1024 * 1024;
constexpr int64_t MinAudioBytes = 320 * 1024;
constexpr int MinVideoPackets = 5;
}  // namespace

TVideoState::TVideoState(TCustomPlayer& owner)
    : Owner(owner), pictq_mutex(sdl.SDL_CreateMutex()), pictq_cond(sdl.SDL_CreateCond()) {}

TVideoState::~TVideoState() { Close(); }

void TVideoState::Log(TLogLevel level, const std::string& message) const {
  FFLogger().Log(&Owner, level, message);
}

bool TVideoState::Start(bool startPaused) {
  paused = startPaused;
  last_paused = false;
  read_tid = sdl.SDL_CreateThread(ReadThreadMain, "vidora-read", this);
  if (!read_tid) {
    OpenError = "SDL_CreateThread() failed.";
    return false;
  }
  // The reading thread may hand calls (its log lines) to this thread meanwhile.
  while (!OpenDone.WaitFor(std::chrono::milliseconds(2))) ProcessPendingCalls();
  return Opened > 0;
}

void TVideoState::Close() {
  abort_request = true;
  if (read_tid) sdl.SDL_WaitThread(read_tid, nullptr);
  read_tid = nullptr;
  StreamComponentClose(audio_stream);
  StreamComponentClose(video_stream);
  StreamComponentClose(subtitle_stream);
  if (ic) Owner.FDecoder.CloseFile();
  ic = nullptr;
}

int TVideoState::ReadThreadMain(void* state) {
  static_cast<TVideoState*>(state)->ReadThread();
  return 0;
}

int TVideoState::StreamComponentOpen(int index) {
  if (!ic || index < 0 || index >= static_cast<int>(ic->nb_streams)) return -1;
  AVStream* stream = ic->streams[index];
  const AVCodec* codec = avcodec.avcodec_find_decoder(stream->codecpar->codec_id);
  TCodecContextPtr ctx(codec ? avcodec.avcodec_alloc_context3(codec) : nullptr);
  int opened = -1;
  if (ctx && avcodec.avcodec_parameters_to_context(ctx.get(), stream->codecpar) >= 0) {
    ctx->pkt_timebase = stream->time_base;
    ctx->workaround_bugs = Owner.workaround_bugs;
    if (Owner.fast) ctx->flags2 |= AV_CODEC_FLAG2_FAST;
    ctx->lowres = std::min(Owner.lowres, static_cast<int>(codec->max_lowres));
    ctx->idct_algo = Owner.idct_algo;
    ctx->skip_frame = Owner.skip_frame;
    ctx->skip_idct = Owner.skip_idct;
    ctx->skip_loop_filter = Owner.skip_loop_filter;
    ctx->error_concealment = Owner.error_concealment;
    std::lock_guard lock(CodecLock());
    opened = avcodec.avcodec_open2(ctx.get(), codec, nullptr);
  }
  if (opened < 0) {
    Log(TLogLevel::llError, "avcodec_open() failed.");
    return -1;
  }
  if (ctx->codec_type == AVMEDIA_TYPE_AUDIO) {
    audio_ctx = std::move(ctx);
    audio_st = stream;
    audio_stream = index;
    if (!OpenAudio(audio_ctx->sample_rate, audio_ctx->ch_layout.nb_channels)) {
      StreamComponentClose(index);
      return -1;
    }
    audioq.Start();
    sdl.SDL_PauseAudioDevice(audio_dev, paused ? 1 : 0);
  } else if (ctx->codec_type == AVMEDIA_TYPE_VIDEO) {
    video_ctx = std::move(ctx);
    video_st = stream;
    video_stream = index;
    videoq.Start();
    video_abort = false;
    video_tid = sdl.SDL_CreateThread(VideoThreadMain, "vidora-video", this);
    if (!video_tid) {
      Log(TLogLevel::llError, "SDL_CreateThread() failed.");
      StreamComponentClose(index);
      return -1;
    }
  } else {
    subtitle_stream = index;
  }
  return 0;
}

void TVideoState::StreamComponentClose(int index) {
  if (index < 0) return;
  if (index == audio_stream) {
    audioq.Abort();
    if (audio_dev) sdl.SDL_CloseAudioDevice(audio_dev);  // returns after the last callback
    audio_dev = 0;
    audioq.Clear();
    audio_ctx.reset();
    swr.reset();
    audio_frame.reset();
    audio_pkt.reset();
    audio_buf.clear();
    audio_buf_index = 0;
    audio_st = nullptr;
    audio_stream = -1;
  } else if (index == video_stream) {
    video_abort = true;
    videoq.Abort();
    sdl.SDL_LockMutex(pictq_mutex.get());
    sdl.SDL_CondSignal(pictq_cond.get());
    sdl.SDL_UnlockMutex(pictq_mutex.get());
    if (video_tid) sdl.SDL_WaitThread(video_tid, nullptr);
    video_tid = nullptr;
    videoq.Clear();
    pictq.clear();
    video_ctx.reset();
    video_st = nullptr;
    video_stream = -1;
  } else if (index == subtitle_stream) {
    subtitle_stream = -1;
  }
}

bool TVideoState::QueuesFull() const {
  if (audioq.Bytes() + videoq.Bytes() > MaxQueueBytes) return true;
  return (audio_stream < 0 || audioq.Bytes() > MinAudioBytes) &&
         (video_stream < 0 || videoq.Packets() > MinVideoPackets);
}

void TVideoState::ServeSeek() {
  int64_t target = seek_pos;
  int64_t lowest = seek_rel > 0 ? target - seek_rel + 2 : INT64_MIN;
  int64_t highest = seek_rel < 0 ? target - seek_rel - 2 : INT64_MAX;
  if (avformat.avformat_seek_file(ic, -1, lowest, target, highest, seek_flags) < 0) {
    Log(TLogLevel::llError, Format("%s: error while seeking", FileName.c_str()));
    // No new picture will come for a waiting caller.
    Owner.FSeeking = false;
    Owner.FPictEvent.Set();
  } else {
    // The new serial first: the decoders tag what follows the flush with it.
    serial++;
    seek_target = (seek_flags & AVSEEK_FLAG_BYTE) ? 0 : target / double(AV_TIME_BASE);
    external_start = avutil.av_gettime_relative() - (target - StartTime);
    if (audio_stream >= 0) {
      audioq.Clear();
      audioq.PutFlush();
    }
    if (video_stream >= 0) {
      videoq.Clear();
      videoq.PutFlush();
    }
    ReachEOF = false;
    EventEOF = false;
    force_refresh = true;
  }
  seek_req = false;
  if (video_stream < 0) Owner.FSeeking = false;
  Owner.FSeekEvent.Set();
}

void TVideoState::ReadThread() {
  bool opened = OpenFile() && OpenStreams();
  Opened = opened ? 1 : -1;
  OpenDone.Set();
  if (opened) ReadPackets();
}

bool TVideoState::OpenFile() {
  TFFDecoder& decoder = Owner.FDecoder;
  if (!decoder.LoadFile(FileName, Owner.FForceFormat)) {
    OpenError = decoder.LastErrMsg();
    return false;
  }
  ic = decoder.FileHandle();
  if (Owner.genpts) ic->flags |= AVFMT_FLAG_GENPTS;
  const char* format = ic->iformat->name;
  IsImage2 = std::strcmp(format, "image2") == 0;
  IsDevice = std::strcmp(format, "vfwcap") == 0 || std::strcmp(format, "vfwcapture") == 0;
  StartTime = ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0;
  Duration = ic->duration > 0 ? ic->duration : 0;
  if (Owner.start_time) {
    int64_t timestamp = *Owner.start_time + StartTime;
    if (avformat.avformat_seek_file(ic, -1, INT64_MIN, timestamp, INT64_MAX, 0) < 0)
      Log(TLogLevel::llWarning,
          Format("%s: could not seek to position %0.3f", FileName.c_str(), timestamp / double(AV_TIME_BASE)));
  }
  return true;
}

bool TVideoState::OpenStreams() {
  int video = -1, audio = -1;
  if (!Owner.DisableVideo)
    video = avformat.av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, Owner.wanted_video_stream, -1, nullptr, 0);
  if (!Owner.DisableAudio)
    audio = avformat.av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, Owner.wanted_audio_stream, video, nullptr, 0);
  int subtitle = avformat.av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, Owner.wanted_subtitle_stream,
                                              video >= 0 ? video : audio, nullptr, 0);
  if (audio >= 0) StreamComponentOpen(audio);
  if (video >= 0) StreamComponentOpen(video);
  if (subtitle >= 0) StreamComponentOpen(subtitle);
  if (video_stream < 0 && audio_stream < 0) {
    // Sound alone that no device can play says so.
    OpenError = audio >= 0 && !AudioOpenError.empty()
                    ? AudioOpenError
                    : Format("%s: could not open codecs, no stream to play.", FileName.c_str());
    StreamComponentClose(subtitle_stream);
    return false;
  }
  if (audio_st && audio_st->duration != AV_NOPTS_VALUE)
    AudioDuration = avutil.av_rescale_q(audio_st->duration, audio_st->time_base, Microseconds);
  external_start = avutil.av_gettime_relative();
  return true;
}

void TVideoState::ReadPackets() {
  TPacketPtr packet = NewPacket();
  while (packet && !abort_request) {
    if (paused != last_paused) {
      last_paused = paused;
      if (last_paused)
        avformat.av_read_pause(ic);
      else
        avformat.av_read_play(ic);
    }
    if (seek_req) ServeSeek();
    if (QueuesFull() || ReachEOF) {
      sdl.SDL_Delay(10);
      continue;
    }
    int code = avformat.av_read_frame(ic, packet.get());
    if (code < 0) {
      if (code != AVERROR(EAGAIN)) {
        if (code != AVERROR_EOF && !(ic->pb && avformat.avio_feof(ic->pb)))
          Log(TLogLevel::llError, Format("error #%d while reading file: %s", code, FileName.c_str()));
        // Empty packets drain the decoders of their last pictures and sound.
        if (video_stream >= 0) videoq.PutEnd();
        if (audio_stream >= 0) audioq.PutEnd();
        ReachEOF = true;
        Log(TLogLevel::llVerbose, Format("reach end of file: %s", FileName.c_str()));
      }
      sdl.SDL_Delay(10);
      continue;
    }
    if (packet->stream_index == audio_stream)
      audioq.Put(packet.get());
    else if (packet->stream_index == video_stream)
      videoq.Put(packet.get());
    else
      avcodec.av_packet_unref(packet.get());
  }
}

}  // namespace vidora
