#include "media/engine/declarations.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace vidora {

namespace {

// A picture-rate limit as the standards give it: 30 means 30000/1001.
bool RateFits(double rate, double limit) { return rate <= limit * 1000 / 1001 + 0.01; }

struct TH263Level {
  int level;
  int width, height;  // the largest picture
  double rate;        // at that size
  double smallRate;   // at QCIF and below
  int64_t bitRate;
};

// Baseline-profile levels from the least capable up.
constexpr TH263Level H263Levels[] = {
    {10, 176, 144, 15, 15, 64000},     {45, 176, 144, 15, 15, 128000},    {20, 352, 288, 15, 30, 128000},
    {30, 352, 288, 30, 30, 384000},    {40, 352, 288, 30, 30, 2048000},   {50, 352, 288, 50, 60, 4096000},
    {60, 720, 288, 50, 60, 8192000},   {70, 720, 576, 50, 60, 16384000},
};

struct TMPEG4Level {
  int indication;     // the profile-and-level byte
  int macroblocks;    // per picture
  int perSecond;      // macroblocks per second
  int64_t bitRate;
};

// Simple Profile levels from the least capable up.
constexpr TMPEG4Level MPEG4Levels[] = {
    {0x08, 99, 1485, 64000},    {0x01, 99, 1485, 64000},     {0x02, 396, 5940, 128000},
    {0x03, 396, 11880, 384000}, {0x04, 1200, 36000, 4000000}, {0x05, 1620, 40500, 8000000},
    {0x06, 3600, 108000, 12000000},
};

// Big-endian box walking over a whole file held in memory.
uint32_t Read32(const std::string& data, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(data[at])) << 24 |
         static_cast<unsigned char>(data[at + 1]) << 16 | static_cast<unsigned char>(data[at + 2]) << 8 |
         static_cast<unsigned char>(data[at + 3]);
}

struct TBox {
  std::string type;
  size_t start = 0, body = 0, end = 0;
};

// The boxes directly inside [from, to).
std::vector<TBox> Children(const std::string& data, size_t from, size_t to) {
  std::vector<TBox> boxes;
  while (from + 8 <= to) {
    uint64_t size = Read32(data, from);
    size_t header = 8;
    if (size == 1 && from + 16 <= to) {
      size = static_cast<uint64_t>(Read32(data, from + 8)) << 32 | Read32(data, from + 12);
      header = 16;
    } else if (size == 0) {
      size = to - from;
    }
    if (size < header || size > to - from) break;
    boxes.push_back({data.substr(from + 4, 4), from, from + header, from + static_cast<size_t>(size)});
    from += static_cast<size_t>(size);
  }
  return boxes;
}

const TBox* Child(const std::vector<TBox>& boxes, const char* type) {
  for (const TBox& box : boxes)
    if (box.type == type) return &box;
  return nullptr;
}

// The sample entry of a track: moov/trak/mdia/minf/stbl/stsd, first entry.
const TBox* SampleEntry(const std::string& data, const TBox& trak, std::vector<TBox>& holder) {
  const TBox* box = &trak;
  for (const char* type : {"mdia", "minf", "stbl", "stsd"}) {
    holder = Children(data, box->body, box->end);
    box = Child(holder, type);
    if (!box) return nullptr;
  }
  holder = Children(data, box->body + 8, box->end);  // after version, flags and entry count
  return holder.empty() ? nullptr : &holder.front();
}

