// BorrowedSerialLink: a SerialLink that passes every call on to a link owned
// elsewhere, so that a test keeps its fake line (and what it recorded) after
// the acquisition thread that owned this wrapper has gone.
// Threads: as the wrapped link.
#pragma once

#include "platform/serial_link.h"

namespace orvik::testing {

class BorrowedSerialLink : public platform::SerialLink {
 public:
  // REQUIRES: `inner` outlives this object.
  explicit BorrowedSerialLink(platform::SerialLink& inner) : inner_(inner) {}

  platform::PortOpenResult OpenPort(const platform::PortConfig& config) override {
    return inner_.OpenPort(config);
  }
  bool IsOpen() const override { return inner_.IsOpen(); }
  platform::ReadOutcome ReadExact(std::span<std::uint8_t> buffer) override {
    return inner_.ReadExact(buffer);
  }
  platform::ReadOutcome ReadOne(std::uint8_t& byte) override { return inner_.ReadOne(byte); }
  void WritePort(std::span<const std::uint8_t> bytes) override { inner_.WritePort(bytes); }
  std::size_t Purge(platform::PurgeKind kind, std::span<std::uint8_t> tail) override {
    return inner_.Purge(kind, tail);
  }
  void ClearPortErrors() override { inner_.ClearPortErrors(); }
  void PollPortEvents() override { inner_.PollPortEvents(); }
  void IdleWait(std::chrono::milliseconds duration) override { inner_.IdleWait(duration); }
  void AwaitInput(std::chrono::milliseconds limit) override { inner_.AwaitInput(limit); }
  void NudgeInputWait() override { inner_.NudgeInputWait(); }
  core::ByteTiming LastByteTiming() const override { return inner_.LastByteTiming(); }
  void ClosePort() override { inner_.ClosePort(); }

 private:
  platform::SerialLink& inner_;
};

}  // namespace orvik::testing
