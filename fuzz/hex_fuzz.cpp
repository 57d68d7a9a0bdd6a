// The hexadecimal argument converters against the reference: same verdict, same value, the
// one message with the text as typed, and accepted values that round-trip.
#include <fmt/format.h>

#include <cstdlib>

#include "cli/hex.hpp"
#include "reference.hpp"
#include "text/utf8.hpp"

using namespace dimmwand;

namespace {

template <typename Parse>
void check(std::string_view text, unsigned max, Parse parse) {
  const auto got = parse(text);
  const auto want = fuzz::hex_argument(text, max);
  if (got.has_value() != want.has_value()) std::abort();
  if (!got) {
    if (got.error() != fmt::format("无效十六进制: {}", text)) std::abort();
    return;
  }
  if (*got != *want) std::abort();
  const auto again = parse(fmt::format("{:X}", *got));
  const auto prefixed = parse(fmt::format(" 0x+{:08x}\u3000", *got));
  if (!again || *again != *got || !prefixed || *prefixed != *got) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!text::is_valid_utf8(text)) return 0;  // the parser rejects these before any converter
  check(text, 0xFFFF, parse_hex_u16);
  check(text, 0xFF, parse_hex_u8);
  return 0;
}
