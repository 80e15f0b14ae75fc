#include "service/chrony_feed.h"

#include <utility>

#include "core/chrony_sample.h"

namespace orvik::service {

ChronyFeed::ChronyFeed(const core::Settings& settings, EventLogWriter& log,
                       platform::RefclockSocket& socket, ProblemCallback on_problem)
    : path_(settings.ChronySocketPath),
      logging_enabled_(settings.LoggingEnabled),
      log_(log),
      socket_(socket),
      on_problem_(std::move(on_problem)) {
  if (Enabled()) Log("PC clock left to chrony through " + path_);
}

void ChronyFeed::OnFreshTime(std::int64_t reference_ns, std::int64_t offset_ns) {
  if (!Enabled()) return;
  const core::ChronySample sample = core::ComposeChronySample(reference_ns, offset_ns);
  const core::Status sent = socket_.Send(sample);
  if (sent.ok()) {
    if (last_failure_ && !last_failure_->empty()) {
      Log("chrony socket " + path_ + ": samples delivered again");
    }
    if (!last_failure_ || !last_failure_->empty()) Tell("");
    last_failure_ = "";
    return;
  }
  // The same failure again says nothing new: chronyd may come up later, and
  // each message tries again.
  const std::string reason = sent.message().empty() ? "send failed" : sent.message();
  if (last_failure_ == reason) return;
  last_failure_ = reason;
  const std::string problem = "chrony socket " + path_ + ": " + reason;
  Log(problem);
  Tell(problem);
}

void ChronyFeed::Log(const std::string& line) {
  if (logging_enabled_) log_.WriteLog(line);
}

void ChronyFeed::Tell(const std::string& problem) {
  if (on_problem_) on_problem_(problem);
}

}  // namespace orvik::service
