#include "spd/commands.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "model/hub.hpp"
#include "platform/image_file.hpp"
#include "spd/fields.hpp"
#include "spd/input.hpp"
#include "spd/kit.hpp"
#include "spd/image.hpp"
#include "spd/documents.hpp"
#include "spd/decode.hpp"
#include "spd/registers.hpp"
#include "spd/strict.hpp"
#include "text/utf8.hpp"

namespace dimmwand::spd {
namespace {

constexpr std::size_t kBytesShown = 32;  // of one run of differences
// What a data area can hold: the DDR5 REG area, the DDR3 SPD, the DDR4 SPD, the DDR5 SPD.
constexpr std::array<std::size_t, 4> kAreaSizes{kRegAreaSize, spd_size(DeviceType::DDR3), spd_size(DeviceType::DDR4),
                                                spd_size(DeviceType::DDR5)};

// A REG-area image: so said with -t reg (then it must be one), or a 128-byte file of which
// nothing else was said.
Result<bool> is_register_image(const ImageArgs& args, std::size_t size) {
  if (args.mode == DataMode::Reg) {
    if (args.device && args.device != DeviceType::DDR5) {
      return std::unexpected(DeviceError::other(fmt::format("-t 仅适用于 D5（当前 D{}）", generation(*args.device))));
    }
    if (size != kRegAreaSize) {
      return std::unexpected(
          DeviceError::other(fmt::format("REG 区映像为 {} 字节，文件有 {} 字节", kRegAreaSize, size)));
    }
    return true;
  }
  return !args.mode && !args.device && size == kRegAreaSize;
}

constexpr std::string_view kRegisterIdentity = "DDR5 REG 区（SPD 集线器寄存器），128 字节";

std::string describe_identity(DeviceType g, std::size_t size, bool given) {
  return fmt::format("DDR{} SPD，{} 字节（{}）", generation(g), size,
                     given ? "按命令行给出的类型" : "由大小与内存类型字节判断");
}

std::string checksum_line(const Checksum& c) {
  return fmt::format("{}: 字节 {}-{}，存于 {}-{}: 存储 0x{:04X}，计算 0x{:04X}，{}", c.name, c.from, c.to, c.at,
                     c.at + 1, c.stored, c.computed, c.ok() ? "正确" : "错误");
}

std::string bytes_text(std::span<const std::uint8_t> bytes) {
  const auto shown = bytes.first(std::min(bytes.size(), kBytesShown));
  std::string s = fmt::format("{:02X}", fmt::join(shown, " "));
  if (shown.size() < bytes.size()) s += " …";
  return s;
}

}  // namespace

Result<> run_check(const ImageArgs& args) {
  auto image = load_image(args.file);
  if (!image) return std::unexpected(std::move(image.error()));
  const auto reg = is_register_image(args, image->size());
  if (!reg) return std::unexpected(reg.error());
  if (*reg) {
    if (args.json)
      fmt::print("{}\n", check_document(args.file, *image, std::nullopt));
    else
      fmt::print("{}\nREG 区不带校验和，无需检查\n", kRegisterIdentity);
    return {};
  }
  const auto g = identify(*image, args.device);
  if (!g) return std::unexpected(g.error());
  const auto sums = checksums(*image, *g);
  const auto wrong =
      static_cast<std::size_t>(std::count_if(sums.begin(), sums.end(), [](const Checksum& c) { return !c.ok(); }));
  const auto warnings = args.strict ? strict_warnings(*image, *g) : std::vector<std::string>{};
  if (args.json) {
    fmt::print("{}\n", check_document(args.file, *image, *g, args.strict ? &warnings : nullptr));
  } else {
    fmt::print("{}\n", describe_identity(*g, image->size(), args.device.has_value()));
    for (const auto& c : sums) fmt::print("{}\n", checksum_line(c));
    for (const auto& b : skipped_blocks(*image, *g)) fmt::print("{}: {}\n", b.name, b.reason);
    // The consistency rules only warn: a module may be built that way on purpose.
    for (const auto& w : warnings) fmt::print("警告: {}\n", w);
    if (args.strict && warnings.empty()) fmt::print("一致性检查: 没有发现问题\n");
  }
  if (wrong > 0) return std::unexpected(DeviceError::other(fmt::format("{} 个校验和不正确", wrong)));
  return {};
}

Result<> run_fix(const ImageArgs& args, const std::string& out, bool force) {
  auto image = load_image(args.file);
  if (!image) return std::unexpected(std::move(image.error()));
  const auto reg = is_register_image(args, image->size());
  if (!reg) return std::unexpected(reg.error());
  if (*reg) return std::unexpected(DeviceError::other("REG 区映像不带校验和，没有可修正的内容；未写入文件"));
  const auto g = identify(*image, args.device);
  if (!g) return std::unexpected(g.error());
  std::error_code ignored;
  if (std::filesystem::equivalent(file_path(args.file), file_path(out), ignored)) {
    return std::unexpected(DeviceError::other("输出文件不能是输入文件：fix 从不改写原映像"));
  }
  // As the edits do: a file that stands at -o (often a backup) is only replaced on request.
  const auto changed = fix_checksums(*image, *g);
  if (auto saved = save_output(out, *image, force); !saved) return saved;
  for (const auto& c : changed) fmt::print("已修正 {}: 0x{:04X} → 0x{:04X}\n", c.name, c.stored, c.computed);
  if (changed.empty()) fmt::print("校验和均正确，未作修改\n");
  fmt::print("已保存 {} 字节: {}\n", image->size(), out);
  return {};
}

Result<> run_info(const ImageArgs& args) {
  auto image = load_image(args.file);
  if (!image) return std::unexpected(std::move(image.error()));
  const auto reg = is_register_image(args, image->size());
  if (!reg) return std::unexpected(reg.error());
  std::vector<InfoSection> sections;
  if (*reg) {
    sections.push_back({"SPD 集线器寄存器", describe_registers(*image)});
    if (args.json) {
      fmt::print("{}\n", registers_document(args.file, *image, sections));
      return {};
    }
  } else {
    const auto g = identify(*image, args.device);
    if (!g) return std::unexpected(g.error());
    // One decode; the summary, the full listing and the JSON document are its views.
    const Decode d = decode(*image, *g);
    if (args.all)
      sections = d.sections;
    else
      sections.push_back({"概要", summary(d)});
    if (args.json) {
      fmt::print("{}\n", info_document(args.file, d, sections));
      return {};
    }
  }
  for (std::size_t i = 0; i < sections.size(); ++i) {
    if (args.all) fmt::print("{}== {} ==\n", i == 0 ? "" : "\n", sections[i].title);
    for (const auto& [label, value] : sections[i].lines) fmt::print("{}: {}\n", label, value);
  }
  return {};
}

Result<bool> run_diff(const std::string& a_path, const std::string& b_path, bool json) {
  auto a = load_image(a_path);
  if (!a) return std::unexpected(std::move(a.error()));
  auto b = load_image(b_path);
  if (!b) return std::unexpected(std::move(b.error()));
  // Field names follow the first image that can be identified.
  std::optional<DeviceType> g;
  if (auto ga = identify(*a, std::nullopt))
    g = *ga;
  else if (auto gb = identify(*b, std::nullopt))
    g = *gb;

  std::vector<DiffRun> runs;
  const std::size_t common = std::min(a->size(), b->size());
  for (std::size_t i = 0; i < common;) {
    if ((*a)[i] == (*b)[i]) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end + 1 < common && (*a)[end + 1] != (*b)[end + 1]) ++end;
    runs.push_back({i, end, g ? field_names(*a, *b, *g, i, end) : std::string()});
    i = end + 1;
  }
  const bool same = runs.empty() && a->size() == b->size();
  if (json) {
    fmt::print("{}\n", diff_document(a_path, *a, b_path, *b, runs));
    return !same;
  }
  const unsigned digits = std::max<std::size_t>(a->size(), b->size()) > 0x1000 ? 5 : 3;
  std::size_t differing = 0;
  for (const auto& r : runs) {
    const auto old_bytes = std::span(*a).subspan(r.from, r.to - r.from + 1);
    const auto new_bytes = std::span(*b).subspan(r.from, r.to - r.from + 1);
    const std::string place = r.from == r.to ? fmt::format("0x{:0{}X}", r.from, digits)
                                             : fmt::format("0x{:0{}X}-0x{:0{}X}", r.from, digits, r.to, digits);
    fmt::print("{}{}: {} → {}\n", place, r.fields.empty() ? "" : fmt::format(" ({})", r.fields), bytes_text(old_bytes),
               bytes_text(new_bytes));
    differing += r.to - r.from + 1;
  }
  if (a->size() != b->size()) {
    fmt::print("大小不同: {} 为 {} 字节，{} 为 {} 字节\n", a_path, a->size(), b_path, b->size());
  }
  if (same) {
    fmt::print("两个映像相同\n");
    return false;
  }
  fmt::print("共 {} 处不同，{} 字节\n", runs.size(), differing);
  return true;
}

