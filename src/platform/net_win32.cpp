#include "platform/net.hpp"

// winsock2.h before windows.h (which win32_system.hpp includes), or the old winsock.h comes in.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32_system.hpp"

namespace dimmwand {

bool socket_ready(SocketHandle s, bool for_writing, std::chrono::milliseconds wait) {
  WSAPOLLFD p{static_cast<SOCKET>(s), static_cast<SHORT>(for_writing ? POLLOUT : POLLIN), 0};
  const int n = WSAPoll(&p, 1, static_cast<INT>(wait.count()));
  return n > 0 && (p.revents & (for_writing ? POLLOUT : (POLLIN | POLLHUP))) != 0;
}

std::ptrdiff_t socket_receive(SocketHandle s, char* buffer, std::size_t size) {
  return recv(static_cast<SOCKET>(s), buffer, static_cast<int>(size), 0);
}

std::ptrdiff_t socket_send(SocketHandle s, const char* bytes, std::size_t size) {
  return send(static_cast<SOCKET>(s), bytes, static_cast<int>(size), 0);
}

void socket_close(SocketHandle s) {
  shutdown(static_cast<SOCKET>(s), SD_BOTH);
  closesocket(static_cast<SOCKET>(s));
}

void listen_alone(SocketHandle s) {
  BOOL yes = TRUE;
  setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
}

std::optional<std::string> listen_refusal(unsigned port) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return win32::system_message(static_cast<DWORD>(WSAGetLastError()));
  listen_alone(static_cast<SocketHandle>(s));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::optional<std::string> refusal;
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(s, 1) != 0) {
    refusal = win32::system_message(static_cast<DWORD>(WSAGetLastError()));
  }
  closesocket(s);
  return refusal;
}

}  // namespace dimmwand
