// The progress report: a text line and the progress event.
#include <cmath>

#include "media/base/bindings.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {
// Quantiser histogram of the "qphist" option, shared by all tasks as it always was.
int QuantiserHistogram[52];
}

void TCustomFFmpeg::print_report(bool isLast, int fileIndex) {
  AVFormatContext* oc = Foutput_files[0]->ctx.get();
  int64_t totalSize = 0;
  if (oc->pb) {
    totalSize = avformat.avio_size(oc->pb);
    if (totalSize < 0) totalSize = avformat.avio_seek(oc->pb, 0, SEEK_CUR);
    if (totalSize < 0) totalSize = 0;
  }
  double elapsed = (avutil.av_gettime_relative() - Ftimer_start) / 1000000.0;

  std::string line;
  int frameNumber = -1, fps = -1;
  float quality = -1;
  bool firstVideo = true;
  for (auto& ost : Fost_table) {
    AVCodecContext* enc = ost->enc;
    if (enc->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    float q = ost->codec->stream_copy ? -1 : ost->last_quality / static_cast<float>(FF_QP2LAMBDA);
    if (!firstVideo || !ost->show_fps) {
      line += Format("q=%2.1f ", q);
      continue;
    }
    firstVideo = false;
    frameNumber = ost->frame_number;
    if (frameNumber < 1 && !isLast) return;  // nothing to tell until the first picture
    fps = elapsed > 1 ? static_cast<int>(std::lround(frameNumber / elapsed)) : 0;
    quality = q;
    line += Format("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, q);
    if (isLast) line += "L";
    if (Fqp_hist) {
      int qp = static_cast<int>(std::lround(q));
      if (qp >= 0 && qp < 52) ++QuantiserHistogram[qp];
      for (int j = 0; j < 32; ++j) line += Format("%X", static_cast<int>(std::lround(std::log2(QuantiserHistogram[j] + 1))));
    }
    if (enc->flags & AV_CODEC_FLAG_PSNR) {
      double total = 0, scaleTotal = 0;
      line += "PSNR=";
      for (int j = 0; j < 3; ++j) {
        double error = static_cast<double>(enc->error[j]);
        double scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0 * (isLast ? frameNumber : 1);
        if (j) scale /= 4;
        total += error;
        scaleTotal += scale;
        line += Format("%c:%2.2f ", "YUV"[j], -10.0 * std::log10(error / scale + 1e-30));
      }
      line += Format("*:%2.2f ", -10.0 * std::log10(total / scaleTotal + 1e-30));
    }
  }

  double outputTime = 1e100;
  for (auto& ost : Fost_table)
    if (ost->mux_end > 0) outputTime = std::min(outputTime, ost->mux_end / 1000000.0);
  if (outputTime == 1e100) outputTime = 0;
  outputTime = std::max(outputTime, 0.01);

  if (FOnProgress || Fverbose > 0 || isLast) {
    double bitRate = totalSize * 8 / outputTime / 1000.0;
    line += Format("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", totalSize / 1024.0, outputTime, bitRate);
    if (Fnb_frames_dup || Fnb_frames_drop) {
      line += Format(" dup=%d drop=%d", Fnb_frames_dup, Fnb_frames_drop);
      if (FShowDupOrDrop && Fverbose >= 0 && FOnProgress) {
        Log(TLogLevel::llVerbose, "%s", line.c_str());
        FShowDupOrDrop = false;
      }
    }
    if (line.size() > 1024) line.resize(1024);
    if (FOnProgress)
      FOnProgress(this, fileIndex, frameNumber, fps, quality, static_cast<float>(bitRate), totalSize,
                  static_cast<int64_t>(outputTime * 1000000), FTotalOutputDuration);
    else if (Fverbose >= 0)
      Log(TLogLevel::llVerbose, "%s", line.c_str());
  }

  if (isLast && Fverbose >= 0) {
    double sum = static_cast<double>(Fvideo_size + Faudio_size + Fextra_size);
    Log(TLogLevel::llVerbose, "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
        Fvideo_size / 1024.0, Faudio_size / 1024.0, Fextra_size / 1024.0,
        sum > 0 ? (totalSize - sum) * 100.0 / sum : 0.0);
  }
}

}  // namespace vidora
