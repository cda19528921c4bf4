// The optional video filter graph: source, deinterlacing, crop, rotation,
// scale and padding, the user's filters, and a sink restricted to the
// encoder's pixel format; and the choice of what a source needs.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

AVFilterContext* AddFilter(AVFilterGraph* graph, const char* filter, const char* name, const std::string& args) {
  AVFilterContext* context = nullptr;
  const AVFilter* definition = avfilter.avfilter_get_by_name(filter);
  int result = definition ? avfilter.avfilter_graph_create_filter(&context, definition, name,
                                                                  args.empty() ? nullptr : args.c_str(), nullptr, graph)
                          : AVERROR_FILTER_NOT_FOUND;
  if (result < 0) throw FFmpegException("Error opening filters!", result);
  return context;
}

void Link(AVFilterContext* from, AVFilterContext* to) {
  if (int result = avfilter.avfilter_link(from, 0, to, 0); result < 0) throw FFmpegException("Error opening filters!", result);
}

// Adds the filter after `last` and makes it the last one.
void Append(AVFilterGraph* graph, AVFilterContext*& last, const char* filter, const char* name,
            const std::string& args) {
  AVFilterContext* next = AddFilter(graph, filter, name, args);
  Link(last, next);
  last = next;
}

bool Interlaced(const AVCodecParameters* par) {
  return par->field_order != AV_FIELD_UNKNOWN && par->field_order != AV_FIELD_PROGRESSIVE;
}

// Even, and at least 2.
int EvenSize(double size) { return std::max(2, static_cast<int>(std::lround(size / 2)) * 2); }

}  // namespace

int DisplayRotation(const AVStream* st, bool* mirrored) {
  double degrees = 0;
  if (mirrored) *mirrored = false;
  if (const uint8_t* data = avformat.av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
    int32_t matrix[9];
    std::memcpy(matrix, data, sizeof matrix);
    // A mirroring matrix (front cameras) is a left-right flip of the stored
    // picture followed by a turn: undo the flip to read the turn.
    bool flipped = static_cast<int64_t>(matrix[0]) * matrix[4] - static_cast<int64_t>(matrix[1]) * matrix[3] < 0;
    if (flipped) matrix[0] = -matrix[0], matrix[1] = -matrix[1];
    if (mirrored) *mirrored = flipped;
    // The matrix turns counter-clockwise; players turn the picture clockwise by its negation.
    degrees = -avutil.av_display_rotation_get(matrix);
  } else if (const AVDictionaryEntry* tag = avutil.av_dict_get(st->metadata, "rotate", nullptr, 0)) {
    degrees = std::atof(tag->value);
  }
  if (std::isnan(degrees)) return 0;
  int quarter = static_cast<int>(std::lround(degrees / 90.0)) % 4;
  return (quarter + 4) % 4 * 90;
}

TDecodedForm FormOf(const AVCodecContext* dec) {
  return {dec->width, dec->height, dec->pix_fmt, dec->sample_aspect_ratio};
}

TDecodedForm FormOf(const AVFrame* picture) {
  return {picture->width, picture->height, picture->format, picture->sample_aspect_ratio};
}

TPictureShaping TCustomFFmpeg::PictureShaping(const TAVOutputStream& ost, const TAVInputStream& ist,
                                              const TDecodedForm& form) const {
  TPictureShaping shaping;
  if (Fautorotate) shaping.rotation = DisplayRotation(ist.st, &shaping.mirror);
  if (ist.scales_fields)
    shaping.deinterlace = 0;  // the scaler takes one field
  else if (Fdo_deinterlace == 1)
    shaping.deinterlace = 1;
  else if (Fdo_deinterlace < 0 && (Interlaced(ist.st->codecpar) || ist.interlaced_seen))
    shaping.deinterlace = -1;
  if (!Ffit_pad) return shaping;
  // The source's shape as it is shown: its pixels' aspect, turned upright.
  AVRational sar = ist.st->sample_aspect_ratio.num ? ist.st->sample_aspect_ratio : form.sample_aspect_ratio;
  double pixelAspect = sar.num && sar.den ? av_q2d(sar) : 1.0;
  double width = (form.width - ost.leftBand - ost.rightBand) * pixelAspect;
  double height = form.height - ost.topBand - ost.bottomBand;
  if (shaping.rotation % 180) std::swap(width, height);
  int frameWidth = ost.enc->width, frameHeight = ost.enc->height;
  if (width <= 0 || height <= 0 || frameWidth <= 0 || frameHeight <= 0) return shaping;
  int fitWidth = frameWidth, fitHeight = frameHeight;
  if (width * frameHeight > height * frameWidth)
    fitHeight = std::min(frameHeight, EvenSize(frameWidth * height / width));
  else
    fitWidth = std::min(frameWidth, EvenSize(frameHeight * width / height));
  if (fitWidth != frameWidth || fitHeight != frameHeight) {
    shaping.fit_width = fitWidth;
    shaping.fit_height = fitHeight;
  }
  return shaping;
}

