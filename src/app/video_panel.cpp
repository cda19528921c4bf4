#include "app/video_panel.h"

#include "app/bitmap_image.h"

#include <QPainter>
#include <QResizeEvent>

namespace vidora::app {

TVideoPanel::TVideoPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TVideoPanel::ClientSize(int& width, int& height) {
  width = FWidth;
  height = FHeight;
}

void TVideoPanel::ShowPicture(const TBitmap& picture, int x, int y, int64_t) {
  QImage image = BitmapImage(picture);
  {
    std::lock_guard lock(FLock);
    FPicture = std::move(image);
    FAt = QPoint(x, y);
  }
  RequestPaint();
}

void TVideoPanel::Clear() {
  {
    std::lock_guard lock(FLock);
    FPicture = QImage();
  }
  RequestPaint();
}

QImage TVideoPanel::LastPicture() {
  std::lock_guard lock(FLock);
  return FPicture;
}

void TVideoPanel::RequestPaint() { QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection); }

void TVideoPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  std::lock_guard lock(FLock);
  if (!FPicture.isNull()) painter.drawImage(FAt, FPicture);
}

void TVideoPanel::resizeEvent(QResizeEvent* event) {
  FWidth = event->size().width();
  FHeight = event->size().height();
  QWidget::resizeEvent(event);
}

}  // namespace vidora::app
