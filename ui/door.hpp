// Who may use the workbench: the page this program served, in the browser of the user who started
// it. The server can write modules, so every request shows the token of the first address, comes
// for this program's own host name (a foreign one is a DNS rebinding) and, when it changes
// anything, from this program's own page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dimmwand::ui {

struct Door {
  std::string token;  // hexadecimal, from the system's random source
  unsigned port = 0;

  // The name of the cookie the page keeps the token in: one per port, as two workbenches on one
  // machine share the cookies of 127.0.0.1.
  std::string cookie_name() const;
  // The Host values a request may carry: 127.0.0.1:PORT and localhost:PORT.
  bool host_allowed(std::string_view host) const;
  // The Origin a state-changing request must carry: the page's own.
  bool origin_allowed(std::string_view origin) const;
  // The token equals ours, compared in time that does not depend on where they differ.
  bool token_matches(std::string_view candidate) const;
};

// What a request shows of the token: the query's, then the header's, then the cookie's.
struct Presented {
  std::optional<std::string> query, header, cookie_header;
};
bool admitted(const Door& door, const Presented& p);

// The value of cookie `name` in a Cookie header, if it is there.
std::optional<std::string> cookie_value(std::string_view header, std::string_view name);

// A new token of `bytes` random bytes, as hexadecimal, or the system's reason.
std::optional<std::string> new_token(std::size_t bytes, std::string& error);

}  // namespace dimmwand::ui
