#include "platform/system_error.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "text/utf8.hpp"

namespace dimmwand {
namespace {

// Windows system error codes (winerror.h; Microsoft's "System Error Codes" pages), by number so
// that the table is the same on every system and tested everywhere.
namespace win {
constexpr unsigned long kInvalidFunction = 1;         // ERROR_INVALID_FUNCTION
constexpr unsigned long kFileNotFound = 2;            // ERROR_FILE_NOT_FOUND
constexpr unsigned long kPathNotFound = 3;            // ERROR_PATH_NOT_FOUND
constexpr unsigned long kTooManyOpenFiles = 4;        // ERROR_TOO_MANY_OPEN_FILES
constexpr unsigned long kAccessDenied = 5;            // ERROR_ACCESS_DENIED
constexpr unsigned long kInvalidHandle = 6;           // ERROR_INVALID_HANDLE
constexpr unsigned long kNotEnoughMemory = 8;         // ERROR_NOT_ENOUGH_MEMORY
constexpr unsigned long kOutOfMemory = 14;            // ERROR_OUTOFMEMORY
constexpr unsigned long kNotSameDevice = 17;          // ERROR_NOT_SAME_DEVICE
constexpr unsigned long kWriteProtect = 19;           // ERROR_WRITE_PROTECT
constexpr unsigned long kNotReady = 21;               // ERROR_NOT_READY
constexpr unsigned long kCrc = 23;                    // ERROR_CRC
constexpr unsigned long kWriteFault = 29;             // ERROR_WRITE_FAULT
constexpr unsigned long kReadFault = 30;              // ERROR_READ_FAULT
constexpr unsigned long kGenFailure = 31;             // ERROR_GEN_FAILURE
constexpr unsigned long kSharingViolation = 32;       // ERROR_SHARING_VIOLATION
constexpr unsigned long kLockViolation = 33;          // ERROR_LOCK_VIOLATION
constexpr unsigned long kHandleDiskFull = 39;         // ERROR_HANDLE_DISK_FULL
constexpr unsigned long kNotSupported = 50;           // ERROR_NOT_SUPPORTED
constexpr unsigned long kBadNetPath = 53;             // ERROR_BAD_NETPATH
constexpr unsigned long kDevNotExist = 55;            // ERROR_DEV_NOT_EXIST
constexpr unsigned long kFileExists = 80;             // ERROR_FILE_EXISTS
constexpr unsigned long kInvalidParameter = 87;       // ERROR_INVALID_PARAMETER
constexpr unsigned long kBrokenPipe = 109;            // ERROR_BROKEN_PIPE
constexpr unsigned long kDiskFull = 112;              // ERROR_DISK_FULL
constexpr unsigned long kSemTimeout = 121;            // ERROR_SEM_TIMEOUT
constexpr unsigned long kInvalidName = 123;           // ERROR_INVALID_NAME
constexpr unsigned long kDirNotEmpty = 145;           // ERROR_DIR_NOT_EMPTY
constexpr unsigned long kBadPathname = 161;           // ERROR_BAD_PATHNAME
constexpr unsigned long kBusy = 170;                  // ERROR_BUSY
constexpr unsigned long kAlreadyExists = 183;         // ERROR_ALREADY_EXISTS
constexpr unsigned long kFilenameTooLong = 206;       // ERROR_FILENAME_EXCED_RANGE
constexpr unsigned long kFileTooLarge = 223;          // ERROR_FILE_TOO_LARGE
constexpr unsigned long kNoData = 232;                // ERROR_NO_DATA (the pipe is being closed)
constexpr unsigned long kWaitTimeout = 258;           // WAIT_TIMEOUT
constexpr unsigned long kDirectory = 267;             // ERROR_DIRECTORY (the directory name is invalid)
constexpr unsigned long kOperationAborted = 995;      // ERROR_OPERATION_ABORTED
constexpr unsigned long kIoDevice = 1117;             // ERROR_IO_DEVICE
constexpr unsigned long kDeviceNotConnected = 1167;   // ERROR_DEVICE_NOT_CONNECTED
constexpr unsigned long kTimeout = 1460;              // ERROR_TIMEOUT
constexpr unsigned long kCantResolveFilename = 1921;  // ERROR_CANT_RESOLVE_FILENAME
}  // namespace win

#ifdef EDQUOT
constexpr int kQuotaExceeded = EDQUOT;  // the user's disk quota: full, as far as the user goes
#else
constexpr int kQuotaExceeded = ENOSPC;  // a system without quotas (the C library of mingw-w64)
#endif

// One row per kind of failure; 0 fills the unused places (no error has the code 0).
struct Row {
  std::string_view words;
  std::array<int, 3> posix;
  std::array<unsigned long, 4> windows;
};

const std::array kRows{
    Row{"找不到文件或文件夹", {ENOENT}, {win::kFileNotFound, win::kPathNotFound, win::kBadNetPath}},
    Row{"拒绝访问", {EACCES, EPERM}, {win::kAccessDenied}},
    Row{"只读，不能写入", {EROFS}, {win::kWriteProtect}},
    Row{"磁盘已满", {ENOSPC, kQuotaExceeded}, {win::kDiskFull, win::kHandleDiskFull}},
    Row{"输入输出错误", {EIO}, {win::kIoDevice, win::kCrc, win::kReadFault, win::kWriteFault}},
    Row{"设备出了故障", {}, {win::kGenFailure}},
    Row{"设备或资源忙", {EBUSY}, {win::kBusy}},
    Row{"已存在", {EEXIST}, {win::kFileExists, win::kAlreadyExists}},
    Row{"不是文件夹", {ENOTDIR}, {}},
    Row{"文件夹名无效", {}, {win::kDirectory}},
    Row{"是文件夹", {EISDIR}, {}},
    Row{"文件正被另一个程序使用", {ETXTBSY}, {win::kSharingViolation, win::kLockViolation}},
    Row{"没有这个设备", {ENXIO, ENODEV}, {win::kDevNotExist, win::kDeviceNotConnected, win::kNotReady}},
    Row{"设备不支持这项操作", {ENOTTY, ENOTSUP}, {win::kInvalidFunction, win::kNotSupported}},
    Row{"文件名、文件夹名或路径不正确", {}, {win::kInvalidName, win::kBadPathname}},
    Row{"文件名太长", {ENAMETOOLONG}, {win::kFilenameTooLong}},
    Row{"文件太大", {EFBIG}, {win::kFileTooLarge}},
    Row{"文件夹不是空的", {ENOTEMPTY}, {win::kDirNotEmpty}},
    Row{"符号链接层次太多", {ELOOP}, {win::kCantResolveFilename}},
    Row{"不能跨设备移动", {EXDEV}, {win::kNotSameDevice}},
    Row{"参数无效", {EINVAL}, {win::kInvalidParameter}},
    Row{"超时", {ETIMEDOUT}, {win::kTimeout, win::kSemTimeout, win::kWaitTimeout}},
    Row{"操作被中断", {EINTR}, {win::kOperationAborted}},
    Row{"管道已断开", {EPIPE}, {win::kBrokenPipe, win::kNoData}},
    Row{"打开的文件太多", {EMFILE, ENFILE}, {win::kTooManyOpenFiles}},
    Row{"内存不足", {ENOMEM}, {win::kNotEnoughMemory, win::kOutOfMemory}},
    Row{"无效的文件句柄", {EBADF}, {win::kInvalidHandle}},
    Row{"资源暂时不可用", {EAGAIN}, {}},
};

// Han characters (U+4000-U+9FFF, lead bytes 0xE4-0xE9 in UTF-8): the system speaks the user's
// language already.
bool chinese(std::string_view text) {
  return text::is_valid_utf8(text) && std::any_of(text.begin(), text.end(), [](char c) {
           const auto b = static_cast<unsigned char>(c);
           return b >= 0xE4 && b <= 0xE9;
         });
}

std::string with_system_text(const Row* row, unsigned long code, std::string_view system_text) {
  if (chinese(system_text)) return std::string(system_text);
  const std::string words = row != nullptr ? std::string(row->words) : fmt::format("系统错误 {}", code);
  return system_text.empty() ? words : fmt::format("{}（{}）", words, system_text);
}

}  // namespace

std::string errno_text(int code, std::string_view system_text) {
  const auto row = std::find_if(kRows.begin(), kRows.end(), [&](const Row& r) {
    return code != 0 && std::find(r.posix.begin(), r.posix.end(), code) != r.posix.end();
  });
  return with_system_text(row == kRows.end() ? nullptr : &*row, static_cast<unsigned long>(code), system_text);
}

std::string windows_error_text(unsigned long code, std::string_view system_text) {
  const auto row = std::find_if(kRows.begin(), kRows.end(), [&](const Row& r) {
    return code != 0 && std::find(r.windows.begin(), r.windows.end(), code) != r.windows.end();
  });
  return with_system_text(row == kRows.end() ? nullptr : &*row, code, system_text);
}

}  // namespace dimmwand
