#include "commands/scan.hpp"

#include <fmt/format.h>

#include "commands/commands.hpp"
#include "platform/port_list.hpp"
#include "text/utf8.hpp"

#include <algorithm>
#include <array>

namespace dimmwand {

Result<std::string> scan_report(const std::expected<std::vector<std::string>, std::string>& listing) {
  if (!listing) return std::unexpected(DeviceError::serial(fmt::format("枚举串口失败: {}", listing.error())));
  if (listing->empty()) return "未找到可用串口\n";
  std::string out;
  for (const auto& name : *listing) out += name + "\n";
  return out;
}

std::string bridge_kind(const PortDetails& port) {
  struct Bridge {
    std::uint16_t vid;
    std::uint16_t pid;  // 0: any
    std::string_view kind;
  };
  // The bridges found on programmer boards, by their USB vendor and product ids.
  static constexpr Bridge kBridges[] = {
      {0x1A86, 0x7523, "WCH CH340"},           {0x1A86, 0x7522, "WCH CH340K"},
      {0x1A86, 0x5523, "WCH CH341"},           {0x1A86, 0x55D3, "WCH CH343"},
      {0x1A86, 0x55D4, "WCH CH9102"},          {0x1A86, 0x55D2, "WCH CH342"},
      {0x1A86, 0x55DE, "WCH CH347"},           {0x1A86, 0, "WCH"},
      {0x10C4, 0xEA60, "Silicon Labs CP210x"}, {0x10C4, 0xEA70, "Silicon Labs CP2105"},
      {0x10C4, 0xEA71, "Silicon Labs CP2108"}, {0x10C4, 0, "Silicon Labs"},
      {0x0403, 0x6001, "FTDI FT232R"},         {0x0403, 0x6010, "FTDI FT2232"},
      {0x0403, 0x6011, "FTDI FT4232"},         {0x0403, 0x6014, "FTDI FT232H"},
      {0x0403, 0x6015, "FTDI FT-X"},           {0x0403, 0, "FTDI"},
      {0x067B, 0x2303, "Prolific PL2303"},     {0x067B, 0, "Prolific"},
  };
  if (port.vid) {
    for (const auto& b : kBridges) {
      if (b.vid == *port.vid && (b.pid == 0 || (port.pid && b.pid == *port.pid))) return std::string(b.kind);
    }
  }
  // USB CDC-ACM: the microcontroller boards that speak serial themselves.
  if (port.name.find("ttyACM") != std::string::npos || port.name.find("cu.usbmodem") != std::string::npos ||
      port.description.find("CDC") != std::string::npos) {
    return "USB CDC-ACM";
  }
  return {};
}

Result<std::string> scan_long_report(const std::expected<std::vector<PortDetails>, std::string>& listing) {
  if (!listing) return std::unexpected(DeviceError::serial(fmt::format("枚举串口失败: {}", listing.error())));
  if (listing->empty()) return "未找到可用串口\n";
  using Row = std::array<std::string, 6>;
  std::vector<Row> rows{{"端口", "类型", "VID:PID", "序列号", "制造商", "描述"}};
  const auto or_dash = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
  for (const auto& p : *listing) {
    std::string kind = bridge_kind(p);
    if (kind.empty()) kind = p.transport;
    rows.push_back({p.name, or_dash(kind), p.vid && p.pid ? fmt::format("{:04X}:{:04X}", *p.vid, *p.pid) : "-",
                    or_dash(p.serial_number), or_dash(p.manufacturer), or_dash(p.description)});
  }
  std::array<std::size_t, 6> width{};
  for (const auto& r : rows) {
    for (std::size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], text::display_width(r[c]));
  }
  std::string out;
  for (const auto& r : rows) {
    std::string line;
    for (std::size_t c = 0; c < r.size(); ++c) {
      line += r[c];
      if (c + 1 < r.size()) line += std::string(width[c] - text::display_width(r[c]) + 2, ' ');
    }
    out += line + "\n";
  }
  return out;
}

Result<> run_scan(ScanArgs args, const Context& ctx) {
  const auto report =
      args.long_listing ? scan_long_report(list_serial_port_details()) : scan_report(list_serial_ports());
  if (!report) return std::unexpected(report.error());
  ctx.out(*report);
  return {};
}

}  // namespace dimmwand
