#include "progress_display.h"

#include <unistd.h>

#include <algorithm>

#include "media/base/text_format.h"

namespace vidora::cli {

namespace {

std::string Clock(double seconds) {
  int total = static_cast<int>(seconds + 0.5);
  return total >= 3600 ? Format("%d:%02d:%02d", total / 3600, total / 60 % 60, total % 60)
                       : Format("%02d:%02d", total / 60, total % 60);
}

}  // namespace

TProgressDisplay::TProgressDisplay(FILE* out)
    : FOut(out), FTerminal(isatty(fileno(out)) != 0), FStart(std::chrono::steady_clock::now()) {}

std::string TProgressDisplay::Line(const std::string& name, int64_t current, int64_t total, double elapsed) {
  constexpr int Width = 30;
  double fraction = total > 0 ? std::clamp(static_cast<double>(current) / total, 0.0, 1.0) : 0.0;
  int filled = static_cast<int>(fraction * Width);
  std::string line = name + " [" + std::string(filled, '#') + std::string(Width - filled, '-') + "] ";
  line += total > 0 ? Format("%3d%%", static_cast<int>(fraction * 100)) : std::string("  ?%");
  line += "  " + Clock(elapsed) + " elapsed";
  if (fraction > 0.01 && fraction < 1) line += ", " + Clock(elapsed * (1 - fraction) / fraction) + " left";
  if (elapsed > 0.5) line += Format(", %.1fx", current / 1000000.0 / elapsed);
  return line;
}

void TProgressDisplay::Show(const std::string& name, int64_t current, int64_t total) {
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
  std::string line = Line(name, current, total, elapsed);
  if (FTerminal) {
    std::fprintf(FOut, "\r%s\033[K", line.c_str());
    FDrawn = true;
  } else {
    std::fprintf(FOut, "%s\n", line.c_str());
  }
  std::fflush(FOut);
}

void TProgressDisplay::Finish() {
  if (FDrawn) std::fputc('\n', FOut);
  FDrawn = false;
}

}  // namespace vidora::cli
