#include "service/qt/qt_main_loop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <utility>

namespace orvik::service {
namespace {

// Qt objects may be destroyed from inside their own signals only through
// deleteLater; until then they are cut off, so nothing of them runs again.
// Their parent (the loop's context) deletes whatever the loop never reached.
template <typename QtObject>
void Retire(QPointer<QtObject>& object) {
  if (object.isNull()) return;
  object->disconnect();
  object->deleteLater();
  object.clear();
}

class QtLoopTimer : public LoopTimer {
 public:
  QtLoopTimer(QObject* context, std::function<void()> work) : timer_(new QTimer(context)) {
    QObject::connect(timer_.data(), &QTimer::timeout, [work = std::move(work)] { work(); });
  }
  ~QtLoopTimer() override {
    if (timer_) timer_->stop();
    Retire(timer_);
  }

  void Start(std::chrono::milliseconds interval) override {
    timer_->setSingleShot(false);
    timer_->start(static_cast<int>(interval.count()));
  }
  void StartOnce(std::chrono::milliseconds delay) override {
    timer_->setSingleShot(true);
    timer_->start(static_cast<int>(delay.count()));
  }
  void Stop() override { timer_->stop(); }
  bool IsActive() const override { return timer_->isActive(); }

 private:
  QPointer<QTimer> timer_;
};

class QtSocketWatch : public SocketWatch {
 public:
  QtSocketWatch(QObject* context, NativeSocket socket, std::function<void()> on_readable,
                std::function<void()> on_writable)
      : read_(new QSocketNotifier(static_cast<qintptr>(socket), QSocketNotifier::Read, context)),
        write_(new QSocketNotifier(static_cast<qintptr>(socket), QSocketNotifier::Write, context)) {
    write_->setEnabled(false);
    QObject::connect(read_.data(), &QSocketNotifier::activated,
                     [work = std::move(on_readable)] { work(); });
    QObject::connect(write_.data(), &QSocketNotifier::activated,
                     [work = std::move(on_writable)] { work(); });
  }
  ~QtSocketWatch() override {
    if (read_) read_->setEnabled(false);
    if (write_) write_->setEnabled(false);
    Retire(read_);
    Retire(write_);
  }

  void WatchWritable(bool on) override { write_->setEnabled(on); }

 private:
  QPointer<QSocketNotifier> read_;
  QPointer<QSocketNotifier> write_;
};

}  // namespace

QtMainLoop::QtMainLoop() : context_(std::make_unique<QObject>()) {}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(
      context_.get(), [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

std::unique_ptr<LoopTimer> QtMainLoop::MakeTimer(std::function<void()> work) {
  return std::make_unique<QtLoopTimer>(context_.get(), std::move(work));
}

std::unique_ptr<SocketWatch> QtMainLoop::WatchSocket(NativeSocket socket,
                                                     std::function<void()> on_readable,
                                                     std::function<void()> on_writable) {
  return std::make_unique<QtSocketWatch>(context_.get(), socket, std::move(on_readable),
                                         std::move(on_writable));
}

void QtMainLoop::Run() { QCoreApplication::exec(); }

void QtMainLoop::Quit() { QCoreApplication::quit(); }

}  // namespace orvik::service
