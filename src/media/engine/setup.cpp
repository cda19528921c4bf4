// Before the loop: the run's records, stream mapping, codec preparation,
// opening codecs, metadata, headers and the stream-mapping log.
#include <cstring>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/loader.h"
#include "media/base/text_format.h"
#include "media/engine/amrnb_encoder.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

TAVOutputStream::TAVOutputStream() = default;

TAVOutputStream::~TAVOutputStream() {
  avutil.av_channel_layout_uninit(&swr_in_layout);
  if (logfile) std::fclose(logfile);
}

void TCustomFFmpeg::SetUpRun() {
  FInputHookActive = FOutputHookActive = true;
  Fpkt = NewPacket();
  Fenc_pkt = NewPacket();
  Fdecoded_frame = NewFrame();
  Ffiltered_frame = NewFrame();
  Faudio_frame = NewFrame();
  Fcrop_frame = NewFrame();
  if (!Fpkt || !Fenc_pkt || !Fdecoded_frame || !Ffiltered_frame || !Faudio_frame || !Fcrop_frame)
    throw FFmpegException("av_mallocz fail");
  BuildInputRecords();
  BuildOutputRecords();
  PlanFastDecoding();
  for (size_t i = 0; i < Fost_table.size(); ++i) {
    TAVOutputStream& ost = *Fost_table[i];
    TAVInputStream& ist = *Fist_table[ost.source_index];
    avutil.av_dict_copy(&ost.st->metadata, ist.st->metadata, AV_DICT_DONT_OVERWRITE);
    ost.st->disposition = ist.st->disposition;
    if (ost.codec->stream_copy) {
      PrepareStreamCopy(ost, ist);
      continue;
    }
    ost.enc->bits_per_raw_sample = ist.dec->bits_per_raw_sample;
    ost.enc->chroma_sample_location = ist.dec->chroma_sample_location;
    ost.encoding_needed = 1;
    ist.decoding_needed = 1;
    switch (ost.enc->codec_type) {
      case AVMEDIA_TYPE_AUDIO: break;  // the converter is made for the first decoded block
      case AVMEDIA_TYPE_VIDEO: PrepareVideoEncoding(ost, ist); break;
      case AVMEDIA_TYPE_SUBTITLE: break;
      default: throw FFmpegException("invalid codec_type of output stream");
    }
    OpenTwoPassLog(ost, static_cast<int>(i));
  }
  // In join mode the later parts' sources are decoded too.
  for (const std::vector<int>& part : Fjoin_sources)
    for (size_t o = 0; o < part.size(); ++o) {
      TAVInputStream& ist = *Fist_table[part[o]];
      ist.discard = 0;
      ist.decoding_needed = Fost_table[o]->encoding_needed;
    }
  // Decoders first: a subtitle encoder starts from its decoder's header.
  OpenDecoders();
  OpenEncoders();
  for (auto& ist : Fist_table) {
    AVRational rate = ist->st->avg_frame_rate;
    ist->pts = rate.num && rate.den ? -std::llround(ist->dec->has_b_frames * 1000000.0 / av_q2d(rate)) : 0;
    ist->next_pts = AV_NOPTS_VALUE;
    ist->is_start = 1;
  }
  CopyMetadataMaps();
  OpenLocalOutputs();
  WriteHeaders();
  OpenBitstreamFilters();
  LogStreamMapping();
}

void TCustomFFmpeg::BuildInputRecords() {
  int total = 0;
  for (int f = 0; f < nb_input_files(); ++f) {
    TInputFile& file = *Finput_files[f];
    TAVInputFile record;
    record.ist_index = total;
    record.nb_streams = static_cast<int>(file.ctx->nb_streams);
    Ffile_table.push_back(record);
    for (int s = 0; s < record.nb_streams; ++s) {
      auto ist = std::make_unique<TAVInputStream>();
      ist->file_index = f;
      ist->index = s;
      ist->table_index = static_cast<int>(Fist_table.size());
      ist->st = file.ctx->streams[s];
      ist->dec = file.streams[s].codec.get();
      ist->decoder = file.streams[s].decoder;
      if (Frate_emu) ist->start = avutil.av_gettime_relative();
      Fist_table.push_back(std::move(ist));
    }
    total += record.nb_streams;
  }
}

