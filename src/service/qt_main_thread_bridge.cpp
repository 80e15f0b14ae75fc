#include "service/qt_main_thread_bridge.h"

#include <QMetaObject>
#include <QThread>

namespace orvik::service {

void QtMainThreadBridge::RunInMainThread(const std::function<void()>& work) {
  QObject* context = context_.data();
  if (context == nullptr) return;
  if (QThread::currentThread() == context->thread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(context, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

}  // namespace orvik::service
