// FakeServiceControl: a ServiceControl whose state a test sets, counting the
// restarts asked for; a restart can be refused with a message.
#pragma once

#include <optional>
#include <string>

#include "platform/service_control.h"

namespace orvik::testing {

class FakeServiceControl : public platform::ServiceControl {
 public:
  platform::TimeServiceState State() override { return state_; }
  core::Status Restart() override {
    ++restarts_;
    if (refusal_) return core::Status::Error(core::StatusCode::kIoError, *refusal_);
    return core::Status::Ok();
  }

  void SetState(platform::TimeServiceState state) { state_ = state; }
  // Every restart fails with `message` (unset: restarts succeed).
  void RefuseRestarts(std::optional<std::string> message) { refusal_ = std::move(message); }
  int restarts() const { return restarts_; }

 private:
  platform::TimeServiceState state_ = platform::TimeServiceState::kNotInstalled;
  std::optional<std::string> refusal_;
  int restarts_ = 0;
};

}  // namespace orvik::testing
