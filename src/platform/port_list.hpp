// The serial ports present on the machine, for scan.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace dimmwand {

// The names of the ports present, in the order the system gives them. The error is the system's
// reason.
std::expected<std::vector<std::string>, std::string> list_serial_ports();

// What the system tells of a port besides its name; empty where it tells nothing.
struct PortDetails {
  std::string name;
  std::string description;
  std::string transport;  // "USB", "蓝牙", "板载" or empty
  std::optional<std::uint16_t> vid, pid;
  std::string serial_number;
  std::string manufacturer;
};

// The ports present with their details, in the order of list_serial_ports.
std::expected<std::vector<PortDetails>, std::string> list_serial_port_details();

}  // namespace dimmwand
