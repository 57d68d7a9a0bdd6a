// The port listing, with the output rules kept apart from the system's enumeration.
#pragma once

#include <expected>
#include <string>
#include <vector>

#include "error/device_error.hpp"
#include "platform/port_list.hpp"

namespace dimmwand {

// What scan prints for a listing result: one name a line, or the "none found" line.
Result<std::string> scan_report(const std::expected<std::vector<std::string>, std::string>& listing);

// What scan --long prints: a header, then one port a line in aligned columns (port, kind of
// USB-serial bridge, VID:PID, serial number, maker, description); "-" where nothing is known.
Result<std::string> scan_long_report(const std::expected<std::vector<PortDetails>, std::string>& listing);

// The USB-serial bridge or class a port's USB identity names ("WCH CH340"), or empty.
std::string bridge_kind(const PortDetails& port);

}  // namespace dimmwand
