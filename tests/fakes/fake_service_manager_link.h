// FakeServiceManagerLink: the service manager as a recorder of the states
// told, with a way to send it a stop. RecordingEventLog: the system event
// log as a list of events. Thread-safe.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/service_manager_link.h"
#include "platform/system_event_log.h"

namespace orvik::testing {

class FakeServiceManagerLink : public platform::ServiceManagerLink {
 public:
  void Listen(Handler handler) override {
    const std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
  }
  bool ok() const override { return true; }
  void Report(platform::ServiceState state, int /*exit_code*/) override {
    const std::lock_guard lock(mutex_);
    states_.push_back(state);
  }

  // The manager asks for a stop (as from its own thread); false when the
  // program does not listen yet.
  bool SendStop(int code) {
    Handler handler;
    {
      const std::lock_guard lock(mutex_);
      handler = handler_;
    }
    if (!handler) return false;
    handler(code);
    return true;
  }
  std::vector<platform::ServiceState> States() const {
    const std::lock_guard lock(mutex_);
    return states_;
  }

 private:
  mutable std::mutex mutex_;
  Handler handler_;                             // guarded by mutex_
  std::vector<platform::ServiceState> states_;  // guarded by mutex_
};

class RecordingEventLog : public platform::SystemEventLog {
 public:
  using Event = std::pair<platform::EventSeverity, std::string>;
  void Write(platform::EventSeverity severity, std::string_view text) override {
    const std::lock_guard lock(mutex_);
    events_.emplace_back(severity, std::string(text));
  }
  std::vector<Event> Events() const {
    const std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Event> events_;  // guarded by mutex_
};

}  // namespace orvik::testing