void TCustomFFmpeg::ConfigureFilterGraph(TAVOutputStream& ost, TAVInputStream& ist, const TPictureShaping& shaping,
                                         const TDecodedForm& form) {
  FreeFilterGraph();
  AVCodecContext* enc = ost.enc;
  const TDecodedForm* dec = &form;
  FGraph.graph.reset(avfilter.avfilter_graph_alloc());
  if (!FGraph.graph) throw FFmpegException("Error opening filters!");
  FGraph.input = &ist;
  FGraph.deinterlaced = shaping.deinterlace != 0;
  AVRational sar = dec->sample_aspect_ratio.num ? dec->sample_aspect_ratio : AVRational{1, 1};
  FGraph.source = AddFilter(FGraph.graph.get(), "buffer", "src",
                            Format("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", dec->width,
                                   dec->height, dec->pix_fmt, AV_TIME_BASE, sar.num, sar.den));
  FGraph.sink = AddFilter(FGraph.graph.get(), "buffersink", "out", "");
  AVPixelFormat formats[] = {enc->pix_fmt, AV_PIX_FMT_NONE};
  if (int result = avutil.av_opt_set_bin(FGraph.sink, "pix_fmts", reinterpret_cast<const uint8_t*>(formats),
                                        sizeof(formats[0]), AV_OPT_SEARCH_CHILDREN);
      result < 0)
    throw FFmpegException("Error opening filters!", result);

  int swsFlags = ScalerFlags(ist);
  AVFilterContext* last = FGraph.source;
  AVFilterGraph* graph = FGraph.graph.get();
  // The fields are joined before any filter moves or scales lines.
  if (shaping.deinterlace) Append(graph, last, "yadif", "deinterlace", shaping.deinterlace < 0 ? "deint=interlaced" : "");
  int croppedWidth = dec->width - ost.leftBand - ost.rightBand;
  int croppedHeight = dec->height - ost.topBand - ost.bottomBand;
  if (ost.video_crop)
    Append(graph, last, "crop", "crop",
           Format("%d:%d:%d:%d", croppedWidth, croppedHeight, ost.leftBand, ost.topBand));
  // Mirrored and half turned is upside down.
  if (shaping.mirror && shaping.rotation == 180)
    Append(graph, last, "vflip", "mirror", "");
  else if (shaping.mirror)
    Append(graph, last, "hflip", "mirror", "");
  switch (shaping.mirror && shaping.rotation == 180 ? 0 : shaping.rotation) {
    case 90: Append(graph, last, "transpose", "rotate", "clock"); break;
    case 180:
      Append(graph, last, "hflip", "rotate_h", "");
      Append(graph, last, "vflip", "rotate_v", "");
      break;
    case 270: Append(graph, last, "transpose", "rotate", "cclock"); break;
    default: break;
  }
  if (shaping.rotation % 180) std::swap(croppedWidth, croppedHeight);
  int pictureWidth = shaping.fit_width ? shaping.fit_width : enc->width;
  int pictureHeight = shaping.fit_width ? shaping.fit_height : enc->height;
  if (croppedWidth != pictureWidth || croppedHeight != pictureHeight)
    Append(graph, last, "scale", "scale",
           Format("%d:%d:flags=0x%X", pictureWidth, pictureHeight, static_cast<int>(swsFlags)));
  if (shaping.fit_width) {
    // Black bars keep the shape where players ignore the pixel aspect.
    Append(graph, last, "pad", "pad",
           Format("%d:%d:%d:%d:black", enc->width, enc->height, (enc->width - pictureWidth) / 2 & ~1,
                  (enc->height - pictureHeight) / 2 & ~1));
    Append(graph, last, "setsar", "square", "1");
  }
  avutil.av_opt_set(graph, "scale_sws_opts", Format("flags=0x%X", static_cast<int>(swsFlags)).c_str(), 0);

  if (!Fvfilters.empty()) {
    AVFilterInOut* outputs = avfilter.avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter.avfilter_inout_alloc();
    outputs->name = avutil.av_strdup("in");
    outputs->filter_ctx = last;
    inputs->name = avutil.av_strdup("out");
    inputs->filter_ctx = FGraph.sink;
    int result = avfilter.avfilter_graph_parse_ptr(FGraph.graph.get(), Fvfilters.c_str(), &inputs, &outputs, nullptr);
    avfilter.avfilter_inout_free(&inputs);
    avfilter.avfilter_inout_free(&outputs);
    if (result < 0) throw FFmpegException("Error opening filters: " + Fvfilters, result);
  } else {
    Link(last, FGraph.sink);
  }
  if (int result = avfilter.avfilter_graph_config(FGraph.graph.get(), nullptr); result < 0)
    throw FFmpegException("Error opening filters!", result);
  enc->width = avfilter.av_buffersink_get_w(FGraph.sink);
  enc->height = avfilter.av_buffersink_get_h(FGraph.sink);
  // Turned or padded, the picture's shape is the graph's, not the source's.
  AVRational shownAspect = avfilter.av_buffersink_get_sample_aspect_ratio(FGraph.sink);
  if ((shaping.rotation || shaping.fit_width) && shownAspect.num) ost.st->sample_aspect_ratio = enc->sample_aspect_ratio = shownAspect;
}

