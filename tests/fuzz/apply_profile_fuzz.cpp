// Fuzz target: any bytes as a scrambled profile line, then the output record.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "options/output_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vidora::TOutputProfile profile;
  profile.ApplyProfile(std::string(reinterpret_cast<const char*>(data), size));
  try {
    profile.GetOutputOptions("/nonexistent/clip.avi", false);
  } catch (const std::invalid_argument&) {
    // A number field that is not a number is the caller's to report.
  }
  return 0;
}
