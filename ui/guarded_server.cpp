#include "guarded_server.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/net.hpp"

namespace dimmwand::ui {
namespace {

// A connection's socket, read until the request's deadline however its bytes trickle in.
class DeadlineStream final : public httplib::Stream {
 public:
  explicit DeadlineStream(socket_t sock) : sock_(sock), deadline_(std::chrono::steady_clock::now() + kRequestTime) {}

  bool is_readable() const override {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    return left.count() > 0 && socket_ready(handle(), false, left);
  }
  bool is_writable() const override { return socket_ready(handle(), true, kAnswerTime); }
  ssize_t read(char* ptr, size_t size) override {
    return is_readable() ? static_cast<ssize_t>(socket_receive(handle(), ptr, size)) : -1;
  }
  ssize_t write(const char* ptr, size_t size) override {
    return is_writable() ? static_cast<ssize_t>(socket_send(handle(), ptr, size)) : -1;
  }
  using httplib::Stream::write;
  // Only this machine reaches a server on 127.0.0.1.
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  socket_t socket() const override { return sock_; }

 private:
  SocketHandle handle() const { return static_cast<SocketHandle>(sock_); }
  socket_t sock_;
  std::chrono::steady_clock::time_point deadline_;
};

// Each connection on a thread of its own; shutdown waits for all of them.
class ThreadPerConnection final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override {
    {
      std::lock_guard lock(state_->mutex);
      ++state_->running;
    }
    std::thread([state = state_, fn = std::move(fn)] {
      fn();
      std::lock_guard lock(state->mutex);
      --state->running;
      state->ended.notify_all();
    }).detach();
  }
  void shutdown() override {
    std::unique_lock lock(state_->mutex);
    state_->ended.wait(lock, [this] { return state_->running == 0; });
  }

 private:
  // Shared with the threads, which may still be leaving when the queue is gone.
  struct State {
    std::mutex mutex;
    std::condition_variable ended;
    unsigned running = 0;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace

GuardedServer::GuardedServer() {
  new_task_queue = [] { return new ThreadPerConnection; };
  set_socket_options([](socket_t sock) { listen_alone(static_cast<SocketHandle>(sock)); });
  // An answer goes out as its head and its body, in two sends: without this the second waits for
  // the browser's delayed acknowledgement of the first (40 ms on Linux) on every request.
  set_tcp_nodelay(true);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  bool done = false;
  if (open_.fetch_add(1) < kConnections) {
    DeadlineStream stream(sock);
    bool closed = false;
    done = process_request(stream, true, closed, nullptr);
  }
  open_.fetch_sub(1);
  socket_close(static_cast<SocketHandle>(sock));
  return done;
}

}  // namespace dimmwand::ui
