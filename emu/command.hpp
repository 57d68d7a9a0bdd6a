// The command the emulator runs against its port.
#pragma once

#include <sys/types.h>

#include <expected>
#include <string>
#include <vector>

namespace dimmwand::emu {

// Starts the command with {port} replaced; the error is the system's error number.
std::expected<pid_t, int> spawn(std::vector<std::string> command, const std::string& port);

}  // namespace dimmwand::emu
