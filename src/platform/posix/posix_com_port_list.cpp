#include "platform/posix/posix_com_port_list.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

namespace orvik::platform {
namespace {

namespace fs = std::filesystem;

// The decimal number that makes up all of `digits` (no sign, no leading
// zero but in "0"), if it is at most `max`.
std::optional<unsigned> Decimal(std::string_view digits, unsigned max) {
  if (digits.empty() || digits.size() > 5 || (digits.size() > 1 && digits.front() == '0')) {
    return std::nullopt;
  }
  unsigned value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value > max) {
    return std::nullopt;
  }
  return value;
}

// The k of a name "<prefix><k>".
std::optional<unsigned> IndexAfter(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  return Decimal(name.substr(prefix.size()), 99'999);
}

// The n of a working-folder entry "COM<n>", written as the program looks it up.
std::optional<std::uint8_t> ComNumberOfName(std::string_view name) {
  const auto n = IndexAfter(name, "COM");
  if (!n || *n > 255) return std::nullopt;
  return static_cast<std::uint8_t>(*n);
}

// Devices by name, then by the number they end in: ttyACM0, ttyUSB2, ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& text) {
    const std::size_t digits = text.find_last_not_of("0123456789") + 1;
    const auto index = Decimal(std::string_view(text).substr(digits), 99'999);
    return std::pair(text.substr(0, digits), index.value_or(0));
  };
  return split(a) < split(b);
}

}  // namespace

PosixComPortList::PosixComPortList(fs::path working_dir, fs::path dev_dir, fs::path tty_class_dir)
    : working_dir_(std::move(working_dir)),
      dev_dir_(std::move(dev_dir)),
      tty_class_dir_(std::move(tty_class_dir)) {}

std::vector<ComPortEntry> PosixComPortList::ExistingPorts() const {
  std::vector<ComPortEntry> numbered;
  std::vector<ComPortEntry> unnumbered;
  std::set<std::uint8_t> names_taken;  // numbers the working folder names, present or not
  std::vector<fs::path> linked;        // the entries that lead somewhere
  std::error_code error;

  for (fs::directory_iterator it(working_dir_, error), end; !error && it != end;
       it.increment(error)) {
    const fs::path& entry = it->path();
    const auto number = ComNumberOfName(entry.filename().string());
    if (!number) continue;
    names_taken.insert(*number);
    std::error_code status_error;
    if (!fs::exists(entry, status_error)) continue;  // a link to a device that is gone
    std::string device;
    if (it->is_symlink(status_error)) device = fs::read_symlink(entry, status_error).string();
    numbered.push_back({*number, device});
    linked.push_back(entry);
  }

  error.clear();
  for (fs::directory_iterator it(dev_dir_, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::optional<std::uint8_t> number;
    if (const auto k = IndexAfter(name, "ttyS")) {
      // A ttyS whose driver found no UART reports type 0 (unknown).
      std::ifstream type(tty_class_dir_ / name / "type");
      int uart_type = -1;
      if (type >> uart_type && uart_type == 0) continue;
      if (*k + 1 <= 255 && !names_taken.contains(static_cast<std::uint8_t>(*k + 1))) {
        number = static_cast<std::uint8_t>(*k + 1);
      }
    } else if (!IndexAfter(name, "ttyUSB") && !IndexAfter(name, "ttyACM")) {
      continue;
    }
    if (!number) {
      const bool reached = std::any_of(linked.begin(), linked.end(), [&](const fs::path& entry) {
        std::error_code same_error;
        return fs::equivalent(entry, it->path(), same_error);
      });
      if (reached) continue;
    }
    (number ? numbered : unnumbered).push_back({number, it->path().string()});
  }

  std::sort(numbered.begin(), numbered.end(),
            [](const ComPortEntry& a, const ComPortEntry& b) { return *a.number < *b.number; });
  std::sort(unnumbered.begin(), unnumbered.end(), [](const ComPortEntry& a, const ComPortEntry& b) {
    return NaturalLess(a.device, b.device);
  });
  numbered.insert(numbered.end(), unnumbered.begin(), unnumbered.end());
  return numbered;
}

std::unique_ptr<ComPortList> MachineComPortList(const fs::path& working_dir) {
  return std::make_unique<PosixComPortList>(working_dir);
}

}  // namespace orvik::platform
