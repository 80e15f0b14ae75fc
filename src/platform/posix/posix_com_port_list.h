// PosixComPortList: the serial ports of a Linux machine. COM<n> is the entry
// "COM<n>" of the working folder when there is one, else /dev/ttyS<n-1>
// (platform/com_port_path.h), so the list holds
//   * each COM<n> entry of the working folder that leads somewhere, with the
//     device its link names;
//   * each /dev/ttyS<k> with a UART behind it (the kernel makes all of them,
//     present or not: one whose sysfs "type" is 0 has none), as COM<k+1>
//     unless a working-folder entry of that name shadows it;
//   * each /dev/ttyUSB<k> and /dev/ttyACM<k> (USB adapters, USB receivers).
// A USB device that a COM<n> entry links to is listed under that number
// only; one that no number reaches is listed without one.
#pragma once

#include <filesystem>

#include "platform/com_port_list.h"

namespace orvik::platform {

class PosixComPortList : public ComPortList {
 public:
  // `dev_dir` and `tty_class_dir` are the system's /dev and /sys/class/tty
  // unless a test gives folders of its own.
  explicit PosixComPortList(std::filesystem::path working_dir,
                            std::filesystem::path dev_dir = "/dev",
                            std::filesystem::path tty_class_dir = "/sys/class/tty");

  std::vector<ComPortEntry> ExistingPorts() const override;

 private:
  const std::filesystem::path working_dir_;
  const std::filesystem::path dev_dir_;
  const std::filesystem::path tty_class_dir_;
};

}  // namespace orvik::platform