namespace {

// A converted image is a whole area: of a data area's size, and of its own generation's when its
// key byte names one (a DDR4 dump cut at 256 bytes is no DDR3 image). A hub's register file is
// told by its device type: its byte 2 is a register.
Result<> whole_area(std::span<const std::uint8_t> image) {
  const auto refused = [](std::string what) {
    return std::unexpected(
        DeviceError::other(std::move(what) + "；未写入文件").note("提示: 确实只要这些字节时加 --any-size"));
  };
  const std::size_t size = image.size();
  if (std::find(kAreaSizes.begin(), kAreaSizes.end(), size) == kAreaSizes.end()) {
    return refused(fmt::format("读出 {} 字节，不是任何数据区的大小（{} 字节）", size, fmt::join(kAreaSizes, "、")));
  }
  if (size == kRegAreaSize && hub::is_spd5118(image)) return {};
  const auto* type = memory_type(image[kKeyByte]);
  if (type == nullptr || !type->area || spd_size(*type->area) == size) return {};
  const std::size_t whole = spd_size(*type->area);
  return refused(fmt::format("读出 {} 字节，但字节 2 = 0x{:02X} 说明是 {} 的 SPD（{} 字节），{} {} 字节", size,
                             type->key, type->name, whole, size < whole ? "少" : "多",
                             size < whole ? whole - size : size - whole));
}

}  // namespace

