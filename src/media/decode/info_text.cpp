// A readable account of a file, in the manner of the libraries' format dump.
#include <cmath>
#include <cstring>
#include <ctime>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/text_format.h"
#include "media/decode/decoder.h"

namespace vidora {

namespace {

// ID3v2 frame names shown under their everyday names.
const char* ShownKey(const char* key) {
  static const std::pair<const char*, const char*> names[] = {
      {"TALB", "album"},     {"TAL", "album"},       {"TCOM", "composer"},  {"TCON", "genre"},
      {"TCO", "genre"},      {"TCOP", "copyright"},  {"TDRL", "date"},      {"TENC", "encoder"},
      {"TEN", "encoder"},    {"TIT2", "title"},      {"TT2", "title"},      {"TLAN", "language"},
      {"TPE1", "artist"},    {"TP1", "artist"},      {"TPOS", "disc"},      {"TPUB", "publisher"},
      {"TRCK", "track"},     {"TRK", "track"},       {"TSOA", "albumsort"}, {"TSOP", "authorsort"},
      {"TSOT", "titlesort"}, {"TYER", "year"}};
  for (auto [id3, shown] : names)
    if (std::strcmp(key, id3) == 0) return shown;
  return key;
}

void AddMetadata(std::vector<std::string>& lines, const AVDictionary* metadata, const char* indent) {
  const AVDictionaryEntry* entry = nullptr;
  bool any = false;
  while ((entry = avutil.av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
    const char* key = ShownKey(entry->key);
    if (std::strcmp(key, "language") == 0) continue;
    if (!any) lines.push_back(Format("%sMetadata:", indent));
    any = true;
    lines.push_back(Format("%s  %-16s: %s", indent, key, entry->value));
  }
}

std::string SecondsText(int64_t microseconds) {
  int64_t seconds = microseconds / AV_TIME_BASE;
  return Format("%d.%.6d", static_cast<int>(seconds), static_cast<int>(std::llabs(microseconds % AV_TIME_BASE)));
}

std::string RateText(double rate, const char* unit) {
  if (rate == std::floor(rate) && static_cast<int64_t>(rate) % 1000 == 0 && rate >= 1000)
    return Format(", %1.0fk %s", rate / 1000, unit);
  if (rate == std::floor(rate)) return Format(", %1.0f %s", rate, unit);
  return Format(", %3.2f %s", rate, unit);
}

std::string StreamText(const AVFormatContext* ctx, const AVStream* st, int index) {
  std::string line = Format("Stream #%d", index);
  if (ctx->iformat && (ctx->iformat->flags & AVFMT_SHOW_IDS)) line += Format("[0x%x]", st->id);
  std::string language = MetadataValue(st->metadata, "language", "");
  if (!language.empty()) line += "(" + language + ")";
  char description[512] = "";
  if (TCodecContextPtr codec{avcodec.avcodec_alloc_context3(nullptr)}) {
    if (avcodec.avcodec_parameters_to_context(codec.get(), st->codecpar) >= 0)
      avcodec.avcodec_string(description, sizeof description, codec.get(), 0);
  }
  line += std::string(": ") + description;
  // The codec description already names the pixel and display aspect ratios.
  if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (st->avg_frame_rate.num && st->avg_frame_rate.den) line += RateText(av_q2d(st->avg_frame_rate), "fps");
    if (st->r_frame_rate.num && st->r_frame_rate.den) line += RateText(av_q2d(st->r_frame_rate), "tbr");
    if (st->time_base.num && st->time_base.den) line += RateText(1 / av_q2d(st->time_base), "tbn");
  }
  AVRational base = st->time_base.den ? st->time_base : AVRational{1, 1};
  if (st->start_time != AV_NOPTS_VALUE)
    line += ", StartTime: " + SecondsText(avutil.av_rescale_q(st->start_time, base, Microseconds));
  line += st->duration != AV_NOPTS_VALUE
              ? ", Duration: " + TimeText(avutil.av_rescale_q(st->duration, base, Microseconds))
              : std::string(", Duration: N/A");
  return line;
}

}  // namespace

std::vector<std::string> TCustomDecoder::FileInfoText() {
  std::vector<std::string> lines;
  if (!FFileHandle) {
    Report(TLogLevel::llWarning, "file not loaded.");
    return lines;
  }
  const AVFormatContext* ctx = FFileHandle;
  lines.push_back("File Name: " + FileName());
  lines.push_back("Format Name: " + FormatName());
  lines.push_back("Format Long Name: " + FormatLongName());
  lines.push_back("File Size: " + SizeText(FFileSize));
  lines.push_back(ctx->duration != AV_NOPTS_VALUE ? "Duration: " + TimeText(ctx->duration) : "Duration: N/A");
  lines.push_back("StartTime: " + SecondsText(ctx->start_time != AV_NOPTS_VALUE ? ctx->start_time : 0));
  lines.push_back(ctx->bit_rate ? Format("Bit Rate: %d kb/s", static_cast<int>(ctx->bit_rate / 1000))
                                : std::string("Bit Rate: N/A"));
  TFileStreamInfo info = FileStreamInfo();
  if (info.TimeStamp >= 0) {
    std::time_t stamp = static_cast<std::time_t>(info.TimeStamp);
    std::tm local{};
    localtime_r(&stamp, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    lines.push_back(std::string("Time Stamp: ") + text);
  }
  AddMetadata(lines, ctx->metadata, "");
  for (unsigned i = 0; i < ctx->nb_chapters; ++i) {
    const AVChapter* chapter = ctx->chapters[i];
    lines.push_back(Format("Chapter #%d: start %f, end %f", i, chapter->start * av_q2d(chapter->time_base),
                           chapter->end * av_q2d(chapter->time_base)));
    AddMetadata(lines, chapter->metadata, "    ");
  }
  for (unsigned i = 0; i < ctx->nb_programs; ++i) {
    const AVProgram* program = ctx->programs[i];
    lines.push_back(Format("Program %d %s", program->id,
                           MetadataValue(program->metadata, "provider_name", "N/A").c_str()));
  }
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    lines.push_back(StreamText(ctx, ctx->streams[i], static_cast<int>(i)));
    AddMetadata(lines, ctx->streams[i]->metadata, "    ");
  }
  return lines;
}

}  // namespace vidora
