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
  std::vector<std::size_t> skipped;  // 1-based: the lines before and after the dump that are not part of it
};

// Line numbers as people read them: "第 1 行、第 34-35 行".
std::string line_list(std::span<const std::size_t> lines);

struct TextDumpError {
  TextForm form;     // what the text was taken for
  std::size_t line;  // 1-based
  std::string why;
};

// What a text that does not parse whole was taken for, and where it stops:
// "像是 xxd 的输出，但第 7 行无法解析（地址跳跃: 0x70，应为 0x60）".
std::string unparsed_text(const TextDumpError& e);

// The bytes a text dump shows. Not text at all (see as_text), or text that never shows one of the
// forms: nullopt. The form is the one most lines show; lines of no form or another one before and
// after the dump (a title, a prompt, a note, in any language) are skipped and listed. A line of
// the form that does not parse, a line of anything else between two of the dump's, and addresses
// that jump or repeat are an error naming the line.
std::optional<std::expected<TextDump, TextDumpError>> read_text_dump(std::span<const std::uint8_t> file);

}  // namespace dimmwand::image
