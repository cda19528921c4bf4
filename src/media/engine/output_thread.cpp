// The output of a run (scaling, hooks, encoding, muxing) beside its decoding:
// while the output works on one picture, the decoding reads and decodes the
// next ones on a thread of its own. Everything the decoding gives out passes
// as a job, in order, so the output does the same work in the same order
// whether it runs beside the decoding or straight after it.
#include <thread>

#include "media/base/bindings.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

bool TCustomFFmpeg::OutputRunsBeside() const {
  // Where the decoding's next step depends on how far the output has got (the
  // choice between inputs, a join's next part, frame and size limits, one
  // stream timed by another's clock), the two take turns on one thread.
  if (FJoinMode || nb_input_files() != 1 || Flimit_filesize) return false;
  for (int limit : Fmax_frames)
    if (limit != INT32_MAX) return false;
  bool picturesOut = false;
  for (const auto& ost : Fost_table) {
    const TAVInputStream& ist = *Fist_table[ost->source_index];
    if (ost->sync_ist && ost->sync_ist != &ist) return false;
    picturesOut = picturesOut || (ost->encoding_needed && ist.dec->codec_type == AVMEDIA_TYPE_VIDEO);
  }
  // Without pictures to scale and encode, the output is too little work to wait for.
  return picturesOut;
}

void TCustomFFmpeg::DecodeBesideOutput(std::string& brokeOff) {
  TOutputQueue queue;
  FOutputQueue = &queue;
  std::thread decoding([this, &queue, &brokeOff] {
    std::exception_ptr failure;
    try {
      Decode(brokeOff);
    } catch (...) {
      failure = std::current_exception();
    }
    queue.Close(failure);
  });
  try {
    while (std::optional<TOutputJob> job = queue.Take()) {
      WaitWhilePaused();  // a paused run stops its output too, not only its reading
      RunOutputJob(*job);
    }
  } catch (...) {
    queue.Abandon();
    decoding.join();
    FOutputQueue = nullptr;
    throw;
  }
  decoding.join();
  FOutputQueue = nullptr;
  // The decoding failed after handing on what came before the failure, which the output has done.
  queue.RethrowFailure();
}

bool TCustomFFmpeg::OutputAbandoned() const { return FOutputQueue && FOutputQueue->Abandoned(); }

TOutputJob TCustomFFmpeg::Job(TOutputJob::TKind kind, TAVInputStream& ist) const {
  TOutputJob job;
  job.kind = kind;
  job.ist = &ist;
  job.state = {ist.pts, ist.frame_number, ist.quality, FormOf(ist.dec)};
  return job;
}

void TCustomFFmpeg::Output(TOutputJob job) {
  if (FOutputQueue)
    FOutputQueue->Put(std::move(job));
  else
    RunOutputJob(job);
}

void TCustomFFmpeg::RunOutputJob(TOutputJob& job) {
  if (job.kind == TOutputJob::PacketDone) {
    int64_t now = avutil.av_gettime_relative();
    if (now - Flast_report_time > ReportInterval) {
      Flast_report_time = now;
      print_report(false, job.file_index);
    }
    return;
  }
  TAVInputStream& ist = *job.ist;
  ist.shown = job.state;
  auto fed = [&](const auto& ost, bool encoded) {
    return ost->source_index == ist.table_index && (ost->encoding_needed != 0) == encoded;
  };
  switch (job.kind) {
    case TOutputJob::Decoded: OutputDecoded(ist, job.frame.get()); break;
    case TOutputJob::Subtitle:
      for (auto& ost : Fost_table)
        if (fed(ost, true)) do_subtitle_out(*ost, ist, job.subtitle.get(), ist.shown.pts);
      break;
    case TOutputJob::Copy:
      for (auto& ost : Fost_table)
        if (fed(ost, false)) CopyPacket(*ost, ist, job.packet.get());
      break;
    case TOutputJob::PicturesEnd:
      if (FGraph.graph && FGraph.input == &ist) FilterPicture(ist, nullptr);
      break;
    case TOutputJob::Drain:
      for (auto& ost : Fost_table)
        if (fed(ost, true)) DrainEncoder(*ost);
      break;
    case TOutputJob::PacketDone: break;
  }
}

}  // namespace vidora
