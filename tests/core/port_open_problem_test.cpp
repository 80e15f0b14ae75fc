#include "core/port_open_problem.h"

#include <gtest/gtest.h>

#include <string>

namespace orvik::core {
namespace {

TEST(PortOpenProblem, NamesThePortTheDeviceWhereItDiffersAndTheReason) {
  struct Case {
    std::uint8_t com;
    std::string device;
    PortOpenFailure failure;
    std::string sentence;
  };
  const Case cases[] = {
      {3,
       "\\\\.\\COM3",
       {PortFault::kNoSuchPort, "The system cannot find the file specified"},
       "COM3: no such port"},
      {3,
       "\\\\.\\COM3",
       {PortFault::kInUse, ""},
       "COM3: access denied (in use by another program)"},
      {12, "./com12", {PortFault::kNotSerialPort, ""}, "COM12: not a serial port"},
      {2,
       "/srv/gps/COM2",
       {PortFault::kNoPermission, ""},
       "COM2: access denied (this user may not open it)"},
      // A ttyS device, or a COM entry whose name is another port's, is named.
      {3, "/dev/ttyS2", {PortFault::kNoSuchPort, ""}, "COM3 (/dev/ttyS2): no such port"},
      {1,
       "./COM10",
       {PortFault::kInUse, ""},
       "COM1 (./COM10): access denied (in use by another program)"},
      {0, "", {PortFault::kNotSerialPort, ""}, "COM0: not a serial port"},
      // Any other reason is the system's own, echoed safely.
      {4,
       "/dev/ttyS3",
       {PortFault::kOther, "Input/output error"},
       "COM4 (/dev/ttyS3): cannot be opened (Input/output error)"},
      {4, "\\\\.\\COM4", {PortFault::kOther, ""}, "COM4: cannot be opened"},
      {5, "./COM5", {PortFault::kOther, "bad\r\n"}, "COM5: cannot be opened (bad\\x0D\\x0A)"},
      {6, "/tmp/x\x1b[2J", {PortFault::kNoSuchPort, ""}, "COM6 (/tmp/x\\x1B[2J): no such port"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PortOpenProblem(c.com, c.device, c.failure), c.sentence) << c.sentence;
  }
}

TEST(PortOpenProblem, TheLineOnceItOpens) { EXPECT_EQ(PortOpenedAgain(3), "COM3: open"); }

}  // namespace
}  // namespace orvik::core
