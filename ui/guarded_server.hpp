// The HTTP library's server, held to what a page on this machine needs and no more, so that
// another local user's slow or endless connections cannot freeze it: one request a connection,
// read within kRequestTime whatever the pace of its bytes; at most kConnections at once, each on
// a thread of its own (the library's pool of eight threads waited on eight trickling
// connections); a listening port shared with no other program.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>

namespace dimmwand::ui {

inline constexpr std::chrono::seconds kRequestTime{10};  // from the connection to the request's last byte
inline constexpr std::chrono::seconds kAnswerTime{10};   // for each write of the answer
inline constexpr unsigned kConnections = 32;             // at once; more are closed at once

class GuardedServer : public httplib::Server {
 public:
  GuardedServer();

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::atomic<unsigned> open_{0};
};

}  // namespace dimmwand::ui
