// Listing the serial ports present, through libserialport.
#include <libserialport.h>

#include "protocol/serial_port.hpp"

namespace dimmwand {

std::expected<std::vector<std::string>, std::string> list_serial_ports() {
  sp_port** ports = nullptr;
  if (const sp_return rc = sp_list_ports(&ports); rc != SP_OK) {
    if (rc != SP_ERR_FAIL) return std::unexpected(rc == SP_ERR_MEM ? "out of memory" : "listing is not supported here");
    char* message = sp_last_error_message();
    std::string reason = message != nullptr ? message : "unknown error";
    sp_free_error_message(message);
    return std::unexpected(std::move(reason));
  }
  std::vector<std::string> names;
  for (sp_port** p = ports; *p != nullptr; ++p) names.emplace_back(sp_get_port_name(*p));
  sp_free_port_list(ports);
  return names;
}

}  // namespace dimmwand
