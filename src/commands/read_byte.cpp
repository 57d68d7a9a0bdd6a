#include "commands/commands.hpp"

namespace dimmwand {

Result<> run_read_byte(ReadByteArgs /*args*/) { return std::unexpected(DeviceError::other("该命令尚未实现")); }

}  // namespace dimmwand
