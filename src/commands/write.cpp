#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "commands/area.hpp"
#include "commands/area_read.hpp"
#include "commands/commands.hpp"
#include "commands/compare.hpp"
#include "console.hpp"
#include "files/image_file.hpp"
#include "model/hub.hpp"
#include "interrupt.hpp"
#include "protocol/link.hpp"

namespace dimmwand {
namespace {

constexpr std::chrono::milliseconds kWritePause{7};          // after every frame: the EEPROM's write cycle
constexpr std::chrono::milliseconds kProgressInterval{250};  // between redraws of the live counter
// Before reading back, after the last frame's pause: time for the programmer's late answer to
// that frame to arrive, so that the discard before the read request takes it and it cannot end
// the read's answer early.
constexpr std::chrono::milliseconds kReadBackSettle{5};

// A live "sent/total" counter after the progress text, on a terminal only. It is erased again
// before anything else is printed, so the line ends as if it had never been there.
class LiveProgress {
 public:
  LiveProgress(std::size_t total, bool enabled) : total_(total), enabled_(enabled) {}
  ~LiveProgress() { erase(); }
  LiveProgress(const LiveProgress&) = delete;
  LiveProgress& operator=(const LiveProgress&) = delete;

  void update(std::size_t sent) {
    const auto now = std::chrono::steady_clock::now();
    if (!enabled_ || (shown_ != 0 && now - last_drawn_ < kProgressInterval && sent != total_)) return;
    last_drawn_ = now;
    const std::string counter = fmt::format("{}/{}", sent, total_);
    put(std::string(shown_, '\b') + counter);
    shown_ = counter.size();
  }

  void erase() {
    if (shown_ == 0) return;
    put(std::string(shown_, '\b') + std::string(shown_, ' ') + std::string(shown_, '\b'));
    shown_ = 0;
  }

 private:
  static void put(const std::string& s) {
    std::fputs(s.c_str(), stderr);
    std::fflush(stderr);
  }

  std::size_t total_;
  bool enabled_;
  std::size_t shown_ = 0;  // characters of the counter now on the screen
  std::chrono::steady_clock::time_point last_drawn_{};
};

// A word of a command line as the user would type it again: quoted when it holds anything but
// the plain characters of port names and paths.
std::string typed(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                             "0123456789._-/\\:") == std::string::npos;
  return plain ? word : fmt::format("\"{}\"", word);
}

// The command that writes a backup back, for the user who has to undo a broken write.
std::string restore_hint(const WriteArgs& args) {
  return fmt::format("写入前的内容已备份在 {}，写回: dimmwand write {} {}{} -i {} --verify", *args.backup,
                     typed(args.common.port), generation(args.common.device),
                     args.common.mode == DataMode::Reg ? " -t reg" : "", typed(*args.backup));
}

Result<> interrupted_after(std::size_t written, std::size_t total, const WriteArgs& args) {
  std::string message = fmt::format("已中断: 已写入 {} / {} 字节", written, total);
  if (args.backup) {
    message += '\n';
    message += restore_hint(args);
  }
  return std::unexpected(DeviceError::interrupted(std::move(message)));
}

DeviceError backup_exists(const std::string& path) { return DeviceError::other(fmt::format("备份文件已存在: {}", path)); }

// An interrupt before the first frame: nothing was written, and that is worth saying.
DeviceError before_writing(DeviceError e) {
  return e.is_interrupted() ? DeviceError::interrupted("已中断: 未写入任何字节") : std::move(e);
}

// Refuses a DDR5 SPD write that would touch a block its hub protects: the hub would ignore those
// bytes silently. Registers without the hub's device type leave nothing to judge.
Result<> check_block_protection(std::span<const std::uint8_t> registers, std::span<const std::uint16_t> addresses) {
  if (!hub::is_spd5118(registers)) {
    fmt::print(stderr, "REG 区不是 SPD5118 集线器的寄存器（MR0-MR1 = {:02X} {:02X}），跳过块写保护检查\n",
               registers[hub::kDeviceTypeHigh], registers[hub::kDeviceTypeLow]);
    return {};
  }
  std::uint16_t touched = 0;
  for (const auto a : addresses) touched |= static_cast<std::uint16_t>(1u << (a / hub::kBlockSize));
  const std::uint16_t blocked = touched & hub::protected_blocks(registers);
  if (blocked == 0) return {};
  const bool override_available = (registers[hub::kDeviceStatus] & hub::kOverrideAvailable) != 0;
  return std::unexpected(DeviceError::other(fmt::format(
      "块 {} 受写保护（MR12={:02X} MR13={:02X}），未写入任何字节\n"
      "提示: 块写保护只能在 SPD 集线器的脱机模式下清除（模块 HSA 引脚接地，再把 MR12、MR13 的对应位写 0）；{}",
      hub::block_list(blocked), registers[hub::kProtectLow], registers[hub::kProtectHigh],
      override_available ? "MR48 表明器件现处于脱机模式，可以清除"
                         : "MR48 表明器件现不在脱机模式，无法清除")));
}

// Reads the area back and compares what the image covers.
Result<> verify(SerialLink& link, DeviceType device, const AreaSpec& area, std::span<const std::uint8_t> meant) {
  auto back = read_area(link, device, area);
  if (!back) return std::unexpected(std::move(back.error()));
  const auto diff = compare_images(meant, *back);
  if (diff.count == 0) {
    fmt::print("校验通过\n");
    return {};
  }
  std::fflush(stdout);
  fmt::print(stderr, "{}", format_runs(diff, meant, *back));
  const std::size_t first = diff.runs.front().address;
  return std::unexpected(DeviceError::other(fmt::format("校验失败: 共 {} 字节不符，首个在地址 {:04X}（写入 {:02X}，读回 {:02X}）",
                                                        diff.count, first, meant[first], (*back)[first])));
}

}  // namespace

