// The output profile: fourteen named text fields that decide codecs, sizes
// and rates of every converted file; a skin's profile line replaces them.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "media/encoder/options.h"

namespace vidora {

// Whether an output name was handed out to another job already: outputs are
// written under a temporary name, so the file system cannot tell.
using TNameTaken = std::function<bool(const std::string& name)>;

class TOutputProfile {
 public:
  TOutputProfile();  // the built-in profile
  // Empty text means "not set". Names are exact: "FileExt", "FrameSize", ...
  const std::string& Field(const std::string& name) const;
  // False for a name no field has.
  bool SetField(const std::string& name, const std::string& value);
  const std::vector<std::pair<std::string, std::string>>& Fields() const { return FFields; }
  // Whether the field holds a count or a rate (a whole number; 0 or less: not set).
  static bool IsNumberField(const std::string& name);

  // Replaces every field with those of a scrambled profile line: each byte
  // XOR 0xB3, then "name=value," assignments; a tail without "," counts as
  // a last assignment.
  void ApplyProfile(const std::string& scrambledLine);

  // The output record for `inputFile` (profile mode, or the fixed set), with
  // the output name beside the input. Throws std::invalid_argument for a
  // profile-mode number field that is not a number.
  TOutputOptions GetOutputOptions(const std::string& inputFile, bool fixedMode,
                                  const TNameTaken& handedOut = {}) const;

 private:
  std::vector<std::pair<std::string, std::string>> FFields;
};

// What ApplyProfile undoes: for writing skin files.
std::string ScrambleProfileLine(const std::string& plain);
// base + "_(Vidora)" + extension beside the input, or "_(Vidora_N)" when a
// file has the name or it was handed out already.
std::string OutputFileName(const std::string& input, const std::string& extension, const TNameTaken& handedOut = {});

}  // namespace vidora
