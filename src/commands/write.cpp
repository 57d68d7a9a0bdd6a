#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "commands/area.hpp"
#include "commands/area_read.hpp"
#include "commands/commands.hpp"
#include "commands/compare.hpp"
#include "commands/image_checks.hpp"
#include "commands/write_plan.hpp"
#include "commands/write_progress.hpp"
#include "commands/write_report.hpp"
#include "commands/write_steps.hpp"
#include "model/hub.hpp"
#include "model/spd_image.hpp"
#include "protocol/client.hpp"
#include "platform/image_file.hpp"

namespace dimmwand {
namespace {

// From one frame of a block write to the next: the EEPROM's write cycle and a margin.
constexpr std::chrono::milliseconds kWritePause{7};
// Before reading back, after the last frame's pause: time for the programmer's late answer to
// that frame to arrive, so that the discard before the read request takes it.
constexpr std::chrono::milliseconds kReadBackSettle{5};
// When answers came later still (a loaded machine, a slow programmer): the most time spent
// reading and dropping them before the area is read once more.
constexpr std::chrono::milliseconds kReadBackDrain{1000};
// Of the input file: enough to tell a text dump of any area, and a file longer than the area,
// without reading an endless device or a huge file whole.
constexpr std::size_t kLargestRead = 64 * 1024 + 1;

using Bytes = std::vector<std::uint8_t>;

// Compares what the image covers with what the module now holds. A mismatch says what to do next.
Result<> compare_written(std::span<const std::uint8_t> meant, std::span<const std::uint8_t> back, const WriteArgs& args,
                         const Context& ctx) {
  const auto diff = compare_images(meant, back);
  if (diff.count == 0) {
    ctx.out("校验通过\n");
    return {};
  }
  ctx.err(format_runs(diff, meant, back));
  const std::size_t first = diff.runs.front().address;
  auto e = DeviceError::other(fmt::format("校验失败: 共 {} 字节不符，首个在地址 {:04X}（写入 {:02X}，读回 {:02X}）",
                                          diff.count, first, meant[first], back[first]));
  if (args.backup) return std::unexpected(std::move(e).note(restore_hint(args)));
  return std::unexpected(std::move(e).note(
      fmt::format("提示: 模块现在的内容与映像不符，其校验和可能已不正确；用 dimmwand read {} -o 现状.bin 读出，"
                  "dimmwand-spd check 现状.bin 会显示它现在的内容",
                  area_words(args))));
}

// The checks that need no port: the file itself (no text, no other memory type's SPD), and with
// --check whether it fits the area.
Result<Bytes> image_to_write(const WriteArgs& args, const AreaSpec& area, const Context& ctx) {
  auto data = read_image(args.input, kLargestRead);
  if (!data) return std::unexpected(DeviceError::file(FileFailure::Action::Read, args.input, data.error()));
  if (data->empty()) return std::unexpected(DeviceError::other("文件为空"));
  if (auto text = refuse_text_dump(*data, args); !text) return std::unexpected(std::move(text.error()));
  if (auto type = refuse_other_memory_type(*data, args); !type) return std::unexpected(std::move(type.error()));
  if (args.backup && path_exists(*args.backup)) return std::unexpected(backup_exists(*args.backup));
  if (args.check) {
    const auto fits =
        args.common.mode == DataMode::Reg ? check_reg_image(*data) : check_spd_image(*data, args.common.device);
    if (!fits) return std::unexpected(image_refused(fits.error()));
  }
  if (data->size() > area.capacity) {
    ctx.out(fmt::format("文件超出 D{} 容量，仅写入前 {} 字节\n", generation(args.common.device), area.capacity));
    data->resize(area.capacity);
  }
  return std::move(*data);
}

// One read of the area; for a backup, reads until two agree: a bit flipped on the line and saved
// would be written back as the module's own.
Result<Bytes> read_current(SerialLink& link, DeviceType device, const AreaSpec& area, bool for_backup) {
  if (!for_backup) return read_area(link, device, area);
  auto agreed = read_area_settled(link, device, area);
  if (!agreed) return std::unexpected(std::move(agreed.error()));
  if (!*agreed) return std::unexpected(DeviceError::other("两次读出的内容不一致，线路可能有干扰；未写入"));
  return std::move(**agreed);
}

// --check of an SPD write: the module's own key byte must not name another generation than the
// one typed, or every address would be another generation's. An unknown byte (a blank or damaged
// module, often why it is written) is only noted.
Result<> check_module_generation(SerialLink& link, const WriteArgs& args, const std::optional<Bytes>& current,
                                 const Context& ctx) {
  std::uint8_t key = 0;
  if (current) {
    key = (*current)[kKeyByte];
  } else {
    auto byte = programmer::read_byte(link, generation(args.common.device), kKeyByte);
    if (!byte) return std::unexpected(before_writing(std::move(byte.error())));
    key = *byte;
  }
  const unsigned typed = generation(args.common.device);
  const auto module = generation_of_key(key);
  if (!module) {
    ctx.err(fmt::format("注意: 模块的字节 2（内存类型）为 0x{:02X}，不是 DDR3、DDR4 或 DDR5；按命令行的 DDR{} 写入\n",
                        key, typed));
  } else if (*module != args.common.device) {
    return std::unexpected(
        image_refused(fmt::format("模块的字节 2（内存类型）为 0x{:02X}，是 DDR{} 内存条，命令行给的是 DDR{}；"
                                  "未写入任何字节",
                                  key, generation(*module), typed)));
  }
  return {};
}

// Saves the backup, never over an existing file. A module whose checksums already fail is saved
// as it is and said: its content may be damaged, which is often why it is being written.
Result<> save_backup(const std::string& path, const Bytes& current, const WriteArgs& args, const Context& ctx) {
  if (auto saved = save_new_image(path, current); !saved) {
    if (path_exists(path)) return std::unexpected(backup_exists(path));
    return std::unexpected(DeviceError::file(FileFailure::Action::Write, path, saved.error()));
  }
  ctx.out(fmt::format("已备份 {} 字节: {}\n", current.size(), path));
  if (args.common.mode == DataMode::Reg) return {};
  for (const auto& c : model::checksums(current, args.common.device)) {
    if (c.ok()) continue;
    ctx.err(
        fmt::format("注意: 模块现有内容的{} 不符（字节 {}-{}，存储 0x{:04X}，计算 0x{:04X}），可能已经损坏；"
                    "备份按读出的原样保存\n",
                    c.name, c.from, c.to, c.stored, c.computed));
  }
  return {};
}

}  // namespace

Result<Before> read_before(SerialLink& link, const WriteArgs& args, const AreaSpec& area,
                           std::span<const std::uint8_t> data, const Context& ctx) {
  Before b;
  const bool reg = args.common.mode == DataMode::Reg;
  const bool ddr5_spd = args.common.device == DeviceType::DDR5 && !reg;
  const bool backup = args.backup.has_value();
  // A REG image that would set block protection is judged against the module's registers.
  const bool reg_protection = reg && args.check && hub::protected_blocks(data) != 0;
  if ((ddr5_spd && careful(args)) || reg_protection) {
    auto regs = read_current(link, DeviceType::DDR5, *resolve_area(DeviceType::DDR5, DataMode::Reg), reg && backup);
    if (!regs) return std::unexpected(before_writing(std::move(regs.error())));
    b.registers = std::move(*regs);
  }
  if (reg_protection) {
    if (auto fits = check_reg_protection(data, *b.registers, args.protect); !fits) {
      return std::unexpected(image_refused(fits.error()));
    }
  }
  if (args.changed || backup) {
    if (reg && b.registers) {
      b.current = b.registers;  // the REG area was just read
    } else {
      auto now = read_current(link, args.common.device, area, backup);
      if (!now) return std::unexpected(before_writing(std::move(now.error())));
      b.current = std::move(*now);
    }
  }
  if (args.check && !reg) {
    if (auto same = check_module_generation(link, args, b.current, ctx); !same)
      return std::unexpected(std::move(same.error()));
  }
  if (backup) {
    if (auto saved = save_backup(*args.backup, *b.current, args, ctx); !saved)
      return std::unexpected(std::move(saved.error()));
  }
  if (!ddr5_spd) b.registers.reset();  // the hub's block protection concerns the SPD area only
  return b;
}

namespace {

// Reads the area back after the last frame and compares it with the image. A late answer to a
// write can join the read's answer: it shifts the bytes (by half a byte when its digit count is
// odd, keeping the length), or ends the answer early. So an answer of another length than the
// area, or one that differs from the image, is read once more after the line is drained before
// anything is reported. Reading changes nothing: a real mismatch still shows.
Result<> verify(SerialLink& link, const AreaSpec& area, std::span<const std::uint8_t> data, std::size_t written,
                const WriteArgs& args, const Context& ctx) {
  Result<Bytes> back = programmer::read_area(link, area.read_command, generation(args.common.device));
  if (back && (back->size() != area.capacity || compare_images(data, *back).count != 0)) {
    programmer::drain(link, kReadBackDrain);
    back = read_area(link, args.common.device, area);
  }
  if (back) return compare_written(data, *back, args, ctx);
  if (back.error().is_interrupted()) return std::unexpected(interrupted_after(written, written, args, "，未校验"));
  return std::unexpected(after_frames(std::move(back.error()), written, written, args, "，未校验"));
}

}  // namespace

Result<> run_write(WriteArgs args, const Context& ctx) {
  const auto area = resolve_area(args.common.device, args.common.mode);
  if (!area) return std::unexpected(area.error());
  auto data = image_to_write(args, *area, ctx);
  if (!data) return std::unexpected(std::move(data.error()));
  auto link = ctx.open_link(args.common.port);
  if (!link) return std::unexpected(std::move(link.error()));
  auto before = read_before(*link, args, *area, *data, ctx);
  if (!before) return std::unexpected(std::move(before.error()));
  const auto plan = plan_write(*data, args.changed ? before->current : std::nullopt, before->registers);
  if (!plan) return std::unexpected(plan.error());
  if (plan->notice) ctx.err(*plan->notice);
  return write_planned(&*link, args, &*area, &*data, &*plan, ctx);
}

Result<> write_planned(SerialLink* link, const WriteArgs& args, const AreaSpec* area,
                       const std::vector<std::uint8_t>* data, const WritePlan* plan, const Context& ctx) {
  const auto& addresses = plan->addresses;
  if (addresses.empty()) {
    ctx.out("内容相同，未写入\n");
    if (!args.verify) return {};
    auto back = read_area(*link, args.common.device, *area);
    if (!back) return std::unexpected(std::move(back.error()));
    return compare_written(*data, *back, args, ctx);
  }
  ctx.err(args.changed ? fmt::format("写入中 {} 字节（{} 字节相同，跳过） ... ", addresses.size(), plan->unchanged)
                       : fmt::format("写入中 {} 字节 ... ", addresses.size()));
  const std::size_t total = addresses.size();
  {
    LiveProgress progress(total, ctx.output);
    for (std::size_t k = 0; k < total; ++k) {
      // Checked between frames only: a frame once begun always goes out whole.
      if (link->cancelled()) return std::unexpected(interrupted_after(k, total, args));
      const std::uint16_t at = addresses[k];
      if (auto sent =
              programmer::send_area_byte(*link, area->write_command, generation(args.common.device), at, (*data)[at]);
          !sent) {
        return std::unexpected(after_frames(std::move(sent.error()), k, total, args));
      }
      // The pause ends 7 ms after the frame was written, whatever the counter and the wake-up cost
      // meanwhile: the time between frames stays the pause instead of growing by it. And never
      // sooner than the EEPROM's write cycle after the frame has left the port: a driver that
      // holds frames back and lets them go together (a loaded machine, a serial layer that writes
      // later) must not bunch them on the line.
      const auto written = link->now();
      link->wait_until_sent();
      const auto next_frame = std::max(written + kWritePause, link->now() + kEepromWriteCycle);
      progress.update(k + 1);
      ctx.output.progress(k + 1, total);
      if (const auto left = next_frame - link->now(); left > decltype(left)::zero()) {
        ctx.pause(std::chrono::ceil<std::chrono::microseconds>(left));
      }
    }
  }
  ctx.out("完成\n");
  if (!args.verify) return {};
  ctx.pause(kReadBackSettle);
  return verify(*link, *area, *data, total, args, ctx);
}

}  // namespace dimmwand
