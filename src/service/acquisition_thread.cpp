#include "service/acquisition_thread.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/receiver_commands.h"
#include "platform/com_port_path.h"

namespace orvik::service {

namespace {
using std::chrono::milliseconds;

constexpr milliseconds kStartPause{1000};
constexpr milliseconds kStartDelay{100};
constexpr std::array<std::uint8_t, 1> kSentenceStart{'$'};

// Where a Motorola message could begin in `bytes`, at `from` or later: the
// first "@@", or a lone "@" as the very last byte.
std::optional<std::size_t> MotorolaStartIn(std::span<const std::uint8_t> bytes,
                                           std::size_t from) {
  for (std::size_t i = from; i < bytes.size(); ++i) {
    if (bytes[i] == '@' && (i + 1 == bytes.size() || bytes[i + 1] == '@')) return i;
  }
  return std::nullopt;
}
}  // namespace

comm_GPS_acq::comm_GPS_acq(AcquisitionContext context, const core::Settings& settings,
                           const core::TimeoutTable& timeouts,
                           std::unique_ptr<platform::SerialLink> link, AcquisitionOptions options)
    : context_(context),
      settings_(settings),
      timeouts_(timeouts),
      link_(std::move(link)),
      options_(std::move(options)) {
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

void comm_GPS_acq::LogThroughMainThread(const std::string& line) {
  context_.bridge.RunInMainThread([this, &line] {
    if (!StopRequested()) context_.log.WriteLog(line);
  });
}

void comm_GPS_acq::Execute() {
  LoopState_ = LoopState::StartDelay;
  context_.shared.display.NoSatFlag = false;
  context_.shared.display.NewDisplayFlag = false;
  context_.shared.display.DataSeenFlag = false;
  ComNumber_ = core::ComNumberFromPortNumber(settings_.PortNumber);
  SpeedCode_ = core::SpeedCodeForProtocol(settings_.Protocol);
  // A command composed before this thread existed is not for it.
  context_.shared.command.Clear();

  OpenReceiverPort();
  ReceiveLoop();

  link_->ClosePort();
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
  last_open_attempt_ = std::chrono::steady_clock::now();
  carried_length_ = 0;  // bytes from an earlier port are not the start of anything
  link_->OpenPort(config);
}

void comm_GPS_acq::SendCommand(std::span<const std::uint8_t> command) {
  const bool delivered = link_->IsOpen();
  link_->WritePort(command);
  // The receiver applies a new offset from its next message on; the time
  // of the write lets the decoders wait until it surely has.
  const auto minutes = core::GmtOffsetMinutesOfCommand(command);
  if (delivered && minutes) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    receiver_offset_ = ReceiverOffset{
        *minutes, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()};
  }
}

void comm_GPS_acq::ReopenIfDue() {
  if (StopRequested()) return;
  if (std::chrono::steady_clock::now() - last_open_attempt_ < options_.reopen_interval) return;
  OpenReceiverPort();
  if (link_->IsOpen()) link_->Purge(platform::PurgeKind::kClearQueues);
  // A receiver plugged back in may have lost its offset: command it again.
  first_command_sent_ = false;
}

void comm_GPS_acq::ReceiveLoop() {
  link_->Purge(platform::PurgeKind::kClearQueues);
  link_->IdleWait(kStartPause);
  link_->Purge(platform::PurgeKind::kAbortAndClear);

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
        LoopState_ = ReceiveStep();
        break;
      case LoopState::Purge:
        link_->Purge(platform::PurgeKind::kAbortAndClear);
        carried_length_ = 0;
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
  RxHeader_[0] = 0;
  RxBody_[0] = 0;
  return core::IsNmeaProtocol(settings_.Protocol) ? ReceiveNmea() : ReceiveMotorola();
}

// An NMEA sentence: "$", a five-character address, the body up to and
// including "*", two checksum characters, CR and LF. Bytes before a "$" are
// skipped one per pass.
//
// A "$" always starts a new sentence, wherever it comes: receivers glue
// sentences together ("...*6A$GPRMC,...") and double the dollar
// ("$$GPRMC,..."). A "$" in the address, in the body or in place of a
// checksum character ends a sentence that is not complete: it is dropped.
// A "$" in place of CR or LF ends a complete sentence: it is decoded as if
// CR LF had come. Either way the step ends there and the next one starts
// from that "$", so a step still reads at most 5 + 255 + 4 bytes.
LoopState comm_GPS_acq::ReceiveNmea() {
  platform::ReadOutcome header =
      carried_length_ > 0 ? ReadAfterCarried(std::span<std::uint8_t>(RxHeader_).first(1))
                          : link_->ReadOne(RxHeader_[0]);
  if (header.ok && header.count > 0 && RxHeader_[0] == '$') {
    header = ReadAfterCarried(std::span<std::uint8_t>(RxHeader_).subspan(1, 5));
    RxHeader_[0] = 5;  // the address as a length-prefixed string
  }
  MessageHeader_ = RxHeader_;
  if (!header.ok) return LoopState::Purge;
  if (header.count <= 3) return LoopState::SendPending;  // a lone stray byte

  const std::span<const std::uint8_t> address = std::span(RxHeader_).subspan(1, 5);
  const auto last_dollar = std::find(address.rbegin(), address.rend(), '$');
  if (last_dollar != address.rend()) {
    // The last "$" starts the next sentence, with the characters after it.
    Carry(address.subspan(static_cast<std::size_t>(address.rend() - last_dollar) - 1));
    return LoopState::SendPending;
  }

  std::size_t next = 0;  // index of the next body byte
  bool star_seen = false;
  bool body_read_failed = false;
  while (!star_seen) {
    if (next == kMaxBodyBeforeStar) {
      // No "*" among the first 255 body bytes: not a sentence.
      MessagePayload_ = RxBody_;
      return LoopState::Purge;
    }
    if (!link_->ReadOne(RxBody_[next]).ok) {
      body_read_failed = true;
      break;
    }
    if (RxBody_[next] == '$') {
      MessagePayload_ = RxBody_;
      Carry(kSentenceStart);
      return LoopState::SendPending;
    }
    star_seen = RxBody_[next] == '*';
    ++next;
  }
  // Checksum, CR and LF; read even after a failed body read, as the stream
  // is purged anyway when the step fails. A sentence ended by LF alone (as
  // some converters and logs write it) is stored as if CR LF had come:
  // reading a fourth byte would swallow the "$" of the next sentence.
  platform::ReadOutcome tail;
  for (std::size_t i = 0; i < 4; ++i) {
    std::uint8_t& byte = RxBody_[next + i];
    tail = link_->ReadOne(byte);
    if (tail.ok && !body_read_failed && byte == '$') {
      Carry(kSentenceStart);
      if (i < 2) {  // the checksum was cut off
        MessagePayload_ = RxBody_;
        return LoopState::SendPending;
      }
      if (i == 2) RxBody_[next + 2] = '\r';
      RxBody_[next + 3] = '\n';
      break;
    }
    if (i == 2 && tail.ok && byte == '\n') {
      RxBody_[next + 2] = '\r';
      RxBody_[next + 3] = '\n';
      break;
    }
  }
  MessagePayload_ = RxBody_;

  // A body that never reached its "*" is never decoded, whatever the last read did.
  if (body_read_failed || !tail.ok) return LoopState::Purge;
  context_.decoders.DecodeNmea(*this, next + 4);
  return LoopState::SendPending;
}

// A Motorola message: "@@", two letters, a fixed-length rest. Only "Ea" and
// "Hb" are read; after any other header the loop pauses and purges, and the
// next four bytes read are expected to start the next message.
//
// Where the message at hand cannot be complete, an "@@" inside it starts the
// next one: in four header bytes that do not begin with "@@" (the message
// before was cut off), and in an "Ea" or "Hb" rest that does not end in CR LF
// (this message was cut off and the next one came in its place). The bytes
// from that "@@" on are carried to the next step; nothing is decoded, and
// there is no pause and no purge. In a rest that ends in CR LF, "@@" is data.
LoopState comm_GPS_acq::ReceiveMotorola() {
  const std::span<std::uint8_t> head = std::span<std::uint8_t>(RxHeader_).first(4);
  const platform::ReadOutcome header = ReadAfterCarried(head);
  MessageHeader_ = RxHeader_;
  if (!header.ok) {
    // On a silent line the read ends with nothing, or just as a message
    // begins ("@", "@@" or "@@H" in): a purge then would only throw away
    // the message on its way, so those bytes are kept for its rest. At one
    // message a second the read would otherwise end in the same place of
    // every message. Anything else read is purged.
    const bool message_begins =
        header.count == 0 || (head[0] == '@' && (header.count < 2 || head[1] == '@'));
    if (!link_->IsOpen() || !message_begins) return LoopState::Purge;
    Carry(head.first(header.count));
    return LoopState::SendPending;
  }

  if (RxHeader_[0] != '@' || RxHeader_[1] != '@') {
    if (const auto start = MotorolaStartIn(head, 1)) {
      Carry(head.subspan(*start));
      return LoopState::SendPending;
    }
  }
  const auto is_header = [this](char a, char b) {
    return RxHeader_[0] == '@' && RxHeader_[1] == '@' && RxHeader_[2] == a && RxHeader_[3] == b;
  };
  std::size_t rest = 0;
  if (is_header('E', 'a')) {
    rest = kEaRestLength;
  } else if (is_header('H', 'b')) {
    rest = kHbRestLength;
  } else {
    link_->IdleWait(milliseconds(10));
    return LoopState::Purge;
  }
  const std::span<std::uint8_t> body_bytes = std::span<std::uint8_t>(RxBody_).first(rest);
  const platform::ReadOutcome body = ReadAfterCarried(body_bytes);
  MessagePayload_ = RxBody_;
  if (!body.ok) return LoopState::Purge;
  if (RxBody_[rest - 2] != '\r' || RxBody_[rest - 1] != '\n') {
    if (const auto start = MotorolaStartIn(body_bytes, 0)) {
      Carry(body_bytes.subspan(*start));
      return LoopState::SendPending;
    }
  }
  context_.decoders.DecodeMotorola(*this);
  return LoopState::SendPending;
}

platform::ReadOutcome comm_GPS_acq::ReadAfterCarried(std::span<std::uint8_t> into) {
  const std::size_t taken = std::min(into.size(), carried_length_);
  std::copy_n(carried_.begin(), taken, into.begin());
  std::copy(carried_.begin() + taken, carried_.begin() + carried_length_, carried_.begin());
  carried_length_ -= taken;
  if (taken == into.size()) return {true, taken};
  platform::ReadOutcome read = link_->ReadExact(into.subspan(taken));
  read.count += taken;
  return read;
}

void comm_GPS_acq::Carry(std::span<const std::uint8_t> bytes) {
  // Bytes still carried came after `bytes` on the line: they stay behind them.
  // A message framed from carried bytes is shorter than they were, so the
  // total never grows and always fits.
  const std::size_t n = std::min(bytes.size(), carried_.size() - carried_length_);
  std::copy_backward(carried_.begin(), carried_.begin() + carried_length_,
                     carried_.begin() + carried_length_ + n);
  std::copy_n(bytes.begin(), n, carried_.begin());
  carried_length_ += n;
}

}  // namespace orvik::service
