#include "platform/net.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix_system.hpp"

namespace dimmwand {

bool socket_ready(SocketHandle s, bool for_writing, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    pollfd p{static_cast<int>(s), static_cast<short>(for_writing ? POLLOUT : POLLIN), 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int n = poll(&p, 1, static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0)));
    if (n < 0 && errno == EINTR) continue;
    // A hang-up with bytes still to read is readable: the read then says the end.
    return n > 0 && (p.revents & (for_writing ? POLLOUT : (POLLIN | POLLHUP))) != 0;
  }
}

std::ptrdiff_t socket_receive(SocketHandle s, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = recv(static_cast<int>(s), buffer, size, 0);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

std::ptrdiff_t socket_send(SocketHandle s, const char* bytes, std::size_t size) {
  for (;;) {
    const ssize_t n = send(static_cast<int>(s), bytes, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

void socket_close(SocketHandle s) {
  shutdown(static_cast<int>(s), SHUT_RDWR);
  close(static_cast<int>(s));
}

void listen_alone(SocketHandle s) {
  // SO_REUSEADDR only lets the port be taken again while old connections linger in TIME_WAIT;
  // on these systems it never lets two listeners share it (SO_REUSEPORT would).
  int yes = 1;
  setsockopt(static_cast<int>(s), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

std::optional<std::string> listen_refusal(unsigned port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return posix::system_message(errno);
  listen_alone(static_cast<SocketHandle>(s));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::optional<std::string> refusal;
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(s, 1) != 0) {
    refusal = posix::system_message(errno);
  }
  close(s);
  return refusal;
}

}  // namespace dimmwand