void TCustomFFmpeg::DeinterlaceFromNowOn(TAVInputStream& ist, const AVFrame* frame) {
#if LIBAVUTIL_VERSION_MAJOR >= 59
  bool interlaced = frame->flags & AV_FRAME_FLAG_INTERLACED;
#else
  bool interlaced = frame->interlaced_frame;
#endif
  if (Fdo_deinterlace >= 0 || ist.interlaced_seen || !interlaced || ist.scales_fields) return;
  // The stream's field order told only of its first pictures: from the first
  // interlaced one on, the pictures marked interlaced are deinterlaced.
  ist.interlaced_seen = true;
  if (FGraph.graph && FGraph.input == &ist && FGraph.deinterlaced) return;
  for (auto& ost : Fost_table)
    if (ost->encoding_needed && ost->source_index == ist.table_index) {
      ConfigureFilterGraph(*ost, ist, PictureShaping(*ost, ist, ist.shown.form), FormOf(frame));
      return;
    }
}

void TCustomFFmpeg::FilterPicture(TAVInputStream& ist, AVFrame* frame) {
  if (FGraph.drained) return;
  if (frame) {
    frame->pts = ist.shown.pts;
    if (avfilter.av_buffersrc_add_frame_flags(FGraph.source, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) return;
  } else {
    // The end of the stream lets filters that hold pictures back give them out.
    FGraph.drained = true;
    if (avfilter.av_buffersrc_add_frame_flags(FGraph.source, nullptr, 0) < 0) return;
  }
  AVRational timeBase = avfilter.av_buffersink_get_time_base(FGraph.sink);
  while (avfilter.av_buffersink_get_frame(FGraph.sink, Ffiltered_frame.get()) >= 0) {
    // A filter may hold pictures back: each keeps the time it comes out with.
    int64_t time = Ffiltered_frame->pts != AV_NOPTS_VALUE
                       ? avutil.av_rescale_q(Ffiltered_frame->pts, timeBase, Microseconds)
                       : ist.shown.pts;
    for (auto& ost : Fost_table)
      if (ost->encoding_needed && ost->source_index == ist.table_index) {
        if (Ffiltered_frame->sample_aspect_ratio.num) ost->enc->sample_aspect_ratio = Ffiltered_frame->sample_aspect_ratio;
        do_video_out(*ost, ist, Ffiltered_frame.get(), time);
      }
    avutil.av_frame_unref(Ffiltered_frame.get());
    if (FBroken) break;
  }
}

void TCustomFFmpeg::FreeFilterGraph() {
  FGraph = TVideoFilterGraph{};
}

}  // namespace vidora
