#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "commands/area.hpp"
#include "commands/area_read.hpp"
#include "commands/commands.hpp"
#include "commands/compare.hpp"
#include "commands/image_checks.hpp"
#include "commands/write_progress.hpp"
#include "platform/console.hpp"
#include "platform/image_file.hpp"
#include "platform/interrupt.hpp"
#include "platform/sleep.hpp"
#include "model/hub.hpp"
#include "protocol/link.hpp"

namespace dimmwand {
namespace {

constexpr std::chrono::milliseconds kWritePause{7};  // after every frame: the EEPROM's write cycle
// Before reading back, after the last frame's pause: time for the programmer's late answer to
// that frame to arrive, so that the discard before the read request takes it and it cannot end
// the read's answer early.
constexpr std::chrono::milliseconds kReadBackSettle{5};
// Of the input file: enough to tell a text dump of any area, and a file longer than the area,
// without reading an endless device or a huge file whole.
constexpr std::size_t kLargestRead = 64 * 1024 + 1;

using Bytes = std::vector<std::uint8_t>;

bool careful(const WriteArgs& args) { return args.verify || args.changed || args.backup || args.check; }

// A word of a command line as the user would type it again: quoted when it holds anything but
// the plain characters of port names and paths.
std::string typed(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                             "0123456789._-/\\:") == std::string::npos;
  return plain ? word : fmt::format("\"{}\"", word);
}

std::string area_words(const WriteArgs& args) {
  return fmt::format("{} {}{}", typed(args.common.port), generation(args.common.device),
                     args.common.mode == DataMode::Reg ? " -t reg" : "");
}

// The command that writes a backup back, for the user who has to undo a broken write.
std::string restore_hint(const WriteArgs& args) {
  return fmt::format("写入前的内容已备份在 {}，写回: dimmwand write {} -i {} --verify", *args.backup, area_words(args),
                     typed(*args.backup));
}

// A careful write that failed after its first frame says how far it got, and how to undo it.
DeviceError after_frames(DeviceError e, std::size_t written, std::size_t total, const WriteArgs& args,
                         const char* unverified = "") {
  if (!careful(args)) return e;
  e.note(fmt::format("已写入 {} / {} 字节{}", written, total, unverified));
  if (args.backup && written > 0) e.note(restore_hint(args));
  return e;
}

Result<> interrupted_after(std::size_t written, std::size_t total, const WriteArgs& args) {
  auto e = DeviceError::interrupted(fmt::format("已中断: 已写入 {} / {} 字节", written, total));
  if (args.backup) e.note(restore_hint(args));
  return std::unexpected(std::move(e));
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

// Compares what the image covers with what the module now holds. A mismatch says what to do next.
Result<> compare_written(std::span<const std::uint8_t> meant, std::span<const std::uint8_t> back, const WriteArgs& args) {
  const auto diff = compare_images(meant, back);
  if (diff.count == 0) {
    fmt::print("校验通过\n");
    return {};
  }
  std::fflush(stdout);
  fmt::print(stderr, "{}", format_runs(diff, meant, back));
  const std::size_t first = diff.runs.front().address;
  auto e = DeviceError::other(fmt::format("校验失败: 共 {} 字节不符，首个在地址 {:04X}（写入 {:02X}，读回 {:02X}）", diff.count,
                                          first, meant[first], back[first]));
  if (args.backup) return std::unexpected(std::move(e).note(restore_hint(args)));
  return std::unexpected(std::move(e).note(
      fmt::format("提示: 模块现在的内容与映像不符，其校验和可能已不正确；用 dimmwand read {} -o 现状.bin 读出，"
                  "dimmwand-spd check 现状.bin 会显示它现在的内容",
                  area_words(args))));
}

// The checks that need no port: the file itself, and with --check whether it fits the area.
Result<Bytes> image_to_write(const WriteArgs& args, const AreaSpec& area) {
  auto data = read_image(args.input, kLargestRead);
  if (!data) return std::unexpected(DeviceError::file(FileFailure::Action::Read, args.input, data.error()));
  if (data->empty()) return std::unexpected(DeviceError::other("文件为空"));
  if (auto text = refuse_text_dump(*data, args); !text) return std::unexpected(std::move(text.error()));
  if (args.backup && path_exists(*args.backup)) return std::unexpected(backup_exists(*args.backup));
  if (args.check) {
    const auto fits = args.common.mode == DataMode::Reg ? check_reg_image(*data) : check_spd_image(*data, args.common.device);
    if (!fits) return std::unexpected(image_refused(fits.error()));
  }
  if (data->size() > area.capacity) {
    fmt::print("文件超出 D{} 容量，仅写入前 {} 字节\n", generation(args.common.device), area.capacity);
    std::fflush(stdout);
    data->resize(area.capacity);
  }
  return std::move(*data);
}

// What a careful write reads before it writes: the hub's registers and the area itself.
struct Before {
  std::optional<Bytes> registers;  // DDR5: the REG area
  std::optional<Bytes> current;    // the area to be written
};

Result<Before> read_before(SerialLink& link, const WriteArgs& args, const AreaSpec& area, std::span<const std::uint8_t> data) {
  Before b;
  const bool reg = args.common.mode == DataMode::Reg;
  const bool ddr5_spd = args.common.device == DeviceType::DDR5 && !reg;
  // A REG image that would set block protection is judged against the module's registers.
  const bool reg_protection = reg && args.check && hub::protected_blocks(data) != 0;
  if ((ddr5_spd && careful(args)) || reg_protection) {
    auto regs = read_area(link, DeviceType::DDR5, *resolve_area(DeviceType::DDR5, DataMode::Reg));
    if (!regs) return std::unexpected(before_writing(std::move(regs.error())));
    b.registers = std::move(*regs);
  }
  if (reg_protection) {
    if (auto fits = check_reg_protection(data, *b.registers, args.protect); !fits) {
      return std::unexpected(image_refused(fits.error()));
    }
  }
  if (args.changed || args.backup) {
    if (reg && b.registers) {
      b.current = b.registers;  // the REG area was just read
    } else {
      auto now = read_area(link, args.common.device, area);
      if (!now) return std::unexpected(before_writing(std::move(now.error())));
      b.current = std::move(*now);
    }
  }
  if (args.backup) {
    if (auto saved = save_new_image(*args.backup, *b.current); !saved) {
      if (path_exists(*args.backup)) return std::unexpected(backup_exists(*args.backup));
      return std::unexpected(DeviceError::file(FileFailure::Action::Write, *args.backup, saved.error()));
    }
    fmt::print("已备份 {} 字节: {}\n", b.current->size(), *args.backup);
    std::fflush(stdout);
  }
  if (!ddr5_spd) b.registers.reset();  // the hub's block protection concerns the SPD area only
  return b;
}

}  // namespace

Result<> run_write(WriteArgs args) {
  const auto area = resolve_area(args.common.device, args.common.mode);
  if (!area) return std::unexpected(area.error());
  auto data = image_to_write(args, *area);
  if (!data) return std::unexpected(std::move(data.error()));
  auto link = open_link(args.common.port);
  if (!link) return std::unexpected(std::move(link.error()));
  auto before = read_before(*link, args, *area, *data);
  if (!before) return std::unexpected(std::move(before.error()));

  std::vector<std::uint16_t> addresses;
  for (std::size_t i = 0; i < data->size(); ++i) {
    if (!args.changed || (*data)[i] != (*before->current)[i]) addresses.push_back(static_cast<std::uint16_t>(i));
  }
  if (before->registers) {
    if (auto allowed = check_block_protection(*before->registers, addresses); !allowed) return allowed;
  }
  if (addresses.empty()) {
    fmt::print("内容相同，未写入\n");
    if (!args.verify) return {};
    auto back = read_area(*link, args.common.device, *area);
    if (!back) return std::unexpected(std::move(back.error()));
    return compare_written(*data, *back, args);
  }

  if (args.changed) {
    fmt::print(stderr, "写入中 {} 字节（{} 字节相同，跳过） ... ", addresses.size(), data->size() - addresses.size());
  } else {
    fmt::print(stderr, "写入中 {} 字节 ... ", addresses.size());
  }
  std::fflush(stderr);
  const std::size_t total = addresses.size();
  {
    LiveProgress progress(total, stderr_is_terminal());
    for (std::size_t k = 0; k < total; ++k) {
      // Checked between frames only: a frame once begun always goes out whole.
      if (interrupted()) return interrupted_after(k, total, args);
      const std::uint16_t at = addresses[k];
      if (auto sent = send_request(*link, {area->write_command, generation(args.common.device), at, (*data)[at]}); !sent) {
        return std::unexpected(after_frames(std::move(sent.error()), k, total, args));
      }
      precise_sleep(kWritePause);
      progress.update(k + 1);
    }
  }
  fmt::print("完成\n");
  if (!args.verify) return {};
  precise_sleep(kReadBackSettle);
  auto back = read_area(*link, args.common.device, *area);
  if (!back && back.error().is_interrupted()) {
    auto e = DeviceError::interrupted(fmt::format("已中断: 已写入 {} / {} 字节，未校验", total, total));
    if (args.backup) e.note(restore_hint(args));
    return std::unexpected(std::move(e));
  }
  if (!back) return std::unexpected(after_frames(std::move(back.error()), total, total, args, "，未校验"));
  return compare_written(*data, *back, args);
}

}  // namespace dimmwand
