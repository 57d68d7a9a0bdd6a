// dimmwand-spd host: the modules in this computer, read through the kernel's own SPD drivers,
// listed a line each and, with --save, kept as raw images before anyone touches them.
#include <fmt/format.h>

#include <algorithm>
#include <filesystem>

#include "platform/image_file.hpp"
#include "platform/installed_spd.hpp"
#include "platform/system_error.hpp"
#include "spd/commands.hpp"
#include "spd/decode.hpp"
#include "spd/image.hpp"
#include "spd/json.hpp"
#include "spd/module_text.hpp"

namespace dimmwand::spd {
namespace {

constexpr std::size_t kLargestEeprom = 64 * 1024;  // far above any SPD, as for image files

// What one EEPROM turned out to hold.
struct Module {
  const InstalledEeprom* eeprom;
  std::optional<Decode> decoded;  // an SPD
  std::string not_spd;            // why not, when it is readable but no SPD
  std::vector<std::string> wrong_checksums;
  std::optional<std::string> saved;      // where --save put it
  bool saved_before = false;             // the same bytes were there already
  std::vector<std::string> passed_over;  // the better names, taken by other bytes
};

std::string place(const InstalledEeprom& e) {
  return fmt::format("总线 {} 地址 0x{:02X}（{}）", e.bus, e.address, e.driver);
}

std::string modprobe_hint(const std::vector<std::string>& loaded) {
  struct Load {
    const char* driver;
    const char* modules;
  };
  static constexpr Load kLoads[] = {{"ee1004", "DDR4"}, {"spd5118", "DDR5"}, {"at24", "DDR3"}};
  std::vector<std::string> steps;
  for (const auto& l : kLoads) {
    if (std::find(loaded.begin(), loaded.end(), l.driver) == loaded.end()) {
      steps.push_back(fmt::format("{}: sudo modprobe {}", l.modules, l.driver));
    }
  }
  return fmt::format("{}", fmt::join(steps, "；"));
}

// "KF3600C18D4/16GX" as "KF3600C18D4-16GX": a name every file system takes.
std::string file_part(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    out += plain ? c : '-';
  }
  while (!out.empty() && (out.front() == '.' || out.front() == '-')) out.erase(out.begin());
  return out;
}

// A serial number of zeros or of erased bytes is no serial at all.
bool blank_serial(std::string_view serial) {
  return serial.find_first_not_of('0') == std::string_view::npos ||
         serial.find_first_not_of('F') == std::string_view::npos;
}

// The names to try for a module's image, best first: part number and serial; with the slot's
// bus and address (as the kernel names the device, "0-0052") when those are blank or the name
// holds other bytes already; then numbered, so that every module finds a name.
std::vector<std::string> file_names(const Facts& f, const InstalledEeprom& e) {
  constexpr unsigned kNumbered = 9;  // further names in the same slot: as many backups of it
  const std::string part = file_part(f.part_number);
  const std::string serial = file_part(f.serial_number);
  const std::string base = fmt::format("{}{}{}", part.empty() ? "spd" : part, serial.empty() ? "" : "_", serial);
  const std::string slot = fmt::format("{}_{}-{:04x}", base, e.bus, e.address);
  std::vector<std::string> names;
  if (!part.empty() && !blank_serial(f.serial_number)) names.push_back(base + ".bin");
  names.push_back(slot + ".bin");
  for (unsigned n = 2; n <= kNumbered + 1; ++n) names.push_back(fmt::format("{}_{}.bin", slot, n));
  return names;
}

std::string line_of(const Module& m) {
  const InstalledEeprom& e = *m.eeprom;
  if (!e.bytes) return fmt::format("{}: 无法读取 {}: {}", place(e), e.path, e.bytes.error());
  if (!m.decoded) return fmt::format("{}: 不是内存条的 SPD（{}）", place(e), m.not_spd);
  const Facts& f = m.decoded->facts;
  const std::string checksums = m.wrong_checksums.empty()
                                    ? std::string("校验和正确")
                                    : fmt::format("校验和错误（{}）", fmt::join(m.wrong_checksums, "、"));
  return fmt::format("{}: DDR{} {}，{}，{}，{}，{}，序列号 {}，{}", place(e), generation(f.generation), f.module_type,
                     capacity_text(f.capacity_mb), rate_text(f), maker_text(f.module_maker),
                     f.part_number.empty() ? std::string("型号未记录") : f.part_number, f.serial_number, checksums);
}

std::string document(const HostArgs& args, const InstalledEeproms& found, const std::vector<Module>& modules) {
  JsonWriter j;
  j.object().key("sysfs").value(args.sysfs).key("drivers").array();
  for (const auto& d : found.drivers) j.value(d);
  j.end().key("modules").array();
  for (const auto& m : modules) {
    const InstalledEeprom& e = *m.eeprom;
    j.object().key("bus").value(e.bus).key("address").value(e.address).key("driver").value(e.driver).key("path").value(
        e.path);
    j.key("readable").value(e.bytes.has_value()).key("spd").value(m.decoded.has_value()).key("error");
    if (!e.bytes)
      j.value(e.bytes.error());
    else if (!m.decoded)
      j.value(m.not_spd);
    else
      j.null();
    if (m.decoded) {
      const Facts& f = m.decoded->facts;
      j.key("size")
          .value(static_cast<unsigned long long>(f.size))
          .key("generation")
          .value(unsigned{generation(f.generation)});
      j.key("module_type")
          .value(f.module_type)
          .key("capacity_mb")
          .value(f.capacity_mb)
          .key("data_rate")
          .value(f.data_rate);
      j.key("tck_ps").value(f.tck_ps).key("module_maker").value(maker_text(f.module_maker));
      j.key("part_number").value(f.part_number).key("serial_number").value(f.serial_number);
      j.key("checksums_ok").value(m.wrong_checksums.empty()).key("saved");
      if (m.saved)
        j.value(*m.saved);
      else
        j.null();
    }
    j.end();
  }
  j.end().end();
  return j.text();
}

// Saves each SPD as a new file in `folder`. A file already there is never replaced: the same
// bytes are taken as saved before, other bytes send the image to the module's next name.
std::vector<std::string> save_all(const std::string& folder, std::vector<Module>& modules) {
  std::vector<std::string> refused;
  bool made = false;
  for (auto& m : modules) {
    if (!m.decoded) continue;
    if (!made) {
      std::error_code error;
      std::filesystem::create_directories(file_path(folder), error);
      if (error) return {fmt::format("无法建立文件夹 {}: {}", folder, system_error_text(error))};
      made = true;
    }
    const auto& bytes = *m.eeprom->bytes;
    std::optional<std::string> failed;
    for (const auto& name : file_names(m.decoded->facts, *m.eeprom)) {
      const std::u8string joined = (file_path(folder) / name).u8string();
      const std::string path(joined.begin(), joined.end());
      const auto saved = save_new_image(path, bytes);
      if (saved) {
        m.saved = path;
        break;
      }
      if (!path_exists(path)) {
        failed = fmt::format("写入 {} 失败: {}", path, saved.error());
        break;
      }
      if (const auto before = read_image(path, kLargestEeprom + 1); before && *before == bytes) {
        m.saved = path;
        m.saved_before = true;
        break;
      }
      m.passed_over.push_back(name);
    }
    if (!m.saved)
      refused.push_back(
          failed.value_or(fmt::format("{}的映像没有保存：以它命名的文件都已存在，内容不同", place(*m.eeprom))));
  }
  return refused;
}

}  // namespace