TAVInputStream* TCustomFFmpeg::FindSource(const TAVOutputStream& ost, int part) {
  AVMediaType type = ost.enc->codec_type;
  TAVInputStream* best = nullptr;
  int64_t bestFrames = -1;
  auto candidate = [type](const TAVInputStream& ist) {
    return ist.dec->codec_type == type && ist.st->discard != AVDISCARD_ALL && !IsAttachedPicture(ist.st);
  };
  for (auto& ist : Fist_table) {
    if (!ist->discard || !candidate(*ist)) continue;
    if (FJoinMode && ist->file_index != part) continue;
    int64_t frames = Finput_files[ist->file_index]->streams[ist->index].frame_count;
    if (frames > bestFrames) {
      best = ist.get();
      bestFrames = frames;
    }
  }
  if (best || FJoinMode) return best;
  // An input stream may feed several output streams of its kind.
  for (auto it = Fist_table.rbegin(); it != Fist_table.rend(); ++it)
    if (candidate(**it)) return it->get();
  return nullptr;
}

void TCustomFFmpeg::BuildOutputRecords() {
  int files = FJoinMode ? 1 : nb_output_files();
  int total = 0;
  for (int f = 0; f < files; ++f) {
    TOutputFile& file = *Foutput_files[f];
    if (file.streams.empty()) {
      avformat.av_dump_format(file.ctx.get(), f, file.ctx->url, 1);
      throw FFmpegException(Format("Output file #%d does not contain any stream", f));
    }
    total += static_cast<int>(file.streams.size());
  }
  if (!Fstream_maps.empty() && static_cast<int>(Fstream_maps.size()) != total)
    throw FFmpegException("Number of stream maps must match number of output streams");
  auto findInput = [this](int file, int stream) -> TAVInputStream* {
    if (file < 0 || file >= nb_input_files() || stream < 0 || stream >= Ffile_table[file].nb_streams) return nullptr;
    return Fist_table[Ffile_table[file].ist_index + stream].get();
  };
  for (const TStreamMap& map : Fstream_maps) {
    if (!findInput(map.file_index, map.stream_index))
      throw FFmpegException(Format("Could not find input stream #%d.%d", map.file_index, map.stream_index));
    if (!findInput(map.sync_file_index, map.sync_stream_index))
      throw FFmpegException(Format("Could not find sync stream #%d.%d", map.sync_file_index, map.sync_stream_index));
  }

  for (int f = 0; f < files; ++f) {
    TOutputFile& file = *Foutput_files[f];
    for (size_t s = 0; s < file.streams.size(); ++s) {
      auto ost = std::make_unique<TAVOutputStream>();
      ost->file_index = f;
      ost->index = static_cast<int>(s);
      ost->codec = &file.streams[s];
      ost->st = file.streams[s].st;
      ost->enc = file.streams[s].codec.get();
      int n = static_cast<int>(Fost_table.size());
      TAVInputStream* source = nullptr;
      if (!Fstream_maps.empty()) {
        const TStreamMap& map = Fstream_maps[n];
        source = findInput(map.file_index, map.stream_index);
        if (source->dec->codec_type != ost->enc->codec_type) {
          avformat.av_dump_format(file.ctx.get(), f, file.ctx->url, 1);
          throw FFmpegException(Format("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", map.file_index,
                                       map.stream_index, MediaTypeName(source->dec->codec_type).c_str(), f, ost->index,
                                       MediaTypeName(ost->enc->codec_type).c_str()));
        }
        ost->sync_ist = findInput(map.sync_file_index, map.sync_stream_index);
      } else {
        source = FindSource(*ost, 0);
        if (!source) {
          avformat.av_dump_format(file.ctx.get(), f, file.ctx->url, 1);
          throw FFmpegException(Format("Could not find input stream matching output stream #%d.%d (%s)", f,
                                       ost->index, MediaTypeName(ost->enc->codec_type).c_str()));
        }
        ost->sync_ist = source;
      }
      ost->source_index = source->table_index;
      source->discard = 0;
      ost->show_fps = 1;
      Fost_table.push_back(std::move(ost));
    }
  }

  if (!FJoinMode) return;
  // Every later part maps the same output streams onto its own input file.
  Fjoin_sources.assign(1, {});
  for (auto& ost : Fost_table) Fjoin_sources[0].push_back(ost->source_index);
  for (int part = 1; part < nb_input_files(); ++part) {
    std::vector<int> sources;
    for (auto& ost : Fost_table) {
      TAVInputStream* source = FindSource(*ost, part);
      if (!source)
        throw FFmpegException(Format("Could not find input stream matching output stream #%d.%d (%s)", part,
                                     ost->index, MediaTypeName(ost->enc->codec_type).c_str()));
      source->discard = 0;
      sources.push_back(source->table_index);
    }
    Fjoin_sources.push_back(sources);
  }
}

