// What each subcommand is given: one record per subcommand, filled from the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/ddr.hpp"

namespace dimmwand {

// Arguments shared by read and write.
struct Common {
  std::string port;
  DeviceType device;
  std::optional<DataMode> mode;
};

struct ScanArgs {
  bool long_listing = false;  // -l: each port's description and USB identity
};
struct ReadArgs {
  Common common;
  std::optional<std::string> out;
  bool verify = false;  // read twice; differing answers are an error
};
struct ReadByteArgs {
  std::string port;
  DeviceType device;
  std::uint16_t addr;
};
struct WriteArgs {
  Common common;
  std::string input;
  bool verify = false;                // read the area back and compare
  bool changed = false;               // write only the bytes that differ from the module
  std::optional<std::string> backup;  // save the area here before the first write; never replaced
  bool check = false;                 // refuse an image that does not fit the module
  bool protect = false;               // with check: let a REG image set block protection bits
  bool force = false;                 // write an SPD image of a memory type the area never holds
};
struct WriteByteArgs {
  std::string port;
  DeviceType device;
  std::uint16_t addr;
  std::uint8_t value;
  bool verify = false;  // read the byte back and compare
};
struct WriteProtectArgs {
  std::string port;
  DeviceType device;
  std::uint16_t code;
};

}  // namespace dimmwand
