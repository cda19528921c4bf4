// The option language: one handler per option name, everything else through
// the codec, container and scaler option holders.
#include <cmath>
#include <cstring>
#include <ctime>
#include <functional>
#include <unordered_map>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/text_convert.h"
#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

bool ToBool(const std::string& value) { return value != "0"; }

uint32_t CodecTag(const std::string& value) {
  uint32_t tag = 0;
  for (size_t i = 0; i < 4 && i < value.size(); ++i) tag |= static_cast<uint32_t>(static_cast<uint8_t>(value[i])) << (8 * i);
  return tag;
}

}  // namespace

bool TCustomFFmpeg::ParseOption(const std::string& name, const std::string& value) {
  using THandler = std::function<void(TCustomFFmpeg&, const std::string&, const std::string&)>;
  auto boolField = [](bool TFFmpegSettings::*field) {
    return [field](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.*field = ToBool(v); };
  };
  auto intField = [](int TFFmpegSettings::*field) {
    return [field](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.*field = StrToInt(v); };
  };
  auto floatField = [](float TFFmpegSettings::*field) {
    return [field](TCustomFFmpeg& e, const std::string&, const std::string& v) {
      e.*field = static_cast<float>(StrToFloat(v));
    };
  };
  auto textField = [](std::string TFFmpegSettings::*field) {
    return [field](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.*field = v; };
  };
  auto doNothing = [](TCustomFFmpeg& e, const std::string& n, const std::string&) {
    e.Log(TLogLevel::llInfo, "Do nothing: option - %s", n.c_str());
  };
  auto codec = [](AVMediaType type) {
    return [type](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.SetCodecChoice(type, v); };
  };
  auto newStream = [](AVMediaType type) {
    return [type](TCustomFFmpeg& e, const std::string&, const std::string&) { e.AddOutputStream(type); };
  };
  auto crop = [](int TFFmpegSettings::*band, int TFFmpegSettings::*dimension, bool vertical) {
    return [=](TCustomFFmpeg& e, const std::string&, const std::string& v) {
      e.ParseCrop(e.*band, e.*dimension, StrToInt(v), vertical);
    };
  };
  auto matrix = [](std::vector<uint16_t> TFFmpegSettings::*field) {
    return [field](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParseMatrix(e.*field, v); };
  };
  auto frames = [](int type) {
    return [type](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.Fmax_frames[type] = StrToInt(v); };
  };
  auto duration = [](int64_t TFFmpegSettings::*field) {
    return [field](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.*field = e.ParseTime(n, v, true); };
  };
  auto positive = [](int TFFmpegSettings::*field) {
    return [field](TCustomFFmpeg& e, const std::string&, const std::string& v) {
      if (int n = StrToInt(v); n > 0) e.*field = n;
    };
  };
  auto removed = [](TCustomFFmpeg&, const std::string&, const std::string&) {
    throw FFmpegException("Removed, use the pad filter instead");
  };

  static const std::unordered_map<std::string, THandler> handlers = {
      // General and input options.
      {"L", doNothing}, {"h", doNothing}, {"version", doNothing}, {"formats", doNothing}, {"codecs", doNothing},
      {"bsfs", doNothing}, {"protocols", doNothing}, {"filters", doNothing}, {"i", doNothing}, {"y", doNothing},
      {"benchmark", doNothing},
      {"loglevel", [](TCustomFFmpeg&, const std::string&, const std::string& v) { FFLogger().OptLogLevel(v); }},
      {"f", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParseFormat(v); }},
      {"map", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParseStreamMap(v); }},
      {"map_meta_data", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParseMetaDataMap(v); }},
      {"t", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) {
         e.SetRecordingTime(e.ParseTime(n, v, true));
       }},
      {"fs", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.Flimit_filesize = StrToInt64(v); }},
      {"ss", duration(&TFFmpegSettings::Fstart_time)},
      {"itsoffset", duration(&TFFmpegSettings::Finput_ts_offset)},
      {"itsscale", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParseItsScale(v); }},
      {"timestamp", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) {
         e.Frecording_timestamp = std::llround(static_cast<double>(e.ParseTime(n, v, false)) / 1000000.0);
       }},
      {"metadata", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         size_t equals = v.find('=');
         if (equals == std::string::npos) throw FFmpegException("Missing =");
         e.AddMetadata(v.substr(0, equals), v.substr(equals + 1));
       }},
      {"vframes", frames(AVMEDIA_TYPE_VIDEO)}, {"aframes", frames(AVMEDIA_TYPE_AUDIO)},
      {"dframes", frames(AVMEDIA_TYPE_DATA)},
      {"timelimit", [](TCustomFFmpeg& e, const std::string&, const std::string&) {
         e.Log(TLogLevel::llWarning, "Warning: -timelimit not implemented on Windows");
       }},
      {"dump", boolField(&TFFmpegSettings::Fdo_pkt_dump)}, {"hex", boolField(&TFFmpegSettings::Fdo_hex_dump)},
      {"re", boolField(&TFFmpegSettings::Frate_emu)}, {"loop_input", boolField(&TFFmpegSettings::Floop_input)},
      {"loop_output", intField(&TFFmpegSettings::Floop_output)}, {"v", intField(&TFFmpegSettings::Fverbose)},
      {"target", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ApplyTarget(v, "ntsc"); }},
      {"threads", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         // 0 lets the libraries choose by core count.
         e.Fthread_count = std::max(0, StrToInt(v));
       }},
      {"fastdecode", boolField(&TFFmpegSettings::Ffast_decode)},
      {"vsync", intField(&TFFmpegSettings::Fvideo_sync_method)},
      {"async", intField(&TFFmpegSettings::Faudio_sync_method)},
      {"adrift_threshold", floatField(&TFFmpegSettings::Faudio_drift_threshold)},
      {"dts_delta_threshold", floatField(&TFFmpegSettings::Fdts_delta_threshold)},
      {"vglobal", intField(&TFFmpegSettings::Fvideo_global_header)},
      {"copyts", [](TCustomFFmpeg& e, const std::string&, const std::string&) { e.Fcopy_ts = true; }},
      {"shortest", boolField(&TFFmpegSettings::Fopt_shortest)},
      {"programid", intField(&TFFmpegSettings::Fopt_programid)},
      {"xerror", [](TCustomFFmpeg& e, const std::string&, const std::string&) { e.Fexit_on_error = 1; }},
      {"copyinkf", intField(&TFFmpegSettings::Fcopy_initial_nonkeyframes)},
      {"isync", boolField(&TFFmpegSettings::Finput_sync)},
      {"muxdelay", floatField(&TFFmpegSettings::Fmux_max_delay)},
      {"muxpreload", floatField(&TFFmpegSettings::Fmux_preload)},
      {"absf", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.AddBitstreamFilter('a', v); }},
      {"vbsf", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.AddBitstreamFilter('v', v); }},
      {"sbsf", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.AddBitstreamFilter('s', v); }},
      {"apre", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ApplyPreset(n, v); }},
      {"vpre", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ApplyPreset(n, v); }},
      {"spre", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ApplyPreset(n, v); }},
      {"fpre", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ApplyPreset(n, v); }},

      // Video options.
      {"b", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ParseBitRate(n, v); }},
      {"vb", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ParseBitRate(n, v); }},
      {"ab", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ParseBitRate(n, v); }},
      {"r", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         if (v.empty()) return;
         AVRational rate{0, 0};
         if (avutil.av_parse_video_rate(&rate, v.c_str()) < 0) throw FFmpegException("Incorrect frame rate");
         e.Fframe_rate = rate;
         e.Fframe_rate_given = true;
       }},
      {"s", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         if (v.empty()) return;
         int width = 0, height = 0;
         if (avutil.av_parse_video_size(&width, &height, v.c_str()) < 0) throw FFmpegException("Incorrect frame size");
         e.Fframe_width = width;
         e.Fframe_height = height;
         e.Fframe_size_given = true;
       }},
      {"aspect", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParseAspect(v); }},
      {"pix_fmt", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParsePixelFormat(v); }},
      {"croptop", crop(&TFFmpegSettings::Fframe_topBand, &TFFmpegSettings::Fframe_height, true)},
      {"cropbottom", crop(&TFFmpegSettings::Fframe_bottomBand, &TFFmpegSettings::Fframe_height, true)},
      {"cropleft", crop(&TFFmpegSettings::Fframe_leftBand, &TFFmpegSettings::Fframe_width, false)},
      {"cropright", crop(&TFFmpegSettings::Fframe_rightBand, &TFFmpegSettings::Fframe_width, false)},
      {"padtop", removed}, {"padbottom", removed}, {"padleft", removed}, {"padright", removed},
      {"padcolor", removed},
      {"intra", boolField(&TFFmpegSettings::Fintra_only)},
      {"vn", boolField(&TFFmpegSettings::Fvideo_disable)},
      {"vdt", intField(&TFFmpegSettings::Fvideo_discard)},
      {"qscale", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         double q = StrToFloat(v);
         if (!(q > 0 && q <= 255)) throw FFmpegException("qscale must be > 0.0 and <= 255");
         e.Fvideo_qscale = static_cast<float>(q);
       }},
      {"rc_override", textField(&TFFmpegSettings::Fvideo_rc_override_string)},
      {"vcodec", codec(AVMEDIA_TYPE_VIDEO)},
      {"me_threshold", intField(&TFFmpegSettings::Fme_threshold)},
      {"sameq", boolField(&TFFmpegSettings::Fsame_quality)},
      {"pass", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         int pass = StrToInt(v);
         if (pass != 1 && pass != 2) throw FFmpegException("pass number can be only 1 or 2");
         e.Fdo_pass = pass;
       }},
      {"passlogfile", textField(&TFFmpegSettings::Fpass_logfilename_prefix)},
      {"deinterlace", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         // A word the option does not know is a mistake, not a yes.
         if (v != "0" && v != "1" && v != "auto")
           throw FFmpegException("Invalid deinterlace \"" + v + "\": 0, 1 or auto");
         e.Fdo_deinterlace = v == "auto" ? -1 : v == "1";
       }},
      {"autorotate", boolField(&TFFmpegSettings::Fautorotate)},
      {"fit", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         if (v != "pad" && v != "stretch") throw FFmpegException("Invalid fit \"" + v + "\": pad or stretch");
         e.Ffit_pad = v == "pad";
       }},
      {"psnr", boolField(&TFFmpegSettings::Fdo_psnr)},
      {"vstats", [](TCustomFFmpeg& e, const std::string&, const std::string&) {
         std::time_t now = std::time(nullptr);
         std::tm local{};
         localtime_r(&now, &local);
         char stamp[16];
         std::strftime(stamp, sizeof stamp, "%H%M%S", &local);
         e.Fvstats_filename = Format("%svstats_%s.log", ProgramFolder().c_str(), stamp);
       }},
      {"vstats_file", textField(&TFFmpegSettings::Fvstats_filename)},
      {"vhook", [](TCustomFFmpeg& e, const std::string&, const std::string& v) {
         if (!e.FFrameHooks.Add(v)) throw FFmpegException("Failed to add video hook function: " + v);
         e.Fusing_vhook = true;
       }},
      {"vfilters", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { if (!v.empty()) e.Fvfilters = v; }},
      {"vf", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { if (!v.empty()) e.Fvfilters = v; }},
      {"intra_matrix", matrix(&TFFmpegSettings::Fintra_matrix)},
      {"inter_matrix", matrix(&TFFmpegSettings::Finter_matrix)},
      {"top", intField(&TFFmpegSettings::Ftop_field_first)},
      {"dc", intField(&TFFmpegSettings::Fintra_dc_precision)},
      {"vtag", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.Fvideo_codec_tag = CodecTag(v); }},
      {"newvideo", newStream(AVMEDIA_TYPE_VIDEO)},
      {"newaudio", newStream(AVMEDIA_TYPE_AUDIO)},
      {"newsubtitle", newStream(AVMEDIA_TYPE_SUBTITLE)},
      {"vlang", textField(&TFFmpegSettings::Fvideo_language)},
      {"qphist", boolField(&TFFmpegSettings::Fqp_hist)},
      {"force_fps", boolField(&TFFmpegSettings::Fforce_fps)},
      {"streamid", [](TCustomFFmpeg& e, const std::string& n, const std::string& v) { e.ParseStreamId(n, v); }},
      {"vc", intField(&TFFmpegSettings::Fvideo_channel)},
      {"tvstd", textField(&TFFmpegSettings::Fvideo_standard)},

      // Audio and subtitle options.
      {"aq", floatField(&TFFmpegSettings::Faudio_qscale)},
      {"ar", positive(&TFFmpegSettings::Faudio_sample_rate)},
      {"ac", positive(&TFFmpegSettings::Faudio_channels)},
      {"an", boolField(&TFFmpegSettings::Faudio_disable)},
      {"acodec", codec(AVMEDIA_TYPE_AUDIO)},
      {"atag", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.Faudio_codec_tag = CodecTag(v); }},
      {"vol", intField(&TFFmpegSettings::Faudio_volume)},
      {"alang", textField(&TFFmpegSettings::Faudio_language)},
      {"sample_fmt", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.ParseSampleFormat(v); }},
      {"sn", boolField(&TFFmpegSettings::Fsubtitle_disable)},
      {"scodec", codec(AVMEDIA_TYPE_SUBTITLE)},
      {"slang", textField(&TFFmpegSettings::Fsubtitle_language)},
      {"stag", [](TCustomFFmpeg& e, const std::string&, const std::string& v) { e.Fsubtitle_codec_tag = CodecTag(v); }},
  };

  auto handler = handlers.find(name);
  if (handler == handlers.end()) return SetNumericOption(name, value);
  if (name.rfind("new", 0) == 0) {
    handler->second(*this, name, value);  // makes a stream: its failures are the stream's
    return true;
  }
  try {
    handler->second(*this, name, value);
  } catch (const FFmpegOptionException&) {
    throw;
  } catch (const std::exception& error) {
    // Every other failure here is a value that its option refuses.
    throw FFmpegOptionException(error.what());
  }
  return true;
}

