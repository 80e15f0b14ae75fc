#include "service/shared_state.h"

#include <algorithm>
#include <utility>

namespace orvik::service {

void DisplayState::Show(const core::DisplayUpdate& update) {
  {
    std::lock_guard lock(mutex_);
    texts_ = update.texts;
  }
  if (update.accepted) {
    NoSatFlag = update.NoSatFlag;
    DataSeenFlag = true;
  }
  // Last: the display tick that sees the flag finds the texts and flags.
  NewDisplayFlag = true;
}

DisplayState::CommunicationPeriod DisplayState::TakeCommunicationPeriod() {
  return {.receiving = DataSeenFlag.exchange(false), .no_satellites = NoSatFlag.load()};
}

core::DisplayTexts DisplayState::Texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

bool ProblemSentence::SetProblem(std::string sentence) {
  std::lock_guard lock(mutex_);
  if (problem_ == sentence) return false;
  problem_ = std::move(sentence);
  return true;
}

std::string ProblemSentence::Problem() const {
  std::lock_guard lock(mutex_);
  return problem_;
}

bool CommandHandOver::Compose(std::span<const std::uint8_t> command) {
  if (command.size() > kCapacity) return false;
  std::lock_guard lock(mutex_);
  std::copy(command.begin(), command.end(), CommandBuffer_.begin());
  length_.store(command.size(), std::memory_order_release);
  if (composed_) composed_();
  return true;
}

void CommandHandOver::OnComposed(std::function<void()> composed) {
  std::lock_guard lock(mutex_);
  composed_ = std::move(composed);
}

std::optional<std::vector<std::uint8_t>> CommandHandOver::Take() {
  if (length_.load(std::memory_order_acquire) == 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  const std::size_t length = length_.load(std::memory_order_relaxed);
  if (length == 0) return std::nullopt;
  std::vector<std::uint8_t> command(CommandBuffer_.begin(),
                                    CommandBuffer_.begin() + static_cast<std::ptrdiff_t>(length));
  length_.store(0, std::memory_order_release);
  return command;
}

void CommandHandOver::Clear() {
  std::lock_guard lock(mutex_);
  length_.store(0, std::memory_order_release);
}

}  // namespace orvik::service
