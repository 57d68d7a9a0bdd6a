// A small writer of one JSON document: objects, arrays, strings (UTF-8, invalid sequences
// replaced), numbers, booleans and null, in the order they are written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dimmwand::spd {

class JsonWriter {
 public:
  JsonWriter& object();
  JsonWriter& array();
  JsonWriter& end();  // of the innermost object or array
  JsonWriter& key(std::string_view name);
  JsonWriter& value(std::string_view text);
  JsonWriter& value(const char* text) { return value(std::string_view(text)); }
  JsonWriter& value(double number);
  JsonWriter& value(unsigned long long number);
  JsonWriter& value(unsigned number) { return value(static_cast<unsigned long long>(number)); }
  JsonWriter& value(bool b);
  JsonWriter& null();

  // The document, once every object and array is closed.
  const std::string& text() const { return out_; }

 private:
  void before_value();
  JsonWriter& open(char opener, char closer);
  std::string out_;
  std::vector<bool> empty_;  // per open container: nothing written in it yet
  std::string closers_;      // per open container: '}' or ']'
  bool after_key_ = false;
};

}  // namespace dimmwand::spd
