// Coded packets to the file: encoder output, bitstream filters, interleaved
// writing, the two-pass log and the video statistics file.
#include <cmath>
#include <filesystem>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

FFmpegException EncodingFailure(const AVCodecContext* enc, int code) {
  return FFmpegException(enc->codec_type == AVMEDIA_TYPE_VIDEO ? "Video encoding failed" : "Audio encoding failed",
                         code);
}

}  // namespace

void TCustomFFmpeg::ReceivePackets(TAVOutputStream& ost) {
  AVCodecContext* enc = ost.enc;
  while (true) {
    int result = avcodec.avcodec_receive_packet(enc, Fenc_pkt.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
    if (result < 0) throw EncodingFailure(enc, result);
    int size = Fenc_pkt->size;
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
      Fvideo_size += size;
      size_t sideSize = 0;
      if (const uint8_t* stats =
              avcodec.av_packet_get_side_data(Fenc_pkt.get(), AV_PKT_DATA_QUALITY_STATS, &sideSize); stats && sideSize >= 5) {
        ost.last_quality = stats[0] | stats[1] << 8 | stats[2] << 16 | stats[3] << 24;  // little-endian
        ost.last_picture_type = stats[4];
      }
      if (ost.logfile && enc->stats_out) std::fputs(enc->stats_out, ost.logfile);
      // Every coded picture stands for one tick of the encoder's clock; the
      // video encoders leave that out, and without it the last picture would
      // end where it begins, in the muxer and in the progress.
      if (!Fenc_pkt->duration) Fenc_pkt->duration = 1;
    } else {
      Faudio_size += size;
    }
    avcodec.av_packet_rescale_ts(Fenc_pkt.get(), enc->time_base, ost.st->time_base);
    write_frame(ost, Fenc_pkt.get());
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO && !Fvstats_filename.empty()) WriteVideoStats(ost, size);
  }
}

void TCustomFFmpeg::write_frame(TAVOutputStream& ost, AVPacket* pkt) {
  if (ost.bsfs.empty())
    MuxPacket(ost, pkt);
  else
    FilterPacket(ost, 0, pkt, false);
}

void TCustomFFmpeg::FilterPacket(TAVOutputStream& ost, size_t index, AVPacket* pkt, bool end) {
  AVBSFContext* bsf = ost.bsfs[index].get();
  // A filter may give several packets for one, or none until it has more.
  int result = avcodec.av_bsf_send_packet(bsf, end ? nullptr : pkt);
  while (result >= 0) {
    result = avcodec.av_bsf_receive_packet(bsf, pkt);
    if (result < 0) break;
    if (index + 1 < ost.bsfs.size())
      FilterPacket(ost, index + 1, pkt, false);
    else
      MuxPacket(ost, pkt);
  }
  if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
  const char* codec = ost.codec->stream_copy ? "copy"
                      : ost.enc->codec    ? ost.enc->codec->name
                                          : avcodec.avcodec_get_name(ost.enc->codec_id);  // opencore's AMR-NB
  std::string message =
      ErrorText(Format("%s failed for stream %d, codec %s", bsf->filter->name, ost.index, codec), result);
  avcodec.av_packet_unref(pkt);
  if (Fexit_on_error) throw FFmpegException(message, result);
  Log(TLogLevel::llError, "%s", message.c_str());
}

void TCustomFFmpeg::FlushBitstreamFilters(TAVOutputStream& ost) {
  // Each filter in turn learns that the stream has ended; what it still held
  // goes through the filters after it.
  for (size_t index = 0; index < ost.bsfs.size(); ++index) FilterPacket(ost, index, Fenc_pkt.get(), true);
}

