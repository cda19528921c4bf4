// What went wrong, over the phone's screen: red on a dimmed picture for the
// eye, and for screen readers an alert, which they speak when it appears.
#pragma once

#include "app/fitted_label.h"

namespace vidora::app {

class TScreenMessage : public TFittedLabel {
  Q_OBJECT

 public:
  explicit TScreenMessage(QWidget* parent = nullptr);
  // Shows `text`, wrapped to the screen and whole in the tooltip; a message
  // that replaces another appears anew, so that it is spoken too.
  void Say(const QString& text);
};

}  // namespace vidora::app
