// One handler per subcommand. Each prints its own results and returns success or the error
// for the entry to print.
#pragma once

#include "commands/args.hpp"
#include "error/device_error.hpp"

namespace dimmwand {

Result<> run_scan(ScanArgs args);
Result<> run_read(ReadArgs args);
Result<> run_read_byte(ReadByteArgs args);
Result<> run_write(WriteArgs args);
Result<> run_write_byte(WriteByteArgs args);
Result<> run_write_protect(WriteProtectArgs args);

}  // namespace dimmwand
