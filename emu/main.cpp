// dimmwand-emu: a programmer on a pseudo-terminal, to try the tool and to test it without
// hardware.
//
//   dimmwand-emu [OPTIONS]                       serve until interrupted; prints the port first
//   dimmwand-emu [OPTIONS] -- COMMAND ARGS...    run COMMAND with {port} replaced, end with its status
#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <expected>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <thread>

#include "images.hpp"
#include "programmer.hpp"

extern char** environ;

namespace dimmwand::emu {
namespace {

struct Options {
  std::map<std::string, std::string> images;  // area name -> file
  bool save = false;
  std::string log_path;
  bool silent = false;
  std::size_t chunk = 0;
  unsigned chunk_delay_ms = 20;
  std::string stale;
  std::size_t hangup_after = 0;
  std::string babble;
  bool hangup_mid_answer = false;
  double min_write_gap_ms = 5.0;
  std::string export_dir;
  AnswerStyle style;
  Faults faults;
  std::string protect_blocks;       // DDR5 blocks to protect in MR12/MR13, e.g. "0-7,12"
  bool line_rate = false;
  double read_time_ms = 0;
  std::size_t interrupt_after = 0;
  std::vector<std::string> command;
};

constexpr std::chrono::milliseconds kStaleDelay{10};  // from an answer to the stale line after it
// One byte on a 115200-baud line: a start bit, eight data bits and a stop bit.
constexpr std::chrono::nanoseconds kByteTime{10 * 1'000'000'000LL / 115200};
constexpr std::size_t kPacedBurst = 8;  // bytes handed to the pseudo-terminal per wake-up in line-rate mode

int self_pipe[2] = {-1, -1};

void on_signal(int signo) {
  const auto b = static_cast<unsigned char>(signo);
  [[maybe_unused]] const auto n = write(self_pipe[1], &b, 1);
}

// Turns \n, \r, \t, \\ and \xHH into bytes, so that tests can ask for any answer.
std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'n') out += '\n';
    else if (c == 'r') out += '\r';
    else if (c == 't') out += '\t';
    else if (c == 'x' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
             std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else out += c;
  }
  return out;
}

// "0-7,12" as numbers in `base`; nullopt when a piece is not a number or a range is reversed.
std::optional<std::vector<std::pair<unsigned long, unsigned long>>> parse_ranges(const std::string& text, int base) {
  std::vector<std::pair<unsigned long, unsigned long>> ranges;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string piece = text.substr(at, comma - at);
    const std::size_t dash = piece.find('-');
    try {
      std::size_t used = 0;
      const std::string a = piece.substr(0, dash);
      const unsigned long first = std::stoul(a, &used, base);
      if (used != a.size()) return std::nullopt;
      unsigned long last = first;
      if (dash != std::string::npos) {
        const std::string b = piece.substr(dash + 1);
        last = std::stoul(b, &used, base);
        if (used != b.size() || last < first) return std::nullopt;
      }
      ranges.emplace_back(first, last);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    at = comma + 1;
  }
  return ranges;
}

std::optional<std::vector<std::uint8_t>> load(const std::string& path, std::size_t size, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = fmt::format("cannot read {}: {}", path, std::strerror(errno));
    return std::nullopt;
  }
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() != size) {
    why = fmt::format("{} holds {} bytes; this area takes {}", path, data.size(), size);
    return std::nullopt;
  }
  return data;
}

bool save(const std::string& path, const std::vector<std::uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out.flush());
}

// The pseudo-terminal: the master is ours; we hold the slave open too, so that the line stays
// up between two clients instead of reporting a hang-up.
struct Pty {
  int master = -1;
  int slave = -1;
  std::string path;

  void hang_up() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
    master = slave = -1;
  }
};

std::optional<Pty> open_pty() {
  Pty pty;
  pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) return std::nullopt;
  pty.path = ptsname(pty.master);
  pty.slave = open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty.slave < 0) return std::nullopt;
  termios tio{};
  tcgetattr(pty.slave, &tio);
  cfmakeraw(&tio);
  tcsetattr(pty.slave, TCSANOW, &tio);
  return pty;
}

// Writes all of `bytes`, waiting for room while the client has not read what came before.
void send_all(int fd, std::string_view bytes) {
  while (!bytes.empty() && fd >= 0) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n >= 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
    } else if (errno != EINTR) {
      return;
    }
  }
}

class Server {
 public:
  Server(Options options, Pty pty, Programmer programmer)
      : o_(std::move(options)), pty_(std::move(pty)), programmer_(std::move(programmer)) {
    if (!o_.log_path.empty()) log_ = std::fopen(o_.log_path.c_str(), "w");
  }
  ~Server() {
    if (log_ != nullptr) std::fclose(log_);
  }

