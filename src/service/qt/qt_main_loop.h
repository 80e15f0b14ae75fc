// QtMainLoop: the main loop on a Qt event loop (the desktop program, and
// tests that run a Qt loop). Posted work, timers and socket notifications
// are Qt events of one context object that lives in the main thread; what is
// still queued for it when the loop is destroyed is dropped with it.
#pragma once

#include <QObject>
#include <memory>

#include "service/main_loop.h"

namespace orvik::service {

class QtMainLoop : public MainLoop {
 public:
  // REQUIRES: constructed in the main thread, after the QCoreApplication.
  QtMainLoop();
  ~QtMainLoop() override;

  QtMainLoop(const QtMainLoop&) = delete;
  QtMainLoop& operator=(const QtMainLoop&) = delete;

  void Post(std::function<void()> work) override;
  std::unique_ptr<LoopTimer> MakeTimer(std::function<void()> work) override;
  std::unique_ptr<SocketWatch> WatchSocket(NativeSocket socket, std::function<void()> on_readable,
                                           std::function<void()> on_writable) override;
  // QCoreApplication::exec() and quit().
  void Run() override;
  void Quit() override;

 private:
  std::unique_ptr<QObject> context_;
};

}  // namespace orvik::service
