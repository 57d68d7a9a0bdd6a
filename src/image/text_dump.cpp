#include "image/text_dump.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "image/text_chars.hpp"
#include "image/text_lines.hpp"

namespace dimmwand::image {
namespace {

constexpr std::size_t kLargestDump = 64 * 1024;  // bytes a text may show; far above any SPD
constexpr std::size_t kI2cdumpRow = 16;          // i2cdump prints whole rows of 16 bytes
constexpr std::size_t kI2cdumpPage = 256;        // and one table per 256-byte page, rows 00 to f0

using Failure = std::unexpected<std::string>;

// The lines of an addressed dump, one at a time, into the bytes they show.
class AddressedReader {
 public:
  explicit AddressedReader(TextForm form) : form_(form) {}

  // i2cdump shows one page a table: DDR4 and DDR5 modules are dumped a page at a time (the page
  // switched in between), each table under its own header, its rows again from 00.
  std::expected<void, std::string> i2cdump_header() {
    if (bytes_.size() % kI2cdumpPage != 0) {
      return Failure(fmt::format("表头出现在一页中间（这一页只到 0x{:X}）", bytes_.size()));
    }
    page_ = bytes_.size();
    return {};
  }

  std::expected<void, std::string> line(std::string_view text) {
    if (ended_) return Failure("数据在结尾地址行之后");
    if (text == "*" && (form_ == TextForm::HexdumpC || form_ == TextForm::Xxd)) {
      if (last_.empty() || repeat_) return Failure("“*”前没有可重复的行");
      repeat_ = true;
      return {};
    }
    const std::size_t digits = hex_run(text);
    if (digits == 0 || digits > 8) return Failure("行首不是地址");
    const std::size_t address = page_ + std::stoul(std::string(text.substr(0, digits)), nullptr, 16);
    auto rest = text.substr(digits);
    if (rest.empty() && form_ == TextForm::HexdumpC) {  // hexdump -C ends with the total length
      ended_ = true;
      return at(address);
    }
    if (form_ == TextForm::I2cdump || form_ == TextForm::Xxd) {
      if (!rest.starts_with(": ")) return Failure("地址后应为“: ”");
      rest.remove_prefix(2);
    } else {
      // Any run of spaces or tabs: the two that dimmwand and hexdump -C print are often collapsed.
      if (rest.empty() || !is_blank(rest.front())) return Failure("地址后应为空格");
      while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
    }
    if (auto placed = at(address); !placed) return placed;
    std::vector<std::uint8_t> row;
    if (auto parsed = bytes_of(rest, row); !parsed) return parsed;
    if (row.empty()) return Failure("没有字节");
    bytes_.insert(bytes_.end(), row.begin(), row.end());
    last_ = std::move(row);
    return {};
  }

  // The bytes, once no "*" is left waiting for the address that ends it.
  std::expected<std::vector<std::uint8_t>, std::string> finish() {
    if (repeat_) return Failure("“*”之后没有地址行，不知道重复到哪里");
    return std::move(bytes_);
  }

 private:
  // Places the next line at `address`: after a "*", the repeated line fills the gap.
  std::expected<void, std::string> at(std::size_t address) {
    const std::size_t next = bytes_.size();
    if (address > kLargestDump) return Failure(fmt::format("地址 0x{:X} 超出 64 KiB", address));
    if (repeat_) {
      repeat_ = false;
      if (address <= next || (address - next) % last_.size() != 0) {
        return Failure(fmt::format("地址 0x{:X} 与“*”重复的行对不上", address));
      }
      while (bytes_.size() < address) bytes_.insert(bytes_.end(), last_.begin(), last_.end());
      return {};
    }
    if (address < next) {
      const bool new_page = form_ == TextForm::I2cdump && next % kI2cdumpPage == 0;
      return Failure(fmt::format("地址 0x{:X} 重复（应为 0x{:X}）{}", address, next,
                                 new_page ? "；下一页的表前应有 i2cdump 的表头行" : ""));
    }
    if (address > next) return Failure(fmt::format("地址跳跃: 0x{:X}，应为 0x{:X}", address, next));
    return {};
  }

  std::expected<void, std::string> bytes_of(std::string_view rest, std::vector<std::uint8_t>& row) const {
    switch (form_) {
      case TextForm::I2cdump: {
        // Sixteen "hh " cells, then the ASCII column.
        for (std::size_t i = 0; i < kI2cdumpRow; ++i) {
          const auto cell = rest.substr(0, 2);
          if (cell == "XX") return Failure("有 XX：i2cdump 没能读到这个字节");
          if (auto ok = append_hex(cell, row); !ok) return ok;
          if (rest.size() > 2 && rest[2] != ' ') return Failure("字节之间应为空格");
          rest.remove_prefix(std::min<std::size_t>(3, rest.size()));
        }
        return {};
      }
      case TextForm::Xxd: {
        // Groups of digits up to the two spaces before the ASCII column.
        for (const auto group : split(rest.substr(0, rest.find("  ")), " ")) {
          if (auto ok = append_hex(group, row); !ok) return ok;
        }
        return {};
      }
      case TextForm::HexdumpC: {
        const std::size_t bar = rest.find('|');
        if (bar != std::string_view::npos && (rest.size() < bar + 2 || rest.back() != '|')) {
          return Failure("ASCII 栏没有以“|”结束");
        }
        for (const auto cell : split(rest.substr(0, bar), " \t")) {
          if (cell.size() != 2) return Failure(fmt::format("“{}”不是十六进制字节", cell));
          if (auto ok = append_hex(cell, row); !ok) return ok;
        }
        return {};
      }
      case TextForm::Dimmwand:
      case TextForm::PlainHex:
        break;
    }
    for (const auto cell : split(rest, " \t")) {
      if (cell.size() != 2) return Failure(fmt::format("“{}”不是十六进制字节", cell));
      if (auto ok = append_hex(cell, row); !ok) return ok;
    }
    return {};
  }

