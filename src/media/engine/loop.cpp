// The packet loop: choose the input to read, read, fix timestamps, hand the
// packet on; at the end flush, write the trailers and report.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <thread>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/logger.h"
#include "media/base/text_format.h"
#include "media/engine/declarations.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

int MaxFramesIndex(AVMediaType type) { return type >= 0 && type < 4 ? type : AVMEDIA_TYPE_DATA; }

// How much shorter than its stated length a file may end, besides 1 % of it, microseconds.
constexpr int64_t CutShortSlack = 2 * AV_TIME_BASE;

// Where a file's own times begin, in microseconds.
int64_t FileStart(const AVFormatContext& file) { return file.start_time != AV_NOPTS_VALUE ? file.start_time : 0; }

}  // namespace

int TCustomFFmpeg::ChooseInputFile(bool* noPacket) {
  if (FJoinMode) {
    for (auto& ost : Fost_table)
      if (ost->frame_number >= Fmax_frames[MaxFramesIndex(ost->enc->codec_type)]) return -1;
    return Fcurrent_part;
  }
  int fileIndex = -1;
  double ipts_min = 1e100, opts_min = 1e100;
  for (auto& ost : Fost_table) {
    TAVInputStream& ist = *Fist_table[ost->source_index];
    if (ist.is_past_recording_time || noPacket[ist.file_index]) continue;
    // Between inputs the output's progress decides too; a single input is read
    // on without asking the output, which may be busy on another thread.
    double opts = nb_input_files() > 1 ? ost->mux_end / 1000000.0 : 0;
    double ipts = static_cast<double>(ist.pts);
    if (!Ffile_table[ist.file_index].eof_reached) {
      if (ipts < ipts_min) {
        ipts_min = ipts;
        if (Finput_sync) fileIndex = ist.file_index;
      }
      if (opts < opts_min) {
        opts_min = opts;
        if (!Finput_sync) fileIndex = ist.file_index;
      }
    }
    int limit = Fmax_frames[MaxFramesIndex(ost->enc->codec_type)];
    if (limit != INT32_MAX && ost->frame_number >= limit) return -1;
  }
  return fileIndex;
}

void TCustomFFmpeg::Transcode() {
  SetUpRun();
  Ftimer_start = Flast_report_time = avutil.av_gettime_relative();
  Fcurrent_part = 0;
  std::string brokeOff;  // the first input that broke off, and where
  if (OutputRunsBeside())
    DecodeBesideOutput(brokeOff);
  else
    Decode(brokeOff);
  FinishRun(brokeOff);
}

