#include "skin/image_box.h"

#include <QPainter>

namespace vidora {

TImageBox::TImageBox(QWidget* parent) : QWidget(parent) {}

void TImageBox::SetPicture(const QImage& picture) {
  FPicture = picture;
  if (!FStretch && !picture.isNull()) resize(picture.deviceIndependentSize().toSize());
  update();
}

void TImageBox::SetStretch(bool on) {
  FStretch = on;
  update();
}

void TImageBox::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter painter(this);
  if (FStretch)
    painter.drawImage(rect(), FPicture);
  else
    painter.drawImage(0, 0, FPicture);
}

}  // namespace vidora