void TCustomFFmpeg::ParseFormat(const std::string& value) {
  if (value.empty()) return;
  if (value == "pgmyuv") {
    Flast_asked_format = "image2";
    Fpgmyuv_compatibility_hack = true;
    Log(TLogLevel::llInfo, "pgmyuv format is deprecated, use image2");
  } else {
    Flast_asked_format = value;
  }
}

int64_t TCustomFFmpeg::ParseTime(const std::string& name, const std::string& value, bool duration) {
  int64_t microseconds = 0;
  if (avutil.av_parse_time(&microseconds, value.c_str(), duration ? 1 : 0) < 0)
    throw FFmpegException(Format("Invalid %s specification for %s: %s", duration ? "duration" : "date", name.c_str(),
                                 value.c_str()));
  return microseconds;
}

void TCustomFFmpeg::ParseStreamMap(const std::string& value) {
  if (static_cast<int>(Fstream_maps.size()) >= MAX_STREAM_MAPS)
    throw FFmpegException(Format("Too many stream maps (at most %d)", MAX_STREAM_MAPS));
  TStreamMap map;
  const char* p = value.c_str();
  map.file_index = static_cast<int>(StrToIntBase(p, &p));
  if (*p) ++p;
  map.stream_index = static_cast<int>(StrToIntBase(p, &p));
  if (*p) {
    ++p;
    map.sync_file_index = static_cast<int>(StrToIntBase(p, &p));
    if (*p) ++p;
    map.sync_stream_index = static_cast<int>(StrToIntBase(p, &p));
  } else {
    map.sync_file_index = map.file_index;
    map.sync_stream_index = map.stream_index;
  }
  Fstream_maps.push_back(map);
}

