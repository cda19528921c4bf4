// The window's speed: how soon it shows, how long a conversion started from it
// takes, and the longest stall of the GUI thread meanwhile (offscreen).
// Usage: window_bench CLIP  — prints "shown_ms convert_s max_gap_ms".
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "skin/region_button.h"
#include "window_host.h"

namespace {

// Milliseconds since the process started (the kernel counts in clock ticks).
double MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  for (int i = 3; i < 22; ++i) fields >> field;  // the 22nd field is the start time
  long long startTicks = 0;
  fields >> startTicks;
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (now.tv_sec + now.tv_nsec / 1e9 - startTicks / ticks) * 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vidora;
  if (argc < 2) {
    std::fprintf(stderr, "Usage: window_bench CLIP\n");
    return 2;
  }
  return bench::WithWindow(argc, argv, [&](app::TfrmMain& window) {
    double shownMs = MillisecondsSinceProcessStart();

    window.AddFile(argv[1]);
    // The longest gap between ticks of a 10 ms timer while converting.
    QElapsedTimer gap;
    qint64 maxGapNs = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      maxGapNs = std::max(maxGapNs, gap.nsecsElapsed());
      gap.restart();
    });
    QElapsedTimer converting;
    converting.start();
    window.btnStartConvertClick();
    gap.start();
    ticker.start(10);
    // The event loop idles as the program's does until the end re-enables the add key.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (window.btnAdd->isEnabled()) loop.quit();
    });
    poll.start(20);
    loop.exec();
    double seconds = static_cast<double>(converting.nsecsElapsed()) / 1e9;
    ticker.stop();
    std::printf("%.1f %.3f %.1f\n", shownMs, seconds, static_cast<double>(maxGapNs) / 1e6 - 10.0);
    return window.LProgress->text().contains("100%") ? 0 : 1;
  });
}
