// What the decoding hands to the output (scaling, hooks, encoding, muxing),
// in the order it comes, and the bounded queue that lets the two run on
// threads of their own.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

#include "media/engine/run_records.h"

namespace vidora {

struct TSubtitleFree {
  void operator()(AVSubtitle* subtitle) const;
};
using TSubtitlePtr = std::unique_ptr<AVSubtitle, TSubtitleFree>;

struct TOutputJob {
  enum TKind {
    Decoded,      // a picture or samples from the decoder
    Subtitle,     // a decoded subtitle
    Copy,         // a packet for the streams that copy it
    PicturesEnd,  // the decoder gave its last picture: the filter graph may give out what it holds
    Drain,        // the input stream ended: its encoders give out what they hold
    PacketDone,   // what came of one packet has been handed on: a progress report may be due
  };
  TKind kind = Decoded;
  TAVInputStream* ist = nullptr;
  TDecodedState state;  // the stream's state when the job was made
  TFramePtr frame;
  TPacketPtr packet;
  TSubtitlePtr subtitle;
  int file_index = 0;  // PacketDone
};

// Jobs in the order they were put in. Put blocks while the queue holds its
// share of pictures (each a whole decoded picture) or of jobs.
class TOutputQueue {
 public:
  void Put(TOutputJob job);
  // The next job; none once the decoding has ended and every job was taken.
  std::optional<TOutputJob> Take();
  // The decoding has ended, and how: `failure` is rethrown after the last job.
  void Close(std::exception_ptr failure);
  // The output has failed: what is queued is dropped and Put drops what comes.
  void Abandon();
  bool Abandoned() const;
  void RethrowFailure() const;

 private:
  static bool IsPicture(const TOutputJob& job) { return job.frame && job.frame->width > 0; }

  // A few pictures let the decoder run ahead over the encoder's slower
  // pictures; more only hold memory.
  static constexpr int MaxPictures = 3;
  static constexpr size_t MaxJobs = 64;
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TOutputJob> FJobs;
  int FPictures = 0;
  bool FClosed = false;
  bool FAbandoned = false;
  std::exception_ptr FFailure;
};

}  // namespace vidora