  // Serves until a signal ends it, or until the command ends; returns the exit status.
  int run(std::optional<pid_t> child) {
    child_ = child;
    if (!o_.stale.empty()) send_all(pty_.master, o_.stale);
    for (;;) {
      const short babbling = babbling_ ? POLLOUT : 0;
      pollfd fds[2] = {{self_pipe[0], POLLIN, 0}, {pty_.master, static_cast<short>(POLLIN | babbling), 0}};
      const int n = poll(fds, pty_.master >= 0 ? 2 : 1, -1);
      if (n < 0 && errno == EINTR) continue;
      if ((fds[0].revents & POLLIN) != 0) {
        unsigned char signo = 0;
        [[maybe_unused]] const auto r = read(self_pipe[0], &signo, 1);
        if (signo == SIGCHLD && child) {
          int status = 0;
          if (waitpid(*child, &status, WNOHANG) == *child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
          }
        } else if (signo == SIGINT || signo == SIGTERM) {
          if (child) kill(*child, static_cast<int>(signo));
          else return 0;
        }
      }
      if (pty_.master >= 0 && (fds[1].revents & POLLIN) != 0) take_input();
      if (pty_.master >= 0 && babbling_ && (fds[1].revents & POLLOUT) != 0) {
        // As much as the line takes, without a line feed, until the next frame comes.
        [[maybe_unused]] const auto w = write(pty_.master, o_.babble.data(), o_.babble.size());
      }
    }
  }

  const Programmer& programmer() const { return programmer_; }

