// What the first pass of a two-pass encode recorded, read back to learn how
// small the second pass can make the picture.
#pragma once

#include <cstdint>
#include <string>

namespace vidora {

struct TFirstPassFloor {
  int64_t Pictures = 0;  // pictures the first pass encoded
  double Bits = 0;       // the fewest bits the second pass can spend on them
  double BestBits = 0;   // the most: every picture at the smallest quantiser
};

// From the MPEG-family encoders' statistics ("in:0 out:0 type:1 q:429
// itex:... ptex:... mv:... misc:...;" a picture): the texture bits scale
// with the quantiser, so at the largest quantiser (smaller still for intra
// pictures) they are fewest; motion and header bits stay. Their rate
// control refuses a rate below that, and FFmpeg 5.1 then frees its tables
// twice, so the rate is never asked for. At the smallest quantiser the
// picture is at its best: a larger budget cannot be filled.
TFirstPassFloor FirstPassFloor(const std::string& statistics);

}  // namespace vidora
