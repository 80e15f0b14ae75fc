#include "service/receiver_decoders.h"

#include "core/clock_log_line.h"
#include "core/motorola_decoder.h"
#include "service/acquisition_thread.h"

namespace orvik::service {

void ReceiverDecoders::DecodeNmea(comm_GPS_acq& thread, std::size_t body_length) {
  const core::NmeaOutcome outcome = core::DecodeNmea(
      MessageCounter_, thread.Satellites(), thread.MessageHeader(), thread.MessagePayload(),
      body_length, thread.settings(), thread.shared().SummerHours.load(),
      [this] { return clock_.Now(); });
  Apply(thread, outcome, /*log_clock_setting=*/true);
}

void ReceiverDecoders::DecodeMotorola(comm_GPS_acq& thread) {
  const core::NmeaOutcome outcome =
      core::DecodeMotorola(MessageCounter_, thread.MessageHeader(), thread.MessagePayload(),
                           thread.settings(), [this] { return clock_.Now(); });
  Apply(thread, outcome, /*log_clock_setting=*/false);
}

void ReceiverDecoders::Apply(comm_GPS_acq& thread, const core::NmeaOutcome& outcome,
                             bool log_clock_setting) {
  if (outcome.time_message) {
    const core::TimeMessage& record = *outcome.time_message;
    thread.bridge().RunInMainThread([this, &record] { sender_.Retransmit_to_LAN(record); });
  }
  if (outcome.set_time) {
    // A failure (no privilege) is not fatal: the next setting tries again.
    (void)clock_.SetLocalTime(*outcome.set_time);
    if (log_clock_setting && thread.settings().LoggingEnabled) {
      thread.LogThroughMainThread(
          core::LogClockSet("Set PC time to", outcome.pc_now, *outcome.set_time));
    }
  }
  if (outcome.display) {
    DisplayState& display = thread.shared().display;
    display.SetTexts({outcome.display->TimeText, outcome.display->DateText,
                      outcome.display->SatText});
    if (outcome.display->accepted) {
      display.NoSatFlag = outcome.display->NoSatFlag;
      display.DataSeenFlag = true;
    }
    display.NewDisplayFlag = true;
  }
}

}  // namespace orvik::service
