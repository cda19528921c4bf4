// What the window's benchmarks share: an offscreen application with the Qt
// hand-over, SDL's dummy sound, and the window shown.
#pragma once

#include <QApplication>

#include <cstdlib>
#include <functional>

#include "app/main_window.h"
#include "app/qt_hand_over.h"
#include "options/option_form.h"

namespace vidora::bench {

// Runs `measure` with the window shown; returns what it returns.
inline int WithWindow(int argc, char** argv, const std::function<int(app::TfrmMain&)>& measure) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  QApplication application(argc, argv);
  app::TQtMainThreadHandOver handOver;
  SetMainThreadHandOver(&handOver);
  TfrmOption options;
  int status;
  {
    app::TfrmMain window(options, false);
    window.show();
    QCoreApplication::processEvents();
    status = measure(window);
  }
  SetMainThreadHandOver(nullptr);
  return status;
}

}  // namespace vidora::bench
