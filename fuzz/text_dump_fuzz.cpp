// The reader of text dumps: any input is read without fault, and every form that the usual tools
// print of any bytes reads back as exactly those bytes, in the form it was written in.
#include <fmt/format.h>

#include <cstdlib>

#include "commands/hex_dump.hpp"
#include "image/text_dump.hpp"

using namespace dimmwand;
using image::TextForm;

namespace {

// The tools' own layouts: hexdump -C (with its "*" for repeated lines), xxd, i2cdump, plain.
std::string hexdump_c(std::span<const std::uint8_t> b) {
  std::string out;
  std::string previous;
  bool starred = false;
  for (std::size_t at = 0; at < b.size(); at += 16) {
    const auto line = b.subspan(at, std::min<std::size_t>(16, b.size() - at));
    std::string hex;
    std::string ascii;
    for (std::size_t i = 0; i < line.size(); ++i) {
      hex += fmt::format("{:02x} {}", line[i], i == 7 ? " " : "");
      ascii += line[i] >= 0x20 && line[i] < 0x7F ? static_cast<char>(line[i]) : '.';
    }
    if (line.size() == 16 && hex == previous) {
      if (!starred) out += "*\n";
      starred = true;
      continue;
    }
    starred = false;
    previous = hex;
    out += fmt::format("{:08x}  {:<49} |{}|\n", at, hex, ascii);
  }
  return out + fmt::format("{:08x}\n", b.size());
}

std::string xxd(std::span<const std::uint8_t> b) {
  std::string out;
  for (std::size_t at = 0; at < b.size(); at += 16) {
    const auto line = b.subspan(at, std::min<std::size_t>(16, b.size() - at));
    std::string hex;
    std::string ascii;
    for (std::size_t i = 0; i < line.size(); ++i) {
      hex += fmt::format("{:02x}{}", line[i], i % 2 == 1 && i + 1 < line.size() ? " " : "");
      ascii += line[i] >= 0x20 && line[i] < 0x7F ? static_cast<char>(line[i]) : '.';
    }
    out += fmt::format("{:08x}: {:<39}  {}\n", at, hex, ascii);
  }
  return out;
}

// One table a 256-byte page, each under its header, as a module is dumped page by page.
std::string i2cdump(std::span<const std::uint8_t> b) {
  std::string out;
  for (std::size_t at = 0; at + 16 <= b.size(); at += 16) {
    if (at % 256 == 0) out += "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
    out += fmt::format("{:02x}: ", at & 0xFF);
    for (std::size_t i = 0; i < 16; ++i) out += fmt::format("{:02x} ", b[at + i]);
    out += "   ";
    for (std::size_t i = 0; i < 16; ++i)
      out += b[at + i] >= 0x20 && b[at + i] < 0x7F ? static_cast<char>(b[at + i]) : '.';
    out += "\n";
  }
  return out;
}

std::string plain(std::span<const std::uint8_t> b) {
  std::string out;
  for (std::size_t i = 0; i < b.size(); ++i) out += fmt::format("0x{:02X}{}", b[i], i % 8 == 7 ? ",\n" : ", ");
  return out;
}

void round_trip(std::span<const std::uint8_t> bytes, const std::string& text, TextForm form) {
  const auto read = image::read_text_dump({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  if (!read || !*read || (*read)->form != form) std::abort();
  if (!std::equal(bytes.begin(), bytes.end(), (*read)->bytes.begin(), (*read)->bytes.end())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto rest = std::span(data + 1, size - 1);
  switch (data[0] % 6) {
    case 0: {  // any text at all
      const auto read = image::read_text_dump(rest);
      if (read && *read && ((*read)->bytes.empty() || (*read)->bytes.size() > 64 * 1024 + 16)) std::abort();
      if (read && !*read && (read->error().line == 0 || image::unparsed_text(read->error()).empty())) std::abort();
      break;
    }
    case 1:
      if (!rest.empty()) round_trip(rest, format_hex_dump(rest), TextForm::Dimmwand);
      break;
    case 2:
      if (!rest.empty()) round_trip(rest, hexdump_c(rest), TextForm::HexdumpC);
      break;
    case 3:
      if (!rest.empty()) round_trip(rest, xxd(rest), TextForm::Xxd);
      break;
    case 4:
      // i2cdump shows whole rows, a table a page: up to the four pages of a DDR5 module.
      if (rest.size() >= 16) {
        const auto rows = rest.first(std::min<std::size_t>(1024, rest.size() / 16 * 16));
        round_trip(rows, i2cdump(rows), TextForm::I2cdump);
      }
      break;
    case 5:
      if (!rest.empty()) round_trip(rest, plain(rest), TextForm::PlainHex);
      break;
  }
  return 0;
}
