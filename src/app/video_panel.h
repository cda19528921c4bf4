// PanelVideo: the player's surface. The player's picture thread hands a
// picture over under a lock; the GUI thread paints it.
#pragma once

#include <QImage>
#include <QWidget>

#include <atomic>
#include <mutex>

#include "media/play/player.h"

namespace vidora::app {

class TVideoPanel : public QWidget, public IPlayerSurface {
  Q_OBJECT

 public:
  explicit TVideoPanel(QWidget* parent = nullptr);

  // IPlayerSurface, called from the player's threads.
  void ClientSize(int& width, int& height) override;
  void ShowPicture(const TBitmap& picture, int x, int y, int64_t pts) override;
  void Clear() override;
  // The picture last handed over, for tests and screenshots.
  QImage LastPicture();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void RequestPaint();

  std::atomic<int> FWidth{0}, FHeight{0};
  std::mutex FLock;  // guards the picture and its place
  QImage FPicture;
  QPoint FAt;
};

}  // namespace vidora::app
