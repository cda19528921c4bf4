// What an MP4-family file (3GP, MP4, MOV) declares about its streams, made
// to match what they hold. The muxer writes fixed values (H.263 level 10,
// every AMR mode, MPEG-4 Visual level 1); a strict phone refuses a stream above
// its declared level, so the declarations are corrected once the file is
// finished, in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/base/media_headers.h"

namespace vidora {

// One output stream as it was written.
struct TStreamFacts {
  AVCodecID codec = AV_CODEC_ID_NONE;
  int width = 0, height = 0;
  double frame_rate = 0;       // pictures per second
  int64_t peak_bit_rate = 0;   // the most bits in any one second
  unsigned amr_modes = 0;      // AMR: bit n set when frames of mode n were written
};

// The lowest H.263 (baseline profile) level whose picture size, picture rate
// and bit rate the stream fits; 70 when it fits none.
int H263Level(const TStreamFacts& stream);
// The MPEG-4 Visual Simple Profile profile-and-level byte the stream fits.
int MPEG4SimpleProfileLevel(const TStreamFacts& stream);
// Corrects the declarations of the finished MP4-family file at `path`,
// whose tracks are these streams in this order. Returns an empty text, or
// what could not be done.
std::string CorrectDeclarations(const std::string& path, const std::vector<TStreamFacts>& streams);

// Bits in the busiest second of packets given as (time in microseconds, bytes).
int64_t PeakBitRate(std::vector<std::pair<int64_t, int>> packets);

}  // namespace vidora
