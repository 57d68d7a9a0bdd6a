// The image side of the workbench: what the page shows of an image and the edits it asks for,
// each answered from the library dimmwand-spd uses (layouts, checksums, decode, settable fields,
// edits, field names). The page keeps no table of its own. Every answer is a JSON object; a
// refusal is {"error": "..."} in the library's own words.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/spd_image.hpp"

namespace dimmwand::ui {

using Json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

std::string to_hex(std::span<const std::uint8_t> bytes);
bool from_hex(const std::string& hex, Bytes& out);

// An uploaded file: a raw image, or any text dump convert reads, as its bytes.
Json open_upload(std::span<const std::uint8_t> file);

// Everything the page shows of an image: generation, each field's place, checksums, summary, full
// decode, profiles, strict findings, settable fields with their values. A 128-byte image is a
// DDR5 REG area, decoded as dimmwand-spd decodes it ("area": "reg"); an image that is neither
// is {"error"}, and the page shows no decode of it.
Json analyse(const Bytes& image);

// An edit: {"op": "set", "key", "value", "faster"} | {"op": "rebin", "speed"} | {"op": "promote",
// "profile", "accept_voltage"} | {"op": "fix"}. The new image with what changed and its analysis,
// or the refusal; a refusal the user may overrule says which confirmation it needs
// ("confirm": "faster" or "voltage"); a request with fields of the wrong types is "malformed".
Json edit(const Bytes& image, const Json& request);

// A speed as a technician types it: 2133, "2133", "DDR4-2133", "2133MHz", "2133 MT/s"; nullopt
// for anything else.
std::optional<unsigned> typed_speed(const Json& value);

// The runs of differing bytes and the fields they hold, as diff reports them.
Json compare(const Bytes& a, const Bytes& b);

// The kit table (as dimmwand-spd kit prints it) of images given as their names and bytes, and
// its refusal where they cannot run together.
Json kit(const std::vector<std::pair<std::string, Bytes>>& images);

// The checksums as the page draws them.
Json checksums_json(const std::vector<model::Checksum>& all);

// JSON text that never fails on bytes that are not UTF-8.
std::string dump(const Json& j);

}  // namespace dimmwand::ui
