// Fuzz target: any bytes as a subtitle file of any kind, then the layout the
// renderer gives each row. Beyond crashes it checks what must always hold:
// the banner stays the first row, every split point lies within its line,
// and no display row is empty.
#include <unistd.h>

#include <QGuiApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "options/subtitle_reader.h"
#include "options/subtitle_renderer.h"
#include "options/subtitle_text.h"

namespace {

// Measuring text needs a running application; Qt's offscreen platform will do.
void NeedApplication() {
  static int argc = 1;
  static char name[] = "load_txt_fuzz";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QGuiApplication(argc, argv);
  }();
  (void)application;
}

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void CheckText(const vidora::TText& text, const vidora::TWorkingFont& working) {
  for (const vidora::TText& line : vidora::SplitDisplayLines(text)) {
    Require(!vidora::IsBlank(line), "a display line has something to draw");
    int k = vidora::FindSplitPoint(line);
    Require(k == 0 || (k >= 2 && k <= static_cast<int>(line.size())), "a split point lies within its line");
  }
  for (const vidora::TDisplayRow& row : vidora::DisplayRows(text, working))
    Require(!vidora::IsBlank(row.Text), "a display row has something to draw");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NeedApplication();
  static const char* const extensions[] = {".txt", ".sub", ".srt", ".ssa", ".ass", ".smi", ".SRT"};
  // The first byte picks the extension, the rest is the file.
  const char* extension = extensions[size ? data[0] % 7 : 0];
  std::string name = "/tmp/vidora-fuzz-" + std::to_string(getpid()) + extension;
  FILE* file = std::fopen(name.c_str(), "wb");
  if (!file) return 0;
  if (size > 1) std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);

  vidora::TSubtitleTable table;
  // Without a video the file's header or 25 frames/s time MicroDVD lines.
  vidora::LoadTXT(name, size > 1 && data[1] % 2 ? 25 : 0, table);
  std::remove(name.c_str());
  if (!table.empty()) {
    Require(table[0].Key == "0" && table[0].Text == vidora::SubtitleBanner, "the banner is the first row");
    for (size_t i = 1; i < table.size(); ++i)
      Require(!vidora::IsBlank(vidora::DecodeUtf8(table[i].Text)), "a subtitle row has text");
  }

  vidora::TWorkingFont working;
  vidora::TSubtitleSettings settings;
  vidora::TSubtitleRenderer renderer(settings, working);
  // The layout measures text, which is slow: the first rows are enough.
  for (size_t i = 0; i < table.size() && i < 8; ++i) {
    vidora::TText text = vidora::DecodeUtf8(table[i].Text);
    CheckText(text, working);
    vidora::TSubtitleLayout layout = renderer.Layout(text, 176, 144);
    Require(layout.Lines.size() <= 3, "at most three rows");
    for (const vidora::TSubtitleLine& line : layout.Lines) Require(!vidora::IsBlank(line.Text), "no empty row is laid out");
  }
  return 0;
}
