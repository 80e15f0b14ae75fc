#include "service/lifecycle_steps.h"

#include <utility>

namespace orvik::service {

void LifecycleSteps::AskStop(StopDone done) {
  if (waiting_.empty() || waiting_.back().kind != Kind::kStop) waiting_.emplace_back();
  waiting_.back().stop_callers.push_back(std::move(done));
}

void LifecycleSteps::AskRestart(RestartDone done) {
  if (waiting_.empty() || waiting_.back().kind != Kind::kRestart) {
    waiting_.push_back(Step{.kind = Kind::kRestart, .restart_callers = {}, .stop_callers = {}});
  }
  waiting_.back().restart_callers.push_back(std::move(done));
}

std::optional<LifecycleSteps::Kind> LifecycleSteps::BeginNext() {
  if (phase_ != Phase::kIdle || waiting_.empty() || dropped_) return std::nullopt;
  current_ = std::move(waiting_.front());
  waiting_.pop_front();
  phase_ = Phase::kStopping;
  return current_.kind;
}

LifecycleSteps::Step LifecycleSteps::Finish() {
  phase_ = Phase::kIdle;
  return std::exchange(current_, Step{});
}

void LifecycleSteps::DropAll() {
  dropped_ = true;
  current_ = Step{};
  waiting_.clear();
}

}  // namespace orvik::service
