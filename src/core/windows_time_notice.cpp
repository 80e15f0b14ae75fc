#include "core/windows_time_notice.h"

#include <algorithm>
#include <cctype>

#include "core/visible_text.h"

namespace orvik::core {

namespace {

// Registry text is compared without regard to case, as Windows does.
bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string NtpServerNames(std::string_view ntp_server) {
  std::string names;
  std::size_t pos = 0;
  while (pos < ntp_server.size()) {
    // Entries are separated by blanks; each is "name" or "name,flags".
    while (pos < ntp_server.size() && IsBlank(ntp_server[pos])) ++pos;
    std::size_t end = pos;
    while (end < ntp_server.size() && !IsBlank(ntp_server[end])) ++end;
    std::string_view entry = ntp_server.substr(pos, end - pos);
    entry = Trimmed(entry.substr(0, entry.find(',')));
    if (!entry.empty()) {
      if (!names.empty()) names += ", ";
      names += entry;
    }
    pos = end;
  }
  return names;
}

std::string WindowsTimeSource(const WindowsTimeServiceFacts& facts) {
  if (!facts.running) return "";
  const std::string_view type = Trimmed(facts.sync_type);
  if (SameWord(type, "NoSync")) return "";
  constexpr std::string_view kDomain = "the domain hierarchy";
  if (SameWord(type, "NT5DS")) return std::string(kDomain);
  std::string servers = NtpServerNames(facts.ntp_server);
  if (servers.empty()) servers = "the time servers it is given";
  if (SameWord(type, "AllSync")) return servers + " and " + std::string(kDomain);
  return servers;
}

std::string WindowsTimeNotice(const WindowsTimeServiceFacts& facts) {
  const std::string source = WindowsTimeSource(facts);
  if (source.empty()) return "";
  return "The Windows Time service also sets this clock from " + VisibleText(source, 120) +
         ": stop its syncing (w32tm /config /syncfromflags:NO /update) or keep it only as the "
         "LAN's NTP server (see the README).";
}

}  // namespace orvik::core
