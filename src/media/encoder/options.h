// The records that describe one input and one output of a task.
#pragma once

#include <cstdint>
#include <string>

namespace vidora {

inline constexpr int64_t NoTime = INT64_MIN;

struct TInputOptions {
  std::string FileName;  // filled from the operation's file name when empty
  std::string ForceFormat;
  int64_t TimeStart = NoTime;  // µs
  int32_t ProgramID = -1;
  std::string ExtOptions;  // option text
};

// Creation time and tags of an output.
struct TStreamInfo {
  double TimeStamp = -1.0;  // local date-time in days since 1899-12-30; 0: now; negative: none
  int32_t Year = -1;
  int32_t Track = -1;
  std::string Title, Author, Copyright, Comment, Album, Genre;
};

enum TOptionTargetType { ttIgnore, ttVCD, ttSVCD, ttDVD };
enum TOptionNormType { ntAuto, ntPAL, ntNTSC };
using TOptionNormDefault = TOptionNormType;  // ntPAL or ntNTSC

// Integers of -1 and empty strings mean "not set".
struct TOutputOptions {
  std::string FileName;
  std::string FileExt;  // for the client; the encoder does not read it
  std::string ForceFormat;
  int32_t PacketSize = -1;
  int32_t MuxRate = -1;
  float MuxDelay = -1.0f;
  float MuxPreload = -1.0f;
  std::string AudioCodec;
  std::string AudioPreset;
  bool DisableAudio = false;
  int32_t AudioVolume = -1;
  int32_t AudioChannels = -1;
  int32_t AudioSampleRate = -1;
  int32_t AudioBitrate = -1;
  int32_t AudioBitRateTolerance = -1;
  std::string AudioLanguage;
  int32_t AudioSyncMethod = 0;
  std::string AudioTag;
  std::string VideoCodec;
  std::string VideoPreset;
  bool DisableVideo = false;
  std::string FrameRate;
  std::string FrameSize;
  std::string FrameAspectRatio;
  int32_t CropTop = -1, CropBottom = -1, CropLeft = -1, CropRight = -1;
  int32_t GroupPictureSize = -1;
  int32_t VideoBitrate = -1;
  int32_t VideoMaxRate = -1;
  int32_t VideoMinRate = -1;
  int32_t VideoBitRateTolerance = -1;
  int32_t VideoBufSize = -1;
  int32_t VideoSyncMethod = -1;
  std::string VideoTag;
  std::string VideoFilters;
  std::string VideoLanguage;
  std::string SubtitleCodec;
  std::string SubtitlePreset;
  bool DisableSubtitle = false;
  std::string SubtitleLanguage;
  bool InputSync = false;
  bool CopyTimestamp = false;
  int64_t TimeStart = NoTime;
  int64_t TimeLength = NoTime;
  TStreamInfo Info;
  TOptionTargetType TargetType = ttIgnore;
  TOptionNormType NormType = ntAuto;
  TOptionNormDefault NormDefault = ntPAL;
  bool AudioHook = false;
  bool VideoInputHook = false;
  bool VideoOutputHook = false;
  int32_t VideoHookBitsPixel = 24;
  bool Join = false;
  std::string ExtOptions;
};

inline void InitInputOptions(TInputOptions& options) { options = TInputOptions{}; }
inline void InitOutputOptions(TOutputOptions& options) { options = TOutputOptions{}; }

}  // namespace vidora
