// Fuzz target: any bytes as a subtitle file of any kind, then the text rules
// the renderer applies to each row.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "options/subtitle_reader.h"
#include "options/subtitle_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const extensions[] = {".txt", ".sub", ".srt", ".ssa", ".ass", ".smi", ".SRT"};
  // The first byte picks the extension, the rest is the file.
  const char* extension = extensions[size ? data[0] % 7 : 0];
  std::string name = "/tmp/vidora-fuzz-" + std::to_string(getpid()) + extension;
  FILE* file = std::fopen(name.c_str(), "wb");
  if (!file) return 0;
  if (size > 1) std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);

  vidora::TSubtitleTable table;
  vidora::LoadTXT(name, 25, table);
  std::remove(name.c_str());

  vidora::TWorkingFont working;
  for (const vidora::TSubtitleRow& row : table) {
    vidora::TText text = vidora::DecodeUtf8(row.Text);
    vidora::TTextStyle style;
    bool first = true;
    for (const vidora::TText& line : vidora::SplitDisplayLines(text)) {
      vidora::FindSplitPoint(line);
      vidora::ApplyStyleTags(line, first, working, style);
      first = false;
    }
  }
  return 0;
}
