// The whole command-line parse: never a crash; the same words always give the same outcome; a
// report is valid UTF-8 and ends with a line end; a parsed record only holds what its words
// allow.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "cli/hex.hpp"
#include "text/utf8.hpp"

using namespace dimmwand;

namespace {

bool is_word(const std::vector<std::string>& words, const std::string& w) {
  for (const auto& x : words) {
    if (x == w) return true;
  }
  return false;
}

void check_record(const Commands& c, const std::vector<std::string>& words) {
  std::visit(
      [&](const auto& r) {
        using T = std::decay_t<decltype(r)>;
        if constexpr (requires { r.port; }) {
          if (!is_word(words, r.port)) std::abort();
        }
        if constexpr (requires { r.common; }) {
          if (!is_word(words, r.common.port)) std::abort();
        }
        if constexpr (std::is_same_v<T, ReadByteArgs> || std::is_same_v<T, WriteByteArgs>) {
          bool found = false;  // some word converts to the address
          for (const auto& w : words) found = found || (parse_hex_u16(w) && *parse_hex_u16(w) == r.addr);
          if (!found) std::abort();
        }
      },
      c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Words separated by NUL bytes, at most eight after the program name.
  std::vector<std::string> words{"dimmwand"};
  std::string current;
  for (std::size_t i = 0; i < size && words.size() < 9; ++i) {
    if (data[i] == 0) {
      words.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (words.size() < 9) words.push_back(current);
  std::vector<const char*> argv;
  for (const auto& w : words) argv.push_back(w.c_str());

  const auto first = parse_command_line(argv);
  const auto second = parse_command_line(argv);
  if (first.has_value() != second.has_value()) std::abort();
  if (first) {
    if (first->command.index() != second->command.index()) std::abort();
    check_record(first->command, words);
    return 0;
  }
  const ParseStop& stop = first.error();
  if (stop.kind != second.error().kind || stop.report != second.error().report) std::abort();
  if (stop.report.empty() || stop.report.back() != '\n' || !text::is_valid_utf8(stop.report)) std::abort();
  if (stop.kind == ParseStop::Kind::Error && !stop.report.starts_with("error: ")) std::abort();
  return 0;
}
