// Opening a media file for information and single decoded pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/base/av_owners.h"
#include "media/base/base_component.h"
#include "media/base/bitmap.h"
#include "media/base/loader.h"
#include "media/base/logger.h"
#include "media/base/media_headers.h"
#include "media/base/rgb_convert.h"
#include "media/base/unicode_io.h"

namespace vidora {

// Every integer is -1 and every string empty when the value is missing.
struct TFileStreamInfo {
  int64_t StartTime = -1;  // µs
  int64_t Duration = -1;   // µs
  int32_t BitRate = -1;
  int64_t TimeStamp = -1;  // seconds since 1970, from the creation time
  int32_t Year = -1;
  int32_t Track = -1;
  std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TStreamTimes {
  std::string Language;
  std::string CodecName;
  int64_t StartTime = -1;  // stream time base
  int64_t StartTimeScaled = -1;  // µs
  int64_t Duration = -1;
  int64_t DurationScaled = -1;
};

struct TAudioStreamInfo : TStreamTimes {
  int32_t BitRate = -1;
  int32_t Channels = -1;
  int32_t SampleRate = -1;
  int SampleFormat = -1;
};

struct TVideoStreamInfo : TStreamTimes {
  int32_t BitRate = -1;
  int32_t Height = -1;
  int32_t Width = -1;
  float AspectRatio = -1.0f;
  int PixFmt = -1;
  AVRational FrameRate{-1, -1};
};

struct TSubtitleStreamInfo {
  std::string Language;
  std::string CodecName;
};

class TCustomDecoder : public TFFBaseComponent {
 public:
  TCustomDecoder();
  ~TCustomDecoder() override;
  TCustomDecoder(const TCustomDecoder&) = delete;
  TCustomDecoder& operator=(const TCustomDecoder&) = delete;

  bool AVLibLoaded() const;
  bool LoadAVLib(const std::string& path);
  void UnloadAVLib();

  bool LoadFile(const std::string& fileName, const std::string& formatName = "");
  virtual void CloseFile();
  // Attaches a container someone else opened (and will close).
  void SetFileHandle(AVFormatContext* handle);
  AVFormatContext* FileHandle() const { return FFileHandle; }

  std::string FileName() const;
  int64_t FileSize() const { return FFileSize; }
  const std::string& ForceFormat() const { return FForceFormat; }
  std::string FormatName() const;
  std::string FormatLongName() const;
  int StreamCount() const { return FStreamCount; }
  int ProgramCount() const { return FProgramCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
  int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }
  const std::string& LastErrMsg() const { return FLastErrMsg; }

  TFileStreamInfo FileStreamInfo();
  std::vector<std::string> FileInfoText();
  // A negative index means the first stream of that kind.
  bool GetAudioStreamInfo(int streamIndex, TAudioStreamInfo& info);
  bool GetVideoStreamInfo(int streamIndex, TVideoStreamInfo& info);
  bool GetSubtitleStreamInfo(int streamIndex, TSubtitleStreamInfo& info);
  TAudioStreamInfo FirstAudioStreamInfo();
  TVideoStreamInfo FirstVideoStreamInfo();
  TSubtitleStreamInfo FirstSubtitleStreamInfo();
  bool IsAudioStream(int streamIndex) const { return StreamIs(streamIndex, AVMEDIA_TYPE_AUDIO); }
  bool IsVideoStream(int streamIndex) const { return StreamIs(streamIndex, AVMEDIA_TYPE_VIDEO); }
  bool IsSubtitleStream(int streamIndex) const { return StreamIs(streamIndex, AVMEDIA_TYPE_SUBTITLE); }

 protected:
  // Logs the text at the level with this decoder as sender; it becomes LastErrMsg.
  void Report(TLogLevel level, const std::string& text);
  // A debug line: logged when someone listens, and never taken as the last error.
  void Debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void CheckLibraries() const;
  virtual void CountStreams();
  bool StreamIs(int streamIndex, AVMediaType type) const;
  // The stream of that kind to describe, or -1 after reporting why not.
  int InfoStream(int streamIndex, AVMediaType type, const char* kind);
  void FillTimes(const AVStream* st, TStreamTimes& times) const;
  template <typename Info>
  Info FirstInfo(bool (TCustomDecoder::*get)(int, Info&)) {
    Info info;
    (this->*get)(-1, info);
    return info;
  }

