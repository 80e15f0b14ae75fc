#include "service/status_ticks.h"

#include <utility>

namespace orvik::service {

StatusTicks::StatusTicks(MainLoop& loop, SharedState& shared, StatusTickIntervals intervals,
                         StatusTickHooks hooks)
    : shared_(shared),
      intervals_(intervals),
      hooks_(std::move(hooks)),
      display_timer_(loop.MakeTimer([this] { DisplayTick(); })),
      communication_timer_(loop.MakeTimer([this] { CommunicationTick(); })) {}

void StatusTicks::StartCommunicationCheck() {
  if (!communication_timer_->IsActive()) communication_timer_->Start(intervals_.communication);
}

void StatusTicks::StartDisplay() {
  if (!display_timer_->IsActive()) display_timer_->Start(intervals_.display);
}

void StatusTicks::Stop() {
  display_timer_->Stop();
  communication_timer_->Stop();
}

void StatusTicks::DisplayTick() {
  if (hooks_.before_display && hooks_.before_display()) return;
  // The flag first: texts a message leaves meanwhile are then new again at
  // the next tick instead of lost.
  const bool new_texts = shared_.display.NewDisplayFlag.exchange(false);
  StatusSnapshot snapshot = Take(StatusSnapshot::Tick::kDisplay);
  snapshot.new_texts = new_texts;
  if (hooks_.publish) hooks_.publish(snapshot);
}

void StatusTicks::CommunicationTick() {
  period_ = shared_.display.TakeCommunicationPeriod();
  checked_ = true;
  if (hooks_.publish) hooks_.publish(Take(StatusSnapshot::Tick::kCommunication));
}

StatusSnapshot StatusTicks::Take(StatusSnapshot::Tick tick) const {
  return StatusSnapshot{
      .tick = tick,
      .texts = shared_.display.Texts(),
      .new_texts = false,
      .communication_checked = checked_,
      .receiving = period_.receiving,
      .no_satellites = period_.no_satellites,
      .receiver_port_problem = shared_.receiver_port.Problem(),
      .clock_problem = shared_.clock_keeping.Problem(),
      .lan_problem = shared_.lan_service.Problem(),
  };
}

}  // namespace orvik::service