 private:
  void take_input() {
    std::uint8_t buf[4096];
    const ssize_t n = read(pty_.master, buf, sizeof buf);
    if (n <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    for (auto& event : programmer_.feed(std::span(buf, static_cast<std::size_t>(n)), now)) {
      if (log_ != nullptr) std::fputs(log_line(event).c_str(), log_);
      if (!event.valid) continue;
      ++frames_;
      if (o_.interrupt_after != 0 && frames_ == o_.interrupt_after && child_) {
        log_note(fmt::format("interrupting the command after frame {}", frames_));
        kill(*child_, SIGINT);
      }
      if (o_.hangup_after != 0 && frames_ >= o_.hangup_after) {
        log_note("line dropped");
        pty_.hang_up();
        return;
      }
      if (!o_.babble.empty()) {
        babbling_ = true;
        continue;
      }
      if (event.answer && !o_.silent) {
        // Like a real programmer, it answers a byte write once the EEPROM has finished it.
        if (event.write) std::this_thread::sleep_until(now + programmer_.write_cycle());
        if (!event.write && o_.read_time_ms > 0) {
          std::this_thread::sleep_until(now + std::chrono::microseconds(static_cast<long>(o_.read_time_ms * 1000)));
        }
        answer(*event.answer);
      }
      if (pty_.master < 0) return;
      if (!o_.stale.empty()) {
        // Late enough not to join the answer in one read, early enough to wait for the next frame.
        std::this_thread::sleep_for(kStaleDelay);
        send_all(pty_.master, o_.stale);
      }
    }
  }

  void answer(std::string_view text) {
    if (o_.hangup_mid_answer) {
      send_all(pty_.master, text.substr(0, text.size() / 2));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      log_note("line dropped in the middle of an answer");
      pty_.hang_up();
      return;
    }
    if (o_.line_rate) {
      // Each byte no earlier than a real 115200-baud line would deliver it.
      const auto start = std::chrono::steady_clock::now();
      for (std::size_t sent = 0; sent < text.size();) {
        const std::size_t upto = std::min(text.size(), sent + kPacedBurst);
        std::this_thread::sleep_until(start + kByteTime * static_cast<long>(upto));
        send_all(pty_.master, text.substr(sent, upto - sent));
        sent = upto;
      }
      return;
    }
    if (o_.chunk == 0) {
      send_all(pty_.master, text);
      return;
    }
    for (std::size_t at = 0; at < text.size(); at += o_.chunk) {
      if (at > 0) std::this_thread::sleep_for(std::chrono::milliseconds(o_.chunk_delay_ms));
      send_all(pty_.master, text.substr(at, o_.chunk));
    }
  }

  void log_note(std::string_view note) {
    if (log_ != nullptr) std::fprintf(log_, "# %.*s\n", static_cast<int>(note.size()), note.data());
  }

  Options o_;
  Pty pty_;
  Programmer programmer_;
  std::FILE* log_ = nullptr;
  std::size_t frames_ = 0;
  bool babbling_ = false;
  std::optional<pid_t> child_;
};

// Starts the command with {port} replaced; the error is the system's error number.
std::expected<pid_t, int> spawn(std::vector<std::string> command, const std::string& port) {
  for (auto& arg : command) {
    for (std::size_t at; (at = arg.find("{port}")) != std::string::npos;) arg.replace(at, 6, port);
  }
  std::vector<char*> argv;
  for (auto& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (const int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ); rc != 0) {
    return std::unexpected(rc);
  }
  return pid;
}

int export_defaults(const std::string& dir) {
  const Areas areas = default_areas();
  for (const auto& a : kAreaNames) {
    const auto path = (std::filesystem::path(dir) / fmt::format("{}.bin", a.name)).string();
    if (!save(path, areas.*a.member)) {
      fmt::print(stderr, "dimmwand-emu: cannot write {}\n", path);
      return 1;
    }
  }
  return 0;
}

int run(Options o) {
  if (!o.export_dir.empty()) return export_defaults(o.export_dir);
  Areas areas = default_areas();
  for (const auto& [name, path] : o.images) {
    for (const auto& a : kAreaNames) {
      if (a.name != name) continue;
      std::string why;
      auto data = load(path, a.size, why);
      if (!data) {
        fmt::print(stderr, "dimmwand-emu: {}\n", why);
        return 2;
      }
      areas.*a.member = std::move(*data);
    }
  }
  if (!o.protect_blocks.empty()) {
    const auto blocks = parse_ranges(o.protect_blocks, 10);
    if (!blocks || blocks->back().second > 15) {
      fmt::print(stderr, "dimmwand-emu: --protect-blocks takes block numbers 0 to 15, e.g. 0-7,12\n");
      return 2;
    }
    for (const auto& [first, last] : *blocks) {
      for (auto b = first; b <= last; ++b) areas.reg5[12 + b / 8] |= static_cast<std::uint8_t>(1u << (b % 8));
    }
  }
  auto pty = open_pty();
  if (!pty) {
    fmt::print(stderr, "dimmwand-emu: cannot open a pseudo-terminal: {}\n", std::strerror(errno));
    return 1;
  }
  if (pipe2(self_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sa.sa_flags = SA_RESTART;
  for (const int s : {SIGINT, SIGTERM, SIGCHLD}) sigaction(s, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  // Time stamps are taken when a frame is read; a real-time priority, where the system grants
  // it, keeps the emulator's own wake-up delays out of the measured gaps.
  // (Not while babbling: that keeps the emulator busy for as long as the client reads.)
  if (o.babble.empty()) {
    sched_param priority{};
    priority.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &priority);
  }

  const std::string port = pty->path;
  const auto gap = std::chrono::microseconds(static_cast<long>(o.min_write_gap_ms * 1000));
  Server server(o, std::move(*pty), Programmer(std::move(areas), o.style, gap, o.faults));
  std::optional<pid_t> child;
  if (o.command.empty()) {
    fmt::print("{}\n", port);
    std::fflush(stdout);
  } else {
    const auto started = spawn(o.command, port);
    if (!started) {
      fmt::print(stderr, "dimmwand-emu: cannot run {}: {}\n", o.command.front(), std::strerror(started.error()));
      return 127;
    }
    child = *started;
  }
  const int status = server.run(child);
  if (server.programmer().frames_too_fast() > 0) {
    fmt::print(stderr, "dimmwand-emu: {} byte writes came faster than the write cycle and were lost\n",
               server.programmer().frames_too_fast());
  }
  if (o.save) {
    for (const auto& [name, path] : o.images) {
      for (const auto& a : kAreaNames) {
        if (a.name == name && !save(path, server.programmer().areas().*a.member)) {
          fmt::print(stderr, "dimmwand-emu: cannot save {}\n", path);
        }
      }
    }
  }
  return status;
}

}  // namespace
}  // namespace dimmwand::emu

int main(int argc, char** argv) {
  using namespace dimmwand::emu;
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto dashes = std::find(args.begin(), args.end(), "--"); dashes != args.end()) {
    o.command.assign(dashes + 1, args.end());
    args.erase(dashes, args.end());
  }
  CLI::App app("A programmer emulator for dimmwand on a pseudo-terminal.\n"
               "Without a command it serves until interrupted and prints the port path first;\n"
               "with `-- COMMAND ARGS...` it runs the command with {port} replaced by that path.",
               "dimmwand-emu");
  for (const auto& a : kAreaNames) {
    app.add_option_function<std::string>(fmt::format("--{}", a.name),
                                         [&o, name = std::string(a.name)](const std::string& p) { o.images[name] = p; },
                                         fmt::format("load the {} area from a raw image of {} bytes", a.name, a.size))
        ->type_name("FILE");
  }
  app.add_flag("--save", o.save, "write the areas loaded from files back to them on exit");
  app.add_option("--log", o.log_path, "write a frame log: seconds, bytes, what was done")->type_name("FILE");
  app.add_option("--export", o.export_dir, "write the four default images to DIR and exit")->type_name("DIR");
  app.add_option("--min-write-gap", o.min_write_gap_ms, "write cycle in ms; faster byte writes are lost (default 5)");
  auto* faults = app.add_option_group("Faults");
  faults->add_flag("--silent", o.silent, "never answer");
  faults->add_flag("--no-line-feed", [&o](std::int64_t) { o.style.line_feed = false; }, "answer without a line feed");
  faults->add_option("--chunk", o.chunk, "send answers in pieces of N bytes")->type_name("N");
  faults->add_option("--chunk-delay", o.chunk_delay_ms, "pause between pieces in ms (default 20)")->type_name("MS");
  faults->add_option("--short", o.style.short_by, "leave the last N bytes out of area answers")->type_name("N");
  faults->add_flag("--separators", o.style.separators, "a space between the bytes of an answer");
  faults->add_flag("--lower", o.style.lower_case, "lower-case hexadecimal digits");
  faults->add_option("--stale", o.stale, "send TEXT at start and 10 ms after every answer (escapes \\n \\r \\xHH)")
      ->type_name("TEXT");
  faults->add_option("--hangup-after", o.hangup_after, "drop the line when the Nth frame arrives")->type_name("N");
  faults->add_option("--babble", o.babble, "after a frame, send TEXT over and over, never a line feed")
      ->type_name("TEXT");
  faults->add_flag("--hangup-mid-answer", o.hangup_mid_answer, "send half of the first answer, then drop the line");
  faults->add_option_function<std::string>("--answer", [&o](const std::string& t) { o.style.fixed = t; },
                                           "answer every request with TEXT (escapes \\n \\r \\xHH)")
      ->type_name("TEXT");
  faults->add_option("--write-answer", o.style.write_answer, "text answer of a byte write (default 1)")->type_name("TEXT");
  faults->add_option("--protect-answer", o.style.protect_answer, "text sent as hex for a write-protect code (default OK)")
      ->type_name("TEXT");
  auto* module = app.add_option_group("Module and line");
  module->add_option_function<std::string>(
            "--protect-range",
            [&o](const std::string& t) {
              const auto ranges = parse_ranges(t, 16);
              if (!ranges) throw CLI::ValidationError("--protect-range", "takes hexadecimal ranges such as 0-7F,100");
              for (const auto& [a, b] : *ranges) {
                o.faults.protected_ranges.emplace_back(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b));
              }
            },
            "DDR3/DDR4 SPD addresses (hex, e.g. 0-7F) whose byte writes are ignored, as by write protection")
      ->type_name("RANGES");
  module->add_option("--protect-blocks", o.protect_blocks,
                     "DDR5: set these blocks' bits in MR12/MR13 (e.g. 0-7,12); writes into protected blocks are ignored")
      ->type_name("BLOCKS");
  module->add_option("--flaky", o.faults.flaky_every, "flip one random bit in every Nth block-read answer")->type_name("N");
  module->add_option("--seed", o.faults.seed, "seed of the flipped bits (default 1)")->type_name("N");
  module->add_option_function<std::string>(
            "--lose-writes",
            [&o](const std::string& t) {
              const auto ranges = parse_ranges(t, 16);
              if (!ranges) throw CLI::ValidationError("--lose-writes", "takes hexadecimal addresses such as 1FE,1FF");
              for (const auto& [a, b] : *ranges) {
                for (auto x = a; x <= b; ++x) o.faults.lost_writes.insert(static_cast<std::uint16_t>(x));
              }
            },
            "byte-write frames for these addresses (hex) are lost on the line: no write, no answer")
      ->type_name("ADDRS");
  module->add_flag("--line-rate", o.line_rate, "deliver answers at the pace of a real 115200-baud line (86.8 us a byte)");
  module->add_option("--read-time", o.read_time_ms, "the programmer's time to read the module before it answers, in ms")
      ->type_name("MS");
  module->add_option("--interrupt-after", o.interrupt_after, "with a command: send it SIGINT when the Nth frame arrives")
      ->type_name("N");
  try {
    std::vector<const char*> cargs{"dimmwand-emu"};
    for (const auto& a : args) cargs.push_back(a.c_str());
    app.parse(static_cast<int>(cargs.size()), cargs.data());
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (o.style.fixed) o.style.fixed = unescape(*o.style.fixed);
  o.stale = unescape(o.stale);
  return run(std::move(o));
}
