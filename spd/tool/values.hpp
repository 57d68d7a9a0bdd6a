// What dimmwand-spd's command line takes as values beyond the shared converters: the generation
// as users write it, a NAME=VALUE assignment, a data rate.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace dimmwand::spd {

// "DDR4", "ddr4" or "d4": its number. Anything else stays as typed, for the check to refuse in
// the user's own words.
std::string generation_number(std::string typed);

// A field to set, as NAME=VALUE.
CLI::Validator assignment();

// A data rate in MT/s, as the speed grades are named.
CLI::Validator speed_value();

}  // namespace dimmwand::spd
