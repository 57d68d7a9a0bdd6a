// dimmwand-emu: a programmer on a pseudo-terminal, to try the tool and to test it without hardware.
//
//   dimmwand-emu [OPTIONS]                       serve until interrupted; prints the port first
//   dimmwand-emu [OPTIONS] -- COMMAND ARGS...    run COMMAND with {port} replaced, end with its status
#include <sched.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "command.hpp"
#include "model/hub.hpp"
#include "images.hpp"
#include "line.hpp"
#include "options.hpp"
#include "platform/image_file.hpp"
#include "platform/posix_system.hpp"
#include "platform/system_error.hpp"
#include "programmer.hpp"
#include "pty.hpp"

namespace dimmwand::emu {
namespace {

// Of an image file: more than any area, enough to say how long a wrong file is, without reading
// an endless device whole.
constexpr std::size_t kLargestRead = 64 * 1024;

// An area's image; on failure, why: the system's reason, or a size that is not the area's.
std::optional<std::vector<std::uint8_t>> load(const std::string& path, std::size_t size, std::string& why) {
  auto data = read_image(path, kLargestRead + 1);
  if (!data) {
    why = fmt::format("读取 {} 失败: {}", path, data.error());
    return std::nullopt;
  }
  if (data->size() != size) {
    why = data->size() > kLargestRead ? fmt::format("{} 超过 {} 字节，该数据区为 {} 字节", path, kLargestRead, size)
                                      : fmt::format("{} 有 {} 字节，该数据区为 {} 字节", path, data->size(), size);
    return std::nullopt;
  }
  return std::move(*data);
}

// The SPD area a second module's image is for, by its size; nullptr when it fits none (or the
// file cannot be read, which loading it then says).
const AreaName* second_module_area(const std::string& path) {
  const auto data = read_image(path, kLargestRead + 1);
  if (!data) return &kAreaNames[0];
  for (const auto& a : kAreaNames) {
    if (a.name.starts_with("spd") && a.size == data->size()) return &a;
  }
  return nullptr;
}

// Into `dir`, made first when it is not there.
int export_defaults(const std::string& dir) {
  std::error_code made;
  std::filesystem::create_directories(file_path(dir), made);
  if (made) {
    fmt::print(stderr, "dimmwand-emu: 建立文件夹 {} 失败: {}\n", dir, system_error_text(made));
    return 1;
  }
  const Areas areas = default_areas();
  for (const auto& a : kAreaNames) {
    const auto path = (file_path(dir) / fmt::format("{}.bin", a.name)).string();
    if (const auto saved = save_image(path, areas.*a.member); !saved) {
      fmt::print(stderr, "dimmwand-emu: 写入 {} 失败: {}\n", path, saved.error());
      return 1;
    }
  }
  return 0;
}

// The default areas with the images the options name; nullopt, once said why, when one cannot be used.
std::optional<Areas> module_areas(const Options& o) {
  Areas areas = default_areas();
  for (const auto& [name, path] : o.images) {
    for (const auto& a : kAreaNames) {
      if (a.name != name) continue;
      std::string why;
      auto data = load(path, a.size, why);
      if (!data) {
        fmt::print(stderr, "dimmwand-emu: {}\n", why);
        return std::nullopt;
      }
      areas.*a.member = std::move(*data);
    }
  }
  if (!o.protect_blocks.empty()) {
    const auto blocks = parse_ranges(o.protect_blocks, 10);
    if (!blocks || blocks->back().second > 15) {
      fmt::print(stderr, "dimmwand-emu: --protect-blocks 须为块号 0 到 15，如 0-7,12\n");
      return std::nullopt;
    }
    for (const auto& [first, last] : *blocks) {
      for (auto b = first; b <= last; ++b) {
        areas.reg5[hub::kProtectLow + b / 8] |= static_cast<std::uint8_t>(1u << (b % 8));  // MR12, then MR13
      }
    }
  }
  return areas;
}

int run(const Options& o) {
  if (!o.export_dir.empty()) return export_defaults(o.export_dir);
  auto areas = module_areas(o);
  if (!areas) return 2;
  std::FILE* log = nullptr;
  if (!o.log_path.empty() && (log = std::fopen(o.log_path.c_str(), "w")) == nullptr) {
    fmt::print(stderr, "dimmwand-emu: 写入 {} 失败: {}\n", o.log_path, posix::system_message(errno));
    return 1;
  }
  auto pty = open_pty();
  if (!pty) {
    fmt::print(stderr, "dimmwand-emu: 打开伪终端失败: {}\n", posix::system_message(errno));
    return 1;
  }
  if (!route_signals()) return 1;

  // Time stamps are taken when a frame is read; a real-time priority, where the system grants
  // it, keeps the emulator's own wake-up delays out of the measured gaps.
  // (Not while babbling: that keeps the emulator busy for as long as the client reads.)
  if (o.babble.empty()) {
    sched_param priority{};
    priority.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &priority);
  }

  const std::string port = pty->path;
  std::optional<std::chrono::microseconds> gap;
  if (o.min_write_gap_ms) gap = std::chrono::microseconds(static_cast<long>(*o.min_write_gap_ms * 1000));
  Server server(o, std::move(*pty), Programmer(std::move(*areas), o.style, gap, o.faults, o.only), log);
  if (!o.swap_file.empty()) {
    const auto* area = second_module_area(o.swap_file);
    std::string why =
        fmt::format("--swap {} 须为 DDR3、DDR4 或 DDR5 的 SPD 映像（256、512 或 1024 字节）", o.swap_file);
    auto module = area != nullptr ? load(o.swap_file, area->size, why) : std::nullopt;
    if (!module) {
      fmt::print(stderr, "dimmwand-emu: {}\n", why);
      return 2;
    }
    server.hold_second_module(area->member, std::move(*module));
  }
  std::optional<pid_t> child;
  if (o.command.empty()) {
    fmt::print("{}\n", port);
    std::fflush(stdout);
  } else {
    const auto started = spawn(o.command, port);
    if (!started) {
      fmt::print(stderr, "dimmwand-emu: 运行 {} 失败: {}\n", o.command.front(), posix::system_message(started.error()));
      return 127;
    }
    child = *started;
  }
  const int status = server.run(child);
  if (server.programmer().frames_too_fast() > 0) {
    fmt::print(stderr, "dimmwand-emu: {} 次字节写入早于写周期到达，已丢失\n", server.programmer().frames_too_fast());
  }
  if (o.save) {
    if (!o.swap_file.empty()) {
      if (const auto saved = save_image(o.swap_file, server.second_module()); !saved) {
        fmt::print(stderr, "dimmwand-emu: 写回 {} 失败: {}\n", o.swap_file, saved.error());
      }
    }
    for (const auto& [name, path] : o.images) {
      for (const auto& a : kAreaNames) {
        if (a.name != name) continue;
        if (const auto saved = save_image(path, server.programmer().areas().*a.member); !saved) {
          fmt::print(stderr, "dimmwand-emu: 写回 {} 失败: {}\n", path, saved.error());
        }
      }
    }
  }
  return status;
}

}  // namespace
}  // namespace dimmwand::emu

int main(int argc, char** argv) {
  const auto options = dimmwand::emu::parse_options(argc, argv);
  return options ? dimmwand::emu::run(*options) : options.error();
}
