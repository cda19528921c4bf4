#include "app/preview_window.h"

#include "app/bitmap_image.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "media/base/ff_utils.h"
#include "media/base/main_thread.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

TPreviewWindow::TPreviewWindow() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(tr("Preview"));
}

void TPreviewWindow::Post(const TBitmap& bitmap, int64_t pts) {
  QImage image = BitmapImage(bitmap);
  {
    std::lock_guard lock(FLock);
    FPicture = std::move(image);
    FPTS = pts;
  }
  QMetaObject::invokeMethod(this, &TPreviewWindow::ShowPosted, Qt::QueuedConnection);
}

QImage TPreviewWindow::Picture() {
  std::lock_guard lock(FLock);
  return FPicture;
}

void TPreviewWindow::ShowPosted() {
  if (FClosed) return;
  QSize size;
  int64_t pts;
  {
    std::lock_guard lock(FLock);
    size = FPicture.size();
    pts = FPTS;
  }
  setWindowTitle(QString::fromStdString(TimeText(pts)));
  if (size != this->size()) {
    setFixedSize(size);
    if (QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
  }
  if (!isVisible()) show();
  update();
}

void TPreviewWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  std::lock_guard lock(FLock);
  painter.drawImage(0, 0, FPicture);
}

void TPreviewWindow::closeEvent(QCloseEvent* event) {
  FClosed = true;
  event->accept();
}

void TPreviewWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FDragFrom = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TPreviewWindow::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() == Qt::LeftButton) move(event->globalPosition().toPoint() - FDragFrom);
}

TPreviewer::TPreviewer() {
  RunInMainThread([this] { FWindow = new TPreviewWindow; });
}

TPreviewer::~TPreviewer() {
  // The engine lets go of its previewer on its own thread; the window goes on the GUI thread.
  if (FWindow) FWindow->deleteLater();
}

bool TPreviewer::PaintFrame(const TBitmap& bitmap, int, int64_t pts) {
  if (!FWindow || FWindow->ClosedByUser()) return false;
  FWindow->Post(bitmap, pts);
  return true;
}

}  // namespace vidora::app
