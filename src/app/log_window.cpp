#include "app/log_window.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "options/settings_store.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

TLogWindow::TLogWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(u"LogWindow"_s);
  setWindowTitle(tr("Vidora to 3GP: log"));
  // Closing the phone closes the program even while the log is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  Lines = new QPlainTextEdit(this);
  Lines->setObjectName(u"mmoLog"_s);
  Lines->setReadOnly(true);
  Lines->setFont(QFont(u"Liberation Mono"_s, 9));
  Levels = new QGroupBox(tr("Log level"), this);
  Levels->setObjectName(u"grpLogLevel"_s);
  FLevelButtons = new QButtonGroup(Levels);
  // In the logger's level order.
  const QString names[] = {tr("Quiet"), tr("Panic"), tr("Fatal"),   tr("Error"),
                           tr("Warning"), tr("Info"), tr("Verbose"), tr("Debug")};
  auto* levels = new QVBoxLayout(Levels);
  for (int i = 0; i < 8; ++i) {
    auto* level = new QRadioButton(names[i], Levels);
    FLevelButtons->addButton(level, i);
    levels->addWidget(level);
  }
  levels->addStretch();
  FLevelButtons->button(static_cast<int>(TLogLevel::llInfo))->setChecked(true);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(Lines, 1);
  layout->addWidget(Levels);
  resize(640, 360);
  std::optional<std::string> place = SettingsStore(OwnOrganisation, OwnApplication).ReadBinary(setting::LogWindowPlace);
  FPlaced = place && restoreGeometry(QByteArray::fromStdString(*place));
}

TLogLevel TLogWindow::Level() const { return static_cast<TLogLevel>(FLevelButtons->checkedId()); }

void TLogWindow::Toggle() {
  if (isVisible()) {
    hide();
    return;
  }
  if (!FPlaced) {
    // First time and nothing stored: beside the phone, on the side with more room.
    const QRect phone = parentWidget()->frameGeometry();
    const QRect screen = parentWidget()->screen()->availableGeometry();
    const int gap = 8, right = screen.right() - phone.right() - gap, left = phone.left() - screen.left() - gap;
    resize(std::clamp(std::max(left, right), 320, 640), height());
    int x = right >= left ? phone.right() + gap : phone.left() - gap - frameGeometry().width();
    move(std::clamp(x, screen.left(), std::max(screen.left(), screen.right() - frameGeometry().width())),
         std::max(phone.top(), screen.top()));
    FPlaced = true;
  }
  show();
  raise();
  activateWindow();
}

void TLogWindow::hideEvent(QHideEvent* event) {
  SettingsStore(OwnOrganisation, OwnApplication).WriteBinary(setting::LogWindowPlace, saveGeometry().toStdString());
  QWidget::hideEvent(event);
}

void TLogWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F12)
    hide();
  else
    QWidget::keyPressEvent(event);
}

}  // namespace vidora::app
