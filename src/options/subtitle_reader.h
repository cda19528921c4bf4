// Reading a subtitle file into the subtitle time table: start and end times
// in milliseconds, text with "|" between display lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidora {

struct TSubtitleRow {
  std::string Key;   // start time in milliseconds, decimal text
  std::string Text;  // UTF-8, at most 255 characters
  int64_t End = -1;  // end time in milliseconds; -1 when the file gives none
};

using TSubtitleTable = std::vector<TSubtitleRow>;

// The text of the first row of every table: the product's web site, or
// nothing (a row that draws nothing) when the build names no server.
extern const char* const SubtitleBanner;

// Reads MicroDVD, MPL2-style, [MM:SS], TMPlayer-style, SubRip, SAMI and
// SubStation files. `frameRate`, the video's (0: the input has none), turns
// MicroDVD frame numbers into seconds; without it the file's header or 25
// frames/s do, and `note` says so. Returns whether subtitles were read
// (burn-in may be switched on); a SubStation file without "[EVENTS]" leaves
// the table as it was. Rows after the banner are ordered by start; cues that
// start together share one row.
bool LoadTXT(const std::string& fileName, double frameRate, TSubtitleTable& table, std::string* note = nullptr);
// The same from lines already read, with the file's extension (".SRT" ...).
bool LoadTXTLines(std::vector<std::string> lines, const std::string& extension, double frameRate,
                  TSubtitleTable& table, std::string* note = nullptr);

// Splits at each "," into fields trimmed of blanks; after each comma only the
// next 255 characters are split further.
std::vector<std::string> SplitFields(const std::string& text);

// The file's text as UTF-8: a byte-order mark decides, else valid UTF-8 is
// taken as it is, else uchardet's guess, else the Central European or
// Western Windows code page.
std::string DecodeSubtitleText(const std::string& bytes, bool centralEuropean);

}  // namespace vidora
