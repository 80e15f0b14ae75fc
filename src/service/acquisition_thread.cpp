#include "service/acquisition_thread.h"

#include <array>
#include <utility>

#include "core/motorola_framer.h"
#include "core/nmea_framer.h"
#include "core/port_open_problem.h"
#include "core/receiver_commands.h"
#include "platform/com_port_path.h"

namespace orvik::service {

namespace {
using std::chrono::milliseconds;

constexpr milliseconds kStartPause{1000};
constexpr milliseconds kStartDelay{100};
// Longest sleep through a silent line between two passes of the loop (its
// watchdog allows a minute).
constexpr milliseconds kSilentLineWait{1000};
// A backlog that drains from a buffer on the way (a USB adapter's, a
// pty's) comes faster than the line can carry bytes; it is discarded in
// steps of this long, for at most kMaxBacklogSteps of them.
constexpr milliseconds kBacklogStep{50};
constexpr int kMaxBacklogSteps = 40;

std::unique_ptr<core::MessageFramer> FramerFor(std::int32_t protocol) {
  if (core::IsNmeaProtocol(protocol)) return std::make_unique<core::NmeaFramer>();
  return std::make_unique<core::MotorolaFramer>();
}
}  // namespace

comm_GPS_acq::comm_GPS_acq(AcquisitionContext context, const core::Settings& settings,
                           const core::TimeoutTable& timeouts,
                           std::unique_ptr<platform::SerialLink> link, AcquisitionOptions options)
    : context_(context),
      settings_(settings),
      timeouts_(timeouts),
      link_(std::move(link)),
      options_(std::move(options)),
      framer_(FramerFor(settings_.Protocol)) {
  // The constructor runs in the main thread, so "Start" is written directly.
  if (settings_.LoggingEnabled) context_.log.WriteLog("Start");
  thread_ = std::thread([this] { Execute(); });
}

comm_GPS_acq::~comm_GPS_acq() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void comm_GPS_acq::RequestStop() {
  stop_.request_stop();
  // Ends a read or pause in progress; the loop sees the request at its next pass.
  link_->ClosePort();
}

void comm_GPS_acq::ClosePort() { link_->ClosePort(); }

void comm_GPS_acq::Execute() {
  if (options_.raise_priority) options_.raise_priority();
  LoopState_ = LoopState::StartDelay;
  context_.shared.display.NoSatFlag = false;
  context_.shared.display.NewDisplayFlag = false;
  context_.shared.display.DataSeenFlag = false;
  ComNumber_ = core::ComNumberFromPortNumber(settings_.PortNumber);
  SpeedCode_ = core::SpeedCodeForProtocol(settings_.Protocol);
  // A command composed before this thread existed is not for it.
  context_.shared.command.Clear();
  // A command composed while the loop sleeps through a silent line wakes it.
  context_.shared.command.OnComposed([this] { link_->NudgeInputWait(); });
  context_.decoders.StartAcquisition();

  OpenReceiverPort();
  ReceiveLoop();

  context_.shared.command.OnComposed(nullptr);
  link_->ClosePort();
  // What this thread could not open is no longer tried.
  context_.shared.receiver_port.SetProblem("");
  context_.shared.lifecycle.PortActive = false;
  context_.shared.lifecycle.AcquisitionRunning = false;
  // Written from this thread without the hand-over; the writer serialises it.
  if (settings_.LoggingEnabled) context_.log.WriteLog("Stop");
  finished_.store(true, std::memory_order_release);
}

void comm_GPS_acq::OpenReceiverPort() {
  platform::PortConfig config;
  // The device is looked up at every open, so a re-pointed COM<n> link is followed.
  config.device_path = platform::ComDevicePath(ComNumber_, options_.working_dir);
  config.baud = core::BaudForSpeedCode(SpeedCode_);
  config.timeouts = timeouts_.ForSpeedCode(SpeedCode_);
  last_open_attempt_ = context_.clock.NowMonotonic();
  framer_->Restart();  // bytes from an earlier port are not the start of anything
  TellPortOutcome(link_->OpenPort(config), config.device_path);
}

void comm_GPS_acq::TellPortOutcome(const platform::PortOpenResult& opened,
                                   const std::string& device) {
  // A stop closes the link under the open; that is no fault of the port.
  if (StopRequested()) return;
  const std::string problem =
      opened.ok() ? "" : core::PortOpenProblem(ComNumber_, device, *opened.failure);
  if (!context_.shared.receiver_port.SetProblem(problem) || !settings_.LoggingEnabled) return;
  // Written from this thread without the hand-over; the writer serialises it.
  context_.log.WriteLog(opened.ok() ? core::PortOpenedAgain(ComNumber_) : problem);
}

void comm_GPS_acq::SendCommand(std::span<const std::uint8_t> command) {
  const bool delivered = link_->IsOpen();
  link_->WritePort(command);
  line_silent_ = false;  // the next read runs its course: an answer may come
  // The receiver applies a new offset from its next message on; the time
  // of the write lets the decoders wait until it surely has.
  const auto minutes = core::GmtOffsetMinutesOfCommand(command);
  if (delivered && minutes) {
    receiver_offset_ = ReceiverOffset{*minutes, context_.clock.NowMonotonic()};
  }
}

void comm_GPS_acq::ReopenIfDue() {
  if (StopRequested()) return;
  const std::chrono::nanoseconds since_open(context_.clock.NowMonotonic() - last_open_attempt_);
  if (since_open < options_.reopen_interval) return;
  OpenReceiverPort();
  // What waited in a port opened anew is from before: none of it is kept.
  if (link_->IsOpen()) DiscardBacklog();
  // A receiver plugged back in may have lost its offset: command it again.
  first_command_sent_ = false;
}

void comm_GPS_acq::ReceiveLoop() {
  // Input that waited in the port before it was opened, and what comes
  // during the first pause, is from before: none of it is kept.
  link_->Purge(platform::PurgeKind::kClearQueues, {});
  link_->IdleWait(kStartPause);
  DiscardBacklog();

  for (;;) {
    context_.shared.lifecycle.LoopHeartbeat = false;
    if (StopRequested()) break;
    link_->PollPortEvents();
    switch (LoopState_) {
      case LoopState::StartDelay:
        link_->IdleWait(kStartDelay);
        LoopState_ = LoopState::SendPending;
        break;
      case LoopState::SendPending:
        if (!first_command_sent_ && link_->IsOpen()) {
          first_command_sent_ = true;
          if (!options_.first_command.empty()) SendCommand(options_.first_command);
        }
        if (auto command = context_.shared.command.Take()) SendCommand(*command);
        LoopState_ = LoopState::Receive;
        break;
      case LoopState::Receive:
        if (line_silent_) {
          // The last read found nothing in its whole time: rather than start
          // read after read that can only time out, sleep until the line has
          // input, a command is composed, a stop is asked, or the limit.
          line_silent_ = false;
          link_->AwaitInput(kSilentLineWait);
          LoopState_ = LoopState::SendPending;
          break;
        }
        LoopState_ = ReceiveStep();
        break;
      case LoopState::Purge:
        PurgeForFramer();
        LoopState_ = LoopState::SendPending;
        break;
    }
  }
}

LoopState comm_GPS_acq::ReceiveStep() {
  if (!link_->IsOpen()) {
    ReopenIfDue();
    // Every read fails at once on a port that is not open: pace the loop.
    if (!link_->IsOpen()) link_->IdleWait(options_.closed_port_pause);
  }
  std::size_t bytes_read = 0;
  core::ReadEnd last_end = core::ReadEnd::kComplete;
  core::FramerAction action = framer_->Begin();
  while (action.kind == core::FramerAction::Kind::kRead) {
    const core::ReadResult read = Read(action.read_into);
    bytes_read += read.count;
    last_end = read.end;
    action = framer_->OnRead(read);
  }
  line_silent_ = bytes_read == 0 && last_end == core::ReadEnd::kTimedOut;
  switch (action.kind) {
    case core::FramerAction::Kind::kDecode:
      Decode(action.message);
      return LoopState::SendPending;
    case core::FramerAction::Kind::kPauseThenPurge:
      link_->IdleWait(core::kUnknownMessagePause);
      return LoopState::Purge;
    case core::FramerAction::Kind::kPurge:
      return LoopState::Purge;
    case core::FramerAction::Kind::kRead:
    case core::FramerAction::Kind::kNextStep:
      break;
  }
  return LoopState::SendPending;
}

void comm_GPS_acq::DiscardBacklog() {
  // More than the line can carry in a step is from before: it goes, until
  // what comes is no more than a live receiver sends.
  const std::size_t live = core::BaudForSpeedCode(SpeedCode_) / 10 *
                               static_cast<std::size_t>(kBacklogStep.count()) / 1000 +
                           16;
  std::array<std::uint8_t, 512> discarded{};
  for (int step = 0; step < kMaxBacklogSteps && !StopRequested(); ++step) {
    if (link_->Purge(platform::PurgeKind::kAbortAndClear, discarded) <= live) return;
    link_->IdleWait(kBacklogStep);
  }
}

void comm_GPS_acq::PurgeForFramer() {
  // The framer keeps from what was discarded whatever may start a message.
  std::array<std::uint8_t, core::MessageFramer::kMaxCarried> tail{};
  const std::size_t kept = link_->Purge(platform::PurgeKind::kAbortAndClear, tail);
  framer_->AfterPurge(std::span(tail).first(kept));
}

core::ReadResult comm_GPS_acq::Read(std::span<std::uint8_t> into) {
  const platform::ReadOutcome read = link_->ReadExact(into);
  if (read.ok) return {read.count, core::ReadEnd::kComplete};
  return {read.count, link_->IsOpen() ? core::ReadEnd::kTimedOut : core::ReadEnd::kPortClosed};
}

void comm_GPS_acq::Decode(std::span<const std::uint8_t> message) {
  const MessageContext context{settings_,       context_.shared,   context_.bridge,
                               context_.log,    stop_.get_token(), link_->LastByteTiming(),
                               receiver_offset_};
  if (core::IsNmeaProtocol(settings_.Protocol)) {
    context_.decoders.DecodeNmea(message, context);
  } else {
    context_.decoders.DecodeMotorola(message, context);
  }
}

}  // namespace orvik::service
