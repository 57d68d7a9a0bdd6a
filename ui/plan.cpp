#include "plan.hpp"

#include <fmt/format.h>

#include <array>
#include <utility>

#include "commands/write_plan.hpp"
#include "model/hub.hpp"
#include "spd/decode.hpp"
#include "spd/module_text.hpp"

namespace dimmwand::ui {

std::optional<DeviceType> device_of(unsigned g) {
  if (g < 3 || g > 5) return std::nullopt;
  return static_cast<DeviceType>(g);
}

std::optional<std::string> bad_target(const Target& t) {
  if (t.port.empty()) return "请先选择或输入串口";
  if (!device_of(t.generation)) return "代数须为 3、4 或 5";
  if (t.area != "spd" && t.area != "reg") return "数据区须为 SPD 或 REG";
  if (t.area == "reg" && t.generation != 5) return "REG 区仅适用于 DDR5";
  return std::nullopt;
}

std::string Identity::text() const {
  if (!known) return "无法识别";
  std::string s = maker;
  for (const auto* part_of : {&part, &serial}) {
    if (!part_of->empty()) s += (s.empty() ? "" : " ") + *part_of;
  }
  return s.empty() ? "未记录" : s;
}

Json Identity::json() const {
  return Json{{"known", known}, {"maker", maker}, {"part", part}, {"serial", serial}, {"text", text()}};
}

Identity identity_of(const Bytes& spd, DeviceType g) {
  if (spd.size() != spd_size(g) || spd[kKeyByte] != key_byte(g)) return {};
  const auto d = spd::decode(spd, g);
  return Identity{true, spd::maker_text(d.facts.module_maker), d.facts.part_number, d.facts.serial_number};
}

GenerationJudgement judge_generation(std::uint8_t key, DeviceType chosen) {
  const auto module = generation_of_key(key);
  if (!module) {
    return {std::nullopt,
            fmt::format("模块的字节 2（内存类型）为 0x{:02X}，不是 DDR3、DDR4 或 DDR5：可能是空白或损坏的模块", key)};
  }
  if (*module == chosen) return {};
  return {
      fmt::format("模块的字节 2（内存类型）为 0x{:02X}：插着的是 DDR{} 内存条，所选的是 DDR{}，读出的字节不是它的内容；"
                  "请选 DDR{} 再读取",
                  key, generation(*module), generation(chosen), generation(*module)),
      std::nullopt};
}

namespace {

// What the plan says of the hub's block protection (DDR5 SPD only), from registers that name a hub.
std::string protection_text(const std::optional<Bytes>& registers) {
  if (!registers) return "";
  if (!hub::is_spd5118(*registers)) {
    return fmt::format("REG 区不是 SPD5118 集线器的寄存器（MR0-MR1 = {:02X} {:02X}），无法判断块写保护",
                       (*registers)[hub::kDeviceTypeHigh], (*registers)[hub::kDeviceTypeLow]);
  }
  const auto blocks = hub::protected_blocks(*registers);
  if (blocks == 0) return "SPD 集线器：没有受写保护的块";
  return fmt::format("SPD 集线器：块 {} 受写保护（每块 {} 字节），计划不写其中的字节", hub::block_list(blocks),
                     hub::kBlockSize);
}

}  // namespace

std::expected<Plan, std::string> make_plan(const std::string& kind, const Target& t, const Bytes& image, Bytes base,
                                           std::optional<Bytes> registers, const std::string& backup_dir) {
  const auto planned = plan_write(image, base, registers);
  if (!planned) return std::unexpected(page_words(planned.error().display()));
  Plan p;
  p.kind = kind;
  p.target = t;
  p.image = image;
  p.addresses = planned->addresses;
  const auto g = *device_of(t.generation);
  Json shown{{"kind", kind},
             {"port", t.port},
             {"generation", t.generation},
             {"area", t.area},
             {"bytes", p.addresses.size()},
             {"addresses", p.addresses},
             {"unchanged", planned->unchanged},
             {"protection", protection_text(registers)},
             {"backup_dir", backup_dir}};
  if (t.area == "spd") {
    // The module named by the bytes the image carries: another module's is a clone.
    const auto module = identity_of(base, g), from = identity_of(image, g);
    p.other_module = !(module.known && module == from);
    shown["module"] = module.json();
    shown["image_identity"] = from.json();
  }
  shown["other_module"] = p.other_module;
  p.shown = std::move(shown);
  p.base = std::move(base);
  p.registers = std::move(registers);
  return p;
}

bool still_holds(const Plan& plan, const Bytes& now) {
  if (now.size() != plan.base.size()) return false;
  if (plan.target.area == "spd") return now == plan.base;
  if (!hub::same_registers(plan.base, now)) return false;
  for (const auto a : plan.addresses) {
    if (now[a] != plan.base[a]) return false;
  }
  return true;
}

std::string page_words(std::string text) {
  // Each console clause, and what the page says instead (empty: the page asks in a step of its own).
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kClauses{{
      {"；确认要这样做时加 --force", ""},
      {"（已用 --accept-voltage 确认）", "（已在页面上确认）"},
      {"；dimmwand-spd fix 可以重算校验和", "；“修正校验和”可以重算校验和"},
      {"先用 dimmwand-spd check 查明原因", "先在“检查”中查明原因"},
      {"，确要设置请加 --protect", "，页面不设置块写保护"},
      {"命令行给的是", "所选的是"},
  }};
  for (const auto& [console, page] : kClauses) {
    for (std::size_t at; (at = text.find(console)) != std::string::npos;) text.replace(at, console.size(), page);
  }
  // "确认主板会设定 1.35 V 时加 --accept-voltage": the page asks for the confirmation itself.
  if (const auto at = text.find("确认主板会设定"); at != std::string::npos) {
    const auto end = text.find("时加 --accept-voltage", at);
    if (end != std::string::npos) text.erase(at, end + std::string_view("时加 --accept-voltage").size() - at);
  }
  // The console's line for writing the backup back: the page has its own button.
  for (std::size_t at; (at = text.find("，写回: dimmwand write")) != std::string::npos;) {
    const auto end = text.find('\n', at);
    text.replace(at, (end == std::string::npos ? text.size() : end) - at, "；可用“写回备份”写回");
  }
  return text;
}

}  // namespace dimmwand::ui
