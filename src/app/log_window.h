// The log as a window of its own (F12): the log lines and the log level,
// resizable, in the desktop's own colours, opening where it was last left.
#pragma once

#include <QWidget>

#include "media/base/logger.h"

class QButtonGroup;
class QGroupBox;
class QPlainTextEdit;

namespace vidora::app {

class TLogWindow : public QWidget {
  Q_OBJECT

 public:
  // Owned by the phone window but a top-level window beside it.
  explicit TLogWindow(QWidget* owner);

  QPlainTextEdit* Lines;  // "mmoLog"
  QGroupBox* Levels;      // "grpLogLevel"
  TLogLevel Level() const;
  // Shown if hidden, hidden if shown.
  void Toggle();

 protected:
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QButtonGroup* FLevelButtons;
  bool FPlaced = false;  // a stored or chosen place is in force
};

}  // namespace vidora::app
