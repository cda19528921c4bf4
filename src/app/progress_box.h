// The bar under the phone's screen: a picture the window paints, and for
// screen readers a progress bar from 0 to 100 that says its percentage.
#pragma once

#include "skin/image_box.h"

namespace vidora::app {

class TProgressBox : public TImageBox {
  Q_OBJECT

 public:
  explicit TProgressBox(QWidget* parent = nullptr);
  int Percent() const { return FPercent; }
  // 0 … 100; a change is told to screen readers.
  void SetPercent(int percent);

 private:
  int FPercent = 0;
};

}  // namespace vidora::app
