#include "service/frame_trace.h"

#include <algorithm>

#include "service/acquisition_thread.h"

namespace orvik::service {

namespace {

void AppendPrintable(std::string& out, std::uint8_t byte) {
  if (byte >= 0x20 && byte < 0x7F) {
    out.push_back(static_cast<char>(byte));
    return;
  }
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
  out += escaped;
}

}  // namespace

std::string DescribeNmeaFrame(std::span<const std::uint8_t> header,
                              std::span<const std::uint8_t> body, std::size_t body_length) {
  std::string text = "NMEA ";
  const std::size_t address_length = header.empty() ? 0 : std::min<std::size_t>(header[0], 5);
  for (std::size_t i = 1; i <= address_length && i < header.size(); ++i) {
    AppendPrintable(text, header[i]);
  }
  // Leave out the CR LF that end the sentence.
  const std::size_t shown = std::min(body.size(), body_length >= 2 ? body_length - 2 : 0);
  for (std::size_t i = 0; i < shown; ++i) AppendPrintable(text, body[i]);
  return text;
}

std::string DescribeMotorolaFrame(std::span<const std::uint8_t> header,
                                  std::span<const std::uint8_t> body) {
  std::string text = "Motorola ";
  for (std::size_t i = 0; i < 4 && i < header.size(); ++i) AppendPrintable(text, header[i]);
  text += ", " + std::to_string(body.size()) + " more bytes:";
  for (std::uint8_t byte : body) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", byte);
    text += hex;
  }
  return text;
}

void FrameTraceDecoders::DecodeNmea(comm_GPS_acq& thread, std::size_t body_length) {
  const std::string line =
      DescribeNmeaFrame(thread.MessageHeader(), thread.MessagePayload(), body_length);
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void FrameTraceDecoders::DecodeMotorola(comm_GPS_acq& thread) {
  const bool is_ea = thread.MessageHeader()[2] == 'E';
  const std::size_t rest = is_ea ? comm_GPS_acq::kEaRestLength : comm_GPS_acq::kHbRestLength;
  const std::string line = DescribeMotorolaFrame(
      thread.MessageHeader(), std::span<const std::uint8_t>(thread.MessagePayload()).first(rest));
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

}  // namespace orvik::service
