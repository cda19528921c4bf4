// What the engine paints preview frames through; the GUI implements it.
#pragma once

#include <cstdint>

#include "bitmap.h"

namespace vidora {

class IPreviewer {
 public:
  virtual ~IPreviewer() = default;
  // Shows the frame (called on a worker thread). False once the user has
  // closed the preview, after which the engine stops painting.
  virtual bool PaintFrame(const TBitmap& bitmap, int frameNumber, int64_t pts) = 0;
};

}  // namespace vidora
