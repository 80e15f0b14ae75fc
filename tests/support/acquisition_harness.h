// AcquisitionHarness: a real acquisition thread over a test double of the
// serial link (or any link), with the collaborators it needs.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include "core/port_settings.h"
#include "core/settings.h"
#include "fakes/borrowed_serial_link.h"
#include "fakes/fake_serial_link.h"
#include "fakes/service/recording_decoders.h"
#include "service/acquisition_thread.h"
#include "service/shared_state.h"
#include "support/wait_until.h"

namespace orvik::testing {

// Owns the collaborators of one acquisition thread and the thread itself.
class AcquisitionHarness {
 public:
  explicit AcquisitionHarness(core::Settings settings = {}) : settings_(std::move(settings)) {}
  ~AcquisitionHarness() { Stop(); }

  core::Settings& settings() { return settings_; }
  service::AcquisitionOptions& options() { return options_; }
  service::SharedState& shared() { return shared_; }
  // Every frame the loop makes.
  RecordingDecoders& decoders() { return decoders_; }
  // Hands every frame on to `decoders` as well; set before Start().
  void UseDecoders(service::MessageDecoders& decoders) { decoders_.ForwardTo(&decoders); }
  RecordingLogWriter& log() { return log_; }

  // The clock of the thread and of the fake line (the machine's until set);
  // set it before Start(). It must outlive the thread.
  void UseClock(const platform::MonotonicClock& clock) {
    clock_ = &clock;
    fake_.UseClock(clock);
  }

  // The line the thread reads; set it up before Start(). It outlives the thread.
  FakeSerialLink& fake() { return fake_; }

  // Starts the thread on the fake line.
  void Start() { Start(std::make_unique<BorrowedSerialLink>(fake_)); }

  // Starts the thread on any link.
  void Start(std::unique_ptr<platform::SerialLink> link) {
    shared_.lifecycle.AcquisitionRunning = true;
    shared_.lifecycle.PortActive = true;
    thread_ = std::make_unique<service::comm_GPS_acq>(
        service::AcquisitionContext{shared_, decoders_, log_, bridge_, *clock_}, settings_,
        core::DefaultTimeoutTable(), std::move(link), options_);
    published_.store(thread_.get());
  }

  // Any thread: the running acquisition thread once Start() has returned.
  service::comm_GPS_acq* WaitForThread() {
    WaitUntil([this] { return published_.load() != nullptr; }, std::chrono::seconds(2),
              std::chrono::milliseconds(1));
    return published_.load();
  }

  // Stops the thread and waits for its end.
  void Stop() {
    if (!thread_) return;
    thread_->RequestStop();
    published_.store(nullptr);
    thread_.reset();
  }

 private:
  core::Settings settings_;
  service::AcquisitionOptions options_;
  service::SharedState shared_;
  RecordingDecoders decoders_;
  RecordingLogWriter log_;
  service::DirectBridge bridge_;
  const platform::MonotonicClock* clock_ = &platform::MachineMonotonicClock();
  FakeSerialLink fake_;  // declared before thread_: destroyed after it
  std::unique_ptr<service::comm_GPS_acq> thread_;
  std::atomic<service::comm_GPS_acq*> published_{nullptr};
};

}  // namespace orvik::testing
