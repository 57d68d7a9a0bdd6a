#include "image_api.hpp"

#include <fmt/format.h>

#include <cctype>
#include <string_view>

#include "image/text_chars.hpp"
#include "image/text_dump.hpp"
#include "model/blocks.hpp"
#include "plan.hpp"
#include "spd/decode.hpp"
#include "spd/edit.hpp"
#include "spd/fields.hpp"
#include "spd/image.hpp"
#include "spd/kit.hpp"
#include "spd/registers.hpp"
#include "spd/settable.hpp"
#include "spd/strict.hpp"

namespace dimmwand::ui {
namespace {

constexpr std::size_t kLargestUpload = 64 * 1024;
// A rate of each generation for the examples of a refusal: DDR3-1600, DDR4-3200, DDR5-4800.
constexpr unsigned kExampleRate[6] = {0, 0, 0, 1600, 3200, 4800};

Json error(std::string text) { return Json{{"error", std::move(text)}}; }

Json field_json(const spd::Field& f) {
  return Json{{"offset", f.offset},
              {"length", f.length},
              {"mask", f.mask},
              {"key", std::string(f.key)},
              {"name", std::string(f.name)}};
}

Json checksums_json(const std::vector<spd::Checksum>& all) {
  Json out = Json::array();
  for (const auto& c : all) {
    out.push_back({{"name", c.name},
                   {"from", c.from},
                   {"to", c.to},
                   {"at", c.at},
                   {"stored", c.stored},
                   {"computed", c.computed},
                   {"ok", c.ok()}});
  }
  return out;
}

Json lines_json(const spd::InfoLines& lines) {
  Json out = Json::array();
  for (const auto& [label, value] : lines) out.push_back(Json::array({label, value}));
  return out;
}

Json profiles_json(const std::vector<spd::Profile>& profiles) {
  Json out = Json::array();
  for (const auto& p : profiles) {
    Json times = Json::object();
    for (const auto& t : p.times)
      times[std::string(t.key)] = {{"label", std::string(t.label)}, {"ps", t.ps}, {"clocks", t.clocks}};
    Json volts = Json::object();
    for (const auto& v : p.voltages) volts[std::string(v.key)] = {{"label", std::string(v.label)}, {"volts", v.volts}};
    out.push_back({{"kind", std::string(model::label_of(p.kind))},
                   {"id", model::profile_id(p.kind, p.number)},
                   {"number", p.number},
                   {"name", p.name},
                   {"rate", p.data_rate},
                   {"tck_ps", p.tck_ps},
                   {"cl", p.clocks.cl},
                   {"trcd", p.clocks.trcd},
                   {"trp", p.clocks.trp},
                   {"tras", p.clocks.tras},
                   {"cas", p.cas},
                   {"times", times},
                   {"voltages", volts},
                   {"command_rate", p.command_rate}});
  }
  return out;
}

// The bytes a settable value lives in: its coarse field, the high nibble and the fine correction.
Json settable_offsets(const spd::Settable& s) {
  Json out = Json::array();
  const auto add = [&](const spd::Field& f) {
    for (std::size_t i = 0; i < f.length; ++i) out.push_back(f.offset + i);
  };
  add(s.field);
  if (s.high) add(*s.high);
  if (s.fine) add(*s.fine);
  for (const auto& [at, bit] : s.enable_bits) out.push_back(at);
  return out;
}

Json edited_json(const spd::Edited& e, DeviceType g) {
  Json fields = Json::array();
  for (const auto& f : e.fields) {
    fields.push_back(
        {{"key", f.key}, {"name", f.name}, {"old", f.old_value}, {"new", f.new_value}, {"bytes", f.bytes}});
  }
  Json notes = Json::array();
  for (const auto& n : e.notes) notes.push_back(page_words(n));
  return Json{{"image", to_hex(e.image)},
              {"generation", generation(g)},
              {"fields", fields},
              {"checksums", checksums_json(e.checksums)},
              {"notes", notes},
              {"warnings", e.warnings},
              {"analysis", analyse(e.image)}};
}

// A refusal the page shows; `confirm` names the step that may overrule it.
Json refusal(const std::string& text, const char* confirm = nullptr) {
  Json out{{"error", page_words(text)}};
  if (confirm != nullptr) out["confirm"] = confirm;
  return out;
}

// A request whose fields have the wrong JSON types: the server answers it with 400.
Json malformed(const std::string& text) { return Json{{"error", text}, {"malformed", true}}; }

// A true or false field of the request; absent is false.
std::optional<bool> flag(const Json& request, const char* key) {
  const auto it = request.find(key);
  if (it == request.end()) return false;
  if (!it->is_boolean()) return std::nullopt;
  return it->get<bool>();
}

std::optional<std::string> text_field(const Json& request, const char* key) {
  const auto it = request.find(key);
  if (it == request.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

Json analyse_registers(const Bytes& image) {
  const auto lines = lines_json(spd::describe_registers(image));
  return Json{{"area", "reg"},
              {"generation", 5},
              {"size", image.size()},
              {"layout", Json::array()},
              {"checksums", Json::array()},
              {"summary", lines},
              {"sections", Json::array({Json{{"title", "SPD 集线器寄存器"}, {"lines", lines}}})},
              {"profiles", Json::array()},
              {"strict", Json::array()},
              {"settables", Json::array()}};
}

// The checksums made right, as dimmwand-spd fix makes them.
spd::Edited fixed(const Bytes& image, DeviceType g) {
  spd::Edited e;
  e.image = image;
  e.checksums = spd::fix_checksums(e.image, g);
  if (e.checksums.empty()) e.notes.push_back("校验和均正确，未作修改");
  e.warnings = spd::strict_warnings(e.image, g);
  return e;
}

}  // namespace

std::string to_hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const auto b : bytes) out += fmt::format("{:02x}", b);
  return out;
}

bool from_hex(const std::string& hex, Bytes& out) {
  if (hex.size() % 2 != 0 || hex.size() > 2 * kLargestUpload) return false;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  return true;
}

Json open_upload(std::span<const std::uint8_t> file) {
  if (file.empty()) return error("文件为空");
  if (image::as_text(file)) {
    auto text = image::read_text_dump(file);
    if (!text)
      return error(
          "文件是文本，认不出其中的十六进制转储（认得 dimmwand read、i2cdump、hexdump -C、xxd "
          "的输出和十六进制字节），不是映像");
    if (!*text) return error(fmt::format("文件是文本，{}", image::unparsed_text(text->error())));
    return Json{{"image", to_hex((*text)->bytes)}, {"form", std::string(image::form_name((*text)->form))}};
  }
  if (file.size() > kLargestUpload) return error("文件大于 64 KiB，不是 SPD 映像");
  return Json{{"image", to_hex(file)}};
}

Json analyse(const Bytes& image) {
  if (image.size() == kRegAreaSize) return analyse_registers(image);
  const auto g = spd::identify(image, std::nullopt);
  if (!g) return error(g.error().display());
  Json layout = Json::array();
  for (const auto& f : spd::layout_of(*g)) layout.push_back(field_json(f));
  const auto d = spd::decode(image, *g);
  Json sections = Json::array();
  for (const auto& s : d.sections) sections.push_back({{"title", s.title}, {"lines", lines_json(s.lines)}});
  Json settables = Json::array();
  for (const auto& s : spd::settables(image, *g)) {
    settables.push_back({{"key", s.key},
                         {"name", s.name},
                         {"unit", spd::unit_of(s)},
                         {"range", spd::range_of(s)},
                         {"value", spd::read_value(image, s)},
                         {"offsets", settable_offsets(s)}});
  }
  return Json{{"area", "spd"},
              {"generation", generation(*g)},
              {"size", image.size()},
              {"layout", layout},
              {"checksums", checksums_json(spd::checksums(image, *g))},
              {"summary", lines_json(spd::summary(d))},
              {"sections", sections},
              {"profiles", profiles_json(d.facts.profiles)},
              {"strict", spd::strict_warnings(image, *g)},
              {"settables", settables}};
}

Json edit(const Bytes& image, const Json& request) {
  if (image.size() == kRegAreaSize) return refusal("REG 区映像没有可修改的 SPD 字段");
  const auto g = spd::identify(image, std::nullopt);
  if (!g) return error(g.error().display());
  const auto op = text_field(request, "op").value_or("");
  std::expected<spd::Edited, std::string> done = std::unexpected(std::string("未知的修改"));
  if (op == "set") {
    const auto key = text_field(request, "key"), value = text_field(request, "value");
    const auto faster = flag(request, "faster");
    if (!key || !value || !faster) return malformed("修改请求应带字段名与值（文本）");
    done = spd::edit_set(image, *g, {*key + "=" + *value}, *faster);
    // Refused only for a base rate above the module's own: the page asks the user.
    if (!done && !*faster && spd::edit_set(image, *g, {*key + "=" + *value}, true))
      return refusal(done.error(), "faster");
  } else if (op == "rebin") {
    const Json typed = request.contains("speed") ? request["speed"] : Json();
    if (!typed.is_number() && !typed.is_string()) return malformed("降速请求中的 speed 应为数字或文本");
    const auto speed = typed_speed(typed);
    if (!speed)
      return refusal(
          fmt::format("速率应写成数字，如 {0}、DDR{1}-{0} 或 {0}MHz", kExampleRate[generation(*g)], generation(*g)));
    done = spd::edit_rebin(image, *g, *speed);
  } else if (op == "promote") {
    const auto profile = text_field(request, "profile");
    const auto accept = flag(request, "accept_voltage");
    if (!profile || !accept) return malformed("设为基本配置的请求应带配置名（文本）");
    done = spd::edit_promote(image, *g, *profile, *accept);
    // Refused only for its voltage: the page asks the user, as the console's option does.
    if (!done && !*accept && spd::edit_promote(image, *g, *profile, true)) return refusal(done.error(), "voltage");
  } else if (op == "fix") {
    done = fixed(image, *g);
  }
  if (!done) return refusal(done.error());
  return edited_json(*done, *g);
}

std::optional<unsigned> typed_speed(const Json& value) {
  if (value.is_number_unsigned()) {
    const auto n = value.get<std::uint64_t>();
    return n > 0 && n < 100000 ? std::optional(static_cast<unsigned>(n)) : std::nullopt;
  }
  if (!value.is_string()) return std::nullopt;
  std::string_view s = value.get_ref<const std::string&>();
  const auto trim = [&s] {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  };
  const auto cut_prefix = [&s](std::string_view p) {
    if (s.size() < p.size()) return false;
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(s[i])) != p[i]) return false;
    }
    s.remove_prefix(p.size());
    return true;
  };
  const auto cut_suffix = [&s](std::string_view p) {
    if (s.size() < p.size()) return false;
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(s[s.size() - p.size() + i])) != p[i]) return false;
    }
    s.remove_suffix(p.size());
    return true;
  };
  trim();
  // "DDR4-2133": the rate's name (the generation is the image's own, the prefix only its spelling).
  if (cut_prefix("DDR")) {
    if (s.size() < 2 || s[0] < '3' || s[0] > '5' || s[1] != '-') return std::nullopt;
    s.remove_prefix(2);
  }
  if (!cut_suffix("MT/S")) cut_suffix("MHZ");
  trim();
  if (s.empty() || s.size() > 5) return std::nullopt;
  unsigned n = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  return n > 0 ? std::optional(n) : std::nullopt;
}

