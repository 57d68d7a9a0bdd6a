// Names as users type them: the same name whatever the case of its ASCII letters, and the
// nearest known name for one that is not known, to suggest in place of a bare refusal.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dimmwand::text {

// Equal but for the case of ASCII letters.
bool same_name(std::string_view a, std::string_view b);

// Edits (insert, delete, replace a byte) that make `a` into `b`, ignoring ASCII case.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The known name a typo most likely meant: the nearest within a third of its length (at least
// two edits), or one that begins with what was typed ("serial" for "serial_number"); none when
// nothing is that close.
std::optional<std::string> nearest(std::string_view typed, std::span<const std::string> known);

}  // namespace dimmwand::text
