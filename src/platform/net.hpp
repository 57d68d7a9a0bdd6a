// What the workbench's server asks of the system's sockets beyond the HTTP library: waiting on a
// connection with a deadline of its own, and a listening port that no other program can share.
// A socket is the library's handle (an int on POSIX, a SOCKET on Windows) held as a number.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dimmwand {

using SocketHandle = std::uintptr_t;

// Waits up to `wait` until `s` has bytes to read (or room to write): false on a time-out or an error.
bool socket_ready(SocketHandle s, bool for_writing, std::chrono::milliseconds wait);

// One receive or send call on a socket that is ready: bytes moved, 0 at the end of the stream
// (receive), -1 on an error.
std::ptrdiff_t socket_receive(SocketHandle s, char* buffer, std::size_t size);
std::ptrdiff_t socket_send(SocketHandle s, const char* bytes, std::size_t size);

// Ends the connection both ways and closes the socket.
void socket_close(SocketHandle s);

// The options of a listening socket: it shares its address with no other listener, so that a
// second server on the same port fails instead of answering every other request (on POSIX no
// SO_REUSEPORT; on Windows SO_EXCLUSIVEADDRUSE, without which SO_REUSEADDR lets anyone take it).
void listen_alone(SocketHandle s);

// Why 127.0.0.1:`port` cannot be listened on, in the system's words; nullopt when it can.
std::optional<std::string> listen_refusal(unsigned port);

}  // namespace dimmwand
