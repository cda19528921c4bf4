// Single pictures of a video stream: decoding, seeking, stepping, bitmaps.
#include <cstring>
#include <stdexcept>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/decode/decoder.h"

namespace vidora {

TFFDecoder::TFFDecoder() = default;

TFFDecoder::~TFFDecoder() { CloseCodec(); }

void TFFDecoder::CountStreams() {
  TCustomDecoder::CountStreams();
  FSeekIndex = FFirstVideoStreamIndex >= 0 ? FFirstVideoStreamIndex : FFirstAudioStreamIndex;
  FStartTime = 0;
  if (!FFileHandle) return;
  int64_t start = FSeekIndex >= 0 ? FFileHandle->streams[FSeekIndex]->start_time : FFileHandle->start_time;
  if (start != AV_NOPTS_VALUE) FStartTime = start;
}

void TFFDecoder::CloseFile() {
  TCustomDecoder::CloseFile();
  FDecodeIndex = -1;
  FEOF = false;
  ResetPicture();
  FLastPTS = AV_NOPTS_VALUE;
  FLastPos = -1;
  CloseCodec();
  FRGBContext.Reset(FBitmapBitsPixel);
}

void TFFDecoder::SetBitmapBitsPixel(int bits) {
  if (bits == FBitmapBitsPixel) return;
  FBitmapBitsPixel = bits;
  FRGBContext.Reset(bits);
}

void TFFDecoder::ResetPicture() {
  if (FPicture.PTS != AV_NOPTS_VALUE) FLastPTS = FPicture.PTS;
  if (FPicture.Position != -1) FLastPos = FPicture.Position;
  if (FPictureFrame) avutil.av_frame_unref(FPictureFrame.get());
  FPicture = TFrameInfo{};
  FPicture.Picture = FPictureFrame.get();
}

void TFFDecoder::CloseCodec() {
  if (!FCodec) return;
  std::lock_guard lock(CodecLock());
  FCodec.reset();
  FCodecStream = -1;
}

// Decoding and seeking need a file this decoder opened itself.
bool TFFDecoder::CheckOwnedFile() {
  if (!FFileHandle) {
    Report(TLogLevel::llWarning, "file not loaded.");
    return false;
  }
  if (!OwnsFile()) {
    Report(TLogLevel::llError, "file cannot be seeked, handle is readonly.");
    throw std::runtime_error("file cannot be seeked, handle is readonly.");
  }
  return true;
}

bool TFFDecoder::ChooseStream(int& streamIndex) {
  if (!CheckOwnedFile()) return false;
  int chosen = InfoStream(streamIndex < 0 ? FDecodeIndex : streamIndex, AVMEDIA_TYPE_VIDEO, "video");
  if (chosen < 0) return false;
  streamIndex = chosen;
  if (streamIndex != FDecodeIndex) {
    ResetPicture();
    FDecodeIndex = streamIndex;
  }
  return true;
}

bool TFFDecoder::OpenCodec(int streamIndex) {
  if (FCodec && FCodecStream == streamIndex) return true;
  const AVStream* st = FFileHandle->streams[streamIndex];
  if (st->codecpar->width <= 0 || st->codecpar->height <= 0) {
    Report(TLogLevel::llError, "frame size of codec is invalid.");
    return false;
  }
  CloseCodec();
  const AVCodec* codec = avcodec.avcodec_find_decoder(st->codecpar->codec_id);
  if (!codec) {
    Report(TLogLevel::llError,
           Format("Unsupported codec (id=%d) for input file stream #%d", st->codecpar->codec_id, streamIndex));
    return false;
  }
  TCodecContextPtr context(avcodec.avcodec_alloc_context3(codec));
  bool opened = context && avcodec.avcodec_parameters_to_context(context.get(), st->codecpar) >= 0;
  if (opened) {
    context->pkt_timebase = st->time_base;
    std::lock_guard lock(CodecLock());
    opened = avcodec.avcodec_open2(context.get(), codec, nullptr) >= 0;
  }
  if (!opened) {
    Report(TLogLevel::llError, Format("Error while opening codec for input file stream #%d", streamIndex));
    return false;
  }
  FCodec = std::move(context);
  FCodecStream = streamIndex;
  FDraining = false;
  return true;
}

void TFFDecoder::StoreFrame(AVFrame* received, int64_t position) {
  ResetPicture();  // keeps the previous picture's time and position as the last ones
  if (!FPictureFrame) FPicture.Picture = (FPictureFrame = NewFrame()).get();
  avutil.av_frame_move_ref(FPicture.Picture, received);
  const AVFrame* frame = FPicture.Picture;
  const AVStream* st = FFileHandle->streams[FDecodeIndex];
  FPicture.PixFmt = frame->format;
  FPicture.Width = frame->width;
  FPicture.Height = frame->height;
#ifdef AV_FRAME_FLAG_KEY
  FPicture.IsKeyFrame = (frame->flags & AV_FRAME_FLAG_KEY) != 0;
#else
  FPicture.IsKeyFrame = frame->key_frame != 0;
#endif
  FPicture.PictureType = frame->pict_type >= 0 && frame->pict_type <= 7 ? static_cast<TPictureType>(frame->pict_type)
                                                                         : ptUnknown;
  int64_t timestamp = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
  if (timestamp != AV_NOPTS_VALUE) {
    if (st->start_time != AV_NOPTS_VALUE) timestamp -= st->start_time;
    FPicture.PTS = avutil.av_rescale_q(timestamp, st->time_base, Microseconds);
    Debug("decode PTS: %0.3f\n", FPicture.PTS / 1000000.0);
  }
  FPicture.OriginalDTS = frame->pkt_dts;
  FPicture.OriginalPTS = frame->pts;
  FPicture.StreamIndex = FDecodeIndex;
  FPicture.Position = position;
  FPicture.Ready = true;
}

bool TFFDecoder::ReceiveFrame(int64_t position) {
  if (!FReceived && !(FReceived = NewFrame())) return false;
  if (avcodec.avcodec_receive_frame(FCodec.get(), FReceived.get()) < 0) return false;
  StoreFrame(FReceived.get(), position);
  return true;
}

bool TFFDecoder::Decode(int streamIndex) {
  if (!ChooseStream(streamIndex)) return false;
  if (FPicture.Ready && FormatName() == "image2") return true;  // a still picture is decoded once
  if (FEOF) {
    Report(TLogLevel::llInfo, "stream eof reached.");
    return false;
  }
  if (!OpenCodec(streamIndex)) return false;
  if (!FPacket) FPacket = NewPacket();
  int64_t position = FFileHandle->pb ? avformat.avio_seek(FFileHandle->pb, 0, SEEK_CUR) : -1;
  if (ReceiveFrame(position)) return true;  // a picture the decoder already holds
  while (true) {
    int result = avformat.av_read_frame(FFileHandle, FPacket.get());
    if (result == AVERROR(EAGAIN)) {
      Report(TLogLevel::llInfo, "no data, please try again.");
      return false;
    }
    if (result == AVERROR_EOF) {
      // The decoder's last pictures come out when it is told nothing more follows.
      if (!FDraining) avcodec.avcodec_send_packet(FCodec.get(), nullptr);
      FDraining = true;
      if (ReceiveFrame(position)) return true;
      FEOF = true;
      Report(TLogLevel::llInfo, "stream eof reached.");
      return false;
    }
    if (result < 0) {
      Report(TLogLevel::llInfo, Format("unknown error #%d.", result));
      return false;
    }
    if (FPacket->stream_index != streamIndex) {
      avcodec.av_packet_unref(FPacket.get());
      continue;
    }
    avcodec.avcodec_send_packet(FCodec.get(), FPacket.get());  // a damaged packet is skipped
    Debug("pkt.st_idx=%d, dts=%lld, pts=%lld, flags=%d", FPacket->stream_index, static_cast<long long>(FPacket->dts),
          static_cast<long long>(FPacket->pts), FPacket->flags);
    avcodec.av_packet_unref(FPacket.get());
    if (ReceiveFrame(position)) return true;
  }
}

int64_t TFFDecoder::Position() {
  if (!FFileHandle || !FFileHandle->pb) {
    Report(TLogLevel::llError, "cannot get position");
    return -1;
  }
  return avformat.avio_seek(FFileHandle->pb, 0, SEEK_CUR);
}

bool TFFDecoder::Seek(int64_t pts, TSeekFlags flags) {
  if (!CheckOwnedFile()) return false;
  if (FormatName() == "image2") {
    Report(TLogLevel::llInfo, "\"image2\" format cannot to be seeked.");
    return false;
  }
  if (FFLogger().Passes(TLogLevel::llDebug)) Debug("currunt position %lld bytes", static_cast<long long>(Position()));
  int64_t target = std::max<int64_t>(pts, 0);
  if (!(flags & sfByte)) {
    if (FSeekIndex >= 0) target = avutil.av_rescale_q(target, Microseconds, FFileHandle->streams[FSeekIndex]->time_base);
    if (FStartTime > 0) target += FStartTime;
  }
  if (FCodec) avcodec.avcodec_flush_buffers(FCodec.get());
  FDraining = false;
  FEOF = false;
  ResetPicture();
  // Forward means the first key frame at or after the target, backward the
  // last one at or before it.
  auto seek = [this](int64_t to, TSeekFlags how) {
    return (how & sfBackward) ? avformat.avformat_seek_file(FFileHandle, FSeekIndex, INT64_MIN, to, to, how)
                              : avformat.avformat_seek_file(FFileHandle, FSeekIndex, to, to, INT64_MAX, how);
  };
  int result;
  if (pts > 0) {
    result = seek(target, flags);
  } else {
    result = seek(target, flags | sfBackward);
    if (result < 0) result = seek(pts, flags & ~sfBackward);
  }
  if (result < 0) {
    Report(TLogLevel::llError, (flags & sfByte) ? Format("could not seek to position %lld bytes", static_cast<long long>(pts))
                                                : Format("could not seek to position %0.3f seconds", pts / 1000000.0));
    return false;
  }
  if (FFLogger().Passes(TLogLevel::llDebug)) Debug("seek to position %lld bytes", static_cast<long long>(Position()));
  if (FFileHandle->pb && avformat.avio_feof(FFileHandle->pb)) {
    Report(TLogLevel::llInfo, "stream eof reached.");
    FEOF = true;
    return false;
  }
  return true;
}

int64_t TFFDecoder::FrameDuration(int streamIndex) const {
  const AVStream* st = FFileHandle->streams[streamIndex];
  AVRational rate = st->avg_frame_rate.num && st->avg_frame_rate.den ? st->avg_frame_rate : st->r_frame_rate;
  return vidora::FrameDuration(rate);
}

bool TFFDecoder::DecodeNextKeyFrame(int streamIndex) {
  if (!ChooseStream(streamIndex)) return false;
  int64_t duration = FrameDuration(streamIndex);
  int64_t target = FPicture.PTS != AV_NOPTS_VALUE && FPicture.PTS > 0 ? FPicture.PTS + duration : duration;
  return Seek(target, 0) && Decode(streamIndex);
}

bool TFFDecoder::DecodePreviousKeyFrame(int streamIndex) {
  if (!ChooseStream(streamIndex)) return false;
  int64_t duration = FrameDuration(streamIndex);
  int64_t reference = FPicture.PTS != AV_NOPTS_VALUE   ? FPicture.PTS
                      : FLastPTS != AV_NOPTS_VALUE     ? FLastPTS
                      : FFileHandle->duration > 0      ? FFileHandle->duration
                                                       : 0;
  // Far enough back to pass the start of the file, and no further. Whether a
  // step went back far enough shows in the decoded picture's time: the read
  // position does not tell, as index-seeking demuxers (MP4) leave it alone.
  int64_t steps = reference / std::max<int64_t>(duration, 1) + 3;
  for (int64_t k = 1; k <= steps; ++k) {
    Seek(reference - k * duration, sfBackward);
    if (Decode(streamIndex)) {
      if (FPicture.PTS < reference || FPicture.PTS <= 0) return true;
    } else if (reference < k * duration) {
      break;
    }
  }
  FLastErrMsg = "Could not seek to the previous key-frame. " + FLastErrMsg;
  return false;
}

bool TFFDecoder::DecodePreviousFrame(int streamIndex) {
  if (!ChooseStream(streamIndex)) return false;
  int64_t current = FPicture.PTS != AV_NOPTS_VALUE ? FPicture.PTS : FLastPTS != AV_NOPTS_VALUE ? FLastPTS : 0;
  int64_t target = current - 2 * FrameDuration(streamIndex);
  if (!DecodePreviousKeyFrame(streamIndex)) return false;
  while (FPicture.PTS <= target)
    if (!Decode(streamIndex)) return false;
  return true;
}

bool TFFDecoder::CopyToBitmap(TBitmap& bitmap) {
  const TBitmap* converted = GetBitmapPtr();
  if (!converted) {
    if (FPicture.Ready) {
      bitmap.SetSize(FPicture.Width, FPicture.Height, FBitmapBitsPixel);
      std::memset(bitmap.Bits(), 0, static_cast<size_t>(bitmap.Stride()) * bitmap.Height());
    }
    return false;
  }
  bitmap.SetSize(converted->Width(), converted->Height(), converted->BitsPerPixel());
  std::memcpy(bitmap.Bits(), converted->Bits(), static_cast<size_t>(converted->Stride()) * converted->Height());
  return true;
}

const TBitmap* TFFDecoder::GetBitmapPtr() {
  if (!FPicture.Ready) {
    Report(TLogLevel::llError, "picture not ready, please decode first");
    return nullptr;
  }
  if (!FRGBContext.ToRGB(FPicture.Picture)) {
    Report(TLogLevel::llError, "Cannot initialize the toRGB conversion context");
    return nullptr;
  }
  return &FRGBContext.Bitmap();
}

}  // namespace vidora
