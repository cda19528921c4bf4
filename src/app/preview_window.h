// The preview window the engine paints conversion frames into: a small tool
// window on top, centred, sized to the picture, with the frame's time in its
// caption, dragged by its body. Closing it stops the painting.
#pragma once

#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>

#include "media/base/previewer.h"

namespace vidora::app {

class TPreviewWindow : public QWidget {
  Q_OBJECT

 public:
  TPreviewWindow();
  // From any thread: the picture to show next.
  void Post(const TBitmap& bitmap, int64_t pts);
  bool ClosedByUser() const { return FClosed; }
  QImage Picture();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void ShowPosted();

  std::mutex FLock;  // guards the posted picture and time
  QImage FPicture;
  int64_t FPTS = 0;
  std::atomic<bool> FClosed{false};
  QPoint FDragFrom;
};

// The engine's side: made on the worker thread, the window lives on the GUI thread.
class TPreviewer : public IPreviewer {
 public:
  TPreviewer();
  ~TPreviewer() override;
  bool PaintFrame(const TBitmap& bitmap, int frameNumber, int64_t pts) override;
  TPreviewWindow* Window() const { return FWindow; }

 private:
  TPreviewWindow* FWindow = nullptr;  // deleted only by this object
};

}  // namespace vidora::app
