// dimmwand-board: the programmer's firmware in a simulated ATmega328P, with each generation's SPD
// chip modelled on the module's bus, on a pseudo-terminal.
//
//   dimmwand-board [OPTIONS]                       serve until interrupted; prints the port first
//   dimmwand-board [OPTIONS] -- COMMAND ARGS...    run COMMAND with {port} replaced, end with its status
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "command.hpp"
#include "ddr3_eeprom.hpp"
#include "ee1004.hpp"
#include "images.hpp"
#include "model/spd_bus.hpp"
#include "options.hpp"
#include "platform/image_file.hpp"
#include "pty.hpp"
#include "simulator.hpp"
#include "spd5118.hpp"

namespace dimmwand::board {
namespace {

constexpr std::size_t kLargestRead = 64 * 1024;  // of an image file: more than any area

// The default modules (the emulator's), with the images the options name.
std::optional<emu::Areas> module_areas(const Options& o) {
  emu::Areas areas = emu::default_areas();
  for (const auto& [name, path] : o.images) {
    for (const auto& a : emu::kAreaNames) {
      if (a.name != name) continue;
      auto data = read_image(path, kLargestRead + 1);
      if (!data) {
        fmt::print(stderr, "dimmwand-board: 读取 {} 失败: {}\n", path, data.error());
        return std::nullopt;
      }
      if (data->size() != a.size) {
        fmt::print(stderr, "dimmwand-board: {} 有 {} 字节，该数据区为 {} 字节\n", path, data->size(), a.size);
        return std::nullopt;
      }
      areas.*a.member = std::move(*data);
    }
  }
  // DDR5's block protection is the hub's MR12 and MR13.
  areas.reg5[bus::kHubProtectLow] |= static_cast<std::uint8_t>(o.protect5 & 0xFF);
  areas.reg5[bus::kHubProtectHigh] |= static_cast<std::uint8_t>(o.protect5 >> 8);
  return areas;
}

std::string default_firmware() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (ec ? std::filesystem::path(".") : self.parent_path()) / "dimmwand-fw.elf";
}

void save(const Options& o, const emu::Areas& areas) {
  if (!o.save) return;
  for (const auto& [name, path] : o.images) {
    for (const auto& a : emu::kAreaNames) {
      if (a.name != name) continue;
      if (const auto saved = save_image(path, areas.*a.member); !saved) {
        fmt::print(stderr, "dimmwand-board: 写回 {} 失败: {}\n", path, saved.error());
      }
    }
  }
}

int run(const Options& o) {
  auto areas = module_areas(o);
  if (!areas) return 2;
  std::FILE* log = nullptr;
  if (!o.log_path.empty() && (log = std::fopen(o.log_path.c_str(), "w")) == nullptr) {
    fmt::print(stderr, "dimmwand-board: 写入 {} 失败: {}\n", o.log_path, std::strerror(errno));
    return 1;
  }
  const auto close_log = [&log] {
    if (log != nullptr) std::fclose(log);
  };
  auto pty = emu::open_pty();
  if (!pty || !route_signals()) {
    fmt::print(stderr, "dimmwand-board: 打开伪终端失败: {}\n", std::strerror(errno));
    close_log();
    return 1;
  }
  const std::string port = pty->path;
  int status = 0;
  {
    Simulator sim(std::move(*pty), log, {.high_voltage = !o.no_high_voltage, .fast_bus = o.bus_khz == 400});
    std::string why;
    if (!sim.load(o.firmware.empty() ? default_firmware() : o.firmware, why)) {
      fmt::print(stderr, "dimmwand-board: {}\n", why);
      close_log();
      return 1;
    }
    const SimTime cycle =
        std::chrono::duration_cast<SimTime>(std::chrono::duration<double, std::milli>(o.write_cycle_ms));
    const auto ddr3_protection = !o.protect3                  ? Ddr3Eeprom::Protection::None
                                 : *o.protect3 == "permanent" ? Ddr3Eeprom::Protection::Permanent
                                                              : Ddr3Eeprom::Protection::Reversible;
    Ddr3Eeprom ddr3(areas->spd3, sim.pins(), cycle, ddr3_protection);
    Ee1004 ddr4(areas->spd4, sim.pins(), cycle, o.protect4);
    Spd5118 ddr5(areas->spd5, areas->reg5, cycle, !o.online);
    sim.bus().add_socket(3, ddr3);
    sim.bus().add_socket(4, ddr4);
    sim.bus().add_socket(5, ddr5);
    if (o.hold_sda) sim.hold_sda(*o.hold_sda);
    std::optional<pid_t> child;
    if (o.command.empty()) {
      fmt::print("{}\n", port);
      std::fflush(stdout);
    } else {
      const auto started = emu::spawn(o.command, port);
      if (!started) {
        fmt::print(stderr, "dimmwand-board: 运行 {} 失败: {}\n", o.command.front(), std::strerror(started.error()));
        close_log();
        return 127;
      }
      child = *started;
    }
    status = sim.run(child);
  }
  close_log();
  save(o, *areas);
  return status;
}

}  // namespace
}  // namespace dimmwand::board

int main(int argc, char** argv) {
  const auto options = dimmwand::board::parse_options(argc, argv);
  return options ? dimmwand::board::run(*options) : options.error();
}