void TCustomFFmpeg::PrepareStreamCopy(TAVOutputStream& ost, TAVInputStream& ist) {
  AVCodecParameters* par = ost.st->codecpar;
  const AVCodecParameters* in = ist.st->codecpar;
  if (in->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (FOnInputVideoHook || FOnOutputVideoHook)
      throw FFmpegException("-vcodec copy and VideoHook are incompatible (frames are not decoded)");
    if (!FFrameHooks.Empty())
      throw FFmpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
    if (PostHooks())
      throw FFmpegException("-vcodec copy and PostHooks are incompatible (frames are not decoded)");
  }
  if (in->codec_type == AVMEDIA_TYPE_AUDIO) {
    if (Faudio_volume != 256)
      throw FFmpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
    if (FOnAudioHook)
      throw FFmpegException("-acodec copy and AudioHook are incompatible (frames are not decoded)");
  }
  if (in->codec_type != AVMEDIA_TYPE_VIDEO && in->codec_type != AVMEDIA_TYPE_AUDIO &&
      in->codec_type != AVMEDIA_TYPE_SUBTITLE)
    throw FFmpegException("invalid codec_type of output stream");
  uint32_t tag = ost.enc->codec_tag;
  if (avcodec.avcodec_parameters_copy(par, in) < 0) throw FFmpegException("av_mallocz fail");
  const AVOutputFormat* format = Foutput_files[ost.file_index]->ctx->oformat;
  if (!tag) {
    // Keep the input's tag where the output format agrees with it.
    bool keep = !format->codec_tag || avformat.av_codec_get_id(format->codec_tag, in->codec_tag) == in->codec_id ||
                !avformat.av_codec_get_tag(format->codec_tag, in->codec_id);
    tag = keep ? in->codec_tag : 0;
  }
  par->codec_tag = tag;
  if (in->codec_type == AVMEDIA_TYPE_AUDIO &&
      ((in->codec_id == AV_CODEC_ID_MP3 && in->block_align == 1) || in->codec_id == AV_CODEC_ID_AC3))
    par->block_align = 0;
  ost.st->time_base = ist.st->time_base;
  ost.st->avg_frame_rate = ist.st->avg_frame_rate;
  ost.st->r_frame_rate = ist.st->r_frame_rate;
  if (in->codec_type == AVMEDIA_TYPE_VIDEO) ost.st->sample_aspect_ratio = ist.st->sample_aspect_ratio;
}

