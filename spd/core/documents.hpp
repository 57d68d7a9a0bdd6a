// The JSON documents of dimmwand-spd (--json): stable keys, numbers as numbers, times in ps as
// the layouts store them and in ns as shown. The manual page lists the keys.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "spd/decode.hpp"
#include "spd/image.hpp"

namespace dimmwand::spd {

std::string info_document(const std::string& file, const Decode& d, const std::vector<InfoSection>& sections);
std::string registers_document(const std::string& file, Image registers, const std::vector<InfoSection>& sections);
// With `warnings` (check --strict), the document also lists the consistency warnings.
std::string check_document(const std::string& file, Image image, std::optional<DeviceType> g,
                           const std::vector<std::string>* warnings = nullptr);

// One run of differing bytes between two images.
struct DiffRun {
  std::size_t from, to;
  std::string fields;
};
std::string diff_document(const std::string& a_path, Image a, const std::string& b_path, Image b,
                          const std::vector<DiffRun>& runs);

}  // namespace dimmwand::spd
