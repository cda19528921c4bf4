#include "app/qt_hand_over.h"

#include <QCoreApplication>
#include <QThread>

namespace vidora::app {

TQtMainThreadHandOver::TQtMainThreadHandOver() { moveToThread(QCoreApplication::instance()->thread()); }

bool TQtMainThreadHandOver::IsMainThread() const { return QThread::currentThread() == thread(); }

void TQtMainThreadHandOver::RunAndWait(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      this,
      [&] {
        try {
          call();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

void TQtMainThreadHandOver::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TQtMainThreadHandOver::ProcessPendingCalls() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace vidora::app
