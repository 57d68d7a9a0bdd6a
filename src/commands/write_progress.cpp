#include "commands/write_progress.hpp"

#include <fmt/format.h>

namespace dimmwand {
namespace {

constexpr std::chrono::milliseconds kProgressInterval{250};  // between redraws of the counter

}  // namespace

void LiveProgress::update(std::size_t sent) {
  const auto now = std::chrono::steady_clock::now();
  if (!enabled_ || (shown_ != 0 && now - last_drawn_ < kProgressInterval && sent != total_)) return;
  last_drawn_ = now;
  const std::string counter = fmt::format("{}/{}", sent, total_);
  put(std::string(shown_, '\b') + counter);
  shown_ = counter.size();
}

void LiveProgress::erase() {
  if (shown_ == 0) return;
  put(std::string(shown_, '\b') + std::string(shown_, ' ') + std::string(shown_, '\b'));
  shown_ = 0;
}

}  // namespace dimmwand
