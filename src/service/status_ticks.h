// StatusTicks: the two periods of the status the operator is shown, run on
// the main loop's timers. The display tick (1 s; it runs once a start-up
// sequence has completed) publishes the receiver's texts and the problems
// shown while they last; the communication check (3 s; it runs from the
// program's start) takes one period of the communication rule: an accepted
// time message since the last check, or "No communication!". Each tick
// publishes one StatusSnapshot.
//
// The service runs one on its shared state; the Windows desktop program
// beside the service runs one on the state its record client fills. Main
// thread only.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "service/main_loop.h"
#include "service/shared_state.h"
#include "service/status_snapshot.h"

namespace orvik::service {

struct StatusTickHooks {
  // Receives every snapshot.
  std::function<void(const StatusSnapshot&)> publish;
  // Runs first in each display tick; true: it took the whole tick (a summer
  // or zone switch began), which then publishes nothing. May be unset.
  std::function<bool()> before_display;
};

struct StatusTickIntervals {
  std::chrono::milliseconds display;
  std::chrono::milliseconds communication;
};

class StatusTicks {
 public:
  // `loop` and `shared` must outlive this object.
  StatusTicks(MainLoop& loop, SharedState& shared, StatusTickIntervals intervals,
              StatusTickHooks hooks);

  // The communication check runs from now on; a running one goes on.
  void StartCommunicationCheck();
  // The display tick runs from now on; a running one goes on.
  void StartDisplay();
  // Both stop (the program ends).
  void Stop();
  bool DisplayRunning() const { return display_timer_->IsActive(); }

  // One period of each, exactly as its timer runs it.
  void DisplayTick();
  void CommunicationTick();

 private:
  StatusSnapshot Take(StatusSnapshot::Tick tick) const;

  SharedState& shared_;
  const StatusTickIntervals intervals_;
  const StatusTickHooks hooks_;
  DisplayState::CommunicationPeriod period_;  // the latest one taken
  bool checked_ = false;                      // a period has ended
  std::unique_ptr<LoopTimer> display_timer_;
  std::unique_ptr<LoopTimer> communication_timer_;
};

}  // namespace orvik::service
