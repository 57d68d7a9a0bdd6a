// The serving loop: reads frames, has the programmer answer them, and plays the line's faults.
#include "line.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <span>
#include <thread>
#include <utility>

#include <fmt/format.h>

namespace dimmwand::emu {
namespace {

constexpr std::chrono::milliseconds kStaleDelay{50};  // from an answer to the stale line after it
// One byte on a 115200-baud line: a start bit, eight data bits and a stop bit.
constexpr std::chrono::nanoseconds kByteTime{10 * 1'000'000'000LL / 115200};
constexpr std::size_t kPacedBurst = 8;  // bytes handed to the pseudo-terminal per wake-up in line-rate mode

// Signals arrive as bytes on this pipe, so that the loop's one poll() sees them with the line.
int self_pipe[2] = {-1, -1};

void on_signal(int signo) {
  const auto b = static_cast<unsigned char>(signo);
  [[maybe_unused]] const auto n = write(self_pipe[1], &b, 1);
}

}  // namespace

bool route_signals() {
  if (pipe2(self_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction sa{};
  sa.sa_handler = on_signal;
  sa.sa_flags = SA_RESTART;
  for (const int s : {SIGINT, SIGTERM, SIGCHLD, SIGUSR1}) sigaction(s, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

Server::Server(Options options, Pty pty, Programmer programmer, std::FILE* log)
    : o_(std::move(options)), pty_(std::move(pty)), programmer_(std::move(programmer)), log_(log) {}

Server::~Server() {
  if (log_ != nullptr) std::fclose(log_);
}

int Server::run(std::optional<pid_t> child) {
  child_ = child;
  send_stale();
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
      } else if (signo == SIGUSR1 && swap_area_ != nullptr) {
        std::swap(programmer_.areas().*swap_area_, held_);
        swapped_ = !swapped_;
        log_note(swapped_ ? "second module plugged in" : "first module plugged in");
        flush_log();
      } else if (signo == SIGINT || signo == SIGTERM) {
        if (child)
          kill(*child, static_cast<int>(signo));
        else
          return 0;
      }
    }
    if (pty_.master >= 0 && (fds[1].revents & POLLIN) != 0) take_input();
    if (pty_.master >= 0 && babbling_ && (fds[1].revents & POLLOUT) != 0) {
      // As much as the line takes, without a line feed, until the next frame comes.
      [[maybe_unused]] const auto w = write(pty_.master, o_.babble.data(), o_.babble.size());
    }
  }
}

void Server::hold_second_module(std::vector<std::uint8_t> Areas::* member, std::vector<std::uint8_t> module) {
  swap_area_ = member;
  held_ = std::move(module);
}

const std::vector<std::uint8_t>& Server::second_module() {
  if (swapped_) {
    std::swap(programmer_.areas().*swap_area_, held_);
    swapped_ = false;
  }
  return held_;
}

void Server::take_input() {
  std::uint8_t buf[4096];
  const ssize_t n = read(pty_.master, buf, sizeof buf);
  if (n <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  for (auto& event : programmer_.feed(std::span(buf, static_cast<std::size_t>(n)), now)) {
    // A frame's line goes to the log once its answer is on the line, and the log is flushed
    // after each read: whoever watches the log knows that no answer to a logged frame can still
    // arrive.
    if (!event.valid) {
      log_text(log_line(event));
      continue;
    }
    ++frames_;
    bool logged = false;
    const auto log_frame = [&] {
      if (!logged) log_text(log_line(event));
      logged = true;
    };
    if (o_.interrupt_after != 0 && frames_ == o_.interrupt_after && child_) {
      log_frame();
      log_note(fmt::format("interrupting the command after frame {}", frames_));
      kill(*child_, SIGINT);
    }
    if (o_.hangup_after != 0 && frames_ >= o_.hangup_after) {
      log_frame();
      log_note("line dropped");
      pty_.hang_up();
      flush_log();
      return;
    }
    if (!o_.babble.empty()) {
      log_frame();
      babbling_ = true;
      continue;
    }
    if (event.answer && !o_.silent) {
      // Like a real programmer, it answers a byte write once the EEPROM has finished it.
      if (event.write) {
        std::this_thread::sleep_until(now + std::chrono::microseconds(static_cast<long>(o_.write_cycle_ms * 1000)));
      }
      if (!event.write && o_.read_time_ms > 0) {
        std::this_thread::sleep_until(now + std::chrono::microseconds(static_cast<long>(o_.read_time_ms * 1000)));
      }
      answer(*event.answer);
    }
    log_frame();
    if (pty_.master < 0) {
      flush_log();
      return;
    }
    if (!o_.stale.empty()) {
      // Late enough not to join the answer in one read, early enough to wait for the next frame.
      std::this_thread::sleep_for(kStaleDelay);
      send_stale();
    }
  }
  flush_log();
}

void Server::answer(std::string_view text) {
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

void Server::log_text(const std::string& line) {
  if (log_ != nullptr) std::fputs(line.c_str(), log_);
}

// The stale text, and a note in the log once it is on the line, for whoever waits for it there.
void Server::send_stale() {
  if (o_.stale.empty()) return;
  send_all(pty_.master, o_.stale);
  log_note("stale text sent");
  flush_log();
}

void Server::flush_log() {
  if (log_ != nullptr) std::fflush(log_);
}

void Server::log_note(std::string_view note) {
  if (log_ != nullptr) std::fprintf(log_, "# %.*s\n", static_cast<int>(note.size()), note.data());
}

}  // namespace dimmwand::emu
