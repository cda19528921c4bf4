// Target presets: settings for VCD, SVCD, DVD and DV by television norm.
#include <cmath>

#include "media/base/text_format.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

namespace {

enum class TNorm { PAL, NTSC, FILM, Unknown };

// 25 frames/s is PAL, 29.97 and 23.976 are NTSC; anything else decides nothing.
TNorm NormOfRate(AVRational rate) {
  if (rate.num == 0 || rate.den == 0) return TNorm::Unknown;
  long thousandths = std::lround(rate.num * 1000.0 / rate.den);
  if (thousandths == 25000) return TNorm::PAL;
  if (thousandths == 29970 || thousandths == 23976) return TNorm::NTSC;
  return TNorm::Unknown;
}

}  // namespace

void TCustomFFmpeg::ApplyTarget(const std::string& target, const std::string& fallbackNorm) {
  TNorm norm = TNorm::Unknown;
  std::string type = target;
  for (auto [prefix, prefixNorm] : {std::pair{"pal-", TNorm::PAL}, {"ntsc-", TNorm::NTSC}, {"film-", TNorm::FILM}}) {
    if (type.rfind(prefix, 0) == 0) {
      norm = prefixNorm;
      type = type.substr(std::string(prefix).size());
      break;
    }
  }

  if (norm == TNorm::Unknown) {
    if (Fframe_rate.den == 0) throw FFmpegException("frame_rate is invalid.");
    norm = NormOfRate(Fframe_rate);
    for (size_t i = 0; i < Finput_files.size() && norm == TNorm::Unknown; ++i) {
      AVFormatContext* ctx = Finput_files[i]->ctx.get();
      for (unsigned s = 0; s < ctx->nb_streams && norm == TNorm::Unknown; ++s)
        if (ctx->streams[s]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) norm = NormOfRate(ctx->streams[s]->r_frame_rate);
    }
    if (norm == TNorm::Unknown)
      norm = fallbackNorm == "film" ? TNorm::FILM : fallbackNorm == "ntsc" ? TNorm::NTSC : TNorm::PAL;
    if (Fverbose > 0) Log(TLogLevel::llVerbose, "Assuming %s for target.", norm == TNorm::NTSC ? "NTSC" : "PAL");
  }

  const bool pal = norm == TNorm::PAL;
  const char* rate = pal ? "25" : norm == TNorm::NTSC ? "30000/1001" : "24000/1001";
  const char* gop = pal ? "15" : "18";
  auto assumeAspect = [this](const char* aspect) {
    if (Fframe_aspect_ratio != 0) return;
    ParseOption("aspect", aspect);
    Log(TLogLevel::llInfo, "Assuming %s for aspect ratio", aspect);
  };

  if (type == "vcd") {
    SetCodecChoice(AVMEDIA_TYPE_VIDEO, "mpeg1video");
    SetCodecChoice(AVMEDIA_TYPE_AUDIO, "mp2");
    ParseFormat("vcd");
    ParseOption("s", pal ? "352x288" : "352x240");
    ParseOption("r", rate);
    SetNumericOption("g", gop);
    for (const char* option : {"b", "maxrate", "minrate"}) SetNumericOption(option, "1150000");
    SetNumericOption("bufsize", "327680");
    SetNumericOption("ab", "224000");
    Faudio_sample_rate = 44100;
    Faudio_channels = 2;
    SetNumericOption("packetsize", "2324");
    SetNumericOption("muxrate", "1411200");
    Fmux_preload = 0.44f;
    assumeAspect("4:3");
  } else if (type == "svcd") {
    SetCodecChoice(AVMEDIA_TYPE_VIDEO, "mpeg2video");
    SetCodecChoice(AVMEDIA_TYPE_AUDIO, "mp2");
    ParseFormat("svcd");
    ParseOption("s", pal ? "480x576" : "480x480");
    ParseOption("r", rate);
    SetNumericOption("g", gop);
    SetNumericOption("b", "2040000");
    SetNumericOption("maxrate", "2516000");
    SetNumericOption("minrate", "0");
    SetNumericOption("bufsize", "1835008");
    // The scan offset is an option of the MPEG-2 encoder itself today.
    SetNumericOption("scan_offset", "1");
    SetNumericOption("ab", "224000");
    Faudio_sample_rate = 44100;
    SetNumericOption("packetsize", "2324");
    if (Faudio_channels == 1) Faudio_channels = 2;
    assumeAspect("4:3");
  } else if (type == "dvd") {
    SetCodecChoice(AVMEDIA_TYPE_VIDEO, "mpeg2video");
    SetCodecChoice(AVMEDIA_TYPE_AUDIO, "ac3");
    ParseFormat("dvd");
    ParseOption("s", pal ? "720x576" : "720x480");
    ParseOption("r", rate);
    SetNumericOption("g", gop);
    SetNumericOption("b", "6000000");
    SetNumericOption("maxrate", "9000000");
    SetNumericOption("minrate", "0");
    SetNumericOption("bufsize", "1835008");
    SetNumericOption("packetsize", "2048");
    SetNumericOption("muxrate", "10080000");
    SetNumericOption("ab", "448000");
    Faudio_sample_rate = 48000;
    if (Faudio_channels == 1) Faudio_channels = 2;
    assumeAspect("16:9");
  } else if (type == "dv" || type == "dv50") {
    ParseFormat("dv");
    ParseOption("s", pal ? "720x576" : "720x480");
    ParseOption("pix_fmt", type == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
    ParseOption("r", rate);
    Faudio_sample_rate = 48000;
    Faudio_channels = 2;
  } else {
    throw FFmpegException("Unknown target type");
  }
}

}  // namespace vidora
