// QtMainThreadBridge: MainThreadBridge on a Qt event loop. The work is queued
// to the thread of `context` (the main thread) and the caller blocks until it
// has run. The main thread must keep dispatching events while it waits for
// the acquisition thread, or the two would wait for each other.
#pragma once

#include <QObject>
#include <QPointer>

#include "service/main_thread_bridge.h"

namespace orvik::service {

class QtMainThreadBridge : public MainThreadBridge {
 public:
  // REQUIRES: `context` lives in the main thread and outlives every caller.
  explicit QtMainThreadBridge(QObject* context) : context_(context) {}

  void RunInMainThread(const std::function<void()>& work) override;

 private:
  QPointer<QObject> context_;
};

}  // namespace orvik::service
