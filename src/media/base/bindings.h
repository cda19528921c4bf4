// Run-time binding tables: one X-macro list of entry points per library.
// Each table member is declared from the header's own declaration, so the
// compiler checks every signature; callers write avcodec.avcodec_open2(...).
#pragma once

#include "media_headers.h"

namespace vidora {

#define VIDORA_AVCODEC_ENTRIES(X)    \
  X(avcodec_version)                 \
  X(avcodec_alloc_context3)          \
  X(avcodec_free_context)            \
  X(avcodec_open2)                   \
  X(avcodec_parameters_to_context)   \
  X(avcodec_parameters_from_context) \
  X(avcodec_parameters_copy)         \
  X(avcodec_descriptor_get)          \
  X(avcodec_get_class)               \
  X(avcodec_get_name)                    \
  X(avcodec_string)                \
  X(avcodec_find_decoder)            \
  X(avcodec_find_decoder_by_name)    \
  X(avcodec_find_encoder)            \
  X(avcodec_find_encoder_by_name)    \
  X(avcodec_send_packet)             \
  X(avcodec_receive_frame)           \
  X(avcodec_send_frame)              \
  X(avcodec_receive_packet)          \
  X(avcodec_flush_buffers)           \
  X(avcodec_decode_subtitle2)        \
  X(avcodec_encode_subtitle)         \
  X(avsubtitle_free)                 \
  X(av_packet_alloc)                 \
  X(av_packet_free)                  \
  X(av_packet_ref)                      \
  X(av_packet_move_ref)                 \
  X(av_packet_unref)                 \
  X(av_packet_rescale_ts)            \
  X(av_packet_get_side_data)         \
  X(av_new_packet)                   \
  X(av_bsf_get_by_name)              \
  X(av_bsf_alloc)                    \
  X(av_bsf_init)                     \
  X(av_bsf_send_packet)              \
  X(av_bsf_receive_packet)           \
  X(av_bsf_free)

#define VIDORA_SWRESAMPLE_ENTRIES(X) \
  X(swresample_version)              \
  X(swr_alloc_set_opts2)             \
  X(swr_init)                        \
  X(swr_set_matrix)                  \
  X(swr_free)                        \
  X(swr_convert)                     \
  X(swr_get_out_samples)             \
  X(swr_set_compensation)            \
  X(swr_inject_silence)              \
  X(swr_drop_output)

#define VIDORA_AVDEVICE_ENTRIES(X) \
  X(avdevice_version)              \
  X(avdevice_register_all)

#define VIDORA_AVFILTER_ENTRIES(X) \
  X(avfilter_version)              \
  X(avfilter_graph_alloc)          \
  X(avfilter_graph_free)           \
  X(avfilter_get_by_name)          \
  X(avfilter_graph_create_filter)  \
  X(avfilter_link)                 \
  X(avfilter_graph_parse_ptr)      \
  X(avfilter_graph_config)         \
  X(avfilter_inout_alloc)          \
  X(avfilter_inout_free)           \
  X(av_buffersrc_add_frame_flags)  \
  X(av_buffersink_get_frame)       \
  X(av_buffersink_get_w)           \
  X(av_buffersink_get_h)           \
  X(av_buffersink_get_time_base)   \
  X(av_buffersink_get_sample_aspect_ratio)

#define VIDORA_AVFORMAT_ENTRIES(X)  \
  X(avformat_version)               \
  X(avformat_alloc_context)         \
  X(avformat_free_context)          \
  X(avformat_get_class)             \
  X(avformat_alloc_output_context2) \
  X(avformat_new_stream)            \
  X(avformat_open_input)            \
  X(avformat_close_input)           \
  X(avformat_find_stream_info)      \
  X(avformat_seek_file)             \
  X(av_find_best_stream)            \
  X(av_stream_get_side_data)        \
  X(av_read_pause)                  \
  X(av_read_play)                   \
  X(av_guess_sample_aspect_ratio)   \
  X(av_find_input_format)           \
  X(av_guess_format)                \
  X(av_guess_codec)                 \
  X(av_filename_number_test)        \
  X(av_dump_format)                 \
  X(av_read_frame)                   \
  X(av_seek_frame)                   \
  X(avio_feof)                  \
  X(avformat_write_header)          \
  X(av_interleaved_write_frame)     \
  X(av_write_trailer)               \
  X(av_codec_get_tag)               \
  X(av_codec_get_id)                \
  X(av_pkt_dump_log2)               \
  X(av_sdp_create)                  \
  X(avio_alloc_context)             \
  X(avio_context_free)              \
  X(avio_open2)                     \
  X(avio_closep)                    \
  X(avio_flush)                     \
  X(avio_read)                      \
  X(avio_write)                     \
  X(avio_seek)                      \
  X(avio_size)

#define VIDORA_AVUTIL_ENTRIES(X) \
  X(avutil_version)              \
  X(av_log_set_callback)         \
  X(av_log_set_level)            \
  X(av_log)                      \
  X(av_strerror)                 \
  X(av_malloc)                   \
  X(av_mallocz)                  \
  X(av_free)                     \
  X(av_freep)                    \
  X(av_strdup)                   \
  X(av_dict_get)                 \
  X(av_dict_set)                 \
  X(av_dict_free)                \
  X(av_dict_copy)                \
  X(av_opt_find)                 \
  X(av_opt_child_class_iterate)  \
  X(av_opt_set)                  \
  X(av_opt_set_int)              \
  X(av_opt_set_double)           \
  X(av_opt_set_bin)              \
  X(av_opt_get)                  \
  X(av_opt_get_int)              \
  X(av_parse_time)               \
  X(av_parse_video_rate)         \
  X(av_parse_video_size)         \
  X(av_d2q)                      \
  X(av_display_rotation_get)    \
  X(av_find_nearest_q_idx)       \
  X(av_reduce)                   \
  X(av_rescale_q)                \
  X(av_rescale_q_rnd)            \
  X(av_gettime_relative)         \
  X(av_usleep)                   \
  X(av_get_pix_fmt)              \
  X(av_get_pix_fmt_name)         \
  X(av_pix_fmt_desc_next)        \
  X(av_pix_fmt_desc_get)         \
  X(av_get_picture_type_char)    \
  X(av_get_sample_fmt)           \
  X(av_get_sample_fmt_name)      \
  X(av_get_bytes_per_sample)             \
  X(av_sample_fmt_is_planar)     \
  X(av_samples_set_silence)      \
  X(av_channel_layout_default)   \
  X(av_channel_layout_from_mask) \
  X(av_channel_layout_uninit)    \
  X(av_channel_layout_copy)      \
  X(av_channel_layout_compare)   \
  X(av_frame_alloc)              \
  X(av_frame_free)               \
  X(av_frame_ref)                        \
  X(av_frame_move_ref)                   \
  X(av_frame_apply_cropping)             \
  X(av_frame_copy)                       \
  X(av_frame_copy_props)                 \
  X(av_frame_unref)              \
  X(av_frame_get_buffer)         \
  X(av_frame_make_writable)      \
  X(av_frame_is_writable)        \
  X(av_audio_fifo_alloc)         \
  X(av_audio_fifo_free)          \
  X(av_audio_fifo_write)         \
  X(av_audio_fifo_read)          \
  X(av_audio_fifo_size)

#define VIDORA_SWSCALE_ENTRIES(X) \
  X(swscale_version)              \
  X(sws_alloc_context)            \
  X(sws_freeContext)              \
  X(sws_getCachedContext)         \
  X(sws_scale)

#define VIDORA_LIBC_ENTRIES(X) \
  X(gnu_get_libc_version)      \
  X(fopen)                     \
  X(fclose)                    \
  X(fread)                     \
  X(fseek)                     \
  X(ftell)

#define VIDORA_SDL_ENTRIES(X) \
  X(SDL_GetVersion)           \
  X(SDL_Init)                 \
  X(SDL_Quit)                 \
  X(SDL_GetError)             \
  X(SDL_InitSubSystem)        \
  X(SDL_QuitSubSystem)        \
  X(SDL_SetHint)              \
  X(SDL_CreateThread)         \
  X(SDL_WaitThread)           \
  X(SDL_CreateMutex)          \
  X(SDL_DestroyMutex)         \
  X(SDL_LockMutex)            \
  X(SDL_UnlockMutex)          \
  X(SDL_CreateCond)           \
  X(SDL_DestroyCond)          \
  X(SDL_CondSignal)           \
  X(SDL_CondWaitTimeout)      \
  X(SDL_OpenAudioDevice)      \
  X(SDL_CloseAudioDevice)     \
  X(SDL_PauseAudioDevice)     \
  X(SDL_LockAudioDevice)      \
  X(SDL_UnlockAudioDevice)    \
  X(SDL_MixAudioFormat)       \
  X(SDL_GetCurrentAudioDriver) \
  X(SDL_RegisterEvents)       \
  X(SDL_PushEvent)            \
  X(SDL_WaitEventTimeout)     \
  X(SDL_FlushEvents)          \
  X(SDL_Delay)

#define VIDORA_AMRNB_ENTRIES(X) \
  X(Encoder_Interface_init)     \
  X(Encoder_Interface_Encode)   \
  X(Encoder_Interface_exit)

// Every table: its library, its type, its instance and its entry list.
#define VIDORA_LIBRARY_TABLES(T)                                   \
  T(avCodec, TAVCodecEntries, avcodec, VIDORA_AVCODEC_ENTRIES)      \
  T(avCore, TSwResampleEntries, swresample, VIDORA_SWRESAMPLE_ENTRIES) \
  T(avDevice, TAVDeviceEntries, avdevice, VIDORA_AVDEVICE_ENTRIES)  \
  T(avFilter, TAVFilterEntries, avfilter, VIDORA_AVFILTER_ENTRIES)  \
  T(avFormat, TAVFormatEntries, avformat, VIDORA_AVFORMAT_ENTRIES)  \
  T(avUtil, TAVUtilEntries, avutil, VIDORA_AVUTIL_ENTRIES)          \
  T(swScale, TSwScaleEntries, swscale, VIDORA_SWSCALE_ENTRIES)      \
  T(myUtil, TLibcEntries, libc, VIDORA_LIBC_ENTRIES)                \
  T(lbSDL, TSDLEntries, sdl, VIDORA_SDL_ENTRIES)                    \
  T(amrNb, TAMRNBEntries, amrnb, VIDORA_AMRNB_ENTRIES)

#define VIDORA_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;
#define VIDORA_DECLARE_TABLE(Lib, Type, instance, LIST) \
  struct Type {                                         \
    LIST(VIDORA_DECLARE_ENTRY)                          \
  };                                                    \
  extern Type instance;

VIDORA_LIBRARY_TABLES(VIDORA_DECLARE_TABLE)

#undef VIDORA_DECLARE_TABLE
#undef VIDORA_DECLARE_ENTRY

}  // namespace vidora