void TCustomFFmpeg::ParseMetaDataMap(const std::string& value) {
  if (static_cast<int>(Fmeta_data_maps.size()) >= MAX_META_DATA_MAPS)
    throw FFmpegException(Format("Too many metadata maps (at most %d)", MAX_META_DATA_MAPS));
  TMetaDataMap map;
  const char* p = value.c_str();
  map.out_file = static_cast<int>(StrToIntBase(p, &p));
  if (*p) ++p;
  map.in_file = static_cast<int>(StrToIntBase(p, &p));
  Fmeta_data_maps.push_back(map);
}

void TCustomFFmpeg::ParseItsScale(const std::string& value) {
  const char* p = value.c_str();
  long index = StrToIntBase(p, &p);
  if (index < 0 || index >= MAX_STREAMS) throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", MAX_STREAMS));
  if (nb_input_files() >= MAX_FILES) throw FFmpegException(Format("Too many input files (at most %d)", MAX_FILES));
  if (*p) ++p;
  Finput_files_ts_scale[nb_input_files()][index] = StrToFloat(p);
}

void TCustomFFmpeg::ParseStreamId(const std::string& name, const std::string& value) {
  size_t colon = value.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
    throw FFmpegException(Format("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                                 value.c_str(), name.c_str()));
  int index = StrToInt(value.substr(0, colon));
  if (index < 0 || index >= MAX_STREAMS)
    throw FFmpegException(Format("Invalid stream index %d for option \"%s\" (0 to %d)", index, name.c_str(),
                                 MAX_STREAMS - 1));
  Fstreamid_map[index] = StrToInt(value.substr(colon + 1));
}

void TCustomFFmpeg::ParseMatrix(std::vector<uint16_t>& matrix, const std::string& value) {
  std::vector<uint16_t> coefficients(64, 0);
  const char* p = value.c_str();
  for (int i = 0; i < 64; ++i) {
    coefficients[i] = static_cast<uint16_t>(std::atoi(p));
    p = std::strchr(p, ',');
    if (!p) {
      if (i < 63) throw FFmpegException(Format("Syntax error in matrix \"%s\" at coeff %d", value.c_str(), i));
      break;
    }
    ++p;
  }
  matrix = std::move(coefficients);
}

void TCustomFFmpeg::ParseCrop(int& band, int& dimension, int value, bool vertical) {
  if (value <= 0) return;
  if (value >= dimension)
    throw FFmpegException(Format("%s crop dimensions are outside the range of the original image.\n"
                                 "Remember to crop first and scale second.",
                                 vertical ? "Vertical" : "Horizontal"));
  Log(TLogLevel::llWarning, "CropXXX is deprecated in favor of the crop avfilter");
  band = value;
  dimension -= value;
}

void TCustomFFmpeg::ParseAspect(const std::string& value) {
  if (value.empty()) return;
  double ratio;
  size_t colon = value.find(':');
  if (colon != std::string::npos) {
    double width = std::strtod(value.c_str(), nullptr);
    double height = std::strtod(value.c_str() + colon + 1, nullptr);
    ratio = height > 0 ? width / height : 0;
  } else {
    ratio = std::strtod(value.c_str(), nullptr);
  }
  if (ratio == 0 || !std::isfinite(ratio)) throw FFmpegException("Incorrect aspect ratio specification.");
  Fframe_aspect_ratio = static_cast<float>(ratio);
}

void TCustomFFmpeg::ParsePixelFormat(const std::string& value) {
  if (value == "list") {
    ListPixelFormats();
    return;
  }
  AVPixelFormat format = avutil.av_get_pix_fmt(value.c_str());
  if (format == AV_PIX_FMT_NONE) throw FFmpegException(Format("Unknown pixel format requested: %s", value.c_str()));
  Fframe_pix_fmt = format;
}

void TCustomFFmpeg::ParseSampleFormat(const std::string& value) {
  if (value == "list") {
    ListSampleFormats();
    return;
  }
  Faudio_sample_fmt = avutil.av_get_sample_fmt(value.c_str());
}

void TCustomFFmpeg::ListPixelFormats() {
  Log(TLogLevel::llInfo, "Pixel formats:");
  for (const AVPixFmtDescriptor* d = avutil.av_pix_fmt_desc_next(nullptr); d; d = avutil.av_pix_fmt_desc_next(d))
    Log(TLogLevel::llInfo, "%s", d->name);
}

void TCustomFFmpeg::ListSampleFormats() {
  Log(TLogLevel::llInfo, "Sample formats:");
  for (int format = 0; format < AV_SAMPLE_FMT_NB; ++format)
    Log(TLogLevel::llInfo, "%s", avutil.av_get_sample_fmt_name(static_cast<AVSampleFormat>(format)));
}

void TCustomFFmpeg::ParseBitRate(const std::string& name, const std::string& value) {
  if (Trim(value).empty()) return;
  if (!SetNumericOption(name, value))
    throw FFmpegOptionException(Format("Invalid value \"%s\" for option \"%s\"", value.c_str(), name.c_str()));
  AVCodecContext* holder = FOptions.avcodec_opts[name[0] == 'a' ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO];
  int64_t bitRate = 0;
  avutil.av_opt_get_int(holder, "b", 0, &bitRate);
  if (bitRate < 1000)
    Log(TLogLevel::llWarning,
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
}

void TCustomFFmpeg::SetCodecChoice(AVMediaType type, const std::string& value) {
  if (value.empty()) return;
  std::string& name = type == AVMEDIA_TYPE_VIDEO   ? Fvideo_codec_name
                      : type == AVMEDIA_TYPE_AUDIO ? Faudio_codec_name
                                                   : Fsubtitle_codec_name;
  int& copy = type == AVMEDIA_TYPE_VIDEO   ? Fvideo_stream_copy
              : type == AVMEDIA_TYPE_AUDIO ? Faudio_stream_copy
                                           : Fsubtitle_stream_copy;
  name.clear();
  if (value == "copy")
    copy = 1;
  else
    name = value;
}

void TCustomFFmpeg::AddBitstreamFilter(char kind, const std::string& value) {
  if (value.empty() || value[0] == '=') return;
  size_t equals = value.find('=');
  std::string filterName = equals == std::string::npos ? value : value.substr(0, equals);
  const AVBitStreamFilter* filter = avcodec.av_bsf_get_by_name(filterName.c_str());
  if (!filter) throw FFmpegException(Format("Unknown bitstream filter %s", filterName.c_str()));
  TBitstreamFilterChain& chain = kind == 'v'   ? Fvideo_bitstream_filters
                                 : kind == 'a' ? Faudio_bitstream_filters
                                               : Fsubtitle_bitstream_filters;
  chain.push_back({filter, equals == std::string::npos ? std::string() : value.substr(equals + 1)});
}

}  // namespace vidora