// Corrects one track's declaration in `data`; false when nothing was to be found.
bool CorrectTrack(std::string& data, const TBox& trak, const TStreamFacts& stream) {
  std::vector<TBox> holder;
  const TBox* entry = SampleEntry(data, trak, holder);
  if (!entry) return false;
  bool visual = entry->type == "s263" || entry->type == "mp4v";
  size_t fields = visual ? 78 : 28;  // the sample entry's own fields before its boxes
  if (entry->body + fields > entry->end) return false;
  std::vector<TBox> inside = Children(data, entry->body + fields, entry->end);
  if (entry->type == "s263" && stream.codec == AV_CODEC_ID_H263) {
    // Vendor, decoder version, level, profile.
    const TBox* d263 = Child(inside, "d263");
    if (!d263 || d263->body + 7 > d263->end) return false;
    data[d263->body + 5] = static_cast<char>(H263Level(stream));
    return true;
  }
  if (entry->type == "samr" && stream.codec == AV_CODEC_ID_AMR_NB && stream.amr_modes) {
    // Vendor, decoder version, mode set (16 bits), mode change period, frames per sample.
    const TBox* damr = Child(inside, "damr");
    if (!damr || damr->body + 9 > damr->end) return false;
    data[damr->body + 5] = static_cast<char>(stream.amr_modes >> 8 & 0xFF);
    data[damr->body + 6] = static_cast<char>(stream.amr_modes & 0xFF);
    return true;
  }
  if (entry->type == "mp4v" && stream.codec == AV_CODEC_ID_MPEG4) {
    // The visual object sequence header in the decoder's configuration
    // carries the profile and level; only Simple Profile ones are ours to set.
    const TBox* esds = Child(inside, "esds");
    if (!esds) return false;
    static const char start[] = {0, 0, 1, static_cast<char>(0xB0)};
    size_t at = data.find(std::string(start, 4), esds->body);
    if (at == std::string::npos || at + 4 >= esds->end) return false;
    if ((static_cast<unsigned char>(data[at + 4]) >> 4) == 0) data[at + 4] = static_cast<char>(MPEG4SimpleProfileLevel(stream));
    return true;
  }
  return false;
}

}  // namespace

int H263Level(const TStreamFacts& stream) {
  bool small = stream.width <= 176 && stream.height <= 144;
  for (const TH263Level& level : H263Levels)
    if (stream.width <= level.width && stream.height <= level.height &&
        RateFits(stream.frame_rate, small ? level.smallRate : level.rate) && stream.peak_bit_rate <= level.bitRate)
      return level.level;
  return H263Levels[std::size(H263Levels) - 1].level;
}

int MPEG4SimpleProfileLevel(const TStreamFacts& stream) {
  int macroblocks = ((stream.width + 15) / 16) * ((stream.height + 15) / 16);
  for (const TMPEG4Level& level : MPEG4Levels)
    if (macroblocks <= level.macroblocks && macroblocks * stream.frame_rate <= level.perSecond + 0.5 &&
        stream.peak_bit_rate <= level.bitRate)
      return level.indication;
  return MPEG4Levels[std::size(MPEG4Levels) - 1].indication;
}

int64_t PeakBitRate(std::vector<std::pair<int64_t, int>> packets) {
  std::sort(packets.begin(), packets.end());
  int64_t peak = 0, window = 0;
  size_t first = 0;
  for (const auto& [time, bytes] : packets) {
    window += bytes;
    while (packets[first].first <= time - 1000000) window -= packets[first++].second;
    peak = std::max(peak, window);
  }
  return peak * 8;
}

std::string CorrectDeclarations(const std::string& path, const std::vector<TStreamFacts>& streams) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) return "cannot be opened to correct what it declares";
  // Only the movie box is read: the media data may be large.
  std::string header(16, '\0');
  uint64_t at = 0, size = 0;
  while (true) {
    file.seekg(static_cast<std::streamoff>(at));
    if (!file.read(header.data(), 16)) return "holds no movie box";
    size = Read32(header, 0);
    if (size == 1) size = static_cast<uint64_t>(Read32(header, 8)) << 32 | Read32(header, 12);
    if (header.compare(4, 4, "moov") == 0) break;
    if (size < 8) return "holds no movie box";
    at += size;
  }
  if (size < 8 || size > (64u << 20)) return "has a movie box too large to correct";
  std::string moov(static_cast<size_t>(size), '\0');
  file.seekg(static_cast<std::streamoff>(at));
  if (!file.read(moov.data(), static_cast<std::streamsize>(size))) return "has a cut movie box";
  std::vector<TBox> top = Children(moov, 0, moov.size());
  size_t track = 0;
  for (const TBox& box : Children(moov, top.front().body, moov.size()))
    if (box.type == "trak" && track < streams.size()) CorrectTrack(moov, box, streams[track++]);
  file.seekp(static_cast<std::streamoff>(at));
  file.write(moov.data(), static_cast<std::streamsize>(moov.size()));
  file.flush();
  return file ? std::string() : "could not be corrected";
}

}  // namespace vidora
