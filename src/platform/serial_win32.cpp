// The serial port on Windows: opened through the device namespace, exclusively, with
// COMMTIMEOUTS giving the read and write time-outs.
#include <chrono>

#include "platform/serial_port.hpp"
#include "platform/win32_system.hpp"

namespace dimmwand {
namespace {

class Win32SerialPort final : public SerialPort {
 public:
  explicit Win32SerialPort(HANDLE handle) : handle_(handle) {}
  ~Win32SerialPort() override { CloseHandle(handle_); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  std::expected<std::size_t, std::string> read(std::span<std::uint8_t> buffer) override {
    DWORD got = 0;
    if (!ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return std::unexpected(win32::system_message(GetLastError()));
    }
    return got;  // 0: the time-out passed without a byte
  }

  std::expected<std::size_t, std::string> write(std::span<const std::uint8_t> bytes) override {
    DWORD written = 0;
    if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      return std::unexpected(win32::system_message(GetLastError()));
    }
    if (written == 0) return std::unexpected(win32::system_message(ERROR_TIMEOUT));
    return written;
  }

  void discard_input() override { PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR); }

  // WriteFile can return while the driver still holds the bytes: the transmit queue's count
  // (cbOutQue) says when they have left.
  void wait_until_sent() override {
    const auto until = std::chrono::steady_clock::now() + kWriteTimeout;
    for (;;) {
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(handle_, &errors, &status) || status.cbOutQue == 0) return;
      if (std::chrono::steady_clock::now() >= until) return;
      SwitchToThread();
    }
  }

 private:
  HANDLE handle_;
};

// COM10 and above exist only in the device namespace; a name given with the prefix stays as it is.
std::wstring device_path(const std::string& name) {
  std::wstring path = win32::wide(name);
  if (path.rfind(L"\\\\.\\", 0) != 0) path = L"\\\\.\\" + path;
  return path;
}

bool configure(HANDLE h) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return false;
  dcb.BaudRate = kBaudRate;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) return false;
  // MAXDWORD/MAXDWORD/constant: return at once with what is buffered, otherwise wait for the
  // first byte and return with it, or after the constant with nothing.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(kLineTimeout.count());
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(kWriteTimeout.count());
  return SetCommTimeouts(h, &timeouts) != 0;
}

}  // namespace

std::expected<std::unique_ptr<SerialPort>, std::string> open_serial_port(const std::string& name) {
  const HANDLE h = CreateFileW(device_path(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* exclusive */, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::unexpected(win32::system_message(GetLastError()));
  if (!configure(h)) {
    const DWORD error = GetLastError();
    CloseHandle(h);
    return std::unexpected(win32::system_message(error));
  }
  return std::make_unique<Win32SerialPort>(h);
}

}  // namespace dimmwand
