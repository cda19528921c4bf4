// Releasing what opening the files created.
#include <filesystem>
#include <set>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/base/unicode_io.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

TOutputStreamCodec::~TOutputStreamCodec() {
  // The second pass's statistics are ours to free, whether the encoder opened or not.
  if (codec) avutil.av_freep(&codec->stats_in);
}

void TOutputFile::Close() {
  {
    std::lock_guard lock(CodecLock());
    streams.clear();
  }
  mux_opts.reset();
  if (ctx && !(ctx->oformat->flags & AVFMT_NOFILE) && ctx->pb) CloseIO(&ctx->pb);
  ctx.reset();
}

void TCustomFFmpeg::CloseOutputFile(TOutputFile& file) {
  bool wasOpen = file.ctx != nullptr;
  file.Close();
  if (!wasOpen || file.temp_file.empty()) return;
  std::error_code error;
  if (file.finished) {
    std::filesystem::rename(file.temp_file, file.created_file, error);
    if (!error) return;
    // Where the output cannot take its name, the run has not given what was asked.
    FFatalMessage = Format("%s: the finished output could not take its name: %s", file.file_name.c_str(),
                           error.message().c_str());
    FFatalException = true;
    Log(TLogLevel::llError, "%s", FFatalMessage.c_str());
  }
  // A file the run could not finish does not play, and one that received
  // nothing is nothing: neither is kept.
  std::filesystem::remove(file.temp_file, error);
  if (FFatalException) Log(TLogLevel::llError, "%s: removed, the conversion could not finish it", file.file_name.c_str());
}

void TCustomFFmpeg::Cleanup() {
  // In join mode the entries share one container: close it once.
  std::set<TOutputFile*> closed;
  for (auto& file : Foutput_files)
    if (closed.insert(file.get()).second) CloseOutputFile(*file);
  Foutput_files.clear();
  Finput_files.clear();
  FreeOptions(FOptions);
  if (Fvstats_file) {
    std::fclose(Fvstats_file);
    Fvstats_file = nullptr;
  }
  Fvstats_filename.clear();
  Fintra_matrix.clear();
  Finter_matrix.clear();
  Fvideo_codec_name.clear();
  Faudio_codec_name.clear();
  Fsubtitle_codec_name.clear();
  Fvideo_standard.clear();
  Fvideo_rc_override_string.clear();
  Fvideo_language.clear();
  Faudio_language.clear();
  Fsubtitle_language.clear();
  Fsubtitle_codec_tag = 0;
  FFrameHooks.Release();
  FOutputPictureBuf.reset();
  ResetHookContexts();
}

}  // namespace vidora
