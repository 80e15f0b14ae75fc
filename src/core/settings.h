// Settings: the operator's choices, as loaded from and saved to "GPS_parm.txt".
//
// Numbers the operator types are held twice: as the text they were read from
// (what the setup dialog edits and the file stores) and as their number (what
// the rest of the system uses). The number follows its text only at load.
// Thread use: written by the main thread while no acquisition thread runs;
// the acquisition thread reads its own copy.
#pragma once

#include <cstdint>
#include <string>

namespace orvik::core {

// Receiver protocol numbers, as stored in Settings::Protocol.
enum ReceiverProtocol : std::int32_t {
  kProtocolNmea4800 = 0,
  kProtocolMotorolaM12 = 1,
  kProtocolMotorolaOncore = 2,
  kProtocolNmea9600 = 3,
};

// True for the two NMEA 0183 protocols (0 and 3); every other value is Motorola
// framing only when it is 1 or 2.
inline bool IsNmeaProtocol(std::int32_t protocol) {
  return protocol != kProtocolMotorolaM12 && protocol != kProtocolMotorolaOncore;
}

struct Settings {
  std::uint16_t PortNumber = 2;
  std::int32_t GmtHours = 2;
  std::uint16_t TransmitInterval = 1;
  // Seconds in the file and in its text form; after loading, the number of
  // receiver time messages between two PC clock updates.
  std::uint16_t ClockUpdateInterval = 60;
  bool OnlyMinSec = false;
  bool SoundDisabled = false;
  bool SummerTime = false;
  std::uint16_t SummerMonth = 3;
  std::uint16_t SummerHour = 3;
  std::uint16_t ZoneMonth = 10;
  std::uint16_t ZoneHour = 4;
  std::int32_t GmtMinutes = 0;
  std::int32_t Protocol = kProtocolNmea4800;
  bool LoggingEnabled = false;
  // Milliseconds the receiver's output lags behind the second it names
  // (line 15; 0 when the file has only the classic 14 lines).
  std::int32_t ReceiverDelayMs = 0;
  // Path of a chrony SOCK refclock socket that receives every fresh time
  // sample (line 16); empty: the program sets the clock itself.
  std::string ChronySocketPath;
  // Derived at load: the days of the last Sundays of SummerMonth and ZoneMonth.
  std::uint16_t SummerDay = 0;
  std::uint16_t ZoneDay = 0;

  std::string PortNumberText = "2";
  std::string GmtHoursText = "2";
  std::string TransmitIntervalText = "1";
  std::string ClockUpdateIntervalText = "60";
  std::string SummerMonthText = "3";
  std::string SummerHourText = "3";
  std::string ZoneMonthText = "10";
  std::string ZoneHourText = "4";
  std::string GmtMinutesText = "0";
  std::string ReceiverDelayText = "0";

  friend bool operator==(const Settings&, const Settings&) = default;
};

}  // namespace orvik::core
