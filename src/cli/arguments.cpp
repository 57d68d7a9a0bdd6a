#include "cli/arguments.hpp"

#include <fmt/format.h>

#include "cli/common.hpp"
#include "cli/hex.hpp"
#include "cli/parse_support.hpp"
#include "text/utf8.hpp"

namespace dimmwand::cli {
namespace {

template <typename Convert>
CLI::Validator hex_value(Convert convert, std::string_view value_name) {
  return {[convert, value_name](std::string& v) -> std::string {
            if (!text::is_valid_utf8(v)) return fmt::format("invalid UTF-8 was detected in '<{}>'", value_name);
            auto converted = convert(v);
            if (converted) return {};
            return fmt::format("invalid value '{}' for '<{}>': {}", v, value_name, converted.error());
          },
          ""};
}

Missing missing(std::string_view id) { return fmt::format("the following required argument was not provided: {}", id); }

template <typename Convert>
auto hex_of(const CLI::App& sub, std::string_view id, Convert convert)
    -> Converted<typename decltype(convert(std::string_view{}))::value_type> {
  auto typed = text_of(sub, id, id);
  if (!typed) return std::unexpected(typed.error());
  auto v = convert(*typed);
  if (!v) return std::unexpected(v.error());
  return *v;
}

}  // namespace

CLI::Option* positional(CLI::App& sub, const char* id, const char* value_name, const char* help) {
  return sub.add_option(id)->description(help)->required()->type_name(value_name);
}

void add_port_and_device(CLI::App& sub) {
  positional(sub, "port", "PORT", "串口号，如 COM3")->check(utf8_text("PORT"));
  positional(sub, "device", "DEVICE", "DDR 类型: 3 | 4 | 5")->check(one_of(kDeviceValues, "DEVICE", false));
}

void add_mode(CLI::App& sub) {
  sub.add_option("-t")
      ->description("数据模式（仅 D5 可用，缺省 SPD）")
      ->type_name("MODE")
      ->check(one_of(kModeValues, "MODE", true));
}

CLI::Option* add_hex(CLI::App& sub, const char* id, const char* value_name, const char* help, bool byte) {
  return positional(sub, id, value_name, help)
      ->check(byte ? hex_value(parse_hex_u8, value_name) : hex_value(parse_hex_u16, value_name));
}

Converted<std::string> text_of(const CLI::App& sub, std::string_view id, std::string_view option) {
  const CLI::Option* o = sub.get_option_no_throw(std::string(option));
  if (o == nullptr || o->count() == 0) return std::unexpected(missing(id));
  return o->as<std::string>();
}

std::optional<std::string> optional_text(const CLI::App& sub, std::string_view option) {
  const CLI::Option* o = sub.get_option_no_throw(std::string(option));
  if (o == nullptr || o->count() == 0) return std::nullopt;
  return o->as<std::string>();
}

bool flag(const CLI::App& sub, std::string_view option) {
  const CLI::Option* o = sub.get_option_no_throw(std::string(option));
  return o != nullptr && o->count() != 0;
}

Converted<DeviceType> device_of(const CLI::App& sub) {
  auto typed = text_of(sub, "device", "device");
  if (!typed) return std::unexpected(typed.error());
  const auto i = match_value(kDeviceValues, *typed, false);
  if (!i) return std::unexpected(missing("device"));
  return kGenerations[*i];
}

Converted<std::uint16_t> hex16_of(const CLI::App& sub, std::string_view id) { return hex_of(sub, id, parse_hex_u16); }

Converted<std::uint8_t> hex8_of(const CLI::App& sub, std::string_view id) { return hex_of(sub, id, parse_hex_u8); }

Converted<Common> common_of(const CLI::App& sub) {
  auto port = text_of(sub, "port", "port");
  if (!port) return std::unexpected(port.error());
  auto device = device_of(sub);
  if (!device) return std::unexpected(device.error());
  std::optional<DataMode> mode;
  if (auto t = optional_text(sub, "-t")) mode = match_value(kModeValues, *t, true) == 1 ? DataMode::Reg : DataMode::Spd;
  return Common{std::move(*port), *device, mode};
}

}  // namespace dimmwand::cli
