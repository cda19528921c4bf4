#include "app/qt_hand_over.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <system_error>

namespace vidora::app {

TQtMainThreadHandOver::TQtMainThreadHandOver() : FWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (FWake < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  FNotifier = std::make_unique<QSocketNotifier>(FWake, QSocketNotifier::Read);
  QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] {
    eventfd_t count;
    eventfd_read(FWake, &count);
    ProcessPending();
  });
}

TQtMainThreadHandOver::~TQtMainThreadHandOver() {
  FNotifier.reset();
  close(FWake);
}

void TQtMainThreadHandOver::Arrived() { eventfd_write(FWake, 1); }

void TQtMainThreadHandOver::ProcessPendingCalls() {
  ProcessPending();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace vidora::app
