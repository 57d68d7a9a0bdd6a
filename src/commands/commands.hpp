// One handler per subcommand. Each says its results through the context's streams and returns
// success or the error for the entry to print.
#pragma once

#include "commands/args.hpp"
#include "commands/context.hpp"
#include "error/device_error.hpp"

namespace dimmwand {

Result<> run_scan(ScanArgs args, const Context& ctx);
Result<> run_read(ReadArgs args, const Context& ctx);
Result<> run_read_byte(ReadByteArgs args, const Context& ctx);
Result<> run_write(WriteArgs args, const Context& ctx);
Result<> run_write_byte(WriteByteArgs args, const Context& ctx);
Result<> run_write_protect(WriteProtectArgs args, const Context& ctx);

}  // namespace dimmwand
