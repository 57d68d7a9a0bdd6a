// What a function prints on standard output, taken instead of shown: for the reports that print
// as they go (dimmwand-spd's kit) when a front end shows them elsewhere.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace dimmwand {

// Runs `f` with standard output (the C stream and its descriptor) sent to a temporary file, and
// returns what it printed; nullopt, with `f` not run, when no temporary file can be made. One
// caller at a time: the process has one standard output.
std::optional<std::string> capture_standard_output(const std::function<void()>& f);

}  // namespace dimmwand