Result<> run_host(const HostArgs& args) {
  const auto found = installed_eeproms(args.sysfs, kLargestEeprom);
  if (!found) {
    return std::unexpected(
        DeviceError::other("Windows 上无法读取已安装的内存条：读取主板上的 SMBus 需要内核驱动，dimmwand 不带驱动")
            .note("提示: 用编程器读取内存条（dimmwand read），或在 Linux 上运行 dimmwand-spd host"));
  }
  if (found->drivers.empty()) {
    return std::unexpected(DeviceError::other(fmt::format("没有加载读取内存条 SPD 的内核驱动（{} 下没有 {}）",
                                                          found->drivers_folder, fmt::join(kSpdDrivers, "、")))
                               .note(fmt::format("提示: {}；之后再运行 dimmwand-spd host", modprobe_hint({}))));
  }
  if (found->eeproms.empty()) {
    const std::string hint = modprobe_hint(found->drivers);
    return std::unexpected(
        DeviceError::other(
            fmt::format("已加载 {}，但没有内存条的 EEPROM（地址 0x50-0x57）由它读取", fmt::join(found->drivers, "、")))
            .note(fmt::format(
                "提示: {}{}内核在 SMBus 驱动（Intel: i2c-i801，AMD: i2c-piix4）加载后才登记内存条的 EEPROM；"
                "老内核上可手动登记，例如 echo ee1004 0x50 | sudo tee /sys/bus/i2c/devices/i2c-0/new_device",
                hint, hint.empty() ? "" : "；")));
  }

  std::vector<Module> modules;
  for (const auto& e : found->eeproms) {
    Module m{&e, std::nullopt, {}, {}, std::nullopt, false, {}};
    if (e.bytes) {
      const std::uint8_t key = e.bytes->size() > kKeyByte ? (*e.bytes)[kKeyByte] : 0;
      if (auto g = identify(*e.bytes, std::nullopt); !g) {
        // Another EEPROM on the bus (a board's or a display's) has no memory type at all.
        m.not_spd =
            generation_of_key(key)
                ? g.error().display()
                : fmt::format("{} 字节，字节 2 为 0x{:02X}，不是 DDR3、DDR4、DDR5 的内存类型", e.bytes->size(), key);
      } else {
        m.decoded = decode(*e.bytes, *g);
        for (const auto& c : checksums(*e.bytes, *g)) {
          if (!c.ok()) m.wrong_checksums.push_back(c.name);
        }
      }
    }
    modules.push_back(std::move(m));
  }
  const auto refused = args.save ? save_all(*args.save, modules) : std::vector<std::string>{};

  if (args.json) {
    fmt::print("{}\n", document(args, *found, modules));
  } else {
    for (const auto& m : modules) {
      fmt::print("{}\n", line_of(m));
      if (m.saved) {
        fmt::print("  {}: {}{}\n", m.saved_before ? "已有同样的映像" : "已保存", *m.saved,
                   m.passed_over.empty() ? "" : fmt::format("（{} 已存在，内容不同）", fmt::join(m.passed_over, "、")));
      }
    }
  }
  const auto unreadable = static_cast<std::size_t>(
      std::count_if(modules.begin(), modules.end(), [](const Module& m) { return !m.eeprom->bytes; }));
  if (unreadable > 0) {
    auto e = DeviceError::other(fmt::format("{} 个 EEPROM 无法读取", unreadable))
                 .note("提示: at24 与 spd5118 的 eeprom 文件通常只有 root 可读：用 sudo dimmwand-spd host");
    for (const auto& r : refused) e.note(r);
    return std::unexpected(std::move(e));
  }
  if (!refused.empty()) {
    auto e = DeviceError::other(refused.front());
    for (std::size_t i = 1; i < refused.size(); ++i) e.note(refused[i]);
    return std::unexpected(std::move(e));
  }
  return {};
}

}  // namespace dimmwand::spd
