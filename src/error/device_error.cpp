#include "error/device_error.hpp"

#include <fmt/format.h>

#include "util/overloaded.hpp"

namespace dimmwand {

std::string DeviceError::display() const {
  std::string text = std::visit(
      Overloaded{
          [](const SerialFailure& e) { return e.message; },
          [](const NoResponse&) { return std::string("无响应"); },
          [](const Incomplete& e) { return fmt::format("数据不完整: {} / {} 字节", e.received, e.expected); },
          [](const FileFailure& e) {
            const char* action = e.action == FileFailure::Action::Read ? "读取" : "写入";
            return fmt::format("{} {} 失败: {}", action, e.path, e.source);
          },
          [](const OtherFailure& e) { return e.message; },
          [](const Interrupted& e) { return e.message; },
      },
      kind_);
  for (const auto& line : notes_) text += "\n" + line;
  return text;
}

}  // namespace dimmwand
