// The command line of vidora3gp-cli.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vidora::cli {

struct TCliOptions {
  std::vector<std::string> Inputs;
  std::string Subtitles;
  std::string Output;  // -o
  bool Overwrite = false;  // -o may replace an existing file
  bool Lo = false;
  std::string Skin;  // --skin NAME
  std::vector<std::pair<std::string, std::string>> Sets;  // --set Field=Value
  std::string Ext;                                        // --ext
  std::string Fit;  // --fit: "pad" or "stretch"; empty keeps the profile's
  int64_t Size = 0;       // --size in bytes; 0: the profile's MaxFileSize
  int64_t SplitSize = 0;  // --split: parts of at most this many bytes; 0: one file
  int Jobs = 1;
  int Verbosity = 0;  // -q: -1, -v: +1 each
  bool Info = false;
  bool Help = false;
  bool Version = false;
  bool Libraries = false;
};

// Throws std::invalid_argument with a message for the user.
TCliOptions ParseCommandLine(int argc, char** argv);
bool IsSubtitleFile(const std::string& name);
extern const char* const Usage;

}  // namespace vidora::cli
