#include "probe.h"

#include "media/base/text_codec.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace vidora::test {

namespace {

std::string Run(const std::string& command) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return output;
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, count);
  return output;
}

std::string Quoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

double TProbedStream::Number(const std::string& key) const { return std::atof((*this)[key].c_str()); }

const TProbedStream* TProbe::First(const std::string& codecType) const {
  for (const TProbedStream& stream : Streams)
    if (stream["codec_type"] == codecType) return &stream;
  return nullptr;
}

TProbe ProbeFile(const std::string& path) {
  TProbe probe;
  std::string output = Run("ffprobe -v error -show_entries format=duration:stream=codec_type,codec_name,width,height,"
                           "sample_rate,channels,start_time,duration,nb_frames,avg_frame_rate,bit_rate -of default=nw=0 " +
                           Quoted(path) + " 2>/dev/null");
  TProbedStream* stream = nullptr;
  bool inFormat = false;
  for (const std::string& line : SplitLines(output)) {
    if (line == "[STREAM]") {
      probe.Streams.emplace_back();
      stream = &probe.Streams.back();
    } else if (line == "[FORMAT]") {
      inFormat = true;
      stream = nullptr;
    } else if (line.rfind("[/", 0) == 0) {
      stream = nullptr;
      inFormat = false;
    } else if (size_t equals = line.find('='); equals != std::string::npos) {
      std::string key = line.substr(0, equals), value = line.substr(equals + 1);
      if (stream) stream->Fields[key] = value;
      if (inFormat && key == "duration") {
        probe.Duration = std::atof(value.c_str());
        probe.Valid = true;
      }
    }
  }
  return probe;
}

double MeanVolume(const std::string& path) {
  std::string output = Run("ffmpeg -nostdin -hide_banner -i " + Quoted(path) + " -af volumedetect -f null - 2>&1");
  size_t at = output.find("mean_volume:");
  return at == std::string::npos ? 0 : std::atof(output.c_str() + at + 12);
}

std::string SubtitlesAsSubRip(const std::string& path) {
  return Run("ffmpeg -nostdin -v error -i " + Quoted(path) + " -map 0:s:0 -f srt - 2>/dev/null");
}

bool DecodesCleanly(const std::string& path) {
  std::string errors = Run("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f null - 2>&1");
  return errors.empty();
}

int PacketCount(const std::string& path, const std::string& kind) {
  std::string output = Run("ffprobe -v error -select_streams " + kind + ":0 -count_packets -show_entries "
                           "stream=nb_read_packets -of csv=p=0 " + Quoted(path) + " 2>/dev/null");
  return output.empty() ? -1 : std::atoi(output.c_str());
}

}  // namespace vidora::test
