// The input and output video hooks, the post hooks (previews) and the audio hook.
#include <mutex>

#include "media/base/bindings.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

// Guards every task's post-hook set and preview window.
std::mutex& PostHookLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void TCustomFFmpeg::SetPostHooks(TPostHooks hooks) {
  std::shared_ptr<IPreviewer> closed;  // closed once the lock is free, or by a paint still in progress
  std::lock_guard lock(PostHookLock());
  if (hooks == FPostHooks) return;
  if ((FPostHooks & phPreview) && !(hooks & phPreview)) closed = std::move(FPreviewer);
  FPostHooks = hooks;
  FPostHooksChanged = true;
}

TPostHooks TCustomFFmpeg::PostHooks() const {
  std::lock_guard lock(PostHookLock());
  return FPostHooks;
}

void TCustomFFmpeg::SetVideoHookBitsPixel(int bitsPixel) {
  if (bitsPixel == FVideoHookBitsPixel) return;
  FVideoHookBitsPixel = bitsPixel;
  ResetHookContexts();
}

void TCustomFFmpeg::ResetHookContexts() {
  FInputRGB.Reset(FVideoHookBitsPixel);
  FOutputRGB.Reset(FVideoHookBitsPixel);
  std::shared_ptr<IPreviewer> closed;
  std::lock_guard lock(PostHookLock());
  closed = std::move(FPreviewer);
  Fpreview_last_time = 0;
}

// Returns whether the hook bitmap now holds exactly the picture.
bool TCustomFFmpeg::VideoHookCall(const TVideoHookEvent& handler, bool& active, TRGBConvertContext& context,
                                  AVFrame* picture, int frameNumber, int64_t pts) {
  // The conversion waits until the handler looks at the bitmap.
  context.Attach(picture);
  bool update = true, stopHook = false;
  try {
    handler(this, context.Bitmap(), frameNumber, pts, update, stopHook);
  } catch (const std::exception& error) {
    Log(TLogLevel::llError, "Error occurs VideoHook event: %s", error.what());
    update = false;
  } catch (...) {
    Log(TLogLevel::llError, "Error occurs VideoHook event: unknown error");
    update = false;
  }
  using TResult = TRGBConvertContext::THookResult;
  // A handler that asked for the update without looking still gets the
  // picture through the bitmap, as it always did.
  TResult result = context.FinishHook(picture, update, true);
  if (result == TResult::ToRGBFailed) {
    Log(TLogLevel::llError, "Cannot initialize the toRGB conversion context");
    stopHook = true;
  } else if (result == TResult::NoMemory) {
    Log(TLogLevel::llError, "hook buf malloc error.");
  } else if (result == TResult::FromRGBFailed) {
    Log(TLogLevel::llError, "Cannot initialize the fromRGB conversion context");
    stopHook = true;
  }
  bool bitmapIsPicture = result == TResult::Updated;
  if (stopHook) active = false;
  return bitmapIsPicture;
}

void TCustomFFmpeg::RunFrameHooks(TAVInputStream& ist, AVFrame* picture) {
  if ((FOnInputVideoHook && FInputHookActive) || FFrameHooks.Empty()) return;
  // The decoder may still refer to this picture: work on a copy of our own.
  if (avutil.av_frame_make_writable(picture) < 0) {
    Log(TLogLevel::llError, "hook buf malloc error.");
    return;
  }
  FFrameHooks.Process(picture->data, picture->linesize, picture->format, picture->width, picture->height, ist.shown.pts);
}

void TCustomFFmpeg::RunInputVideoHook(TAVInputStream& ist, AVFrame* picture, int64_t pts) {
  if (FOnInputVideoHook && FInputHookActive)
    VideoHookCall(FOnInputVideoHook, FInputHookActive, FInputRGB, picture, static_cast<int>(ist.shown.frame_number), pts);
}

