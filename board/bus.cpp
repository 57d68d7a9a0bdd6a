#include "bus.hpp"

#include <fmt/format.h>

namespace dimmwand::board {

std::string seconds(SimTime t) { return fmt::format("{:.6f}", std::chrono::duration<double>(t).count()); }

void Bus::add_socket(std::uint8_t generation, I2cDevice& device) { sockets_.push_back({generation, &device, false}); }

void Bus::power(std::uint8_t generation, bool on, SimTime now) {
  for (auto& s : sockets_) {
    if (s.generation != generation || s.powered == on) continue;
    s.powered = on;
    if (on) s.device->power_up();
    note(now, fmt::format("DDR{} socket {}", generation, on ? "powered" : "off"));
  }
}

bool Bus::start(std::uint8_t address, bool read, SimTime now) {
  line_ += line_.empty() ? seconds(now) + " S" : " Sr";
  selected_.clear();
  for (auto& s : sockets_) {
    if (s.powered && s.device->start(address, read, now)) selected_.push_back(s.device);
  }
  const bool ack = !selected_.empty();
  line_ += fmt::format(" {:02X}{}{}", address, read ? 'R' : 'W', ack ? '+' : '-');
  if (selected_.size() > 1) line_ += " (several devices answered)";
  return ack;
}

bool Bus::write(std::uint8_t byte, SimTime now) {
  bool ack = false;
  for (auto* d : selected_) ack = d->write(byte, now) || ack;
  line_ += fmt::format(" {:02X}{}", byte, ack ? '+' : '-');
  return ack;
}

std::uint8_t Bus::read(bool master_acks, SimTime now) {
  std::uint8_t byte = 0xFF;  // nobody drives SDA: the pull-up reads as ones
  for (auto* d : selected_) byte &= d->read(now);
  line_ += fmt::format(" {:02X}{}", byte, master_acks ? '+' : '-');
  return byte;
}

void Bus::stop(SimTime now) {
  for (auto* d : selected_) d->stop(now);
  selected_.clear();
  line_ += " P";
  end_line();
}

void Bus::abandon(SimTime now) {
  if (line_.empty()) return;
  for (auto* d : selected_) d->stop(now);
  selected_.clear();
  line_ += " (abandoned)";
  end_line();
}

void Bus::hold_sda(unsigned pulses) {
  held_ = true;
  pulses_left_ = pulses;
}

bool Bus::clock_pulse(SimTime now) {
  if (!held_) return false;
  ++pulses_seen_;
  if (pulses_left_ == 0 || --pulses_left_ > 0) return false;
  held_ = false;
  note(now, fmt::format("the device holding SDA let it go after {} clock pulses", pulses_seen_));
  return true;
}

bool Bus::busy(SimTime now) const {
  for (const auto& s : sockets_) {
    if (s.powered && s.device->busy(now)) return true;
  }
  return false;
}

void Bus::note(SimTime now, std::string_view text) {
  if (log_ != nullptr) fmt::print(log_, "# {} {}\n", seconds(now), text);
}

void Bus::end_line() {
  if (log_ != nullptr) fmt::print(log_, "{}\n", line_);
  line_.clear();
}

void Bus::flush() {
  if (log_ != nullptr) std::fflush(log_);
}

}  // namespace dimmwand::board