void TCustomFFmpeg::Decode(std::string& brokeOff) {
  bool noPacket[MAX_FILES] = {};
  int noPacketCount = 0;
  AVPacket* pkt = Fpkt.get();

  while (!FBroken && !OutputAbandoned()) {
    WaitWhilePaused();  // a paused run stops here, between packets
    if (FBroken) break;
    int fileIndex = ChooseInputFile(noPacket);
    if (fileIndex < 0) {
      if (FJoinMode || noPacketCount == 0) break;
      std::fill(std::begin(noPacket), std::end(noPacket), false);
      noPacketCount = 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (OutputSizeLimitReached()) break;

    int result = avformat.av_read_frame(Finput_files[fileIndex]->ctx.get(), pkt);
    if (result == AVERROR(EAGAIN)) {
      noPacket[fileIndex] = true;
      ++noPacketCount;
      continue;
    }
    if (result < 0) {
      if (!EndInputFile(fileIndex, brokeOff)) break;
      continue;
    }
    std::fill(std::begin(noPacket), std::end(noPacket), false);
    noPacketCount = 0;
    bool handedOn = HandOnPacket(fileIndex, pkt);
    avcodec.av_packet_unref(pkt);
    if (!handedOn) continue;
    // The output reports once it has done the packet, when a report is due.
    TOutputJob done;
    done.kind = TOutputJob::PacketDone;
    done.file_index = fileIndex;
    Output(std::move(done));
  }
  ReportDecodeErrors();
  for (auto& ist : Fist_table)
    if (ist->decoding_needed && !ist->decoder_flushed) output_packet(*ist, nullptr, true);
}

bool TCustomFFmpeg::OutputSizeLimitReached() const {
  if (!Flimit_filesize) return false;
  AVIOContext* pb = Foutput_files[0]->ctx->pb;
  return pb && avformat.avio_seek(pb, 0, SEEK_CUR) >= Flimit_filesize;
}

bool TCustomFFmpeg::EndInputFile(int fileIndex, std::string& brokeOff) {
  // Damaged data ends a file like its end does, and so does a failing read
  // (a vanished input, a broken connection): what was read is converted
  // and the output finished, and then the run reports the break.
  const AVFormatContext* is = Finput_files[fileIndex]->ctx.get();
  if (is->pb && is->pb->error < 0 && brokeOff.empty())
    brokeOff = ErrorText(Format("input broke off at %.1f s", InputTimeReached(fileIndex) / 1000000.0), is->pb->error);
  Ffile_table[fileIndex].eof_reached = 1;
  if (FJoinMode) {
    if (fileIndex + 1 >= nb_input_files()) return false;
    SwitchJoinPart(fileIndex + 1);
    return true;
  }
  return !Fopt_shortest;
}

bool TCustomFFmpeg::HandOnPacket(int fileIndex, AVPacket* pkt) {
  const AVFormatContext* is = Finput_files[fileIndex]->ctx.get();
  if (Fdo_pkt_dump) avformat.av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, pkt, Fdo_hex_dump, is->streams[pkt->stream_index]);
  const TAVInputFile& file = Ffile_table[fileIndex];
  if (pkt->stream_index >= file.nb_streams) return false;
  TAVInputStream& ist = *Fist_table[file.ist_index + pkt->stream_index];
  // How far the file's packets reach, those of streams no output takes too.
  if (int64_t stamp = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts; stamp != AV_NOPTS_VALUE) {
    int64_t& readEnd = Ffile_table[fileIndex].read_end;
    readEnd = std::max(readEnd, avutil.av_rescale_q(stamp + pkt->duration, ist.st->time_base, Microseconds));
  }
  if (ist.discard) return false;

  ShiftToRunTime(fileIndex, ist, pkt);
  if (is->iformat->flags & AVFMT_TS_DISCONT) AbsorbTimestampJump(fileIndex, ist, pkt);
  // A decoded stream is read on to its first packet decoded at or after the
  // end, so that the pictures shown before the end have the pictures they
  // refer to; those shown after it are dropped once decoded. A copied stream
  // ends at its first packet shown at or after the end.
  int64_t stamp = ist.decoding_needed && pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
  if (Frecording_time != INT64_MAX && stamp != AV_NOPTS_VALUE &&
      avutil.av_rescale_q(stamp, ist.st->time_base, Microseconds) >= Frecording_time + Fstart_time) {
    ist.is_past_recording_time = 1;
    return false;
  }

  if (output_packet(ist, pkt, true) >= 0) return true;
  std::string message = Format("Error while decoding stream #%d.%d (%s)", ist.file_index, ist.index,
                               MediaTypeName(ist.dec->codec_type).c_str());
  if (Fexit_on_error) throw FFmpegException(message);
  // The first is shown; the rest are counted for the run's end.
  if (Fverbose >= 0 && ist.decode_errors++ == 0) Log(TLogLevel::llVerbose, "%s", message.c_str());
  return false;
}

