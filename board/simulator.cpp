#include "simulator.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <simavr/avr_extint.h>
#include <simavr/avr_ioport.h>
#include <simavr/avr_uart.h>
#include <simavr/sim_elf.h>
#include <simavr/sim_irq.h>
#include <simavr/sim_time.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fmt/format.h>

namespace dimmwand::board {
namespace {

constexpr std::uint32_t kClockHz = 16'000'000;
constexpr avr_cycle_count_t kSliceCycles = 1600;  // 100 us run between looks at the line
constexpr auto kAheadSlack = std::chrono::milliseconds(1);
constexpr std::uint32_t kBootUs = 20'000;  // simulated before the port is offered
// After the command ends: the board goes on until its line and its bus have been quiet this long
// (what the command sent last is then done), or for at most kDrainLimit of real time.
constexpr SimTime kQuietAfterCommand = std::chrono::milliseconds(100);
constexpr auto kDrainLimit = std::chrono::seconds(10);
constexpr std::size_t kOutputLimit = 64 * 1024;  // unread output kept for a client, at most
constexpr std::size_t kInputLimit = 4096;        // bytes taken from the line ahead of the UART
constexpr std::size_t kAnswerShown = 48;         // characters of an answer shown in the log

// Port D: the high voltage, its sense, SA1, the sockets' supplies. Port C: the bus lines.
constexpr std::uint8_t kPortD = 0x2B, kDdrD = 0x2A, kPortC = 0x28, kDdrC = 0x27, kDdrB = 0x24;
constexpr int kHighVoltagePin = 2, kSensePin = 3, kSa1Pin = 4, kFirstSupplyPin = 5;
constexpr int kSdaPin = 4, kSclPin = 5, kJumperPin = 0;

int self_pipe[2] = {-1, -1};

void on_signal(int signo) {
  const auto b = static_cast<unsigned char>(signo);
  [[maybe_unused]] const auto n = write(self_pipe[1], &b, 1);
}

// simavr's messages go to standard error, its chatter nowhere: standard output is the port's.
void simavr_log(avr_t*, const int level, const char* format, va_list ap) {
  if (level > LOG_WARNING) return;
  std::fputs("dimmwand-board: simavr: ", stderr);
  std::vfprintf(stderr, format, ap);
}

// The board paces itself; simavr's own sleeping would only add to it.
void no_sleep(avr_t*, avr_cycle_count_t) {}

bool bit(std::uint8_t value, int n) { return (value >> n & 1u) != 0; }

// simavr's ioctl codes are ints built from characters.
std::uint32_t port_irqs(char port) { return static_cast<std::uint32_t>(AVR_IOCTL_IOPORT_GETIRQ(port)); }
std::uint32_t uart_irqs() { return static_cast<std::uint32_t>(AVR_IOCTL_UART_GETIRQ('0')); }

}  // namespace

bool route_signals() {
  if (pipe2(self_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction sa{};
  sa.sa_handler = on_signal;
  sa.sa_flags = SA_RESTART;
  for (const int s : {SIGINT, SIGTERM, SIGCHLD}) sigaction(s, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

Simulator::Simulator(emu::Pty pty, std::FILE* log, BoardFittings fittings)
    : pty_(std::move(pty)), fittings_(fittings), bus_(log) {}

Simulator::~Simulator() {
  if (avr_ != nullptr) avr_terminate(avr_);
}

SimTime Simulator::now() const { return SimTime(avr_cycles_to_nsec(avr_, avr_->cycle)); }

bool Simulator::load(const std::string& firmware, std::string& why) {
  avr_global_logger_set(simavr_log);
  if (std::FILE* file = std::fopen(firmware.c_str(), "rb"); file != nullptr) {
    std::fclose(file);
  } else {
    why = fmt::format("读取固件 {} 失败: {}", firmware, std::strerror(errno));
    return false;
  }
  elf_firmware_t f{};
  if (elf_read_firmware(firmware.c_str(), &f) != 0) {
    why = fmt::format("读取固件 {} 失败", firmware);
    return false;
  }
  avr_ = avr_make_mcu_by_name("atmega328p");
  if (avr_ == nullptr || avr_init(avr_) != 0) {
    why = "simavr 没有 ATmega328P";
    return false;
  }
  avr_->frequency = kClockHz;
  avr_load_firmware(avr_, &f);
  avr_->frequency = kClockHz;  // whatever the ELF says
  avr_->sleep = no_sleep;
  // simavr polls a low INT0 or INT1 pin every cycle, to repeat a level interrupt; the firmware
  // enables none, and the high voltage's pins (PD2, PD3) sit there, low most of the time.
  avr_extint_set_strict_lvl_trig(avr_, 0, 0);
  avr_extint_set_strict_lvl_trig(avr_, 1, 0);
  twi_ = std::make_unique<TwiMaster>(avr_, bus_);
  twi_->install();
  connect();
  // The board is on before the host opens its port: the firmware has set up its UART by then
  // (a byte arriving before that would be lost, as on a real board).
  while (avr_->cycle < avr_usec_to_cycles(avr_, kBootUs)) avr_run(avr_);
  return true;
}

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

// Nothing left to do: every byte sent to the board taken, no write cycle running, and the firmware
// silent for a while. Output no client reads is not the board's work.
bool Simulator::quiet(SimTime since) const {
  const SimTime t = now();
  return in_.empty() && !bus_.busy(t) && t - std::max(since, last_activity_) >= kQuietAfterCommand;
}

void Simulator::report_speed() {
  const double awake_s = std::chrono::duration<double>(awake_time_).count();
  const double mhz = awake_s > 0 ? static_cast<double>(awake_cycles_) / awake_s / 1e6 : 0;
  bus_.note(now(), fmt::format("simavr ran the AVR awake for {:.1f} M cycles at {:.1f} MHz, {:.1f} times real time",
                               static_cast<double>(awake_cycles_) / 1e6, mhz, mhz * 1e6 / kClockHz));
}

int Simulator::run(std::optional<pid_t> child) {
  real_start_ = Clock::now();
  sim_start_ = now();
  const auto started = real_start_;
  const avr_cycle_count_t first_cycle = avr_->cycle;
  std::optional<int> status;
  std::optional<SimTime> ending;
  std::optional<Clock::time_point> drain_until;
  for (;;) {
    const avr_cycle_count_t slice_end = avr_->cycle + kSliceCycles;
    const auto slice_started = Clock::now();
    const avr_cycle_count_t slice_first = avr_->cycle;
    bool awake = avr_->state == cpu_Running;
    while (avr_->cycle < slice_end) {
      const int state = avr_run(avr_);
      if (state == cpu_Done || state == cpu_Crashed) {
        bus_.note(now(), "the AVR stopped: its firmware crashed or went to sleep with interrupts off");
        crashed_ = true;
        break;
      }
      awake = awake && state == cpu_Running;
    }
    if (awake) {
      awake_cycles_ += avr_->cycle - slice_first;
      awake_time_ += Clock::now() - slice_started;
    }
    pump_input();
    pump_output();
    if (crashed_) {
      bus_.flush();
      if (child) kill(*child, SIGTERM);
      return 1;
    }
    // Simulated time no further ahead of real time than the slack: wait, watching the line.
    const auto simulated = std::chrono::nanoseconds(avr_cycles_to_nsec(avr_, avr_->cycle - first_cycle));
    const auto ahead = simulated - (Clock::now() - started);
    pollfd fds[2] = {{self_pipe[0], POLLIN, 0}, {pty_.master, POLLIN, 0}};
    if (ahead > kAheadSlack) {
      bus_.flush();
      poll(fds, 2, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(ahead).count()));
    } else {
      fds[0].revents = POLLIN;  // look at the signals now and then all the same
    }
    if ((fds[0].revents & POLLIN) != 0) {
      unsigned char signo = 0;
      while (read(self_pipe[0], &signo, 1) == 1) {
        if (signo == SIGCHLD && child && !status) {
          int s = 0;
          if (waitpid(*child, &s, WNOHANG) == *child) status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        } else if ((signo == SIGINT || signo == SIGTERM) && child && !status) {
          kill(*child, static_cast<int>(signo));
        } else if (signo == SIGINT || signo == SIGTERM) {
          status = 0;
        }
        if (status && !ending) {
          // The board finishes what it was sent before it stops, so that a saved image holds it.
          ending = now();
          drain_until = Clock::now() + kDrainLimit;
        }
      }
    }
    if (ending && (quiet(*ending) || Clock::now() > *drain_until)) {
      report_speed();
      bus_.flush();
      return *status;
    }
  }
}

}  // namespace dimmwand::board
