// What set, rebin and promote share: a field assigned by its key (as users type it), the bytes a
// field occupies, and the last step of every edit, which judges the result and recomputes the
// checksums over what changed.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "spd/edit.hpp"
#include "spd/settable.hpp"

namespace dimmwand::spd::edit_support {

using Bytes = std::vector<std::uint8_t>;

// The offsets a settable's value occupies.
std::vector<std::size_t> offsets_of(const Settable& s);

// What follows the refusal of an unknown key or profile: "；你是说 serial_number 吗？" with the
// nearest known name, or "；" where none is near.
std::string suggestion(std::string_view typed, const std::vector<std::string>& known);

// The refusal of a key the image has no settable for, with the nearest that it has.
std::string unknown_key(const std::vector<Settable>& all, std::string_view key);

// KEY=VALUE through the settable table; what storing a rate decided goes to `notes`.
std::expected<void, std::string> assign(Bytes& s, const std::vector<Settable>& all, std::string_view key,
                                        std::string_view value, std::vector<std::string>& notes);

std::string cl_text(const std::vector<unsigned>& cls);
std::vector<unsigned> cl_values(Image s, const std::vector<Settable>& all, std::string_view key);

// What the edit changed, its checksums recomputed, its result judged; or the refusal when a
// checksum over the changed bytes was wrong before the edit (the edit would hide it).
std::expected<Edited, std::string> finish(Image before, DeviceType g, Bytes after, std::vector<std::string> notes);

}  // namespace dimmwand::spd::edit_support