int64_t TCustomFFmpeg::MissingLength(int fileIndex) const {
  // A local file whose packets end well before the length it states was cut
  // short: a download that stopped, a copy that failed. A length guessed
  // from the bit rate says nothing.
  const AVFormatContext* is = Finput_files[fileIndex]->ctx.get();
  int64_t readEnd = Ffile_table[fileIndex].read_end;
  if (!is->pb || !(is->pb->seekable & AVIO_SEEKABLE_NORMAL) || readEnd == INT64_MIN ||
      is->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
    return 0;
  // The length stated for the streams that were read: the demuxer does not
  // read a stream no one asked for, which may be the longest.
  int64_t stated = INT64_MIN;
  bool unstated = false, unread = false;
  for (unsigned s = 0; s < is->nb_streams; ++s) {
    const AVStream* st = is->streams[s];
    if (st->discard == AVDISCARD_ALL) {
      unread = true;
    } else if (st->duration == AV_NOPTS_VALUE) {
      unstated = true;
    } else {
      int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
      stated = std::max(stated, avutil.av_rescale_q(start + st->duration, st->time_base, Microseconds));
    }
  }
  // Streams without a length of their own have the file's, when all were read.
  if (unstated && (unread || is->duration == AV_NOPTS_VALUE)) return 0;
  if (unstated) stated = std::max(stated, FileStart(*is) + is->duration);
  if (stated == INT64_MIN) return 0;
  // Stated lengths run a little over what is stored (edit lists, a last
  // picture's length), never by seconds.
  int64_t missing = stated - readEnd;
  return missing <= CutShortSlack + stated / 100 ? 0 : missing;
}

void TCustomFFmpeg::ReportDecodeErrors() {
  FlushRepeatedLibraryLines();
  for (const auto& ist : Fist_table)
    if (ist->decode_errors > 1)
      Log(TLogLevel::llWarning, "Stream #%d.%d (%s): %d packets could not be decoded and were skipped",
          ist->file_index, ist->index, MediaTypeName(ist->dec->codec_type).c_str(), ist->decode_errors);
}

void TCustomFFmpeg::ShiftToRunTime(int fileIndex, const TAVInputStream& ist, AVPacket* pkt) {
  AVRational timeBase = ist.st->time_base;
  int64_t offset = avutil.av_rescale_q(Finput_files[fileIndex]->ts_offset, Microseconds, timeBase);
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += offset;
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += offset;
  if (double scale = Finput_files_ts_scale[fileIndex][std::min(pkt->stream_index, MAX_STREAMS - 1)]; scale != 0) {
    if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = std::llround(pkt->dts * scale);
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = std::llround(pkt->pts * scale);
  }
}

void TCustomFFmpeg::AbsorbTimestampJump(int fileIndex, const TAVInputStream& ist, AVPacket* pkt) {
  if (pkt->dts == AV_NOPTS_VALUE || ist.next_pts == AV_NOPTS_VALUE || Fcopy_ts) return;
  AVRational timeBase = ist.st->time_base;
  int64_t pktDts = avutil.av_rescale_q(pkt->dts, timeBase, Microseconds);
  int64_t delta = pktDts - ist.next_pts;
  if (std::llabs(delta) <= Fdts_delta_threshold * AV_TIME_BASE && pktDts + 1 >= ist.pts) return;
  // The jump goes into the file's offset, so the packets after it follow on too.
  int64_t& offset = Finput_files[fileIndex]->ts_offset;
  offset -= delta;
  int64_t shift = avutil.av_rescale_q(delta, Microseconds, timeBase);
  pkt->dts -= shift;
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= shift;
  if (Fverbose >= 3)
    Log(TLogLevel::llVerbose, "timestamp discontinuity %" PRId64 ", new offset= %" PRId64, delta, offset);
}

void TCustomFFmpeg::FinishRun(const std::string& brokeOff) {
  for (auto& ost : Fost_table) FlushBitstreamFilters(*ost);
  WriteTrailers();
  print_report(true, -1);
  if (!FBroken)
    if (std::string empty = EmptyOutputSource(); !empty.empty())
      throw FFmpegException(empty + ": nothing could be read from it");
  if (!brokeOff.empty()) throw FFmpegException(brokeOff);
  if (!FBroken) {
    FShortfall = EmptyStreams();
    FCutShortAt = -1;
    // A file cut short gives what it holds, finished like any output; the run
    // says where it ends, in the film's time, also when it began further on.
    for (int f = 0; f < nb_input_files(); ++f) {
      int64_t missing = Ffile_table[f].eof_reached ? MissingLength(f) : 0;
      if (missing <= 0) continue;
      int64_t end = Ffile_table[f].read_end - FileStart(*Finput_files[f]->ctx);
      FCutShortAt = FCutShortAt < 0 ? end : std::min(FCutShortAt, end);
      FShortfall += (FShortfall.empty() ? "" : "; ") +
                    Format("input broke off at %.1f s: the file ends %.1f s before its stated length", end / 1000000.0,
                           missing / 1000000.0);
    }
  }
  FFinished = !FBroken;
}

std::string TCustomFFmpeg::EmptyOutputSource() const {
  for (const auto& ost : Fost_table)
    if (!Foutput_files[ost->file_index]->packets) return Finput_files[Fist_table[ost->source_index]->file_index]->file_name;
  return {};
}

std::string TCustomFFmpeg::EmptyStreams() const {
  std::string shortfall;
  for (const auto& ost : Fost_table) {
    if (ost->packets || !Foutput_files[ost->file_index]->packets) continue;
    const TAVInputStream& ist = *Fist_table[ost->source_index];
    std::string what = ist.dec->codec_type == AVMEDIA_TYPE_VIDEO ? "no picture" : "no sound";
    shortfall += (shortfall.empty() ? "" : "; ") + what + " could be decoded from stream #" +
                 std::to_string(ist.file_index) + "." + std::to_string(ist.index) + ", so " +
                 Foutput_files[ost->file_index]->file_name + " has none";
  }
  return shortfall;
}

void TCustomFFmpeg::WriteTrailers() {
  // Every file that can be finished is, whatever another one's trailer did.
  std::string failure;
  int code = 0;
  int files = FJoinMode ? 1 : nb_output_files();
  for (int f = 0; f < files; ++f) {
    TOutputFile& file = *Foutput_files[f];
    // A file that received nothing is not finished: it is removed, not kept as a result.
    if (!file.packets) continue;
    int result = avformat.av_write_trailer(file.ctx.get());
    file.finished = result >= 0;
    if (file.finished) CorrectDeclarations(f, file);
    if (result < 0 && failure.empty()) {
      failure = result == AVERROR(ENOSPC) ? NoSpaceText(file) : ErrorText(file.file_name, result);
      code = result;
    }
  }
  if (!failure.empty()) throw FFmpegException(failure, code);
}

void TCustomFFmpeg::CorrectDeclarations(int fileIndex, const TOutputFile& file) {
  // Only MP4-family files declare levels and modes, and only a local file can be corrected.
  static const std::string family = ",3gp,3g2,mp4,mov,ipod,psp,";
  if (file.temp_file.empty() || family.find("," + std::string(file.ctx->oformat->name) + ",") == std::string::npos)
    return;
  std::vector<TStreamFacts> streams(file.ctx->nb_streams);
  for (const auto& ost : Fost_table) {
    if (ost->file_index != fileIndex || ost->index >= static_cast<int>(streams.size())) continue;
    TStreamFacts& facts = streams[ost->index];
    facts.codec = ost->st->codecpar->codec_id;
    facts.width = ost->st->codecpar->width;
    facts.height = ost->st->codecpar->height;
    if (ost->enc->time_base.num) facts.frame_rate = 1 / av_q2d(ost->enc->time_base);
    facts.peak_bit_rate = PeakBitRate(ost->packet_log);
    facts.amr_modes = ost->amr_modes;
  }
  std::string problem = vidora::CorrectDeclarations(file.temp_file, streams);
  if (!problem.empty()) Log(TLogLevel::llWarning, "%s: %s", file.file_name.c_str(), problem.c_str());
}

int64_t TCustomFFmpeg::InputTimeReached(int fileIndex) const {
  const TAVInputFile& file = Ffile_table[fileIndex];
  int64_t reached = 0;
  for (int s = 0; s < file.nb_streams; ++s) {
    const TAVInputStream& ist = *Fist_table[file.ist_index + s];
    if (!ist.discard && ist.next_pts != AV_NOPTS_VALUE) reached = std::max(reached, ist.next_pts);
  }
  return std::max<int64_t>(reached - file.part_start, 0);
}

void TCustomFFmpeg::SwitchJoinPart(int part) {
  // Drain the finished part's decoders; the encoders go on with the next part.
  for (auto& ist : Fist_table) {
    if (ist->file_index != Fcurrent_part || !ist->decoding_needed) continue;
    output_packet(*ist, nullptr, false);
    avcodec.avcodec_flush_buffers(ist->dec);
    ist->decoder_flushed = 1;
  }
  // The next part starts where the output has got to.
  int64_t partEnd = 0;
  for (auto& ost : Fost_table) {
    int64_t fed = ost->encoding_needed
                      ? avutil.av_rescale_q(ost->sync_opts, ost->enc->time_base, Microseconds)
                      : ost->mux_end;
    partEnd = std::max(partEnd, fed);
  }
  Finput_files[part]->ts_offset += partEnd;
  Ffile_table[part].part_start = partEnd;
  for (size_t o = 0; o < Fost_table.size(); ++o) {
    TAVOutputStream& ost = *Fost_table[o];
    ost.source_index = Fjoin_sources[part][o];
    ost.sync_ist = Fist_table[ost.source_index].get();
  }
  Fcurrent_part = part;
}

}  // namespace vidora
