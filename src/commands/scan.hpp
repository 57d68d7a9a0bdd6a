// The port listing, with the output rules kept apart from the system's enumeration.
#pragma once

#include <expected>
#include <string>
#include <vector>

#include "error/device_error.hpp"

namespace dimmwand {

// What scan prints for a listing result: one name a line, or the "none found" line.
Result<std::string> scan_report(const std::expected<std::vector<std::string>, std::string>& listing);

}  // namespace dimmwand
