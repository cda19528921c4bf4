// What an output file declares of its streams (the brands, the H.263 level,
// the AMR modes, the MPEG-4 profile and level), read with a box reader of
// our own and compared with what ffprobe finds in the streams.
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "engine_fixture.h"
#include "probe.h"

namespace vidora::test {
namespace {

// The payload of the first box found along a path of box types, in a file
// held in memory; sample descriptions and their entries are stepped into.
class TBoxReader {
 public:
  explicit TBoxReader(std::string data) : FData(std::move(data)) {}
  std::string Find(const std::vector<std::string>& path) const { return Find(path, 0, 0, FData.size()); }

 private:
  uint32_t Number(size_t at) const {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(FData[at + i]);
    return value;
  }
  // Bytes between a box's header and its first child box.
  static size_t Skip(const std::string& type) {
    if (type == "stsd") return 8;
    if (type == "s263" || type == "mp4v") return 78;
    if (type == "samr" || type == "mp4a") return 28;
    return 0;
  }
  std::string Find(const std::vector<std::string>& path, size_t depth, size_t from, size_t to) const {
    for (size_t at = from; at + 8 <= to;) {
      size_t size = Number(at);
      if (size < 8 || at + size > to) return {};
      std::string type = FData.substr(at + 4, 4);
      if (type == path[depth]) {
        if (depth + 1 == path.size()) return FData.substr(at + 8, size - 8);
        std::string found = Find(path, depth + 1, at + 8 + Skip(type), at + size);
        if (!found.empty()) return found;
      }
      at += size;
    }
    return {};
  }
  std::string FData;
};

const std::vector<std::string> Entry = {"moov", "trak", "mdia", "minf", "stbl", "stsd"};
std::vector<std::string> Along(std::vector<std::string> path) {
  path.insert(path.begin(), Entry.begin(), Entry.end());
  return path;
}

int Byte(const std::string& text, size_t at) { return at < text.size() ? static_cast<unsigned char>(text[at]) : -1; }

// Bits in the busiest second of the first stream of a kind, from ffprobe's packets.
double PeakBitRate(const std::string& path, const std::string& kind) {
  std::stringstream lines(CommandOutput("ffprobe -v error -select_streams " + kind +
                                        ":0 -show_entries packet=dts_time,size -of csv=p=0 '" + path + "'"));
  std::vector<std::pair<double, int>> packets;
  for (std::string line; std::getline(lines, line);)
    if (size_t comma = line.find(','); comma != std::string::npos)
      packets.emplace_back(std::atof(line.c_str()), std::atoi(line.c_str() + comma + 1));
  double peak = 0;
  for (size_t first = 0; first < packets.size(); ++first) {
    double bits = 0;
    for (size_t i = first; i < packets.size() && packets[i].first < packets[first].first + 1 - 1e-6; ++i)
      bits += packets[i].second * 8;
    peak = std::max(peak, bits);
  }
  return peak;
}

class DeclarationsTest : public EngineTest {
 protected:
  TBoxReader Convert(const std::string& output, const std::vector<std::string>& options) {
    FEngine.Reset();
    Open(Clip("clip.mp4"), Out(output), options);
    FEngine.StartConvert(false);
    EXPECT_TRUE(FEngine.Finished()) << FEngine.FatalMessage();
    return TBoxReader(ReadAll(Out(output)));
  }
};

// The lowest H.263 baseline level that takes pictures of that size at that
// rate and that peak bit rate: {level, width, height, pictures a second, bits a second}.
int LowestH263Level(int width, int height, double rate, double peak) {
  struct TLevel {
    int level, width, height;
    double rate, bits;
  };
  static const TLevel levels[] = {{10, 176, 144, 15, 64000},   {45, 176, 144, 15, 128000},
                                  {20, 176, 144, 30, 128000},  {20, 352, 288, 15, 128000},
                                  {30, 352, 288, 30, 384000},  {40, 352, 288, 30, 2048000}};
  for (const TLevel& l : levels)
    if (width <= l.width && height <= l.height && rate <= l.rate * 1000 / 1001 + 0.01 && peak <= l.bits) return l.level;
  return -1;
}

TEST_F(DeclarationsTest, H263LevelAndAMRModesAreTheStreams) {
  struct TCase {
    std::vector<std::string> options;
    int modes;  // the AMR mode set
  };
  const std::vector<TCase> cases = {
      {Phone, 0x0080},  // 176x144, 25 pictures a second, 150 kbit/s (level 30, not 10); 12.2 kbit/s: mode 7
      {{"s", "176x144", "r", "15000/1001", "b", "32000", "ar", "8000", "ac", "1", "ab", "4750"}, 0x0001},
      {{"s", "352x288", "r", "15000/1001", "b", "80000", "ar", "8000", "ac", "1", "ab", "7950"}, 0x0020},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string name = "case" + std::to_string(i) + ".3gp";
    SCOPED_TRACE(name);
    TBoxReader file = Convert(name, cases[i].options);
    std::string ftyp = file.Find({"ftyp"});
    EXPECT_EQ(ftyp.substr(0, 4), "3gp4") << "H.263 and AMR are in the first 3GPP brand";
    EXPECT_NE(ftyp.find("3gp4", 8), std::string::npos) << "and among the compatible brands";

    std::string d263 = file.Find(Along({"s263", "d263"}));
    ASSERT_EQ(d263.size(), 7u);
    std::string size = CommandOutput("ffprobe -v error -select_streams v:0 -show_entries stream=width,height,r_frame_rate "
                                     "-of csv=p=0 '" + Out(name) + "'");
    int width = 0, height = 0, num = 0, den = 1;
    ASSERT_EQ(std::sscanf(size.c_str(), "%d,%d,%d/%d", &width, &height, &num, &den), 4) << size;
    double peak = PeakBitRate(Out(name), "v");
    std::cout << name << ": " << width << "x" << height << " at " << num << "/" << den << ", H.263 peak "
              << peak / 1000 << " kbit/s, declared level " << Byte(d263, 5) << "\n";
    EXPECT_EQ(Byte(d263, 5), LowestH263Level(width, height, static_cast<double>(num) / den, peak));
    EXPECT_EQ(Byte(d263, 6), 0) << "baseline profile";

    std::string damr = file.Find(Along({"samr", "damr"}));
    ASSERT_EQ(damr.size(), 9u);
    EXPECT_EQ(Byte(damr, 5) << 8 | Byte(damr, 6), cases[i].modes);
  }
}

TEST_F(DeclarationsTest, TheLoProfilesMPEG4LevelIsTheStreams) {
  // The fixed --lo set: 320x240, 25 pictures a second, 512 kbit/s; beyond
  // Simple Profile level 3 (384 kbit/s), within level 4a.
  TBoxReader file = Convert("lo.3gp", {"vcodec", "mpeg4", "s", "320x240", "r", "25", "b", "512000", "bt", "96000",
                                       "acodec", "aac", "ar", "22050", "ac", "2", "ab", "96000"});
  EXPECT_EQ(file.Find({"ftyp"}).substr(0, 4), "3gp4");
  std::string esds = file.Find(Along({"mp4v", "esds"}));
  size_t header = esds.find(std::string("\0\0\1\xB0", 4));
  ASSERT_NE(header, std::string::npos);
  EXPECT_EQ(Byte(esds, header + 4), 0x04);
  double peak = PeakBitRate(Out("lo.3gp"), "v");
  std::cout << "lo.3gp: MPEG-4 peak " << peak / 1000 << " kbit/s\n";
  EXPECT_GT(peak, 384000);
  EXPECT_LE(peak, 4000000);
}

}  // namespace
}  // namespace vidora::test
