#include "service/receiver_command_control.h"

#include <cstdint>
#include <vector>

#include "core/receiver_commands.h"
#include "core/summer_rule.h"
#include "core/utc_time.h"

namespace orvik::service {
namespace {

// Leaves a composed command for the acquisition thread.
core::Status HandOver(const core::Result<std::vector<std::uint8_t>>& command, SharedState& shared) {
  if (!command.ok()) return command.status();
  if (command.value().empty()) return core::Status::Ok();
  if (!shared.command.Compose(command.value())) {
    return core::Status::Error(core::StatusCode::kInvalidArgument,
                               "The receiver command is too long to be sent.");
  }
  return core::Status::Ok();
}

}  // namespace

core::Status GMT_offsetClick(const core::Settings& settings, const core::DateTime& PcNow,
                             platform::SystemClock& clock, SharedState& shared,
                             bool& SummerInEffect) {
  SummerInEffect = core::SummerRule(settings, PcNow.month, PcNow.day, PcNow.hour);
  const std::int64_t offset = core::LocalOffsetMinutes(settings, SummerInEffect);
  shared.LocalOffsetMinutes.store(offset);
  if (core::IsNmeaProtocol(settings.Protocol)) {
    // The NMEA conversion adds the summer hour itself; the receiver gets nothing.
    shared.SummerHours.store(core::SummerHoursFor(settings, SummerInEffect));
    return core::Status::Ok();
  }
  // The M12 command carries the PC's date and time: read it just before.
  const core::DateTime now = settings.Protocol == core::kProtocolMotorolaM12
                                 ? core::DateTimeAt(clock.NowUtc(), offset).value_or(PcNow)
                                 : PcNow;
  return HandOver(core::ComposeGmtOffsetCommand(settings, SummerInEffect, now), shared);
}

core::Status Continuous_1sClick(const core::Settings& settings, SharedState& shared) {
  return HandOver(core::ComposeIntervalCommand(settings), shared);
}

}  // namespace orvik::service