  bool OwnsFile() const { return FOwnFile != nullptr; }

  TComponentLibraries FLibraries{DecoderLibraries};

  // A file this decoder opened: its context is closed before the I/O under it.
  TOwnIOPtr FOwnIO;  // our own I/O for "unicode:utf8:" names
  TInputContextPtr FOwnFile;
  AVFormatContext* FFileHandle = nullptr;  // FOwnFile's, or the caller's
  std::string FLastErrMsg;
  std::string FForceFormat;
  int64_t FFileSize = -1;
  int FStreamCount = -1, FProgramCount = -1;
  int FAudioStreamCount = -1, FVideoStreamCount = -1, FSubtitleStreamCount = -1;
  int FFirstAudioStreamIndex = -1, FFirstVideoStreamIndex = -1, FFirstSubtitleStreamIndex = -1;
};

enum TPictureType { ptUnknown, ptI, ptP, ptB, ptS, ptSI, ptSP, ptBI };

enum TSeekFlag : int { sfBackward = AVSEEK_FLAG_BACKWARD, sfByte = AVSEEK_FLAG_BYTE, sfAny = AVSEEK_FLAG_ANY,
                       sfFrame = AVSEEK_FLAG_FRAME };
using TSeekFlags = int;

struct TFrameInfo {
  int PixFmt = -1;
  int Width = -1;
  int Height = -1;
  bool IsKeyFrame = false;
  TPictureType PictureType = ptUnknown;
  int64_t PTS = AV_NOPTS_VALUE;  // µs from the stream's start
  int64_t OriginalDTS = AV_NOPTS_VALUE;
  int64_t OriginalPTS = AV_NOPTS_VALUE;
  int StreamIndex = -1;
  int64_t Position = -1;  // byte position where reading for the frame began
  bool Ready = false;
  AVFrame* Picture = nullptr;  // the decoded picture, valid while Ready
};

class TFFDecoder : public TCustomDecoder {
 public:
  TFFDecoder();
  ~TFFDecoder() override;

  void CloseFile() override;
  // A negative index means the stream decoded last, or the first video stream.
  bool Decode(int streamIndex = -1);
  bool DecodeNextKeyFrame(int streamIndex = -1);
  bool DecodePreviousFrame(int streamIndex = -1);
  bool DecodePreviousKeyFrame(int streamIndex = -1);
  // microseconds, or bytes with sfByte
  bool Seek(int64_t pts, TSeekFlags flags = 0);
  bool CopyToBitmap(TBitmap& bitmap);
  // The converted picture, or none after reporting why.
  const TBitmap* GetBitmapPtr();

  int BitmapBitsPixel() const { return FBitmapBitsPixel; }
  void SetBitmapBitsPixel(int bits);
  bool Eof() const { return FEOF; }
  const TFrameInfo& FrameInfo() const { return FPicture; }
  int64_t Position();

 protected:
  void CountStreams() override;

 private:
  bool CheckOwnedFile();
  bool ChooseStream(int& streamIndex);
  bool OpenCodec(int streamIndex);
  void CloseCodec();
  void ResetPicture();
  // Takes the received frame's reference.
  void StoreFrame(AVFrame* received, int64_t position);
  bool ReceiveFrame(int64_t position);
  int64_t FrameDuration(int streamIndex) const;

  TCodecContextPtr FCodec;
  int FCodecStream = -1;
  TRGBConvertContext FRGBContext;
  int FBitmapBitsPixel = 24;
  int FSeekIndex = -1;
  int64_t FStartTime = 0;
  int FDecodeIndex = -1;
  bool FEOF = false;
  bool FDraining = false;
  TFrameInfo FPicture;
  int64_t FLastPTS = AV_NOPTS_VALUE;
  int64_t FLastPos = -1;
  TFramePtr FPictureFrame;  // FPicture's frame: allocated once, refilled by every picture
  TPacketPtr FPacket;
  TFramePtr FReceived;  // the decoder's output, before it is stored
};

}  // namespace vidora
