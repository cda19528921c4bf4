// A picture on the window: the background, the bar, the preview, the
// information pictures and the bar tiles. Mouse events go on to the parent
// (the window watches them for dragging and seeking).
#pragma once

#include <QImage>
#include <QWidget>

namespace vidora {

class TImageBox : public QWidget {
  Q_OBJECT

 public:
  explicit TImageBox(QWidget* parent = nullptr);
  const QImage& Picture() const { return FPicture; }
  // Without stretching the box takes the picture's size (AutoSize).
  void SetPicture(const QImage& picture);
  void SetStretch(bool on);
  bool Stretch() const { return FStretch; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage FPicture;
  bool FStretch = false;
};

}  // namespace vidora
