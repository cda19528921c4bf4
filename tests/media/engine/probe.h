#pragma once

#include <map>
#include <string>
#include <vector>

namespace vidora::test {

// What ffprobe, an independent reader, says of a media file.
struct TProbedStream {
  std::map<std::string, std::string> Fields;  // codec_name, width, sample_rate, duration ...
  std::string operator[](const std::string& key) const {
    auto it = Fields.find(key);
    return it == Fields.end() ? "" : it->second;
  }
  double Number(const std::string& key) const;
  bool Has(const std::string& key) const { return Fields.count(key) > 0; }
};

struct TProbe {
  bool Valid = false;
  double Duration = 0;
  std::vector<TProbedStream> Streams;
  const TProbedStream* First(const std::string& codecType) const;
};

TProbe ProbeFile(const std::string& path);
// The mean volume of the file's sound in dB, as ffmpeg's volumedetect measures it.
double MeanVolume(const std::string& path);
// The file's first subtitle stream as SubRip text.
std::string SubtitlesAsSubRip(const std::string& path);
// Decodes the whole file; true when ffmpeg reports no error.
bool DecodesCleanly(const std::string& path);
// The packets ffprobe reads from the file's first stream of a kind ("a", "v"); -1 when it cannot.
int PacketCount(const std::string& path, const std::string& kind);

}  // namespace vidora::test