void TCustomFFmpeg::PrepareVideoEncoding(TAVOutputStream& ost, TAVInputStream& ist) {
  AVCodecContext* enc = ost.enc;
  AVCodecContext* dec = ist.dec;
  if (enc->pix_fmt == AV_PIX_FMT_NONE)
    throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
  ost.topBand = ost.original_topBand = Fframe_topBand;
  ost.bottomBand = ost.original_bottomBand = Fframe_bottomBand;
  ost.leftBand = ost.original_leftBand = Fframe_leftBand;
  ost.rightBand = ost.original_rightBand = Fframe_rightBand;
  ost.video_crop = Fframe_topBand || Fframe_bottomBand || Fframe_leftBand || Fframe_rightBand;
  int inWidth = dec->width - ost.leftBand - ost.rightBand;
  int inHeight = dec->height - ost.topBand - ost.bottomBand;
  TPictureShaping shaping = PictureShaping(ost, ist, FormOf(dec));
  if (enc->width == 0 || enc->height == 0 || ost.codec->size_from_input) {
    bool turned = shaping.rotation % 180 != 0;
    enc->width = turned ? inHeight : inWidth;
    enc->height = turned ? inWidth : inHeight;
    shaping = PictureShaping(ost, ist, FormOf(dec));  // the fit depends on the frame size
  }
  // The pictures leave upright: a tag would turn them again.
  if (shaping.rotation) avutil.av_dict_set(&ost.st->metadata, "rotate", nullptr, 0);
  ost.resample_width = inWidth;
  ost.resample_height = inHeight;
  ost.resample_pix_fmt = dec->pix_fmt;
  // Probing may have decoded no picture (a stream cut before its first key
  // frame): its pictures' form is known only when the first one comes.
  bool known = dec->pix_fmt != AV_PIX_FMT_NONE && dec->width > 0 && dec->height > 0;
  if (FEnableFilter || shaping.Any()) {
    if (known)
      ConfigureFilterGraph(ost, ist, shaping, FormOf(dec));
    else
      ost.graph_deferred = true;
    return;
  }
  ost.video_resample = inWidth != enc->width || inHeight != enc->height || dec->pix_fmt != enc->pix_fmt;
  if (!ost.video_resample) return;
  if (known) MakeScaler(ost);  // else made for the first picture
  ost.original_width = dec->width;
  ost.original_height = dec->height;
  enc->bits_per_raw_sample = 0;
}

void TCustomFFmpeg::OpenTwoPassLog(TAVOutputStream& ost, int index) {
  AVCodecContext* enc = ost.enc;
  if (!(enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2))) return;
  std::string name = Format("%s-%d.log", Fpass_logfilename_prefix.empty() ? "ffmpeg2pass"
                                                                           : Fpass_logfilename_prefix.c_str(),
                            index);
  if (name.size() > 1023) name.resize(1023);
  if (enc->flags & AV_CODEC_FLAG_PASS1) {
    ost.logfile = std::fopen(name.c_str(), "wb");
    if (!ost.logfile) throw FFmpegException(Format("Cannot write log file %s for pass-1 encoding", name.c_str()));
    return;
  }
  uint8_t* buffer = nullptr;
  int64_t size = 0;
  int result = ReadWholeFile(name, buffer, size);
  if (result == AVERROR(ENOMEM))
    throw FFmpegException(Format("Could not allocate file buffer: Error reading log file \"%s\" for pass-2 encoding",
                                 name.c_str()));
  if (result < 0)
    throw FFmpegException(Format("Cannot read file: Error reading log file \"%s\" for pass-2 encoding", name.c_str()));
  enc->stats_in = reinterpret_cast<char*>(buffer);
}

