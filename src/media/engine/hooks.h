// The host's hooks into a running task.
#pragma once

#include <cstdint>
#include <functional>

#include "media/base/bitmap.h"
#include "media/base/media_headers.h"

namespace vidora {

// The picture as a bitmap the handler may draw on. `update` (in: true) says
// whether the bitmap goes back into the picture; `stopHook` (in: false)
// detaches the handler for the rest of the task.
using TVideoHookEvent = std::function<void(const void* sender, TBitmap& bitmap, int frameNumber, int64_t pts,
                                           bool& update, bool& stopHook)>;
using TPreviewBitmapEvent = std::function<void(const void* sender, TBitmap& bitmap, int frameNumber, int64_t pts)>;
// A decoded block of sound, before the volume change; the samples may be
// changed in place. `samples` has one plane for packed formats and one per
// channel for planar ones; `size` is the byte count of each plane.
using TAudioHookEvent = std::function<void(const void* sender, int64_t pts, uint8_t** samples, int size,
                                           int sampleRate, int channels, AVSampleFormat sampleFormat)>;

// Which previews a task makes after each picture is encoded.
enum TPostHook : uint8_t {
  phPreview = 1 << 0,  // painted into the task's preview window
  phBitmap = 1 << 1,   // handed to the preview-bitmap event
  phHBITMAP = 1 << 2,  // kept for the host; the engine does nothing with it
};
using TPostHooks = uint8_t;

}  // namespace vidora