Json compare(const Bytes& a, const Bytes& b) {
  std::optional<DeviceType> g;
  if (auto ga = spd::identify(a, std::nullopt))
    g = *ga;
  else if (auto gb = spd::identify(b, std::nullopt))
    g = *gb;
  Json runs = Json::array();
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < common;) {
    if (a[i] == b[i]) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end + 1 < common && a[end + 1] != b[end + 1]) ++end;
    runs.push_back({{"from", i}, {"to", end}, {"fields", g ? spd::field_names(a, b, *g, i, end) : std::string()}});
    differing += end - i + 1;
    i = end + 1;
  }
  return Json{{"runs", runs}, {"bytes", differing}, {"same_size", a.size() == b.size()}};
}

Json kit(const std::vector<std::pair<std::string, Bytes>>& images) {
  std::vector<std::string> names;
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const auto& [name, image] : images) {
    // Each image is judged as it comes, as the console judges each file as it reads it.
    if (auto g = spd::kit_generation(name, image); !g) return Json{{"text", ""}, {"error", g.error().display()}};
    names.push_back(name);
    bytes.push_back(image);
  }
  std::string text;
  const auto verdict = spd::kit_report(names, bytes, text);
  Json out{{"text", text}};
  if (!verdict) out["error"] = verdict.error().display();
  return out;
}

std::string dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace dimmwand::ui
