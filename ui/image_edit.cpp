// The edits the page asks for, made by the library dimmwand-spd uses, in the page's words.
#include "image_api.hpp"

#include <fmt/format.h>

#include <cctype>
#include <string_view>

#include "plan.hpp"
#include "spd/edit.hpp"
#include "spd/image.hpp"
#include "spd/strict.hpp"

namespace dimmwand::ui {
namespace {

// A rate of each generation for the examples of a refusal: DDR3-1600, DDR4-3200, DDR5-4800.
constexpr unsigned kExampleRate[6] = {0, 0, 0, 1600, 3200, 4800};

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

Json edit(const Bytes& image, const Json& request) {
  if (image.size() == kRegAreaSize) return refusal("REG 区映像没有可修改的 SPD 字段");
  const auto g = spd::identify(image, std::nullopt);
  if (!g) return refusal(g.error().display());
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

}  // namespace dimmwand::ui
