#include "media/engine/amrnb_encoder.h"

#include "media/base/bindings.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {
constexpr int ModeRates[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
}

int AMRNBModeRate(int64_t bitRate) {
  int best = ModeRates[0];
  for (int rate : ModeRates)
    if (std::llabs(rate - bitRate) < std::llabs(best - bitRate)) best = rate;
  return best;
}

TAMRNBEncoder::TAMRNBEncoder(int64_t bitRate) : FBitRate(AMRNBModeRate(bitRate)) {
  for (int mode = 0; mode < 8; ++mode)
    if (ModeRates[mode] == FBitRate) FMode = mode;
  if (amrnb.Encoder_Interface_init) FState = amrnb.Encoder_Interface_init(0);
}

TAMRNBEncoder::~TAMRNBEncoder() {
  if (FState && amrnb.Encoder_Interface_exit) amrnb.Encoder_Interface_exit(FState);
}

int TAMRNBEncoder::Encode(const int16_t* samples, uint8_t* packet) {
  if (!FState) return -1;
  int size = amrnb.Encoder_Interface_Encode(FState, static_cast<Mode>(FMode), samples, packet, 0);
  return size > 0 && size <= MaxPacketSize ? size : -1;
}

}  // namespace vidora
