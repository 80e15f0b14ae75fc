// FrameTraceDecoders: MessageDecoders that print every framed message, one
// line each, to a stream, to watch the receive loop work on a live line.
// Acquisition thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "service/message_decoders.h"

namespace orvik::service {

// "NMEA GPRMC,120316,V,...*63": the address and the body without CR LF, with
// bytes outside printable ASCII shown as "\xNN".
std::string DescribeNmeaFrame(std::span<const std::uint8_t> header,
                              std::span<const std::uint8_t> body, std::size_t body_length);

// "Motorola @@Ea, 72 more bytes: 0C 07 ...".
std::string DescribeMotorolaFrame(std::span<const std::uint8_t> header,
                                  std::span<const std::uint8_t> body);

class FrameTraceDecoders : public MessageDecoders {
 public:
  // REQUIRES: `out` stays open while the decoders are used.
  explicit FrameTraceDecoders(std::FILE* out) : out_(out) {}

  void DecodeNmea(comm_GPS_acq& thread, std::size_t body_length) override;
  void DecodeMotorola(comm_GPS_acq& thread) override;

 private:
  std::FILE* out_;
};

}  // namespace orvik::service
