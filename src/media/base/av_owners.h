// Owner types for the library objects the media layer holds: each frees its
// object through the binding tables when it goes out of scope, so a clean-up
// path is the end of a scope rather than a list of frees.
#pragma once

#include <memory>

#include "bindings.h"

namespace vidora {

namespace owners {

// The libraries' free functions that take the pointer's address and clear it.
template <auto& Table, auto Entry>
struct TClearingFree {
  template <typename T>
  void operator()(T* object) const {
    (Table.*Entry)(&object);
  }
};

// The free functions that take the pointer itself.
template <auto& Table, auto Entry>
struct TPlainFree {
  template <typename T>
  void operator()(T* object) const {
    (Table.*Entry)(object);
  }
};

}  // namespace owners

using TFramePtr = std::unique_ptr<AVFrame, owners::TClearingFree<avutil, &TAVUtilEntries::av_frame_free>>;
using TPacketPtr = std::unique_ptr<AVPacket, owners::TClearingFree<avcodec, &TAVCodecEntries::av_packet_free>>;
using TCodecContextPtr =
    std::unique_ptr<AVCodecContext, owners::TClearingFree<avcodec, &TAVCodecEntries::avcodec_free_context>>;
// An input file opened by avformat_open_input.
using TInputContextPtr =
    std::unique_ptr<AVFormatContext, owners::TClearingFree<avformat, &TAVFormatEntries::avformat_close_input>>;
// An output file's context from avformat_alloc_output_context2.
using TOutputContextPtr =
    std::unique_ptr<AVFormatContext, owners::TPlainFree<avformat, &TAVFormatEntries::avformat_free_context>>;
using TSwsPtr = std::unique_ptr<SwsContext, owners::TPlainFree<swscale, &TSwScaleEntries::sws_freeContext>>;
using TSwrPtr = std::unique_ptr<SwrContext, owners::TClearingFree<swresample, &TSwResampleEntries::swr_free>>;
using TFilterGraphPtr =
    std::unique_ptr<AVFilterGraph, owners::TClearingFree<avfilter, &TAVFilterEntries::avfilter_graph_free>>;
using TBsfPtr = std::unique_ptr<AVBSFContext, owners::TClearingFree<avcodec, &TAVCodecEntries::av_bsf_free>>;
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, owners::TPlainFree<avutil, &TAVUtilEntries::av_audio_fifo_free>>;
using TDictionaryPtr = std::unique_ptr<AVDictionary, owners::TClearingFree<avutil, &TAVUtilEntries::av_dict_free>>;
using TSDLMutexPtr = std::unique_ptr<SDL_mutex, owners::TPlainFree<sdl, &TSDLEntries::SDL_DestroyMutex>>;
using TSDLCondPtr = std::unique_ptr<SDL_cond, owners::TPlainFree<sdl, &TSDLEntries::SDL_DestroyCond>>;

// The frame of a new owner; null when the library is out of memory.
inline TFramePtr NewFrame() { return TFramePtr(avutil.av_frame_alloc()); }
inline TPacketPtr NewPacket() { return TPacketPtr(avcodec.av_packet_alloc()); }

}  // namespace vidora
