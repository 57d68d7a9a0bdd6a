// The simulated board: the firmware loaded into simavr's ATmega328P, and the loop that runs it in
// step with real time until the command or a signal ends it.
#include "simulator.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <simavr/avr_extint.h>
#include <simavr/sim_elf.h>
#include <simavr/sim_time.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
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

int self_pipe[2] = {-1, -1};
avr_t* last_core = nullptr;  // the simulated AVR, while the process lasts

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
  // simavr frees the core's memories, but neither the core itself nor its IRQs' names: they stay
  // (held by last_core) until the process ends, moments later.
  if (avr_ != nullptr) avr_terminate(avr_);
  // What elf_read_firmware allocated (simavr has no call to free it).
  std::free(firmware_.flash);
  std::free(firmware_.eeprom);
  std::free(firmware_.fuse);
  std::free(firmware_.lockbits);
  for (std::uint32_t i = 0; i < firmware_.symbolcount; ++i) std::free(firmware_.symbol[i]);
  std::free(firmware_.symbol);
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
  if (elf_read_firmware(firmware.c_str(), &firmware_) != 0) {
    why = fmt::format("读取固件 {} 失败", firmware);
    return false;
  }
  avr_ = last_core = avr_make_mcu_by_name("atmega328p");
  if (avr_ == nullptr || avr_init(avr_) != 0) {
    why = "simavr 没有 ATmega328P";
    return false;
  }
  avr_->frequency = kClockHz;
  avr_load_firmware(avr_, &firmware_);
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
