// The window's speed: how soon it shows, how long a conversion started from it
// takes, and the longest stall of the GUI thread meanwhile (offscreen).
// Usage: window_bench CLIP  — prints "shown_ms convert_s max_gap_ms".
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "app/qt_hand_over.h"
#include "options/option_form.h"
#include "skin/region_button.h"

int main(int argc, char** argv) {
  using namespace vidora;
  QElapsedTimer sinceStart;
  sinceStart.start();
  if (argc < 2) {
    std::fprintf(stderr, "Usage: window_bench CLIP\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  QApplication application(argc, argv);
  app::TQtMainThreadHandOver handOver;
  SetMainThreadHandOver(&handOver);
  TfrmOption options;
  int status = 0;
  {
    app::TfrmMain window(options, false);
    window.show();
    QCoreApplication::processEvents();
    double shownMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;

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
    while (!window.btnAdd->isEnabled()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    double seconds = static_cast<double>(converting.nsecsElapsed()) / 1e9;
    ticker.stop();
    std::printf("%.1f %.3f %.1f\n", shownMs, seconds, static_cast<double>(maxGapNs) / 1e6 - 10.0);
    status = window.LProgress->text().contains("100%") ? 0 : 1;
  }
  SetMainThreadHandOver(nullptr);
  return status;
}
