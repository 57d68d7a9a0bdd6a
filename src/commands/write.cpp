#include "commands/commands.hpp"

namespace dimmwand {

Result<> run_write(WriteArgs /*args*/) { return std::unexpected(DeviceError::other("该命令尚未实现")); }

}  // namespace dimmwand
