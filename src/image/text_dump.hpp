// Images that travel as text: dimmwand's own hex dump, i2cdump's table, hexdump -C, xxd, and
// plain hexadecimal bytes. They are recognised by their content, so that a text is never taken
// for the raw bytes of an image, and can be turned back into the bytes they show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dimmwand::image {

enum class TextForm { Dimmwand, I2cdump, HexdumpC, Xxd, PlainHex };

// What the form is, as messages name it: "dimmwand read 打印的十六进制转储".
std::string_view form_name(TextForm form);

struct TextDump {
  TextForm form;
  std::vector<std::uint8_t> bytes;
};

struct TextDumpError {
  TextForm form;    // what the text was taken for
  std::size_t line;  // 1-based
  std::string why;
};

// What a text that does not parse whole was taken for, and where it stops:
// "像是 xxd 的输出，但第 7 行无法解析（地址跳跃: 0x70，应为 0x60）".
std::string unparsed_text(const TextDumpError& e);

// The bytes a text dump shows. Not text at all (anything but printable ASCII and line white
// space, after an optional UTF-8 or UTF-16LE byte-order mark), or text that never shows one of
// the forms (a short file of printable bytes may well be a tiny binary image): nullopt, so that
// no image is ever taken for text. Text of a form that does not parse whole, or whose addresses
// jump or repeat, is an error naming its line.
std::optional<std::expected<TextDump, TextDumpError>> read_text_dump(std::span<const std::uint8_t> file);

}  // namespace dimmwand::image
