// The preview's pace and cost: plays CLIP in the window's 160x90 panel for
// SECONDS (offscreen, SDL's dummy sound) and prints
// "wall_s picture_s pace cpu_cores": pace is wall time over picture time.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "window_host.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vidora;
  if (argc < 3) {
    std::fprintf(stderr, "Usage: preview_bench CLIP SECONDS\n");
    return 2;
  }
  double seconds = std::atof(argv[2]);
  return bench::WithWindow(argc, argv, [&](app::TfrmMain& window) {
    window.AddFile(argv[1]);
    // From the first picture on screen: wall clock against the picture clock.
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer wall;
    int64_t firstPts = -1, lastPts = 0;
    double cpuStart = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      int64_t pts = window.FFPlayer.CurrentPTS();
      if (firstPts < 0 && pts > 0) {
        firstPts = pts;
        wall.start();
        cpuStart = CpuSeconds();
      }
      if (firstPts >= 0) lastPts = pts;
      if (firstPts >= 0 && wall.elapsed() >= seconds * 1000) loop.quit();
    });
    poll.start(5);
    loop.exec();
    double wallSeconds = wall.nsecsElapsed() / 1e9, pictureSeconds = (lastPts - firstPts) / 1e6;
    std::printf("%.3f %.3f %.4f %.3f\n", wallSeconds, pictureSeconds, wallSeconds / pictureSeconds,
                (CpuSeconds() - cpuStart) / wallSeconds);
    return 0;
  });
}