AVFrame* TCustomFFmpeg::RunOutputHooks(AVFrame* picture, int frameNumber, int64_t pts) {
  bool bitmapIsPicture = false;
  AVFrame* result = picture;
  if (FOnOutputVideoHook && FOutputHookActive) {
    if (!FOutputPictureBuf) FOutputPictureBuf = NewFrame();
    AVFrame* copy = FOutputPictureBuf.get();
    if (copy && (copy->width != picture->width || copy->height != picture->height || copy->format != picture->format)) {
      avutil.av_frame_unref(copy);
      copy->format = picture->format;
      copy->width = picture->width;
      copy->height = picture->height;
      if (avutil.av_frame_get_buffer(copy, 0) < 0) avutil.av_frame_unref(copy);
    }
    if (!copy || !copy->data[0] || avutil.av_frame_make_writable(copy) < 0 || avutil.av_frame_copy(copy, picture) < 0) {
      Log(TLogLevel::llError, "hook buf malloc error.");
    } else {
      avutil.av_frame_copy_props(copy, picture);
      bitmapIsPicture = VideoHookCall(FOnOutputVideoHook, FOutputHookActive, FOutputRGB, copy, frameNumber, pts);
      result = copy;
    }
  }
  RunPostHooks(result, frameNumber, pts, bitmapIsPicture);
  return result;
}

// What is due is decided under the lock; the picture goes out after it is
// released: the bitmap handler may wait for the main thread while the main
// thread switches the previews. The bitmap is FOutputRGB's, the worker's own.
void TCustomFFmpeg::RunPostHooks(const AVFrame* picture, int frameNumber, int64_t pts, bool bitmapIsPicture) {
  TPostHook hook;
  bool changed;
  std::shared_ptr<IPreviewer> previewer;
  {
    std::lock_guard lock(PostHookLock());
    if (!FPostHooks) return;
    int64_t now = avutil.av_gettime_relative();
    bool bitmapEvent = (FPostHooks & phBitmap) && FOnPreviewBitmap;
    changed = FPostHooksChanged;
    FPostHooksChanged = false;
    if (!(bitmapEvent || (FPostHooks & phPreview)) || now - Fpreview_last_time <= PreviewInterval) return;
    Fpreview_last_time = now;
    hook = bitmapEvent ? phBitmap : phPreview;
    previewer = FPreviewer;
  }
  if (!(bitmapIsPicture && !changed) && !FOutputRGB.ToRGB(picture)) {
    Log(TLogLevel::llError, "Cannot initialize the toRGB conversion context");
    DropPostHook(hook);
  } else if (hook == phBitmap) {
    try {
      FOnPreviewBitmap(this, FOutputRGB.Bitmap(), frameNumber, pts);
    } catch (const std::exception& error) {
      Log(TLogLevel::llError, "Error occurs PreviewBitmap event: %s", error.what());
    }
  } else {
    if (!previewer) previewer = OpenPreviewer();
    if (!previewer || !previewer->PaintFrame(FOutputRGB.Bitmap(), frameNumber, pts)) DropPostHook(phPreview);
  }
}

// Made outside the lock: the host may make its window on its main thread.
std::shared_ptr<IPreviewer> TCustomFFmpeg::OpenPreviewer() {
  std::shared_ptr<IPreviewer> previewer = FPreviewerFactory ? FPreviewerFactory() : nullptr;
  std::lock_guard lock(PostHookLock());
  if (!(FPostHooks & phPreview)) return nullptr;  // switched off meanwhile: the new window closes at once
  FPreviewer = previewer;
  return previewer;
}

void TCustomFFmpeg::DropPostHook(TPostHook hook) {
  std::shared_ptr<IPreviewer> closed;
  std::lock_guard lock(PostHookLock());
  FPostHooks &= ~hook;
  if (hook == phPreview) closed = std::move(FPreviewer);
}

void TCustomFFmpeg::RunAudioHook(TAVInputStream& ist, AVFrame* samples) {
  if (!FOnAudioHook || avutil.av_frame_make_writable(samples) < 0) return;
  int planeSize = samples->nb_samples * avutil.av_get_bytes_per_sample(static_cast<AVSampleFormat>(samples->format));
  if (!avutil.av_sample_fmt_is_planar(static_cast<AVSampleFormat>(samples->format)))
    planeSize *= samples->ch_layout.nb_channels;
  FOnAudioHook(this, ist.shown.pts, samples->extended_data, planeSize, samples->sample_rate, samples->ch_layout.nb_channels,
               static_cast<AVSampleFormat>(samples->format));
}

}  // namespace vidora
