// The optional video filter graph: source, crop, scale, the user's filters,
// and a sink restricted to the encoder's pixel format.
#include "media/base/bindings.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

AVFilterContext* AddFilter(AVFilterGraph* graph, const char* filter, const char* name, const std::string& args) {
  AVFilterContext* context = nullptr;
  const AVFilter* definition = avfilter.avfilter_get_by_name(filter);
  if (!definition ||
      avfilter.avfilter_graph_create_filter(&context, definition, name, args.empty() ? nullptr : args.c_str(),
                                            nullptr, graph) < 0)
    throw FFmpegException("Error opening filters!");
  return context;
}

void Link(AVFilterContext* from, AVFilterContext* to) {
  if (avfilter.avfilter_link(from, 0, to, 0) < 0) throw FFmpegException("Error opening filters!");
}

}  // namespace

void TCustomFFmpeg::ConfigureFilterGraph(TAVOutputStream& ost, TAVInputStream& ist) {
  FreeFilterGraph();
  AVCodecContext* enc = ost.enc;
  AVCodecContext* dec = ist.dec;
  FGraph.graph = avfilter.avfilter_graph_alloc();
  if (!FGraph.graph) throw FFmpegException("Error opening filters!");
  FGraph.input = &ist;
  AVRational sar = dec->sample_aspect_ratio.num ? dec->sample_aspect_ratio : AVRational{1, 1};
  FGraph.source = AddFilter(FGraph.graph, "buffer", "src",
                            Format("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", dec->width,
                                   dec->height, dec->pix_fmt, AV_TIME_BASE, sar.num, sar.den));
  FGraph.sink = AddFilter(FGraph.graph, "buffersink", "out", "");
  AVPixelFormat formats[] = {enc->pix_fmt, AV_PIX_FMT_NONE};
  if (avutil.av_opt_set_bin(FGraph.sink, "pix_fmts", reinterpret_cast<const uint8_t*>(formats), sizeof(formats[0]),
                            AV_OPT_SEARCH_CHILDREN) < 0)
    throw FFmpegException("Error opening filters!");

  int swsFlags = ScalerFlags();
  AVFilterContext* last = FGraph.source;
  if (Fdo_deinterlace) {
    AVFilterContext* yadif = AddFilter(FGraph.graph, "yadif", "deinterlace", "");
    Link(last, yadif);
    last = yadif;
  }
  if (ost.video_crop) {
    AVFilterContext* crop =
        AddFilter(FGraph.graph, "crop", "crop",
                  Format("%d:%d:%d:%d", dec->width - ost.leftBand - ost.rightBand,
                         dec->height - ost.topBand - ost.bottomBand, ost.leftBand, ost.topBand));
    Link(last, crop);
    last = crop;
  }
  int croppedWidth = dec->width - ost.leftBand - ost.rightBand;
  int croppedHeight = dec->height - ost.topBand - ost.bottomBand;
  if (croppedWidth != enc->width || croppedHeight != enc->height) {
    AVFilterContext* scale = AddFilter(FGraph.graph, "scale", "scale",
                                       Format("%d:%d:flags=0x%X", enc->width, enc->height, static_cast<int>(swsFlags)));
    Link(last, scale);
    last = scale;
  }
  avutil.av_opt_set(FGraph.graph, "scale_sws_opts", Format("flags=0x%X", static_cast<int>(swsFlags)).c_str(), 0);

  if (!Fvfilters.empty()) {
    AVFilterInOut* outputs = avfilter.avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter.avfilter_inout_alloc();
    outputs->name = avutil.av_strdup("in");
    outputs->filter_ctx = last;
    inputs->name = avutil.av_strdup("out");
    inputs->filter_ctx = FGraph.sink;
    int result = avfilter.avfilter_graph_parse_ptr(FGraph.graph, Fvfilters.c_str(), &inputs, &outputs, nullptr);
    avfilter.avfilter_inout_free(&inputs);
    avfilter.avfilter_inout_free(&outputs);
    if (result < 0) throw FFmpegException("Error opening filters: " + Fvfilters);
  } else {
    Link(last, FGraph.sink);
  }
  if (avfilter.avfilter_graph_config(FGraph.graph, nullptr) < 0) throw FFmpegException("Error opening filters!");
  enc->width = avfilter.av_buffersink_get_w(FGraph.sink);
  enc->height = avfilter.av_buffersink_get_h(FGraph.sink);
}

void TCustomFFmpeg::FreeFilterGraph() {
  if (FGraph.graph) avfilter.avfilter_graph_free(&FGraph.graph);
  FGraph = TVideoFilterGraph{};
}

}  // namespace vidora
