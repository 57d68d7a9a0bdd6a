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
Json error(std::string text) { return Json{{"error", std::move(text)}}; }

Json field_json(const spd::Field& f) {
  return Json{{"offset", f.offset},
              {"length", f.length},
              {"mask", f.mask},
              {"key", std::string(f.key)},
              {"name", std::string(f.name)}};
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

}  // namespace

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