Result<> run_write(WriteArgs args) {
  const auto area = resolve_area(args.common.device, args.common.mode);
  if (!area) return std::unexpected(area.error());
  const auto n = generation(args.common.device);
  // One byte more than the area tells a longer file apart without reading it whole.
  auto data = read_image(args.input, area->capacity + 1);
  if (!data) return std::unexpected(DeviceError::file(FileFailure::Action::Read, args.input, data.error()));
  if (data->empty()) return std::unexpected(DeviceError::other("文件为空"));
  if (args.backup && path_exists(*args.backup)) {
    return std::unexpected(backup_exists(*args.backup));
  }
  if (data->size() > area->capacity) {
    fmt::print("文件超出 D{} 容量，仅写入前 {} 字节\n", n, area->capacity);
    std::fflush(stdout);
    data->resize(area->capacity);
  }
  auto link = open_link(args.common.port);
  if (!link) return std::unexpected(std::move(link.error()));

  // The careful write: what the module holds is read before anything is written.
  std::optional<std::vector<std::uint8_t>> registers;
  if ((args.verify || args.changed || args.backup) && args.common.device == DeviceType::DDR5 &&
      area->write_command == CommandCode::WriteByte) {
    const auto reg_area = resolve_area(DeviceType::DDR5, DataMode::Reg);
    auto reg = read_area(*link, DeviceType::DDR5, *reg_area);
    if (!reg) return std::unexpected(before_writing(std::move(reg.error())));
    registers = std::move(*reg);
  }
  std::optional<std::vector<std::uint8_t>> current;
  if (args.changed || args.backup) {
    auto before = read_area(*link, args.common.device, *area);
    if (!before) return std::unexpected(before_writing(std::move(before.error())));
    current = std::move(*before);
  }
  if (args.backup) {
    if (auto saved = save_new_image(*args.backup, *current); !saved) {
      if (path_exists(*args.backup)) return std::unexpected(backup_exists(*args.backup));
      return std::unexpected(DeviceError::file(FileFailure::Action::Write, *args.backup, saved.error()));
    }
    fmt::print("已备份 {} 字节: {}\n", current->size(), *args.backup);
    std::fflush(stdout);
  }

  std::vector<std::uint16_t> addresses;
  for (std::size_t i = 0; i < data->size(); ++i) {
    if (!args.changed || (*data)[i] != (*current)[i]) addresses.push_back(static_cast<std::uint16_t>(i));
  }
  if (registers) {
    if (auto allowed = check_block_protection(*registers, addresses); !allowed) return allowed;
  }
  if (addresses.empty()) {
    fmt::print("内容相同，未写入\n");
    return args.verify ? verify(*link, args.common.device, *area, *data) : Result<>{};
  }

  if (args.changed) {
    fmt::print(stderr, "写入中 {} 字节（{} 字节相同，跳过） ... ", addresses.size(), data->size() - addresses.size());
  } else {
    fmt::print(stderr, "写入中 {} 字节 ... ", addresses.size());
  }
  std::fflush(stderr);
  {
    LiveProgress progress(addresses.size(), stderr_is_terminal());
    for (std::size_t k = 0; k < addresses.size(); ++k) {
      // Checked between frames only: a frame once begun always goes out whole.
      if (interrupted()) return interrupted_after(k, addresses.size(), args);
      const std::uint16_t at = addresses[k];
      if (auto sent = send_request(*link, {area->write_command, n, at, (*data)[at]}); !sent) return sent;
      precise_sleep(kWritePause);
      progress.update(k + 1);
    }
  }
  fmt::print("完成\n");
  if (!args.verify) return {};
  precise_sleep(kReadBackSettle);
  auto checked = verify(*link, args.common.device, *area, *data);
  if (!checked && checked.error().is_interrupted()) {
    return std::unexpected(DeviceError::interrupted(
        fmt::format("已中断: 已写入 {} / {} 字节，未校验", addresses.size(), addresses.size())));
  }
  return checked;
}

}  // namespace dimmwand
