// The board's lines: the UART to the pseudo-terminal, the pins to the sockets' supplies, the high
// voltage and the bus lines, the inputs the firmware reads.
#include "simulator.hpp"

#include <unistd.h>

#include <simavr/avr_ioport.h>
#include <simavr/avr_uart.h>
#include <simavr/sim_irq.h>

#include <fmt/format.h>

namespace dimmwand::board {
namespace {

constexpr std::size_t kOutputLimit = 64 * 1024;  // unread output kept for a client, at most
constexpr std::size_t kInputLimit = 4096;        // bytes taken from the line ahead of the UART
constexpr std::size_t kAnswerShown = 48;         // characters of an answer shown in the log

// Port D: the high voltage, its sense, SA1, the sockets' supplies. Port C: the bus lines.
constexpr std::uint8_t kPortD = 0x2B, kDdrD = 0x2A, kPortC = 0x28, kDdrC = 0x27, kDdrB = 0x24;
constexpr int kHighVoltagePin = 2, kSensePin = 3, kSa1Pin = 4, kFirstSupplyPin = 5;
constexpr int kSdaPin = 4, kSclPin = 5, kJumperPin = 0;

bool bit(std::uint8_t value, int n) { return (static_cast<unsigned>(value) >> n & 1u) != 0; }

// simavr's ioctl codes are ints built from characters.
std::uint32_t port_irqs(char port) { return static_cast<std::uint32_t>(AVR_IOCTL_IOPORT_GETIRQ(port)); }
std::uint32_t uart_irqs() { return static_cast<std::uint32_t>(AVR_IOCTL_UART_GETIRQ('0')); }

}  // namespace

void Simulator::connect() {
  const auto uart = [this](int irq) { return avr_io_getirq(avr_, uart_irqs(), irq); };
  avr_irq_register_notify(uart(UART_IRQ_OUTPUT), on_uart_out, this);
  avr_irq_register_notify(uart(UART_IRQ_OUT_XON), on_flow, this);
  avr_irq_register_notify(uart(UART_IRQ_OUT_XOFF), on_flow, this);
  std::uint32_t flags = 0;  // no line echo on the console, no sleeping on polled reads
  avr_ioctl(avr_, static_cast<std::uint32_t>(AVR_IOCTL_UART_SET_FLAGS('0')), &flags);
  for (const char port : {'C', 'D'}) {
    for (const int irq : {IOPORT_IRQ_REG_PORT, IOPORT_IRQ_DIRECTION_ALL}) {
      avr_irq_register_notify(avr_io_getirq(avr_, port_irqs(port), irq), on_port, this);
    }
  }
  // The inputs: the bus lines pulled up, the jumper, the high voltage's sense.
  bus_lines();
  set_input('B', kJumperPin, !fittings_.fast_bus);
  set_input('D', kSensePin, false);
}

void Simulator::hold_sda(unsigned pulses) {
  bus_.hold_sda(pulses);
  bus_lines();
}

// The bus lines as a pin set to input reads them: pulled up, but SDA low while a device holds it.
void Simulator::bus_lines() {
  set_input('C', kSdaPin, !bus_.sda_held());
  set_input('C', kSclPin, true);
}

// What drives an input from outside (a pull-up, a jumper, a device): simavr reads it there while
// the pin is an input, the firmware's own pull-up notwithstanding, and at once if it is one now.
void Simulator::set_input(char port, int pin, bool high) {
  auto& [mask, value] = external_[port - 'B'];
  mask = static_cast<std::uint8_t>(mask | 1u << pin);
  value = static_cast<std::uint8_t>(high ? value | 1u << pin : value & ~(1u << pin));
  avr_ioport_external_t e{};
  e.name = static_cast<unsigned char>(port & 0x7F);
  e.mask = mask;
  e.value = value;
  avr_ioctl(avr_, static_cast<std::uint32_t>(AVR_IOCTL_IOPORT_SET_EXTERNAL(port)), &e);
  const std::uint8_t ddr = avr_->data[port == 'B' ? kDdrB : port == 'C' ? kDdrC : kDdrD];
  if (!bit(ddr, pin)) avr_raise_irq(avr_io_getirq(avr_, port_irqs(port), pin), high ? 1 : 0);
}

void Simulator::on_port(avr_irq_t* irq, std::uint32_t, void* param) {
  auto* self = static_cast<Simulator*>(param);
  // Which port: the notification's IRQ is one of the port's own.
  const bool port_c = irq == avr_io_getirq(self->avr_, port_irqs('C'), IOPORT_IRQ_REG_PORT) ||
                      irq == avr_io_getirq(self->avr_, port_irqs('C'), IOPORT_IRQ_DIRECTION_ALL);
  self->port_changed(port_c ? 'C' : 'D');
}

void Simulator::port_changed(char port) {
  const SimTime t = now();
  if (port == 'C') {
    // SCL pulled low by the pins (output, driven low): the firmware freeing a held bus.
    const std::uint8_t ddr = avr_->data[kDdrC], out = avr_->data[kPortC];
    const bool low = bit(ddr, kSclPin) && !bit(out, kSclPin);
    if (scl_low_ && !low && bus_.clock_pulse(t)) bus_lines();
    scl_low_ = low;
    return;
  }
  const std::uint8_t ddr = avr_->data[kDdrD], out = avr_->data[kPortD];
  const auto high = [&](int pin) { return bit(ddr, pin) && bit(out, pin); };
  const bool hv = high(kHighVoltagePin);
  if (hv != hv_switch_) {
    hv_switch_ = hv;
    pins_.sa0_high_voltage = hv && fittings_.high_voltage;
    bus_.note(t, hv ? (fittings_.high_voltage ? "high voltage on SA0" : "high voltage switched on, but none fitted")
                    : "high voltage off");
    set_input('D', kSensePin, pins_.sa0_high_voltage);
  }
  if (high(kSa1Pin) != pins_.sa1_high) {
    pins_.sa1_high = high(kSa1Pin);
    bus_.note(t, pins_.sa1_high ? "DDR3 SA1 high" : "DDR3 SA1 low");
  }
  std::uint8_t supplies = 0;
  for (int g = 0; g < 3; ++g)
    supplies = static_cast<std::uint8_t>(supplies | (high(kFirstSupplyPin + g) ? 1u << g : 0u));
  if (supplies != supplies_) {
    for (int g = 0; g < 3; ++g) {
      if (bit(supplies, g) != bit(supplies_, g)) bus_.power(static_cast<std::uint8_t>(3 + g), bit(supplies, g), t);
    }
    supplies_ = supplies;
  }
}

void Simulator::on_flow(avr_irq_t* irq, std::uint32_t, void* param) {
  auto* self = static_cast<Simulator*>(param);
  self->xon_ = irq == avr_io_getirq(self->avr_, uart_irqs(), UART_IRQ_OUT_XON);
}

void Simulator::on_uart_out(avr_irq_t*, std::uint32_t value, void* param) {
  auto* self = static_cast<Simulator*>(param);
  const auto c = static_cast<char>(value & 0xFF);
  self->last_activity_ = self->now();
  if (self->out_.size() < kOutputLimit) self->out_ += c;
  if (c != '\n') {
    self->answer_ += c;
    return;
  }
  const auto& a = self->answer_;
  self->bus_.note(self->now(), a.size() <= kAnswerShown
                                   ? fmt::format("answer {}", a)
                                   : fmt::format("answer {}... ({} characters)", a.substr(0, kAnswerShown), a.size()));
  self->answer_.clear();
}

// Bytes from the line reach the UART at the simulated time they arrived in real time: when the
// machine is too loaded to keep the simulation at real time, the firmware still sees the host's
// pace (frames 7 ms apart), only later.
void Simulator::pump_input() {
  std::uint8_t buf[512];
  // What waits here is bounded; beyond it the bytes wait in the pseudo-terminal, and its writer.
  while (in_.size() < kInputLimit) {
    const ssize_t n = read(pty_.master, buf, sizeof buf);
    if (n <= 0) break;
    const auto arrived = sim_start_ + std::chrono::duration_cast<SimTime>(Clock::now() - real_start_);
    for (ssize_t i = 0; i < n; ++i) in_.push_back({buf[i], arrived});
  }
  const auto input = avr_io_getirq(avr_, uart_irqs(), UART_IRQ_INPUT);
  const SimTime t = now();
  while (xon_ && !in_.empty() && in_.front().arrived <= t) {
    last_activity_ = t;
    const std::uint8_t b = in_.front().byte;
    in_.pop_front();
    avr_raise_irq(input, b);
  }
}

void Simulator::pump_output() {
  while (!out_.empty()) {
    const ssize_t n = write(pty_.master, out_.data(), out_.size());
    if (n <= 0) break;  // the client has not read what came before: try again later
    out_.erase(0, static_cast<std::size_t>(n));
  }
}

}  // namespace dimmwand::board
