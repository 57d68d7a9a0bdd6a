#include "commands/scan.hpp"

#include <fmt/format.h>

#include "commands/commands.hpp"
#include "protocol/serial_port.hpp"

namespace dimmwand {

Result<std::string> scan_report(const std::expected<std::vector<std::string>, std::string>& listing) {
  if (!listing) return std::unexpected(DeviceError::serial(fmt::format("枚举串口失败: {}", listing.error())));
  if (listing->empty()) return "未找到可用串口\n";
  std::string out;
  for (const auto& name : *listing) out += name + "\n";
  return out;
}

Result<> run_scan(ScanArgs /*args*/) {
  const auto report = scan_report(list_serial_ports());
  if (!report) return std::unexpected(report.error());
  fmt::print("{}", *report);
  return {};
}

}  // namespace dimmwand
