// The records one run of a task builds over its files and streams. They are
// the run's worker's alone: SetUpRun builds them and ReleaseRun frees them.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "media/base/av_owners.h"
#include "media/base/media_headers.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

namespace vidora {

struct TOutputStreamCodec;
class TAMRNBEncoder;

struct TAVInputFile {
  int eof_reached = 0;  // reading returned end of file or an error
  int ist_index = 0;    // the file's first stream in the input-stream table
  int nb_streams = 0;
  int64_t part_start = 0;  // join mode: where this file's part starts in the output, microseconds
  int64_t read_end = INT64_MIN;  // how far its packets reached, microseconds of its own time
};

// The form of the pictures a decoder gives.
struct TDecodedForm {
  int width = 0, height = 0, pix_fmt = -1;
  AVRational sample_aspect_ratio{0, 1};
};
TDecodedForm FormOf(const AVCodecContext* dec);
TDecodedForm FormOf(const AVFrame* picture);

// An input stream as its output sees it: as it was when the picture or
// samples being output were decoded. The output may run behind the decoding
// on a thread of its own (output_queue.h), so it reads this alone of the
// stream's changing state.
struct TDecodedState {
  int64_t pts = 0;  // microseconds
  int64_t frame_number = 0;
  int quality = 0;
  TDecodedForm form;
};

struct TAVInputStream {
  int file_index = 0;
  int index = 0;  // within its file
  int table_index = 0;  // in the run's input-stream table
  AVStream* st = nullptr;
  AVCodecContext* dec = nullptr;  // owned by the input file's codec table
  const AVCodec* decoder = nullptr;
  bool decoder_open = false;
  int discard = 1;  // until an output stream takes this stream
  int decoding_needed = 0;
  int64_t frame_number = 0;
  int64_t start = 0;     // wall clock at set-up, for rate emulation
  int64_t next_pts = AV_NOPTS_VALUE;  // microseconds
  int64_t pts = 0;       // microseconds
  int is_start = 1;
  int showed_multi_packet_warning = 0;
  int is_past_recording_time = 0;
  int decoder_flushed = 0;
  int quality = 0;  // of the last decoded picture
  bool fast_decode = false;  // decoded for a much smaller picture (fast_decode.cpp)
  int decode_errors = 0;  // packets the decoder refused
  bool interlaced_seen = false;  // a picture marked interlaced has been decoded
  // Its interlaced pictures are shrunk from their first field alone, which
  // stands in for the deinterlacer (fast_decode.cpp).
  bool scales_fields = false;
  // Pictures no output shows are not decoded where the codec can leave them
  // out: those before the start, and those the output's picture rate
  // (capped_rate, when it drops some) leaves out (fast_decode.cpp).
  bool skips_unseen = false;
  AVRational capped_rate{0, 1};
  std::array<std::pair<int64_t, int64_t>, 16> recent_slots{};  // time and output slot of the latest packets
  size_t recent_count = 0;
  TDecodedState shown;  // the output's alone
};

struct TAVOutputStream {
  int file_index = 0;
  int index = 0;
  int source_index = 0;
  AVStream* st = nullptr;
  TOutputStreamCodec* codec = nullptr;  // encoder context, chosen encoder, copy flag
  AVCodecContext* enc = nullptr;        // the same context, for short
  bool encoder_open = false;
  int encoding_needed = 0;
  int frame_number = 0;
  TAVInputStream* sync_ist = nullptr;
  int64_t sync_opts = 0;     // next output timestamp, encoder time base
  int64_t mux_end = 0;       // end of the last packet written, microseconds
  int64_t packets = 0;       // written to the file
  int last_quality = -1;     // of the last coded picture, lambda units
  int last_picture_type = 0;
  int show_fps = 0;

  // Video.
  int video_resample = 0;
  TFramePtr pict_tmp;
  TSwsPtr img_resample_ctx;
  int resample_height = 0, resample_width = 0, resample_pix_fmt = -1;
  int scaled_field = 0;  // what the scaler takes: 0 the whole picture, 1 its top field, 2 its bottom field
  int original_height = 0, original_width = 0;
  int video_crop = 0;
  bool graph_deferred = false;  // the filter graph waits for the first picture's form
  int topBand = 0, bottomBand = 0, leftBand = 0, rightBand = 0;
  int original_topBand = 0, original_bottomBand = 0, original_leftBand = 0, original_rightBand = 0;

  // Audio: one converter for rate, format and channels, and a FIFO in front
  // of frame-based encoders.
  TSwrPtr swr;
  int swr_in_rate = 0;
  int swr_in_format = -1;
  AVChannelLayout swr_in_layout{};
  TAudioFifoPtr fifo;
  TFramePtr fifo_frame;  // one encoder frame taken from the FIFO
  std::unique_ptr<TAMRNBEncoder> amrnb;

  // Subtitles: the encoder's output buffer, made once.
  std::vector<uint8_t> subtitle_out;

  // What the file must declare of the stream (H.263, MPEG-4 Visual, AMR-NB):
  // every packet's time in microseconds and size, and the AMR modes met.
  std::vector<std::pair<int64_t, int>> packet_log;
  unsigned amr_modes = 0;

  std::vector<TBsfPtr> bsfs;
  FILE* logfile = nullptr;  // two-pass statistics

  TAVOutputStream();
  ~TAVOutputStream();
  TAVOutputStream(const TAVOutputStream&) = delete;
  TAVOutputStream& operator=(const TAVOutputStream&) = delete;
};

// How a source's pictures are made phone-ready before they are scaled.
struct TPictureShaping {
  int rotation = 0;  // clockwise degrees that turn the stored picture upright: 0, 90, 180, 270
  bool mirror = false;  // flipped left to right before it is turned
  int deinterlace = 0;  // 0: no, 1: every picture, -1: the pictures marked interlaced
  int fit_width = 0;    // with padding, the picture's size inside the frame; 0: the frame's
  int fit_height = 0;
  bool Any() const { return rotation || mirror || deinterlace || fit_width; }
};

// The video filter graph of a run: buffer source, optional deinterlacing,
// crop, rotation, scale and padding, the user's filters, and a sink that
// gives the encoder's pixel format.
struct TVideoFilterGraph {
  TFilterGraphPtr graph;
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
  TAVInputStream* input = nullptr;
  bool deinterlaced = false;  // it joins the fields of pictures marked interlaced
  bool drained = false;  // the source has been told the stream ended
};

}  // namespace vidora
