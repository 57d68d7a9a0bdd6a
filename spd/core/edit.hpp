// Edits of an SPD image: set fields, lower the top speed (rebin), make a profile the JEDEC base
// (promote). Each works on a copy and either returns the edited image with what changed, or a
// refusal and nothing. Only the fields' bytes change, and the checksums that cover them; a
// checksum that was already wrong where the edit falls stops it.
#pragma once

#include <expected>
#include <string>
#include <vector>

#include "model/spd_image.hpp"
#include "spd/layout.hpp"

namespace dimmwand::spd {

struct FieldChange {
  std::string key, name;
  std::string old_value, new_value;
  std::vector<std::size_t> bytes;  // the offsets whose value changed
};

struct Edited {
  std::vector<std::uint8_t> image;
  std::vector<FieldChange> fields;
  std::vector<model::Checksum> checksums;  // recomputed: stored → computed
  std::vector<std::string> notes;          // what an edit decided for the user (a rounding, a pruned CL)
  std::vector<std::string> warnings;       // strict_warnings of the result
};

// NAME=VALUE, each through the settable table, keys in any case; all or nothing. A base rate above
// the image's own is refused unless `faster`; a profile switched on must have a cycle time.
std::expected<Edited, std::string> edit_set(Image image, DeviceType g, const std::vector<std::string>& assignments,
                                            bool faster = false);

// Makes `speed` (a JEDEC grade at or below the module's rating) the top speed: tCKmin becomes its
// cycle time, the absolute timings stay, the CAS latencies above its bins' highest go.
std::expected<Edited, std::string> edit_rebin(Image image, DeviceType g, unsigned speed);

// Makes a profile ("xmp1", "EXPO2": any case) the JEDEC base: its cycle time, its timings, its
// CAS latencies joined to the base's (the base's stay for slower speeds). A profile whose own
// checksum fails is refused; one above the generation's fixed voltages (VDD, and on DDR5 VDDQ
// and VPP) is refused unless `accept_voltage`.
std::expected<Edited, std::string> edit_promote(Image image, DeviceType g, const std::string& profile,
                                                bool accept_voltage);

}  // namespace dimmwand::spd