Result<> run_convert(const std::string& in, const std::string& out, bool any_size) {
  const bool to_stdout = out == "-";
  // Refused before anything is read: the file that stands there stays as it is.
  if (!to_stdout && path_exists(out))
    return std::unexpected(DeviceError::other(fmt::format("输出文件已存在: {}（convert 从不覆盖文件）", out)));
  if (to_stdout) {
    if (auto ok = stdout_takes_image(); !ok) return ok;
  }
  auto image = load_image(in);
  if (!image) return std::unexpected(std::move(image.error()));
  if (image->empty()) return std::unexpected(DeviceError::other("文件为空"));
  // A dump that lost or gained lines comes out at a size no module has, or at another
  // generation's size: caught here, before it is saved as an image that looks like any other.
  if (!any_size) {
    if (auto whole = whole_area(*image); !whole) return std::unexpected(std::move(whole.error()));
  }
  if (to_stdout) return write_image_to_stdout(*image);
  if (auto saved = save_new_image(out, *image); !saved) {
    if (path_exists(out))
      return std::unexpected(DeviceError::other(fmt::format("输出文件已存在: {}（convert 从不覆盖文件）", out)));
    return std::unexpected(DeviceError::file(FileFailure::Action::Write, out, saved.error()));
  }
  fmt::print("已保存 {} 字节: {}\n", image->size(), out);
  return {};
}

Result<> run_kit(const std::vector<std::string>& files) {
  std::vector<std::vector<std::uint8_t>> images;
  for (const auto& file : files) {
    auto image = load_image(file);
    if (!image) return std::unexpected(std::move(image.error()));
    // Each file is judged as it is read: the first that is no SPD is named before a later one is read.
    if (auto g = kit_generation(file, *image); !g) return std::unexpected(std::move(g.error()));
    images.push_back(std::move(*image));
  }
  std::string text;
  auto verdict = kit_report(files, images, text);
  fmt::print("{}", text);
  return verdict;
}

}  // namespace dimmwand::spd
