#include "spd/json.hpp"

#include <fmt/format.h>

#include <cmath>

#include "text/utf8.hpp"

namespace dimmwand::spd {

void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!empty_.empty()) {
    if (!empty_.back()) out_ += ',';
    empty_.back() = false;
  }
}

JsonWriter& JsonWriter::open(char opener, char closer) {
  before_value();
  out_ += opener;
  empty_.push_back(true);
  closers_ += closer;
  return *this;
}

JsonWriter& JsonWriter::object() { return open('{', '}'); }

JsonWriter& JsonWriter::array() { return open('[', ']'); }

JsonWriter& JsonWriter::end() {
  out_ += closers_.back();
  closers_.pop_back();
  empty_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  value(name);
  out_ += ':';
  after_key_ = true;
  return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
  before_value();
  const std::string valid = text::decode_utf8_lossy({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  out_ += '"';
  for (const char c : valid) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out_ += '\\';
      out_ += c;
    } else if (c == '\n') {
      out_ += "\\n";
    } else if (u < 0x20) {
      out_ += fmt::format("\\u{:04x}", u);
    } else {
      out_ += c;
    }
  }
  out_ += '"';
  return *this;
}

JsonWriter& JsonWriter::value(double number) {
  if (!std::isfinite(number)) return null();
  before_value();
  out_ += fmt::format("{}", number);
  return *this;
}

JsonWriter& JsonWriter::value(unsigned long long number) {
  before_value();
  out_ += fmt::format("{}", number);
  return *this;
}

JsonWriter& JsonWriter::value(bool b) {
  before_value();
  out_ += b ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  before_value();
  out_ += "null";
  return *this;
}

}  // namespace dimmwand::spd
