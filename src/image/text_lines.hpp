// The lines of a text dump: which form each shows on its own, and which form a whole text shows.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "image/text_dump.hpp"

namespace dimmwand::image {

// A space or a tab: what separates the words of a line.
inline bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The note i2cdump prints before its table when no mode was given.
bool is_i2cdump_note(std::string_view line);

// i2cdump's header: the column numbers 0 to f, perhaps with its ASCII column's.
bool is_i2cdump_header(std::string_view line);

// The form a line shows on its own, or nullopt for a line of none (a title, a prompt, a note).
std::optional<TextForm> form_of(std::string_view line);

// Whether a line is one of a dump of `form`: besides its own lines, the "*" of a run of repeated
// lines and the total length that ends hexdump -C.
bool belongs(std::string_view line, TextForm form);

struct Line {
  std::size_t number;  // 1-based
  std::string_view text;
};

// The lines that are not blank, without the white space at either end.
std::vector<Line> lines_of(std::string_view text);

// The form most lines belong to, and how many; an addressed form before plain bytes when as
// many lines show each, since its addresses check every line.
std::optional<std::pair<TextForm, std::size_t>> dump_form(const std::vector<Line>& lines);

}  // namespace dimmwand::image
