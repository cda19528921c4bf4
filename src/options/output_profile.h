// The output profile: what decides codecs, sizes and rates of every
// converted file. A skin's profile line and the command line's --set name
// its fields as text; they are read into typed fields once, here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "media/encoder/options.h"

namespace vidora {

// Whether an output name was handed out to another job already: outputs are
// written under a temporary name, so the file system cannot tell.
using TNameTaken = std::function<bool(const std::string& name)>;

struct TOutputProfile {
  // Empty text and an empty number mean "not set": the container decides.
  std::string FileExt = "_3GP.3gp";  // what follows the input's base name
  std::string FileFormat;
  std::string ExtOptions;  // "name=value" lines for the codecs and the muxer
  std::string AudioCodec;
  std::string AudioPreset;
  std::optional<int32_t> AudioChannels = 1;
  std::optional<int32_t> AudioSampleRate = 8000;
  std::optional<int32_t> AudioBitRate = 12200;
  std::string VideoCodec;
  std::string VideoPreset;
  std::string FrameRate;
  std::string FrameSize = "176x144";
  std::optional<int32_t> VideoBitrate = 150000;
  std::optional<int32_t> VideoBitRateTolerance;
  // The largest file in bytes (written like --size: 300k, 1.5M); 0: no limit.
  int64_t MaxFileSize = 0;
  // Why this profile can make no output: a profile line gave a number field
  // text that is not a number. Empty: it can.
  std::string Refusal;
  bool operator==(const TOutputProfile&) const = default;

  // The field names a profile line and --set use, in their order.
  static const std::vector<std::string>& FieldNames();
  // Whether the field holds a count or a rate.
  static bool IsNumberField(const std::string& name);
  // Sets a field from its text; empty text clears it. False for a name no
  // field has (names are exact: "FileExt", "FrameSize", ...); throws
  // std::invalid_argument for a number field whose text is not a number.
  bool SetField(const std::string& name, const std::string& value);

  // Replaces every field with those of a scrambled profile line: each byte
  // XOR 0xB3, then "name=value," assignments; a tail without "," counts as
  // a last assignment. A number field that is not a number sets Refusal.
  void ApplyProfile(const std::string& scrambledLine);

  // The output record for `inputFile` (profile mode, or the fixed set), with
  // the output name beside the input. Throws std::invalid_argument with the
  // Refusal when the profile mode cannot make an output.
  TOutputOptions GetOutputOptions(const std::string& inputFile, bool fixedMode,
                                  const TNameTaken& handedOut = {}) const;
};

// What ApplyProfile undoes: for writing skin files.
std::string ScrambleProfileLine(const std::string& plain);
// base + "_(Vidora)" + extension beside the input, or "_(Vidora_N)" when a
// file has the name or it was handed out already.
std::string OutputFileName(const std::string& input, const std::string& extension, const TNameTaken& handedOut = {});

}  // namespace vidora
