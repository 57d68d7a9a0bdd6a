// The careful write in its steps, for a front end that shows a write's plan before it writes it
// (the workbench): run_write is these steps in a row, with plan_write between the two.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "commands/area.hpp"
#include "commands/args.hpp"
#include "commands/context.hpp"
#include "commands/write_plan.hpp"
#include "error/device_error.hpp"
#include "protocol/link.hpp"

namespace dimmwand {

// What a careful write reads before it writes: the hub's registers and the area itself.
struct Before {
  // DDR5: the REG area, where the SPD area's block protection is set
  std::optional<std::vector<std::uint8_t>> registers;
  std::optional<std::vector<std::uint8_t>> current;  // the area to be written
};

// Everything a careful write does before its first frame: the hub's registers and the area read
// (until two reads agree when a backup is taken), a REG image's new protection judged (--check),
// the module's own generation judged (--check), the backup saved (--backup).
Result<Before> read_before(SerialLink& link, const WriteArgs& args, const AreaSpec& area,
                           std::span<const std::uint8_t> data, const Context& ctx);

// The frames of `plan`, paced, then with --verify the read-back. Takes what the steps before
// produced as they hold it.
Result<> write_planned(SerialLink* link, const WriteArgs& args, const AreaSpec* area,
                       const std::vector<std::uint8_t>* data, const WritePlan* plan, const Context& ctx);

}  // namespace dimmwand
