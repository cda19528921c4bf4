// Fuzz target: any bytes as a skin description; the reader's promises are
// checked, not only that it survives.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "skin/skin_file.h"
#include "skin/skin_values.h"

namespace {

void Require(bool promise) {
  if (!promise) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidora;
  TSkinFile skin;
  skin.Parse(std::string(reinterpret_cast<const char*>(data), size));
  for (const TSkinSection& section : skin.Sections()) {
    Require(section.Name.find(']') == std::string::npos);
    if (section.Name == "Settings") skin.ProfileLine(section);
    for (const auto& [key, value] : section.Values) {
      Require(!key.empty() && key.find('=') == std::string::npos && key[0] != '[');
      // Only captions and hints go on over further lines.
      if (key != "Text" && key != "Hint") Require(value.size() <= 255);
      if (std::optional<int> place = SkinCoordinate(value)) Require(*place >= -SkinCoordinateLimit && *place <= SkinCoordinateLimit);
      if (std::optional<int> extent = SkinExtent(value)) Require(*extent >= 0 && *extent <= SkinCoordinateLimit);
      if (std::optional<int> number = SkinInteger(value)) SkinTextPosition(*number);
    }
  }
  return 0;
}