void TCustomFFmpeg::MuxPacket(TAVOutputStream& ost, AVPacket* pkt) {
  pkt->stream_index = ost.index;
  if (!ost.bsfs.empty()) avcodec.av_packet_rescale_ts(pkt, ost.bsfs.back()->time_base_out, ost.st->time_base);
  int64_t end = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (end != AV_NOPTS_VALUE)
    ost.mux_end = std::max(ost.mux_end, avutil.av_rescale_q(end + pkt->duration, ost.st->time_base, Microseconds));
  NotePacket(ost, pkt);
  TOutputFile& file = *Foutput_files[ost.file_index];
  int result = avformat.av_interleaved_write_frame(file.ctx.get(), pkt);
  if (result == AVERROR(ENOSPC)) throw FFmpegException(NoSpaceText(file), result);
  if (result < 0) throw FFmpegException(ErrorText("av_interleaved_write_frame()", result), result);
  ++file.packets;
  ++ost.packets;
}

std::string TCustomFFmpeg::NoSpaceText(const TOutputFile& file) {
  if (file.created_file.empty()) return file.file_name + ": no space left on the device";
  std::error_code error;
  std::filesystem::path folder = std::filesystem::absolute(file.created_file, error).parent_path();
  return Format("%s: no space left on the disk holding %s", file.file_name.c_str(), folder.c_str());
}

void TCustomFFmpeg::NotePacket(TAVOutputStream& ost, const AVPacket* pkt) {
  AVCodecID codec = ost.st->codecpar->codec_id;
  if (codec == AV_CODEC_ID_AMR_NB && pkt->size > 0) {
    int mode = pkt->data[0] >> 3 & 0x0F;  // the frame header's type
    if (mode < 8) ost.amr_modes |= 1u << mode;
  }
  if ((codec == AV_CODEC_ID_H263 || codec == AV_CODEC_ID_MPEG4) && pkt->dts != AV_NOPTS_VALUE)
    ost.packet_log.emplace_back(avutil.av_rescale_q(pkt->dts, ost.st->time_base, Microseconds), pkt->size);
}

void TCustomFFmpeg::DrainEncoder(TAVOutputStream& ost) {
  AVCodecContext* enc = ost.enc;
  if (enc->codec_type == AVMEDIA_TYPE_AUDIO) {
    EncodeAudioFifo(ost, true);
    if (ost.amrnb) return;
  } else if (enc->codec_type != AVMEDIA_TYPE_VIDEO) {
    return;
  }
  if (!ost.encoder_open) return;
  int result = avcodec.avcodec_send_frame(enc, nullptr);
  if (result < 0 && result != AVERROR_EOF) throw EncodingFailure(enc, result);
  ReceivePackets(ost);
}

void TCustomFFmpeg::WriteVideoStats(TAVOutputStream& ost, int frameSize) {
  if (!Fvstats_file) {
    Fvstats_file = std::fopen(Fvstats_filename.c_str(), "w");
    if (!Fvstats_file) throw FFmpegException("fopen fail: " + Fvstats_filename);
  }
  AVCodecContext* enc = ost.enc;
  std::fprintf(Fvstats_file, "frame= %5d q= %2.1f ", ost.frame_number + 1, ost.last_quality / double(FF_QP2LAMBDA));
  if (enc->flags & AV_CODEC_FLAG_PSNR)
    std::fprintf(Fvstats_file, "PSNR= %6.2f ",
                 -10.0 * std::log10(enc->error[0] / (enc->width * enc->height * 255.0 * 255.0) + 1e-30));
  std::fprintf(Fvstats_file, "f_size= %6d ", frameSize);
  double time = std::max(0.01, ost.sync_opts * av_q2d(enc->time_base));
  double bitRate = frameSize * 8 / av_q2d(enc->time_base) / 1000.0;
  double averageRate = Fvideo_size * 8 / time / 1000.0;
  std::fprintf(Fvstats_file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
               Fvideo_size / 1024.0, time, bitRate, averageRate);
  std::fprintf(Fvstats_file, "type= %c\n",
               avutil.av_get_picture_type_char(static_cast<AVPictureType>(ost.last_picture_type)));
}

}  // namespace vidora
