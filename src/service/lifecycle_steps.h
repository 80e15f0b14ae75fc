// LifecycleSteps: the book of the acquisition's lifecycle steps (a stop, a
// restart, a summer/zone switch): which one is under way and in which phase,
// and the stops and restarts asked for meanwhile, in the order asked. A stop
// or restart asked for right after another of its kind, none of the other
// kind between, shares its step, and each caller is answered. A summer/zone
// switch is never queued: it begins only when no step is under way or
// waiting. The service carries the steps out; this class only keeps the book.
//
// Main thread only.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "core/status.h"

namespace orvik::service {

class LifecycleSteps {
 public:
  using StopDone = std::function<void()>;
  // Receives a restart's result: the error of its start-up sequence, or ok.
  using RestartDone = std::function<void(const core::Status&)>;

  enum class Phase { kIdle, kStopping, kPausingToRestart, kPausingToSwitch };
  enum class Kind { kStop, kRestart };

  // A stop or a restart with everyone who asked for it.
  struct Step {
    Kind kind = Kind::kStop;
    std::vector<RestartDone> restart_callers;
    std::vector<StopDone> stop_callers;
  };

  void AskStop(StopDone done);
  void AskRestart(RestartDone done);

  // Begins the step asked for first (its phase: kStopping) and returns its
  // kind; nothing when a step is under way, none waits, or the steps were
  // dropped.
  std::optional<Kind> BeginNext();
  // A restart's stop has ended: its pause begins.
  void PauseToRestart() { phase_ = Phase::kPausingToRestart; }
  // Begins a summer/zone switch (its pause). REQUIRES: !Busy().
  void BeginSwitch() { phase_ = Phase::kPausingToSwitch; }
  // Ends the step under way; returns its callers to answer (none for a switch).
  Step Finish();
  // Forgets every caller, of the step under way and of those waiting, and
  // begins nothing any more.
  void DropAll();

  Phase phase() const { return phase_; }
  // A step is under way or waiting.
  bool Busy() const { return phase_ != Phase::kIdle || !waiting_.empty(); }

 private:
  Phase phase_ = Phase::kIdle;
  Step current_;
  std::deque<Step> waiting_;
  bool dropped_ = false;
};

}  // namespace orvik::service
