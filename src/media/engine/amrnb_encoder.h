// AMR-NB speech encoding through libopencore-amrnb, for a libavcodec that
// has no AMR-NB encoder of its own.
#pragma once

#include <cstdint>
#include <vector>

namespace vidora {

class TAMRNBEncoder {
 public:
  static constexpr int FrameSamples = 160;  // 20 ms of 16-bit mono at 8000 Hz
  static constexpr int SampleRates[] = {8000, 0};
  static constexpr int ChannelCounts[] = {1, 0};
  static constexpr int MaxPacketSize = 32;

  // The mode is the one whose rate is nearest to the bit rate.
  explicit TAMRNBEncoder(int64_t bitRate);
  ~TAMRNBEncoder();
  TAMRNBEncoder(const TAMRNBEncoder&) = delete;
  TAMRNBEncoder& operator=(const TAMRNBEncoder&) = delete;

  bool Valid() const { return FState != nullptr; }
  int BitRate() const { return FBitRate; }
  // Encodes one frame of FrameSamples samples into `packet` (storage format:
  // a header byte then the speech bits); returns the packet size or -1.
  int Encode(const int16_t* samples, uint8_t* packet);

 private:
  void* FState = nullptr;
  int FMode = 7;
  int FBitRate = 12200;
};

}  // namespace vidora