  TextForm form_;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint8_t> last_;  // the bytes of the line before, for "*"
  std::size_t page_ = 0;            // i2cdump: where the current table's row 00 stands
  bool repeat_ = false;
  bool ended_ = false;
};

// Plain bytes: each token two digits, or one or two after "0x". Counts the tokens taken, and
// whether one had the prefix.
struct PlainReader {
  std::vector<std::uint8_t> bytes;
  std::size_t tokens = 0;
  bool prefixed = false;

  std::expected<void, std::string> line(std::string_view text) {
    for (const auto typed : split(text, " \t,")) {
      auto token = typed;
      if (token.starts_with("0x") || token.starts_with("0X")) {
        token.remove_prefix(2);
        prefixed = true;
        if (token.size() == 1 && hex_value(token[0]) >= 0) {
          bytes.push_back(static_cast<std::uint8_t>(hex_value(token[0])));
          ++tokens;
          continue;
        }
        if (token.size() != 2 || hex_run(token) != 2) return Failure(fmt::format("“{}”不是一个字节", typed));
      }
      if (auto ok = append_hex(token, bytes); !ok) return ok;
      if (bytes.size() > kLargestDump) return Failure("超出 64 KiB");
      ++tokens;
    }
    return {};
  }

  // Bytes in a row with nothing between them could be anything; two separated ones, or a "0x",
  // are a text of hexadecimal bytes.
  bool recognised() const { return tokens >= 2 || prefixed; }
};

}  // namespace

std::string_view form_name(TextForm form) {
  switch (form) {
    case TextForm::Dimmwand:
      return "dimmwand read 打印的十六进制转储";
    case TextForm::I2cdump:
      return "i2cdump 的输出";
    case TextForm::HexdumpC:
      return "hexdump -C 的输出";
    case TextForm::Xxd:
      return "xxd 的输出";
    case TextForm::PlainHex:
      return "十六进制字节文本";
  }
  return "";
}

std::string unparsed_text(const TextDumpError& e) {
  const std::string_view form = form_name(e.form);
  // A space between the Chinese text and a tool's name.
  return fmt::format("像是{}{}，但第 {} 行无法解析（{}）", static_cast<unsigned char>(form.front()) < 0x80 ? " " : "",
                     form, e.line, e.why);
}

std::string line_list(std::span<const std::size_t> lines) {
  std::vector<std::string> runs;
  for (std::size_t i = 0; i < lines.size();) {
    std::size_t j = i;
    while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
    runs.push_back(i == j ? fmt::format("第 {} 行", lines[i]) : fmt::format("第 {}-{} 行", lines[i], lines[j]));
    i = j + 1;
  }
  return fmt::format("{}", fmt::join(runs, "、"));
}

std::optional<std::expected<TextDump, TextDumpError>> read_text_dump(std::span<const std::uint8_t> file) {
  const auto text = as_text(file);
  if (!text) return std::nullopt;
  const auto lines = lines_of(*text);
  const auto chosen = dump_form(lines);
  if (!chosen) return std::nullopt;
  const auto [form, lines_of_form] = *chosen;
  std::optional<AddressedReader> reader;
  if (form != TextForm::PlainHex) reader.emplace(form);
  PlainReader plain;
  std::size_t good_lines = 0;  // of the dump, an i2cdump header included
  // A form is only claimed once the text has shown it: a line or two of printable characters
  // that fail as the only line of their form are no dump.
  const auto shown = [&] { return reader ? good_lines > 0 || lines_of_form > 1 : plain.recognised(); };
  const auto fail = [&](std::size_t line, std::string why) {
    return std::unexpected(TextDumpError{form, line, std::move(why)});
  };
  std::vector<std::size_t> skipped;
  std::vector<std::size_t> after;  // lines of something else since the last line of the dump
  std::size_t last = 0;            // the last line of the dump
  for (const auto& [number, line] : lines) {
    if (!belongs(line, form)) {
      (good_lines == 0 ? skipped : after).push_back(number);
      continue;
    }
    if (!after.empty()) return fail(after.front(), "这一行不是转储的一部分，却夹在转储中间");
    last = number;
    if (form == TextForm::I2cdump && (is_i2cdump_note(line) || is_i2cdump_header(line))) {
      if (is_i2cdump_note(line)) continue;
      if (auto page = reader->i2cdump_header(); !page) return fail(number, std::move(page.error()));
      ++good_lines;
      continue;
    }
    auto parsed = reader ? reader->line(line) : plain.line(line);
    if (!parsed) {
      // Plain bytes have no address to begin with: a title whose first word happens to be hex
      // ("ABBA 备份") is told from them only by not parsing.
      if (!reader && good_lines == 0) {
        skipped.push_back(number);
        plain = PlainReader{};
        continue;
      }
      if (!shown()) return std::nullopt;
      return fail(number, std::move(parsed.error()));
    }
    ++good_lines;
  }
  if (good_lines == 0 || !shown()) return std::nullopt;
  auto finished = reader ? reader->finish() : std::move(plain.bytes);
  if (!finished) return fail(last, std::move(finished.error()));
  auto& bytes = *finished;
  if (bytes.empty()) return fail(last, "没有数据");
  skipped.insert(skipped.end(), after.begin(), after.end());
  return TextDump{form, std::move(bytes), std::move(skipped)};
}

}  // namespace dimmwand::image
