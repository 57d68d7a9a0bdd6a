#include "image/text_lines.hpp"

#include <algorithm>

#include "image/text_chars.hpp"

namespace dimmwand::image {

bool is_i2cdump_note(std::string_view line) { return line.starts_with("No size specified"); }

bool is_i2cdump_header(std::string_view line) {
  const auto words = split(line, " \t");
  if (words.size() != 16 && words.size() != 17) return false;
  for (std::size_t i = 0; i < 16; ++i) {
    if (words[i].size() != 1 || hex_value(words[i][0]) != static_cast<int>(i)) return false;
  }
  return words.size() == 16 || words[16] == "0123456789abcdef";
}

std::optional<TextForm> form_of(std::string_view line) {
  if (is_i2cdump_note(line) || is_i2cdump_header(line)) return TextForm::I2cdump;
  const std::size_t n = hex_run(line);
  if (n > 0 && n < line.size()) {
    if (line[n] == ':') return n <= 2 ? TextForm::I2cdump : TextForm::Xxd;
    const bool bar = line.find('|') != std::string_view::npos;
    // A chat or a mail may collapse the two spaces after the offset into one, or a tab: the
    // six digits of dimmwand's offset and hexdump -C's ASCII column still say what the line is.
    if (line.substr(n).starts_with("  ") || (is_blank(line[n]) && (n == 6 || (n == 8 && bar)))) {
      return n == 8 || bar ? TextForm::HexdumpC : TextForm::Dimmwand;
    }
  }
  const auto words = split(line, " \t,");
  if (words.empty()) return std::nullopt;
  // A word of hexadecimal digits, or anything after "0x": a byte, even a mistyped one.
  const auto first = words.front();
  if (first.starts_with("0x") || first.starts_with("0X") || hex_run(first) == first.size()) return TextForm::PlainHex;
  return std::nullopt;
}

bool belongs(std::string_view line, TextForm form) {
  if (line == "*") return form == TextForm::HexdumpC || form == TextForm::Xxd;
  if (form == TextForm::HexdumpC && line.size() == 8 && hex_run(line) == 8) return true;
  return form_of(line) == form;
}

std::vector<Line> lines_of(std::string_view text) {
  std::vector<Line> lines;
  std::size_t number = 0;
  for (std::string_view rest = text; !rest.empty();) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    ++number;
    // A dump posted as an indented block keeps its indentation when copied from the source.
    while (!line.empty() && is_line_space(line.back())) line.remove_suffix(1);
    while (!line.empty() && is_line_space(line.front())) line.remove_prefix(1);
    if (line.empty()) continue;
    lines.push_back({number, line});
  }
  return lines;
}

std::optional<std::pair<TextForm, std::size_t>> dump_form(const std::vector<Line>& lines) {
  std::vector<TextForm> forms;  // in the order they first appear
  for (const auto& l : lines) {
    const auto form = form_of(l.text);
    if (form && std::find(forms.begin(), forms.end(), *form) == forms.end()) forms.push_back(*form);
  }
  std::optional<std::pair<TextForm, std::size_t>> best;
  for (const TextForm form : forms) {
    // A "*" and hexdump -C's closing length count for the form they belong to.
    const auto n = static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const Line& l) { return belongs(l.text, form); }));
    const bool over_plain = form != TextForm::PlainHex && best && best->first == TextForm::PlainHex;
    if (!best || n > best->second || (n == best->second && over_plain)) best = {form, n};
  }
  return best;
}

}  // namespace dimmwand::image
