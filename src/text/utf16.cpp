#include "text/utf16.hpp"

#include "text/utf8.hpp"

namespace dimmwand::text {
namespace {

bool is_high_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string wtf8_from_utf16(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size() * 3);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (is_high_surrogate(c) && i + 1 < wide.size() && is_low_surrogate(wide[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    }
    append_utf8(out, c);  // an unpaired surrogate is kept as its three-byte form
  }
  return out;
}

std::u16string utf16_from_wtf8(std::string_view narrow) {
  std::u16string out;
  out.reserve(narrow.size());
  for (std::size_t i = 0; i < narrow.size();) {
    const auto b0 = static_cast<unsigned char>(narrow[i]);
    std::size_t length = b0 < 0x80 ? 1 : b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
    char32_t c = length == 1 ? b0 : length == 2 ? (b0 & 0x1Fu) : length == 3 ? (b0 & 0x0Fu) : (b0 & 0x07u);
    bool ok = length != 0 && i + length <= narrow.size();
    for (std::size_t k = 1; ok && k < length; ++k) {
      const auto b = static_cast<unsigned char>(narrow[i + k]);
      ok = (b & 0xC0) == 0x80;
      c = (c << 6) | (b & 0x3Fu);
    }
    if (!ok || c > 0x10FFFF) {  // not WTF-8: keep the byte's place visible
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

}  // namespace dimmwand::text
