// RecordingDecoders and RecordingLogWriter: test doubles that keep what the
// receive loop handed over (and may hand each frame on to real decoders).
// Thread-safe: the loop records, the test reads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "service/event_log_writer.h"
#include "service/message_decoders.h"

namespace orvik::testing {

class RecordingDecoders : public service::MessageDecoders {
 public:
  // Each framed message as text: "GPRMC,123519,A,...*6A\r\n" for NMEA,
  // "@@Ea" + the rest for Motorola.
  std::vector<std::string> Frames() const;
  // Waits until `count` frames were recorded or `timeout` passed.
  bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
  // Waits until `frame` was recorded at index `from` or later, or `timeout` passed.
  bool WaitForFrame(const std::string& frame, std::size_t from,
                    std::chrono::milliseconds timeout) const;
  // Hands every frame, once recorded, on to `next` as well (null: to none).
  // Set only while no loop runs; `next` must outlive its use.
  void ForwardTo(service::MessageDecoders* next) { next_ = next; }

  void StartAcquisition() override;
  void DecodeNmea(std::span<const std::uint8_t> sentence,
                  const service::MessageContext& context) override;
  void DecodeMotorola(std::span<const std::uint8_t> message,
                      const service::MessageContext& context) override;

 private:
  void Record(std::span<const std::uint8_t> frame);

  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<std::string> frames_;           // guarded by mutex_
  service::MessageDecoders* next_ = nullptr;  // not owned
};

class RecordingLogWriter : public service::EventLogWriter {
 public:
  std::vector<std::string> Lines() const;
  void WriteLog(std::string_view line) override;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;  // guarded by mutex_
};

}  // namespace orvik::testing
