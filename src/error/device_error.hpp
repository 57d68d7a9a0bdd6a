// The one error type of the tool: every failure after the command line is parsed.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <variant>
#include <vector>

namespace dimmwand {

// A failure reported by the serial layer or the system; `message` is complete.
struct SerialFailure {
  std::string message;
};
// Not one byte arrived before the answer deadline.
struct NoResponse {};
// The answer held fewer bytes than the area needs.
struct Incomplete {
  std::size_t received;
  std::size_t expected;
};
// A data file could not be read or written; `source` is the system's message.
struct FileFailure {
  enum class Action { Read, Write };
  Action action;
  std::string path;
  std::string source;
};
// A failure the tool detects itself; `message` is complete.
struct OtherFailure {
  std::string message;
};
// The user interrupted the command (Ctrl-C and its kin); `message` says what was done.
struct Interrupted {
  std::string message;
};

class DeviceError {
 public:
  using Kind = std::variant<SerialFailure, NoResponse, Incomplete, FileFailure, OtherFailure, Interrupted>;

  static DeviceError serial(std::string message) { return DeviceError{SerialFailure{std::move(message)}}; }
  static DeviceError no_response() { return DeviceError{NoResponse{}}; }
  static DeviceError incomplete(std::size_t received, std::size_t expected) {
    return DeviceError{Incomplete{received, expected}};
  }
  static DeviceError file(FileFailure::Action action, std::string path, std::string source) {
    return DeviceError{FileFailure{action, std::move(path), std::move(source)}};
  }
  static DeviceError other(std::string message) { return DeviceError{OtherFailure{std::move(message)}}; }
  static DeviceError interrupted(std::string message = "已中断") {
    return DeviceError{Interrupted{std::move(message)}};
  }

  const Kind& kind() const { return kind_; }

  // Adds a line after the error's own text: what was done before it happened, what to do now.
  DeviceError& note(std::string line) & {
    notes_.push_back(std::move(line));
    return *this;
  }
  DeviceError note(std::string line) && {
    notes_.push_back(std::move(line));
    return std::move(*this);
  }

  // The text shown after "错误: ", then each note on a line of its own; never ends with a newline.
  std::string display() const;

  bool is_interrupted() const { return std::holds_alternative<Interrupted>(kind_); }

 private:
  explicit DeviceError(Kind kind) : kind_(std::move(kind)) {}
  Kind kind_;
  std::vector<std::string> notes_;
};

// What a fallible step returns.
template <typename T = void>
using Result = std::expected<T, DeviceError>;

}  // namespace dimmwand
