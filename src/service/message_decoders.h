// MessageDecoders: what the receive loop does with each framed message.
// Called in the acquisition thread only, once per framed message.
#pragma once

#include <cstddef>

namespace orvik::service {

class comm_GPS_acq;

class MessageDecoders {
 public:
  virtual ~MessageDecoders() = default;

  // An NMEA sentence whose four trailing bytes were read. thread.MessageHeader()
  // holds the length byte 5 and the five address characters (such as "GPRMC");
  // thread.MessagePayload() holds the body from the comma after the address
  // through "*", the checksum, CR and LF; `body_length` counts those bytes,
  // so "*" stands at index body_length - 5.
  virtual void DecodeNmea(comm_GPS_acq& thread, std::size_t body_length) = 0;

  // A Motorola "@@Ea" or "@@Hb" message: thread.MessageHeader() holds the four
  // header bytes and thread.MessagePayload() the 72 or 50 bytes after them.
  virtual void DecodeMotorola(comm_GPS_acq& thread) = 0;
};

}  // namespace orvik::service
