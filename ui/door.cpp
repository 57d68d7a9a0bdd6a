#include "door.hpp"

#include <fmt/format.h>

#include "platform/random.hpp"

namespace dimmwand::ui {

std::string Door::cookie_name() const { return fmt::format("dimmwand_token_{}", port); }

bool Door::host_allowed(std::string_view host) const {
  return host == fmt::format("127.0.0.1:{}", port) || host == fmt::format("localhost:{}", port);
}

bool Door::origin_allowed(std::string_view origin) const {
  return origin == fmt::format("http://127.0.0.1:{}", port) || origin == fmt::format("http://localhost:{}", port);
}

bool Door::token_matches(std::string_view candidate) const {
  // Every character is looked at whatever the first difference, so the time taken tells nothing
  // of how much of a guess was right; only the length (public: 32 digits) can end it early.
  if (candidate.size() != token.size() || token.empty()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    difference |= static_cast<unsigned char>(token[i] ^ candidate[i]);
  }
  return difference == 0;
}

bool admitted(const Door& door, const Presented& p) {
  if (p.query) return door.token_matches(*p.query);
  if (p.header) return door.token_matches(*p.header);
  if (p.cookie_header) {
    if (auto value = cookie_value(*p.cookie_header, door.cookie_name())) return door.token_matches(*value);
  }
  return false;
}

std::optional<std::string> cookie_value(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const auto end = header.find(';');
    auto pair = header.substr(0, end);
    header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    const auto eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
  }
  return std::nullopt;
}

std::optional<std::string> new_token(std::size_t bytes, std::string& error) {
  auto random = random_bytes(bytes);
  if (!random) {
    error = random.error();
    return std::nullopt;
  }
  std::string token;
  for (const unsigned char b : *random) token += fmt::format("{:02x}", b);
  return token;
}

}  // namespace dimmwand::ui