void TCustomFFmpeg::OpenEncoders() {
  for (size_t i = 0; i < Fost_table.size(); ++i) {
    TAVOutputStream& ost = *Fost_table[i];
    if (!ost.encoding_needed) continue;
    AVCodecContext* enc = ost.enc;
    if (ost.codec->opencore_amrnb) {
      ost.amrnb = std::make_unique<TAMRNBEncoder>(enc->bit_rate);
      if (!ost.amrnb->Valid()) throw FFmpegException("Cannot initialise the AMR-NB encoder of libopencore-amrnb");
      AVCodecParameters* par = ost.st->codecpar;
      par->codec_type = AVMEDIA_TYPE_AUDIO;
      par->codec_id = AV_CODEC_ID_AMR_NB;
      par->sample_rate = enc->sample_rate;
      par->format = AV_SAMPLE_FMT_S16;
      avutil.av_channel_layout_copy(&par->ch_layout, &enc->ch_layout);
      par->frame_size = TAMRNBEncoder::FrameSamples;
      par->bit_rate = ost.amrnb->BitRate();
      ost.st->time_base = enc->time_base;
    } else {
      const AVCodec* codec = ost.codec->encoder ? ost.codec->encoder : avcodec.avcodec_find_encoder(enc->codec_id);
      if (!codec) {
        SetUpFailure(Format("Encoder (codec id %d) not found for output stream #%d.%d (%s)", enc->codec_id,
                            ost.file_index, ost.index, MediaTypeName(enc->codec_type).c_str()));
      }
      if (enc->codec_type == AVMEDIA_TYPE_SUBTITLE) PrepareSubtitleEncoder(ost);
      int result;
      {
        std::lock_guard lock(CodecLock());
        result = avcodec.avcodec_open2(enc, codec, nullptr);
      }
      if (result < 0) {
        SetUpFailure(Format(
            "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect parameters such as "
            "bit_rate, rate, width or height. Please check error log message to find out more detail information.",
            ost.file_index, ost.index, MediaTypeName(enc->codec_type).c_str()), {}, result);
      }
      ost.encoder_open = true;
      if (avcodec.avcodec_parameters_from_context(ost.st->codecpar, enc) < 0) throw FFmpegException("av_mallocz fail");
      ost.st->time_base = enc->time_base;
      if (enc->codec_type == AVMEDIA_TYPE_VIDEO) ost.st->avg_frame_rate = enc->framerate;
      Fextra_size += enc->extradata_size;
    }
    bool frameBased = ost.amrnb || (enc->codec_type == AVMEDIA_TYPE_AUDIO && enc->frame_size > 1 &&
                                    !(enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
    if (frameBased) {
      ost.fifo.reset(avutil.av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, enc->frame_size * 2));
      if (!ost.fifo) throw FFmpegException("av_fifo_alloc fail");
    }
  }
}

void TCustomFFmpeg::OpenBitstreamFilters() {
  // After the headers: a muxer may change a stream's time base there, and the
  // first filter takes the packets in the one they are written in; each next
  // filter takes what the one before gives.
  for (auto& ost : Fost_table) {
    for (const TBitstreamFilterItem& item : ost->codec->bitstream_filters) {
      AVBSFContext* bsf = nullptr;
      if (avcodec.av_bsf_alloc(item.filter, &bsf) < 0) throw FFmpegException("av_mallocz fail");
      const AVBSFContext* previous = ost->bsfs.empty() ? nullptr : ost->bsfs.back().get();
      ost->bsfs.emplace_back(bsf);
      avcodec.avcodec_parameters_copy(bsf->par_in, previous ? previous->par_out : ost->st->codecpar);
      bsf->time_base_in = previous ? previous->time_base_out : ost->st->time_base;
      if (!item.args.empty() && bsf->priv_data) avutil.av_opt_set(bsf->priv_data, "args", item.args.c_str(), 0);
      if (int result = avcodec.av_bsf_init(bsf); result < 0)
        throw FFmpegException(Format("Cannot initialise bitstream filter %s", item.filter->name), result);
    }
  }
}

void TCustomFFmpeg::PrepareSubtitleEncoder(TAVOutputStream& ost) {
  AVCodecContext* enc = ost.enc;
  const AVCodecContext* dec = Fist_table[ost.source_index]->dec;
  enc->time_base = AVRational{1, 1000};
  if (dec->subtitle_header && !enc->subtitle_header) {
    enc->subtitle_header = static_cast<uint8_t*>(avutil.av_mallocz(dec->subtitle_header_size + 1));
    if (!enc->subtitle_header) throw FFmpegException("av_mallocz fail");
    std::memcpy(enc->subtitle_header, dec->subtitle_header, dec->subtitle_header_size);
    enc->subtitle_header_size = dec->subtitle_header_size;
  }
  if (!enc->width) {
    enc->width = dec->width;
    enc->height = dec->height;
  }
}

void TCustomFFmpeg::OpenDecoders() {
  for (auto& ist : Fist_table) {
    if (!ist->decoding_needed) continue;
    const AVCodec* codec = ist->decoder ? ist->decoder : avcodec.avcodec_find_decoder(ist->dec->codec_id);
    std::string kindName = MediaTypeName(ist->dec->codec_type);
    const char* kind = kindName.c_str();
    if (!codec) {
      SetUpFailure(Format("Decoder (codec id %d) not found for input stream #%d.%d (%s)", ist->dec->codec_id,
                          ist->file_index, ist->index, kind));
    }
    // The library derives a reduced decoding size from the coded one.
    if (ist->fast_decode && ist->dec->lowres) ist->dec->width = ist->dec->height = 0;
    int result;
    {
      std::lock_guard lock(CodecLock());
      result = avcodec.avcodec_open2(ist->dec, codec, nullptr);
    }
    if (result < 0) {
      SetUpFailure(
          Format("Error while opening decoder for input stream #%d.%d (%s)", ist->file_index, ist->index, kind), {},
          result);
    }
    ist->decoder_open = true;
  }
}

void TCustomFFmpeg::CopyMetadataMaps() {
  for (const TMetaDataMap& map : Fmeta_data_maps) {
    if (map.out_file < 0 || map.out_file >= nb_output_files()) {
      SetUpFailure(
          Format("Invalid output file index %d map_meta_data(%d,%d)", map.out_file, map.out_file, map.in_file));
    }
    if (map.in_file < 0 || map.in_file >= nb_input_files())
      throw FFmpegException(
          Format("Invalid input file index %d map_meta_data(%d,%d)", map.in_file, map.out_file, map.in_file));
    avutil.av_dict_copy(&Foutput_files[map.out_file]->ctx->metadata, Finput_files[map.in_file]->ctx->metadata,
                        AV_DICT_DONT_OVERWRITE);
  }
}

void TCustomFFmpeg::WriteHeaders() {
  int files = FJoinMode ? 1 : nb_output_files();
  bool allRtp = true;
  std::vector<AVFormatContext*> contexts;
  for (int f = 0; f < files; ++f) {
    TOutputFile& file = *Foutput_files[f];
    // The muxer takes the options it uses and leaves the rest in the dictionary.
    AVDictionary* options = file.mux_opts.release();
    int result = avformat.avformat_write_header(file.ctx.get(), &options);
    file.mux_opts.reset(options);
    if (result == AVERROR(ENOSPC)) throw FFmpegException(NoSpaceText(file), result);
    if (result < 0) {
      SetUpFailure(Format("Could not write header for output file #%d (incorrect codec parameters ?)", f),
                   ErrorText(file.file_name, result), result);
    }
    allRtp = allRtp && std::string(file.ctx->oformat->name) == "rtp";
    contexts.push_back(file.ctx.get());
  }
  if (allRtp && !contexts.empty()) {
    char sdp[2048];
    avformat.av_sdp_create(contexts.data(), static_cast<int>(contexts.size()), sdp, sizeof sdp);
    Log(TLogLevel::llInfo, "SDP:\r\n%s", sdp);
  }
}

void TCustomFFmpeg::LogStreamMapping() {
  if (Fverbose < 0) return;
  Log(TLogLevel::llVerbose, "Stream mapping:");
  for (auto& ost : Fost_table) {
    const TAVInputStream& ist = *Fist_table[ost->source_index];
    std::string line = Format("  Stream #%d.%d -> #%d.%d (%s)", ist.file_index, ist.index, ost->file_index,
                              ost->index, MediaTypeName(ost->enc->codec_type).c_str());
    if (ost->sync_ist && ost->sync_ist != &ist)
      line += Format(" [sync #%d.%d (%s)]", ost->sync_ist->file_index, ost->sync_ist->index,
                     MediaTypeName(ost->sync_ist->dec->codec_type).c_str());
    Log(TLogLevel::llVerbose, "%s", line.c_str());
  }
}

void TCustomFFmpeg::SetUpFailure(const std::string& message, const std::string& detail, int code) {
  // What had been mapped so far helps to read the error.
  LogStreamMapping();
  Log(TLogLevel::llError, "%s", message.c_str());
  throw FFmpegException(detail.empty() ? message : message + ": " + detail, code);
}

void TCustomFFmpeg::CloseCodecs() {
  std::lock_guard lock(CodecLock());
  // A context belongs to its file; closing it for good is freeing it, which Cleanup does.
  for (auto& ost : Fost_table) ost->encoder_open = false;
  for (auto& ist : Fist_table) ist->decoder_open = false;
}

void TCustomFFmpeg::ReleaseRun() {
  FreeFilterGraph();
  Fost_table.clear();
  Fist_table.clear();
  Ffile_table.clear();
  Fjoin_sources.clear();
  for (TPacketPtr* packet : {&Fpkt, &Fenc_pkt}) packet->reset();
  for (TFramePtr* frame : {&Fdecoded_frame, &Ffiltered_frame, &Faudio_frame, &Fcrop_frame}) frame->reset();
}

}  // namespace vidora
